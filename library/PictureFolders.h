// Finding the pictures of a folder record (library/FolderRecord.h) on disk (Win32).
//
// The walk goes by name alone (IsPictureFileName): a file is opened only when it is shown. It
// is bounded (pictures, folders, depth), follows a folder reached through a junction or link
// only once (loops end), never waits on a file that is not stored locally (cloud placeholders:
// FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS, FILE_ATTRIBUTE_RECALL_ON_OPEN, FILE_ATTRIBUTE_OFFLINE are
// left out), and can be cancelled. It may block for as long as the file system does (an
// offline share): callers run it off their window's thread.
//
// What was found is kept in a per-user index so that a library of 100,000 pictures in 1,000
// folders is listed again quickly: a folder whose last-write time (and size of listing) is what
// the index recorded is taken from the index; any other is read again. The index is only ever a
// cache: a missing, damaged or foreign index file is ignored and rebuilt.
//
// The index is trusted only on file systems that change a
// folder's time when its entries change (NTFS, ReFS); on FAT and exFAT (memory cards, USB
// sticks) every folder is read at every List. A folder written less than two seconds before it
// was read is read again next time (an entry added within the same tick of the clock leaves
// the time as it was). Hidden and system files and folders are left out, as Explorer does.
// One CFolderIndex may be used by several threads at once (List and Save); its file by one
// process at a time.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct FolderWalkLimits {
    size_t maxPictures = 1000000; // the walk stops (truncated) past this many pictures
    size_t maxFolders = 100000;   // ... or this many folders read
    int maxDepth = 64;            // sub-folders deeper than this are not entered
};

struct FolderListing {
    // Full paths (UTF-8), each folder's pictures in the order Explorer sorts names (numbers by
    // value, case ignored), a folder's own pictures before those of its sub-folders, sub-folders
    // in the same name order.
    std::vector<std::string> pictures;
    bool available = false;   // the folder itself exists and could be read
    bool truncated = false;   // a bound or a cancel stopped the walk early
    std::string reason;       // when not available: the system's reason, for the user
};

class CFolderIndex {
public:
    // `indexPath`: the index file (read at the first List, written by Save); empty keeps the
    // index in memory only.
    explicit CFolderIndex(std::string indexPath);
    ~CFolderIndex();
    CFolderIndex(const CFolderIndex&) = delete;
    CFolderIndex& operator=(const CFolderIndex&) = delete;

    // Lists the pictures of `folder` (no trailing backslash needed), with its sub-folders when
    // asked. `cancel`, when given and raised, stops the walk (truncated). `progress`, when given,
    // is called now and then with the number of pictures found so far (from the walking thread).
    FolderListing List(const std::string& folder, bool withSubFolders, const FolderWalkLimits& limits = {},
        const std::atomic<bool>* cancel = nullptr, const std::function<void(size_t)>& progress = {});

    // Writes the index when it changed since it was read or last written, replacing the old file
    // in one step; folders not listed since the index was read are dropped from it. False on a
    // failure (the old file stays).
    bool Save();

private:
    struct Data;
    std::unique_ptr<Data> m_data;
};

// Whether the file is there and stored on this computer (no placeholder attribute above): one
// look at its attributes, without opening it. A listing is as new as the folders it was taken
// from; a file made a placeholder since ("free up space") leaves its folder's time as it was
// and stays listed, so whoever is about to open a listed picture asks this first.
bool IsStoredLocally(const std::string& path);

// The per-user index file: the local application-data folder followed by
// "\Murlavo\Folder index.dat"; empty when that folder is unknown.
std::string UserFolderIndexPath();

// Test seams (the program never sets them; set them while no walk runs). Wine keeps neither
// FILE_ATTRIBUTE_OFFLINE nor the cloud placeholders' attributes, and cannot make a junction,
// so the tests give a walk those through here.
namespace folder_walk_testing {
// Called with each entry of a folder being read (its full path, UTF-8) and the attributes the
// system gave; may change them.
using EntryHook = void (*)(const std::string& path, uint32_t& attributes);
void SetEntryHook(EntryHook hook);
// Called with the identity of each folder as the system gave it (volume serial number, file
// index), whenever the walk opens a folder to learn it; may change it.
using IdentityHook = void (*)(const std::string& path, uint32_t& volume, uint64_t& fileIndex);
void SetIdentityHook(IdentityHook hook);
// How many folders this process has read from the disk (their entries listed), all walks
// together; a folder taken from an index is not counted.
size_t FoldersRead();
} // namespace folder_walk_testing
