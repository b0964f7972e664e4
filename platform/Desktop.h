// Desktop and screen-saver services of the system. Results of the system-parameter calls are
// not checked by callers, except the wallpaper's. The password modules are loaded at the
// moment of use and unloaded right after; a missing module or export counts as no service.
#pragma once
#include <windows.h>

#include <cstddef>

namespace platform {

// The longest wallpaper path the desktop takes, in UTF-16 code units (MAX_PATH with its
// terminator): SPI_SETDESKWALLPAPER refuses or cuts a longer one.
constexpr size_t kMaxWallpaperPath = MAX_PATH - 1;
// Hands the bitmap file (UTF-8 path) to the desktop as wallpaper, writing the profile, no
// broadcast. False when the system refused it.
bool SetDesktopWallpaper(const char* path);
// Whether the system screen saver is enabled, and turning it off or back on.
int GetScreenSaveActive();
void SetScreenSaveActive(int active);
// Tells the system that a screen saver runs (TRUE) or has ended (FALSE).
void SetScreenSaverRunning(BOOL running);
// Whether the system says a screen saver runs now.
bool ScreenSaverRunning();

// "Control Panel\Desktop" values "WallpaperStyle" "0" and "TileWallpaper": the first character
// of tile and a terminator ("1" tiles, "0" centres), as wide strings. False when the key could
// not be opened.
bool WriteTileWallpaper(const char* tile);
// "Control Panel\desktop" value "ScreenSaveUsePassword" as an integer (a 4-byte number or
// decimal text); 0 when absent or of another type or size.
DWORD ReadScreenSaveUsePassword();

// Result of a password-module call.
enum class PasswordService { Unavailable, Refused, Accepted };

// "password.cpl" VerifyScreenSavePwd(owner): the system's password prompt.
PasswordService VerifyScreenSavePassword(HWND owner);
// "mpr.dll" PwdChangePasswordA("SCRSAVE", parent, 0, 0): the system's change dialog.
// True when the service was found and called.
bool ChangeScreenSavePassword(HWND parent);

} // namespace platform
