#include "library/PictureFolders.h"

#include "framework/Handles.h"
#include "framework/Text.h"
#include "framework/WideText.h"
#include "library/FolderIndexFile.h"
#include "library/FolderRecord.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

// Cloud placeholders and files on slow storage: reading them would download or fetch them.
constexpr DWORD kRecallOnDataAccess = 0x00400000;
constexpr DWORD kRecallOnOpen = 0x00040000;
constexpr DWORD kNotLocal = kRecallOnDataAccess | kRecallOnOpen | FILE_ATTRIBUTE_OFFLINE;
// What the walk leaves out: the above, and what Explorer does not show.
constexpr DWORD kLeftOut = kNotLocal | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// A listing read less than this after the folder's last write (in 100 ns units: 2 s) may miss
// an entry added within the same tick of the file system's clock, which leaves the folder's
// time as it was: the index does not trust it, and the folder is read again next time.
constexpr uint64_t kRecentWrite = 2 * 10000000ull;
// While a large folder is read, the cancel flag is looked at (and progress reported) after
// this many entries.
constexpr size_t kEntriesBetweenChecks = 256;
constexpr DWORD kProgressIntervalMs = 100;

std::atomic<folder_walk_testing::EntryHook> g_entryHook {nullptr};
std::atomic<folder_walk_testing::IdentityHook> g_identityHook {nullptr};
std::atomic<size_t> g_foldersRead {0};

uint64_t Ticks(const FILETIME& time)
{
    return uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// "C:\Pictures" + "a.jpg"; no second backslash after a root ("C:\").
std::string Join(const std::string& folder, const char* name, size_t length)
{
    std::string path;
    path.reserve(folder.size() + 1 + length);
    path = folder;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    path.append(name, length);
    return path;
}

// The full path ("." and ".." parts gone), backslashes only, none at the end except after a
// drive ("C:\").
std::string NormalFolder(std::string folder)
{
    std::replace(folder.begin(), folder.end(), '/', '\\');
    if (folder.size() == 2 && folder[1] == ':')
        folder += '\\'; // the drive's root, not its current folder
    if (!folder.empty() && folder.compare(0, 4, "\\\\?\\") != 0) {
        const std::wstring wide = Wide(folder);
        std::wstring full(wide.size() + MAX_PATH, L'\0');
        const DWORD length = ::GetFullPathNameW(wide.c_str(), DWORD(full.size()), &full[0], nullptr);
        if (length > 0 && length < full.size())
            folder = Utf8(full.data(), length);
    }
    while (folder.size() > 1 && folder.back() == '\\')
        folder.pop_back();
    if (!folder.empty() && folder.back() == ':')
        folder += '\\';
    return folder;
}

// The index's key of a folder: its path in capitals (the file system ignores case).
std::string KeyOf(const std::string& path)
{
    std::wstring wide = Wide(path);
    if (!wide.empty()) {
        std::wstring upper(wide.size(), L'\0');
        if (::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.data(), int(wide.size()), &upper[0],
                int(upper.size())) == int(wide.size()))
            wide.swap(upper);
    }
    return Utf8(wide);
}

// Which folder a path leads to, through any links: the volume's serial number and the
// folder's index on it.
struct Identity {
    uint32_t volume = 0;
    uint64_t fileIndex = 0;
    bool operator==(const Identity& other) const { return volume == other.volume && fileIndex == other.fileIndex; }
};
struct IdentityHash {
    size_t operator()(const Identity& id) const
    {
        return std::hash<uint64_t>()(id.fileIndex * 0x9E3779B97F4A7C15ull ^ id.volume);
    }
};

// What is known of a folder before its listing.
struct FolderState {
    DWORD attributes = 0;
    uint64_t lastWrite = 0;
    uint64_t size = 0;
};

bool StatFolder(const std::string& path, FolderState& state, DWORD& error)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(FilePath(path).c_str(), GetFileExInfoStandard, &data)) {
        error = ::GetLastError();
        return false;
    }
    state.attributes = data.dwFileAttributes;
    state.lastWrite = Ticks(data.ftLastWriteTime);
    state.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    return true;
}

