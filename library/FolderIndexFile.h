// The folder index file of library/PictureFolders.h: what a walk found in each folder, so that
// a folder that did not change is not read again. Portable (no <windows.h>): it is fuzzed
// natively. The file is only ever a cache: whatever is wrong in it (a foreign or newer file,
// a cut-off or damaged one) reads as no index at all, and the walk builds it again.
//
// Layout, little-endian:
//   header (28 bytes): magic "MLVFIDX\x1A", version (u32, 1), number of folders (u32), size of
//     the body in bytes (u64, the rest of the file exactly), CRC-32 of the body (u32)
//   body: the folders, each
//     path length (u32) and path (UTF-8),
//     last-write time (u64), size (u64), volume serial (u32), file index (u64),
//     number of pictures (u32), number of sub-folders (u32),
//     each picture: name length (u16) and name (UTF-8),
//     each sub-folder: name length (u16), name (UTF-8) and attributes (u32).
// The reader takes only what the writer writes (no two folders of the same path, names that
// are names, pictures' names that IsPictureFileName takes), so a file it accepts is written
// back byte for byte.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FolderIndexEntry {
    std::string path;        // the folder's full path (UTF-8), as it was listed
    uint64_t lastWrite = 0;  // its last-write time (FILETIME) before it was read; 0: read again
    uint64_t size = 0;       // its size as the system reported it with that time
    uint32_t volume = 0;     // which folder it is: volume serial number and file index
    uint64_t fileIndex = 0;
    uint32_t pictureCount = 0;
    // The names of its pictures (pictureCount of them), then those of its sub-folders, each
    // followed by '\0', each group in the order it is shown.
    std::string names;
    std::vector<uint32_t> folderAttributes; // one per sub-folder, in the same order

    size_t FolderCount() const { return folderAttributes.size(); }
    // Calls `take(const char* name, size_t length)` for each picture name, in order.
    template <class Take> void ForEachPicture(Take take) const;
    // Calls `take(const char* name, size_t length, uint32_t attributes)` for each sub-folder.
    template <class Take> void ForEachFolder(Take take) const;
};

// The largest index file read: about 8 million pictures' names.
constexpr size_t kMaxFolderIndexFileSize = 256u << 20;

// Parses the bytes of an index file. True with `entries` filled when the file is whole and
// exactly as the writer writes it; otherwise false with `entries` empty.
bool ParseFolderIndex(const uint8_t* data, size_t size, std::vector<FolderIndexEntry>& entries);
// The bytes of an index file of these folders. A folder the reader would refuse (a second one
// of the same path, a name that is no name, more than the format holds) is left out.
std::string FolderIndexBytes(const std::vector<const FolderIndexEntry*>& entries);
std::string FolderIndexBytes(const std::vector<FolderIndexEntry>& entries);

// Reads and parses the file (UTF-8 path); false, with `entries` empty, when it is missing,
// unreadable, larger than kMaxFolderIndexFileSize or not whole.
bool ReadFolderIndexFile(const char* path, std::vector<FolderIndexEntry>& entries);
// Writes "<path>.tmp" and moves it over `path` in one step (ReplaceFileAtomically). False on a
// failure; the old file is then left as it was. The folder must exist.
bool WriteFolderIndexFile(const char* path, const std::vector<const FolderIndexEntry*>& entries);

// Whether the text may be one name of the index: not empty, at most 1020 bytes of UTF-8, no
// control character, none of \ / : * ? " < > |, not "." or "..".
bool IsFolderIndexName(const char* name, size_t length);

template <class Take> void FolderIndexEntry::ForEachPicture(Take take) const
{
    size_t at = 0;
    for (uint32_t i = 0; i < pictureCount; ++i) {
        const size_t end = names.find('\0', at);
        if (end == std::string::npos)
            return;
        take(names.data() + at, end - at);
        at = end + 1;
    }
}

template <class Take> void FolderIndexEntry::ForEachFolder(Take take) const
{
    size_t at = 0;
    for (uint32_t i = 0; i < pictureCount; ++i) {
        const size_t end = names.find('\0', at);
        if (end == std::string::npos)
            return;
        at = end + 1;
    }
    for (size_t i = 0; i < folderAttributes.size(); ++i) {
        const size_t end = names.find('\0', at);
        if (end == std::string::npos)
            return;
        take(names.data() + at, end - at, folderAttributes[i]);
        at = end + 1;
    }
}
