#include "platform/Desktop.h"
#include "framework/Handles.h"
#include "framework/WideText.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

bool SetDesktopWallpaper(const char* path)
{
    std::wstring wide = Wide(path);
    return ::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, &wide[0], SPIF_UPDATEINIFILE) != FALSE;
}

int GetScreenSaveActive()
{
    BOOL active = FALSE;
    ::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    return active;
}

void SetScreenSaveActive(int active)
{
    ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, static_cast<UINT>(active), nullptr, 0);
}

void SetScreenSaverRunning(BOOL running)
{
    BOOL previous = FALSE;
    ::SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, static_cast<UINT>(running), &previous, 0);
}

bool ScreenSaverRunning()
{
    BOOL running = FALSE;
    return ::SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0) && running;
}

bool WriteTileWallpaper(const char* tile)
{
    CRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS)
        return false;
    // Current desktops combine the tile flag with a style (fill, fit, stretch, ...): style 0
    // makes "0" centre and "1" tile, whatever the user chose before.
    const wchar_t style[] = L"0";
    ::RegSetValueExW(key.Get(), L"WallpaperStyle", 0, REG_SZ, reinterpret_cast<const BYTE*>(style), sizeof style);
    // Two characters: the mode character and the terminator (an empty tile string stays empty).
    const std::wstring mode = Wide(tile);
    const wchar_t data[2] = {mode.empty() ? L'\0' : mode[0], L'\0'};
    ::RegSetValueExW(key.Get(), L"TileWallpaper", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    return true;
}

DWORD ReadScreenSaveUsePassword()
{
    CRegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\desktop", 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return 0;
    // A 4-byte number, or the decimal text other systems store; any other type or size is
    // "no password" rather than whatever its bytes happen to say.
    BYTE data[16] = {};
    DWORD size = sizeof data - 1, type = 0;
    if (::RegQueryValueExA(key.Get(), "ScreenSaveUsePassword", nullptr, &type, data, &size) != ERROR_SUCCESS)
        return 0;
    if ((type == REG_DWORD || type == REG_BINARY) && size == sizeof(DWORD)) {
        DWORD value;
        memcpy(&value, data, sizeof value);
        return value;
    }
    if (type == REG_SZ && size >= 1) {
        data[size] = '\0';
        return static_cast<DWORD>(strtoul(reinterpret_cast<const char*>(data), nullptr, 10));
    }
    return 0;
}

namespace {
// Looks up an export of a module that is loaded only for this call.
template <typename Fn>
Fn GetExport(const CModule& module, const char* name)
{
    if (!module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module.Get(), name)));
}
} // namespace

PasswordService VerifyScreenSavePassword(HWND owner)
{
    using VerifyFn = BOOL(WINAPI*)(HWND);
    CModule module(::LoadLibraryA("password.cpl"));
    auto verify = GetExport<VerifyFn>(module, "VerifyScreenSavePwd");
    if (!verify)
        return PasswordService::Unavailable;
    return verify(owner) ? PasswordService::Accepted : PasswordService::Refused;
}

bool ChangeScreenSavePassword(HWND parent)
{
    using ChangeFn = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
    CModule module(::LoadLibraryA("mpr.dll"));
    auto change = GetExport<ChangeFn>(module, "PwdChangePasswordA");
    if (!change)
        return false;
    change("SCRSAVE", parent, 0, nullptr);
    return true;
}

} // namespace platform
