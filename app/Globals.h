// Process-wide flags set at start-up.
#pragma once

// False only in the wallpaper-changer role.
extern bool g_bShowRole;
// The system reports the Windows 95 platform family (screen-saver password handling).
extern bool g_bWin95Family;