// The folder's index on its volume alone (NtQueryInformationFile, FileInternalInformation):
// what GetFileInformationByHandle also gives, without asking for the volume's serial number,
// which costs about a millisecond a folder under Wine. False where it is not to be had.
bool FileIndexOf(HANDLE file, uint64_t& fileIndex)
{
    using Query = LONG(WINAPI*)(HANDLE, void* status, void* information, ULONG length, int informationClass);
    static const Query query = [] {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        const FARPROC found = ntdll ? ::GetProcAddress(ntdll, "NtQueryInformationFile") : nullptr;
        return reinterpret_cast<Query>(reinterpret_cast<void (*)()>(found));
    }();
    struct {
        void* status;
        ULONG_PTR information;
    } status {};
    LARGE_INTEGER index {};
    const int kFileInternalInformation = 6;
    if (!query || query(file, &status, &index, sizeof index, kFileInternalInformation) < 0)
        return false;
    fileIndex = uint64_t(index.QuadPart);
    return true;
}

// Opens the folder, following a junction or link to its target (the handle may only read
// attributes), and learns which folder it is: with `volume` given (a folder that is no link
// lies on its parent's volume), its index alone; otherwise everything, `state` included.
bool OpenFolder(const std::string& path, FolderState& state, Identity& identity, DWORD& error,
    const uint32_t* volume = nullptr)
{
    CFileHandle folder(::CreateFileW(FilePath(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
        nullptr));
    if (!folder) {
        error = ::GetLastError();
        return false;
    }
    if (volume && FileIndexOf(folder.Get(), identity.fileIndex)) {
        identity.volume = *volume;
    } else {
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(folder.Get(), &info)) {
            error = ::GetLastError();
            return false;
        }
        state.attributes = info.dwFileAttributes;
        state.lastWrite = Ticks(info.ftLastWriteTime);
        state.size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
        identity.volume = info.dwVolumeSerialNumber;
        identity.fileIndex = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    }
    if (auto hook = g_identityHook.load())
        hook(path, identity.volume, identity.fileIndex);
    return true;
}

// Whether the file system of the folder's volume changes a folder's last-write time whenever
// an entry is added, removed or renamed in it (NTFS and ReFS do; FAT and exFAT, on memory
// cards and USB sticks, do not): only then is the index trusted there.
bool KeepsFolderTimes(const std::string& folder)
{
    const std::wstring path = FilePath(folder);
    std::wstring root(path.size() + 2, L'\0');
    if (!::GetVolumePathNameW(path.c_str(), &root[0], DWORD(root.size())))
        return false;
    root.resize(std::wcslen(root.c_str()));
    wchar_t system[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH + 1))
        return false;
    return ::lstrcmpiW(system, L"NTFS") == 0 || ::lstrcmpiW(system, L"ReFS") == 0;
}

// Walks with no "No Disk" box from the system for an empty drive: the error comes back instead.
class QuietErrors {
public:
    QuietErrors()
    {
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        const FARPROC found = kernel ? ::GetProcAddress(kernel, "SetThreadErrorMode") : nullptr;
        m_set = reinterpret_cast<SetMode>(reinterpret_cast<void (*)()>(found));
        if (m_set && !m_set(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &m_old))
            m_set = nullptr;
    }
    ~QuietErrors()
    {
        if (m_set)
            m_set(m_old, nullptr);
    }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    using SetMode = BOOL(WINAPI*)(DWORD, LPDWORD); // Windows 7 and later
    SetMode m_set = nullptr;
    DWORD m_old = 0;
};

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : m_handle(handle) {}
    ~FindHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::FindClose(m_handle);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// An entry of a folder being read: its name for sorting and for the index.
struct Named {
    std::wstring wide;
    std::string utf8;
    uint32_t attributes;
};

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Where an ASCII character sorts among others outside runs of digits, roughly as the system's
// comparison has it: punctuation first, then digits, then letters without regard to case,
// then everything else by its code.
uint32_t Weight(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return 0x1000 + uint32_t(c - L'A' + L'a');
    if (c >= L'a' && c <= L'z')
        return 0x1000 + uint32_t(c);
    if (IsDigit(c))
        return 0x800 + uint32_t(c);
    return c < 0x80 ? uint32_t(c) : 0x10000 + uint32_t(c);
}

