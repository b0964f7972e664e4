// The library file at its place in the Windows directory (Win32).
#pragma once
#include "library/WallpaperObject.h"

// The library file: the Windows directory followed by "\Murlavo.ini".
extern char g_szLibraryPath[260];

// Fills g_szLibraryPath; leaves it empty (so nothing opens) when the path does not fit.
void FillLibraryPath();

// The show window's reading: fills g_szLibraryPath, then appends the pictures to show to
// `list`, which owns them (ReadShowList in library/LibraryFile.h).
void ReadLibrary(CWallpaperList& list);
