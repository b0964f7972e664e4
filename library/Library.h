// Where the library file lives (Win32): the Windows directory, and the user's own copy in the
// application-data folder for users who may not write the Windows directory.
#pragma once
#include "library/LibraryFile.h"
#include "library/WallpaperObject.h"

#include <cstdint>
#include <string>
#include <vector>

// The library file in the Windows directory: the Windows directory followed by "\Murlavo.ini",
// UTF-8 (room for the longest Windows directory, MAX_PATH UTF-16 units, in any characters).
constexpr size_t kLibraryPathSize = 4 * 260;
extern char g_szLibraryPath[kLibraryPathSize];

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
// The file to read: the user's library when it exists; else the copy an older build left in the
// user's file-virtualization store (VirtualStorePath) when it is newer than the Windows
// directory's file or that one is missing; else the Windows directory's file (which may not
// exist either). Empty when no place is known.
std::string LibraryPathForReading();

// Where the system redirected an older 32-bit build's writes to the Windows directory's library
// (%LOCALAPPDATA%\VirtualStore\<Windows directory without its drive>\Murlavo.ini); empty when
// unknown. Only ever read: a save from it goes to the user's library.
std::string VirtualStorePath();

// A file's size and last-write time, to tell whether it changed since it was read.
struct LibraryFileStamp {
    bool exists = false;
    uint64_t size = 0;
    uint64_t writeTime = 0;
    bool operator==(const LibraryFileStamp& other) const
    {
        return exists == other.exists && size == other.size && writeTime == other.writeTime;
    }
    bool operator!=(const LibraryFileStamp& other) const { return !(*this == other); }
};
LibraryFileStamp StampOfFile(const std::string& path);

// What the Settings dialog learnt of the library file when it read it.
struct LibraryReadState {
    std::string path;        // the file read (empty: no place known)
    LibraryFileStamp stamp;  // as it was when read
    bool readToEnd = false;  // the file held exactly its records (LoadLibraryFile's answer)
    bool unreadable = false; // it exists but could not be opened (held by another program, no
                             // permission to read): saving must not replace it
    std::string error;       // the system's reason when unreadable
};

// Reads the library for editing: appends the records of the file LibraryPathForReading() names
// to `records` and tells what was read.
LibraryReadState ReadLibraryForEditing(CWallpaperList& records);

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

// The Settings dialog's writing, to the file that was read (`read`, from ReadLibraryForEditing):
// - the file read is written again (the Windows directory's file falls back to the user's
//   library as above when its place refuses writing); when the file read was the
//   virtualization store's copy, or a user's library has appeared since the Windows
//   directory's file was read, the user's library is written, since that is what every reader
//   reads from then on;
// - a copy "….bak" of the file about to be replaced is kept first when it is not the file as it
//   was read: not read to its end, changed on disk since (size or time), or another file;
// - a file that could not be read (read.unreadable) is never replaced: false, nothing written.
bool SavePictureLibraryFile(const std::vector<CLibraryEntry>& entries, int32_t scaleMethod,
    const LibraryReadState& read, std::string* savedTo);

// A file of the program's own state (the rotation's record) in the user's local
// application-data folder: "<local application data>\Murlavo\<name>"; empty when that folder is
// unknown.
std::string UserStatePath(const char* name);
// A whole state file of at most maxBytes; empty when it is missing, unreadable or larger.
std::string ReadStateFile(const std::string& path, size_t maxBytes);
// Writes a state file whole: a temporary file beside it replaces it in one step (the folder is
// made when missing). False on failure, the old file then left as it was.
bool WriteStateFile(const std::string& path, const void* data, size_t size);