// A quick stand-in for StrCmpLogicalW, which agrees with it on the usual names (runs of digits
// by value, letters without regard to case): the names are sorted with it first, and
// StrCmpLogicalW then looks at each pair of neighbours only. StrCmpLogicalW costs about a
// microsecond a call under Wine, where the full sort of 100,000 names took 0.65 s of a walk.
int QuickLogical(const std::wstring& a, const std::wstring& b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t zerosA = 0, zerosB = 0;
            for (; i < a.size() && a[i] == L'0'; ++i)
                ++zerosA;
            for (; j < b.size() && b[j] == L'0'; ++j)
                ++zerosB;
            size_t endA = i, endB = j;
            while (endA < a.size() && IsDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsDigit(b[endB]))
                ++endB;
            if (endA - i != endB - j)
                return endA - i < endB - j ? -1 : 1;
            for (; i < endA; ++i, ++j)
                if (a[i] != b[j])
                    return a[i] < b[j] ? -1 : 1;
            if (zerosA != zerosB)
                return zerosA < zerosB ? -1 : 1;
            continue;
        }
        const uint32_t x = Weight(a[i]), y = Weight(b[j]);
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    return int(i < a.size()) - int(j < b.size());
}

// Explorer's order (StrCmpLogicalW): digits by value, case ignored; names it calls equal by
// their characters.
void SortNames(std::vector<Named>& names)
{
    const auto logical = [](const Named& a, const Named& b) {
        const int order = ::StrCmpLogicalW(a.wide.c_str(), b.wide.c_str());
        return order != 0 ? order < 0 : a.wide < b.wide;
    };
    std::sort(names.begin(), names.end(), [](const Named& a, const Named& b) {
        const int order = QuickLogical(a.wide, b.wide);
        return order != 0 ? order < 0 : a.wide < b.wide;
    });
    for (size_t i = 1; i < names.size(); ++i)
        if (!logical(names[i - 1], names[i])) {
            std::sort(names.begin(), names.end(), logical); // names the quick order does not know
            return;
        }
}

// Makes the folder and those above it that are missing.
bool MakeFolders(const std::string& folder)
{
    const DWORD attributes = ::GetFileAttributesW(FilePath(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const size_t slash = folder.find_last_of('\\');
    if (slash != std::string::npos && slash > 0 && folder[slash - 1] != ':' && folder[slash - 1] != '\\')
        MakeFolders(folder.substr(0, slash));
    return ::CreateDirectoryW(FilePath(folder).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// The folders the index knows, by KeyOf(path); shared by the walks of every thread.
class FolderTable {
public:
    explicit FolderTable(std::string indexPath) : m_indexPath(std::move(indexPath)) {}

    // Reads the index file the first time.
    void Load()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_loaded)
            return;
        m_loaded = true;
        std::vector<FolderIndexEntry> entries;
        if (m_indexPath.empty() || !ReadFolderIndexFile(m_indexPath.c_str(), entries))
            return;
        for (auto& entry : entries) {
            std::string key = KeyOf(entry.path);
            auto stored = std::make_shared<FolderIndexEntry>(std::move(entry));
            if (!m_folders.emplace(std::move(key), Slot {std::move(stored), false}).second) {
                m_folders.clear(); // two folders the file system takes for one: not a file we wrote
                return;
            }
        }
    }

    // What the index holds for the folder (null: nothing); the folder counts as listed.
    std::shared_ptr<const FolderIndexEntry> Find(const std::string& key)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_folders.find(key);
        if (found == m_folders.end())
            return nullptr;
        found->second.listed = true;
        return found->second.entry;
    }

    void Store(std::string key, std::shared_ptr<const FolderIndexEntry> entry)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_folders[std::move(key)] = Slot {std::move(entry), true};
        m_changed = true;
        ++m_generation;
    }

    bool Save()
    {
        std::lock_guard<std::mutex> saving(m_saveMutex); // one "<path>.tmp" at a time
        std::vector<std::shared_ptr<const FolderIndexEntry>> keep;
        uint64_t generation = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_indexPath.empty() || !m_changed)
                return true;
            generation = m_generation;
            keep.reserve(m_folders.size());
            for (const auto& folder : m_folders)
                if (folder.second.listed)
                    keep.push_back(folder.second.entry);
        }
        std::sort(keep.begin(), keep.end(), [](const auto& a, const auto& b) { return a->path < b->path; });
        std::vector<const FolderIndexEntry*> entries;
        entries.reserve(keep.size());
        for (const auto& entry : keep)
            entries.push_back(entry.get());
        const size_t slash = m_indexPath.find_last_of('\\');
        if (slash != std::string::npos && slash > 0)
            MakeFolders(m_indexPath.substr(0, slash));
        if (!WriteFolderIndexFile(m_indexPath.c_str(), entries))
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_generation == generation)
            m_changed = false;
        for (auto folder = m_folders.begin(); folder != m_folders.end();)
            folder = folder->second.listed ? std::next(folder) : m_folders.erase(folder);
        return true;
    }

