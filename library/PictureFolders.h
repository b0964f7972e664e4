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

// The per-user index file: the local application-data folder followed by
// "\Murlavo\Folder index.dat"; empty when that folder is unknown.
std::string UserFolderIndexPath();
