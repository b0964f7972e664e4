// A plain folder walk behind library/PictureFolders.h: no index file, names sorted without
// regard to case, bounded like the real walk. Kept until the indexed walk arrives.
#include "library/PictureFolders.h"

#include "framework/WideText.h"
#include "library/FolderRecord.h"

#include <windows.h>

#include <algorithm>

struct CFolderIndex::Data {
    std::string path;
};

CFolderIndex::CFolderIndex(std::string indexPath) : m_data(new Data {std::move(indexPath)}) {}

CFolderIndex::~CFolderIndex() = default;

namespace {

constexpr DWORD kNotLocal = FILE_ATTRIBUTE_OFFLINE | 0x00040000 /* recall on open */ | 0x00400000 /* on access */;

struct Walk {
    const FolderWalkLimits& limits;
    const std::atomic<bool>* cancel;
    const std::function<void(size_t)>& progress;
    FolderListing& listing;
    size_t folders = 0;
};

bool Cancelled(const Walk& walk)
{
    return walk.cancel && walk.cancel->load();
}

// False when the walk is to stop.
bool WalkFolder(Walk& walk, const std::string& folder, bool sub, int depth, bool top)
{
    if (Cancelled(walk) || ++walk.folders > walk.limits.maxFolders) {
        walk.listing.truncated = true;
        return false;
    }
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(FilePath(folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (top && error != ERROR_FILE_NOT_FOUND) {
            walk.listing.reason = SystemErrorText(error);
            return false;
        }
        if (top)
            walk.listing.available = true;
        return true;
    }
    if (top)
        walk.listing.available = true;
    std::vector<std::string> pictures, folders;
    do {
        const std::string name = Utf8(found.cFileName);
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (sub && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                folders.push_back(name);
        } else if (!(found.dwFileAttributes & kNotLocal) && IsPictureFileName(name)) {
            pictures.push_back(name);
        }
    } while (!Cancelled(walk) && ::FindNextFileW(find, &found));
    ::FindClose(find);
    auto byName = [](const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) < 0; };
    std::sort(pictures.begin(), pictures.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);
    for (const std::string& name : pictures) {
        if (walk.listing.pictures.size() >= walk.limits.maxPictures) {
            walk.listing.truncated = true;
            return false;
        }
        walk.listing.pictures.push_back(folder + "\\" + name);
        if (walk.progress && walk.listing.pictures.size() % 256 == 0)
            walk.progress(walk.listing.pictures.size());
    }
    if (depth >= walk.limits.maxDepth)
        return true;
    for (const std::string& name : folders)
        if (!WalkFolder(walk, folder + "\\" + name, sub, depth + 1, false))
            return false;
    return !Cancelled(walk);
}

} // namespace

FolderListing CFolderIndex::List(const std::string& folder, bool withSubFolders, const FolderWalkLimits& limits,
    const std::atomic<bool>* cancel, const std::function<void(size_t)>& progress)
{
    FolderListing listing;
    std::string start = folder;
    while (start.size() > 3 && (start.back() == '\\' || start.back() == '/'))
        start.pop_back();
    if (!start.empty() && start.back() == '\\')
        start.pop_back(); // "C:\" walks as "C:" + "\*"
    Walk walk {limits, cancel, progress, listing};
    WalkFolder(walk, start, withSubFolders, 0, true);
    if (Cancelled(walk))
        listing.truncated = true;
    if (progress)
        progress(listing.pictures.size());
    return listing;
}

bool CFolderIndex::Save()
{
    return true;
}

std::string UserFolderIndexPath()
{
    return std::string();
}