private:
    struct Slot {
        std::shared_ptr<const FolderIndexEntry> entry;
        bool listed; // since the index was read
    };
    const std::string m_indexPath;
    std::mutex m_saveMutex;
    std::mutex m_mutex; // guards what follows
    bool m_loaded = false;
    bool m_changed = false;
    uint64_t m_generation = 0; // counted up at each change
    std::unordered_map<std::string, Slot> m_folders;
};

// One List: the walk over a folder and, when asked, its sub-folders, depth first.
class Walker {
public:
    Walker(FolderTable& index, const FolderWalkLimits& limits, const std::atomic<bool>* cancel,
        const std::function<void(size_t)>& progress, FolderListing& result)
        : m_index(index), m_limits(limits), m_cancel(cancel), m_progress(progress), m_result(result)
    {
    }

    void Run(const std::string& root, const FolderState& rootState, bool withSubFolders)
    {
        m_trusted = KeepsFolderTimes(root);
        const size_t maxDepth = size_t(std::max(m_limits.maxDepth, 0));
        struct Pending {
            std::string path;
            size_t depth;
            uint32_t attributes; // as the parent's listing gave them
            uint32_t volume;     // the parent's
        };
        std::vector<Pending> pending;
        pending.push_back({root, 0, uint32_t(rootState.attributes), 0});
        size_t listed = 0;
        bool first = true;
        while (!pending.empty()) {
            if (Cancelled() || listed >= m_limits.maxFolders) {
                m_result.truncated = true;
                break;
            }
            const Pending folder = std::move(pending.back());
            pending.pop_back();
            DWORD error = 0;
            const auto entry =
                Visit(folder.path, folder.attributes, first ? &rootState : nullptr, folder.volume, error);
            if (m_stopped)
                break;
            if (first && !entry) {
                m_result.available = false;
                m_result.reason = SystemErrorText(error);
                break;
            }
            first = false;
            if (!entry)
                continue;
            ++listed;
            bool full = false;
            entry->ForEachPicture([&](const char* name, size_t length) {
                if (full || m_result.pictures.size() >= m_limits.maxPictures)
                    full = true;
                else
                    m_result.pictures.push_back(Join(folder.path, name, length));
            });
            if (full) {
                m_result.truncated = true;
                break;
            }
            Report(m_result.pictures.size(), false);
            if (!withSubFolders || entry->FolderCount() == 0)
                continue;
            if (folder.depth >= maxDepth) {
                m_result.truncated = true;
                continue;
            }
            // Pushed last to first: the first sub-folder is walked next.
            const size_t top = pending.size();
            entry->ForEachFolder([&](const char* name, size_t length, uint32_t attributes) {
                pending.push_back({Join(folder.path, name, length), folder.depth + 1, attributes, entry->volume});
            });
            std::reverse(pending.begin() + std::ptrdiff_t(top), pending.end());
        }
        if (!m_stopped && !Cancelled())
            Report(m_result.pictures.size(), true);
    }

private:
    bool Cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

    void Report(size_t count, bool last)
    {
        if (!m_progress || (count == m_reported && (!last || m_reportedOnce)))
            return;
        const DWORD now = ::GetTickCount();
        if (!last && m_reportedOnce && now - m_reportedAt < kProgressIntervalMs)
            return;
        m_reported = count;
        m_reportedAt = now;
        m_reportedOnce = true;
        m_progress(count);
    }

