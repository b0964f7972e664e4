// The library file (portable): a 32-bit count N, then N archived CWallpaperObject entries in a
// flat order: each playlist record followed by its picture records, then the next playlist.
// Every function here catches its own archive, file and out-of-memory errors.
// Memory follows the file, whatever its count and length prefixes claim: strings grow as their
// bytes arrive (CArchive::ReadString), every record read costs at least 12 bytes of the file,
// and null entries and references add nothing. So a file of 64 KB costs a few megabytes.
#pragma once
#include "library/WallpaperObject.h"

#include <cstdint>
#include <string>
#include <vector>

class CArchive;

// Reads one entry. Returns the new record, or nullptr for a null entry or for a reference to a
// record read earlier. A reference yields nothing: the earlier record already has its one owner,
// and a copy would let a small file multiply a large record without bound. Raises on a format
// error.
std::unique_ptr<CWallpaperObject> ReadLibraryEntry(CArchive& ar);

// Reads every record of the file, in file order, appending each to `records` as soon as it is
// complete (null entries and references add nothing). Returns true when the file was opened
// and held exactly its N records and nothing more, every string converted exactly; false
// otherwise (a fault, a count of 2^31 or more, null entries or references, bytes after the last
// entry, a string with a lone surrogate or bytes the code page lacks), with the records read
// kept. Strings are UTF-8 (CArchive::ReadString).
bool LoadLibraryFile(const char* path, CWallpaperList& records);

// The show-list rule: appends to `list` the pictures of the playlists marked Now Playing (in
// file order) and every picture marked Now Playing on its own; all other records are deleted.
// A file that cannot be opened leaves `list` unchanged. Returns what LoadLibraryFile would;
// on a fault, the pictures appended before it stay.
bool ReadShowList(const char* path, CWallpaperList& list);

// One entry to write: a record the caller keeps owning, and whether it is the Now Playing item.
struct CLibraryEntry {
    CWallpaperObject* pRecord;  // nullptr writes a null entry
    bool bNowPlaying;
};

// Writes the library file: N = entries.size(), then the entries in the given order (playlist,
// its pictures, next playlist...). Before each record is written, its m_bNowPlaying is set to
// 1 or 0 from bNowPlaying, and for a picture record (m_bPicture non-zero) m_bResample is set to
// 1 when scaleMethod is 0, else 0. The first record introduces the class, later ones use tag
// 0x8001; the same input always gives the same bytes.
// The bytes go to `path` + ".tmp" first, which then replaces `path` in one step
// (ReplaceFileAtomically); so a failure (file not creatable, disk full, the old file held
// open, ...) leaves the file at `path` as it was and no ".tmp" file behind. Returns true on
// success.
bool SaveLibraryFile(const char* path, const std::vector<CLibraryEntry>& entries, int32_t scaleMethod);

// Building the entries to write from records read by LoadLibraryFile (the Settings dialog's
// tree holds the same records in the same order).

// A file can begin with pictures before any playlist (another writer's file, or one edited by
// hand); every picture belongs to the playlist before it, and these have none. Puts a new
// playlist record named `name` at the front of `records` to hold them, so that they stay in the
// library and are written back with it. Returns true when a playlist was added; records that
// begin with a playlist, or no records, are left as they are.
bool GroupLeadingPictures(CWallpaperList& records, const std::string& name = "Pictures");

// The record shown as Now Playing: the last one whose m_bNowPlaying is 1 (a later mark replaces
// an earlier one), or nullptr when none is marked.
CWallpaperObject* FindNowPlaying(const CWallpaperList& records);

// One entry per record, in order, `nowPlaying` (may be nullptr) marked as the Now Playing item;
// the records stay owned by `records`. So the count written is the number of records.
std::vector<CLibraryEntry> LibraryEntries(const CWallpaperList& records, const CWallpaperObject* nowPlaying);
