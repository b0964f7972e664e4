// Where the library file lives (Win32): the Windows directory, and the user's own copy in the
// application-data folder for users who may not write the Windows directory.
#pragma once
#include "library/LibraryFile.h"
#include "library/WallpaperObject.h"

#include <cstdint>
#include <string>
#include <vector>

// The library file in the Windows directory: the Windows directory followed by "\Murlavo.ini".
extern char g_szLibraryPath[260];

// Fills g_szLibraryPath; leaves it empty (so nothing opens) when the path does not fit.
void FillLibraryPath();

// The user's own library: the application-data folder (CSIDL_APPDATA, else the APPDATA
// variable) followed by "\Murlavo\Murlavo.ini"; empty when that folder is unknown.
std::string UserLibraryPath();

// Which file holds the library. Standard users cannot write the Windows directory, so a save
// that the Windows directory refuses lands in the user's own library. Once that file exists it
// is the user's library for good: it is read first in every role and every later save goes
// there, even when the Windows directory has become writable again, so what the user saved
// last is always what is read. (Writing the Windows directory again instead would leave the
// older per-user copy hiding the newer library from every reader.)
// The file to read: the user's library when it exists, else the Windows directory's file
// (which may not exist either). Empty when neither place is known.
std::string LibraryPathForReading();

// The show window's reading: fills g_szLibraryPath, then appends the pictures to show from
// the file LibraryPathForReading() names to `list`, which owns them (ReadShowList in
// library/LibraryFile.h).
void ReadLibrary(CWallpaperList& list);

// The Settings dialog's writing (SaveLibraryFile in library/LibraryFile.h for the entries and
// the bytes). Goes to the user's library when it exists; else to the Windows directory, and
// when that place refuses writing for good (access denied, a read-only file, a folder in the
// file's place) to the user's library, whose folder is made for it.
// `oldFileReadToEnd` says whether the file LibraryPathForReading() named was read to its end
// (LoadLibraryFile's answer). When it was not, and the file about to be replaced exists, a copy
// of it is kept first beside it as "Murlavo.ini.bak" (an older copy is replaced), so a file
// this program could not read, another program's or a damaged one, can be got back; no save
// goes ahead without that copy.
// Any failure (disk full, a file held open, both places refusing) leaves the old file whole
// and no ".tmp" file behind, and returns false. On success returns true and, when `savedTo` is
// given, sets it to the file written (cleared on failure).
bool SavePictureLibraryFile(const std::vector<CLibraryEntry>& entries, int32_t scaleMethod, bool oldFileReadToEnd,
    std::string* savedTo);