    // The listing of one folder, from the index when the folder did not change since it was
    // read, else read now; null when it cannot be read (`error` says why), was reached before
    // (a loop) or the walk was cancelled meanwhile (m_stopped). `rootState`: the root's, which
    // the caller has.
    std::shared_ptr<const FolderIndexEntry> Visit(const std::string& path, uint32_t attributes,
        const FolderState* rootState, uint32_t parentVolume, DWORD& error)
    {
        const bool isRoot = rootState != nullptr;
        FolderState state;
        Identity identity;
        bool opened = false; // identity and state from the folder opened through any link
        if (isRoot)
            state = *rootState;
        else if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !StatFolder(path, state, error))
            return nullptr;
        // A junction or link: its own time says nothing of its target's entries.
        if ((attributes | state.attributes) & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (!OpenFolder(path, state, identity, error))
                return nullptr;
            opened = true;
        }
        if (!(state.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            error = ERROR_DIRECTORY;
            return nullptr;
        }
        // What the parent's listing showed may have been hidden or made a placeholder since
        // (which does not change the parent's time).
        if (!isRoot && (state.attributes & kLeftOut))
            return nullptr;

        std::string key = KeyOf(path);
        auto known = m_index.Find(key);
        bool unchanged = m_trusted && known && known->lastWrite != 0 && known->lastWrite == state.lastWrite &&
                         known->size == state.size;
        if (opened) {
            unchanged = unchanged && known->volume == identity.volume && known->fileIndex == identity.fileIndex;
        } else if (unchanged) {
            identity = {known->volume, known->fileIndex};
        } else {
            FolderState ignored; // the time taken before is the one the listing is as new as
            if (!OpenFolder(path, ignored, identity, error, isRoot ? nullptr : &parentVolume))
                return nullptr;
        }
        if (isRoot)
            m_rootVolume = identity.volume;
        else if (identity.volume != m_rootVolume)
            unchanged = false; // another volume, through a link: its file system is not known
        if (!m_visited.insert(identity).second)
            return nullptr; // reached again through a junction or link: not walked twice
        if (unchanged)
            return known;

        auto entry = std::make_shared<FolderIndexEntry>();
        entry->path = path;
        entry->size = state.size;
        entry->volume = identity.volume;
        entry->fileIndex = identity.fileIndex;
        FILETIME now;
        ::GetSystemTimeAsFileTime(&now);
        entry->lastWrite = state.lastWrite + kRecentWrite > Ticks(now) ? 0 : state.lastWrite;
        switch (Read(path, *entry, error)) {
        case ReadResult::whole:
            break;
        case ReadResult::partial:
            entry->lastWrite = 0; // used once, read again next time
            break;
        case ReadResult::failed:
            return nullptr;
        case ReadResult::cancelled:
            m_stopped = true;
            m_result.truncated = true;
            return nullptr;
        }
        m_index.Store(std::move(key), entry);
        return entry;
    }

    enum class ReadResult { whole, partial, failed, cancelled };

    // Lists the folder's entries into `entry`: pictures and sub-folders, each sorted.
    ReadResult Read(const std::string& path, FolderIndexEntry& entry, DWORD& error)
    {
        g_foldersRead.fetch_add(1);
        const std::wstring pattern = FilePath(Join(path, "*", 1));
        WIN32_FIND_DATAW found;
        HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
            FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_INVALID_PARAMETER) // before Windows 7
            find = ::FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
        const FindHandle owner(find);
        std::vector<Named> pictures, folders;
        bool whole = true;
        if (find == INVALID_HANDLE_VALUE) {
            error = ::GetLastError();
            if (error != ERROR_FILE_NOT_FOUND) // what an empty drive's root gives: no entry at all
                return ReadResult::failed;
        } else {
            const auto hook = g_entryHook.load();
            size_t seen = 0;
            do {
                const wchar_t* name = found.cFileName;
                if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))
                    continue;
                if (++seen % kEntriesBetweenChecks == 0) {
                    if (Cancelled())
                        return ReadResult::cancelled;
                    Report(std::min(m_result.pictures.size() + pictures.size(), m_limits.maxPictures), false);
                }
                Named named {name, std::string(), uint32_t(found.dwFileAttributes)};
                // A name Windows holds but UTF-8 cannot (a lone surrogate) would lead nowhere.
                if (!AppendUtf8FromUtf16(named.utf8, reinterpret_cast<const uint16_t*>(name), named.wide.size()) ||
                    !IsFolderIndexName(named.utf8.data(), named.utf8.size()))
                    continue;
                if (hook)
                    hook(Join(path, named.utf8.data(), named.utf8.size()), named.attributes);
                if (named.attributes & kLeftOut)
                    continue;
                if (named.attributes & FILE_ATTRIBUTE_DIRECTORY)
                    folders.push_back(std::move(named));
                else if (IsPictureFileName(named.utf8))
                    pictures.push_back(std::move(named));
            } while (::FindNextFileW(find, &found));
            whole = ::GetLastError() == ERROR_NO_MORE_FILES;
        }
        SortNames(pictures);
        SortNames(folders);
        size_t bytes = 0;
        for (const auto* group : {&pictures, &folders})
            for (const Named& named : *group)
                bytes += named.utf8.size() + 1;
        entry.names.reserve(bytes);
        for (const Named& named : pictures)
            entry.names.append(named.utf8).push_back('\0');
        entry.pictureCount = uint32_t(pictures.size());
        entry.folderAttributes.reserve(folders.size());
        for (const Named& named : folders) {
            entry.names.append(named.utf8).push_back('\0');
            entry.folderAttributes.push_back(named.attributes);
        }
        return whole ? ReadResult::whole : ReadResult::partial;
    }

    FolderTable& m_index;
    const FolderWalkLimits& m_limits;
    const std::atomic<bool>* m_cancel;
    const std::function<void(size_t)>& m_progress;
    FolderListing& m_result;
    bool m_trusted = false;
    uint32_t m_rootVolume = 0;
    bool m_stopped = false;
    std::unordered_set<Identity, IdentityHash> m_visited;
    size_t m_reported = 0;
    DWORD m_reportedAt = 0;
    bool m_reportedOnce = false;
};

} // namespace

struct CFolderIndex::Data {
    explicit Data(std::string indexPath) : table(std::move(indexPath)) {}
    FolderTable table;
};

CFolderIndex::CFolderIndex(std::string indexPath) : m_data(std::make_unique<Data>(std::move(indexPath))) {}

CFolderIndex::~CFolderIndex() = default;

FolderListing CFolderIndex::List(const std::string& folder, bool withSubFolders, const FolderWalkLimits& limits,
    const std::atomic<bool>* cancel, const std::function<void(size_t)>& progress)
{
    const QuietErrors quiet;
    m_data->table.Load();
    FolderListing result;
    const std::string root = NormalFolder(folder);
    FolderState state;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (root.empty() || !StatFolder(root, state, error)) {
        result.reason = SystemErrorText(error);
        return result;
    }
    if (!(state.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result.reason = SystemErrorText(ERROR_DIRECTORY);
        return result;
    }
    // Its entries are not on this computer: listing it would fetch them.
    if (state.attributes & kNotLocal) {
        result.reason = SystemErrorText(ERROR_FILE_OFFLINE);
        return result;
    }
    result.available = true;
    try {
        Walker(m_data->table, limits, cancel, progress, result).Run(root, state, withSubFolders);
    } catch (const std::bad_alloc&) {
        result.truncated = true; // what was found before memory ran out
    }
    return result;
}

bool CFolderIndex::Save()
{
    return m_data->table.Save();
}

bool IsStoredLocally(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(FilePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & kNotLocal);
}

std::string UserFolderIndexPath()
{
    wchar_t buffer[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    std::string folder = Utf8(buffer);
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder.empty() ? std::string() : folder + "\\Murlavo\\Folder index.dat";
}

namespace folder_walk_testing {

void SetEntryHook(EntryHook hook)
{
    g_entryHook.store(hook);
}

void SetIdentityHook(IdentityHook hook)
{
    g_identityHook.store(hook);
}

size_t FoldersRead()
{
    return g_foldersRead.load();
}

} // namespace folder_walk_testing
