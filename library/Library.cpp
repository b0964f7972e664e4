#include "library/Library.h"

#include "framework/Handles.h"
#include "framework/WideText.h"

#include <windows.h>
#include <shlobj.h>

#include "framework/FileReplace.h"

#include <algorithm>
#include <cstring>

char g_szLibraryPath[kLibraryPathSize];

namespace {

const char kFolderName[] = "Murlavo";
const char kFileName[] = "Murlavo.ini";

bool IsFile(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesW(FilePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A read-only file or a folder stands where the library goes: replacing it is refused for good.
bool BlockedByWhatStandsThere(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesW(FilePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES
        && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
}

// Whether a failed write of `path` came from a place that refuses writing for good, rather than
// from something passing (a file held open, a full disk). Probes the folder by creating the
// save's own temporary file, deleted again when the probe closes it.
bool RefusesWriting(const std::string& path)
{
    if (BlockedByWhatStandsThere(path))
        return true;
    CFileHandle probe(::CreateFileW(FilePath(path + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (probe)
        return false;
    DWORD error = ::GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

enum class SaveResult { Saved, Refused, Failed };

// Writes the library at `path`, keeping a copy of the file there first when `keepOldCopy` is
// set and such a file exists.
SaveResult SaveAt(const std::string& path, const std::vector<CLibraryEntry>& entries, int32_t scaleMethod,
    bool keepOldCopy)
{
    // Checked first, so that no copy is left beside a file that is not going to change.
    if (BlockedByWhatStandsThere(path))
        return SaveResult::Refused;
    if (keepOldCopy && IsFile(path)) {
        const std::string copy = path + ".bak";
        const std::wstring wideCopy = FilePath(copy);
        if (!::CopyFileW(FilePath(path).c_str(), wideCopy.c_str(), FALSE))
            return RefusesWriting(path) ? SaveResult::Refused : SaveResult::Failed;
        // The copy takes the old file's attributes; it must not block the next copy.
        DWORD attributes = ::GetFileAttributesW(wideCopy.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesW(wideCopy.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (SaveLibraryFile(path.c_str(), entries, scaleMethod))
        return SaveResult::Saved;
    return RefusesWriting(path) ? SaveResult::Refused : SaveResult::Failed;
}

std::string WindowsLibraryPath()
{
    FillLibraryPath();
    return g_szLibraryPath;
}

bool SameFile(const std::string& a, const std::string& b)
{
    return !a.empty() && ::lstrcmpiW(Wide(a).c_str(), Wide(b).c_str()) == 0;
}

// The system's reason for an error, without the line break it ends with.
std::string ErrorText(DWORD error)
{
    return SystemErrorText(error);
}

// Makes the folder of the user's library; true when it was made (and may be removed again).
bool MakeUserFolder(const std::string& user)
{
    const std::string folder = user.substr(0, user.find_last_of('\\'));
    return ::CreateDirectoryW(FilePath(folder).c_str(), nullptr) != FALSE;
}

// Writes the user's library, making its folder when needed (and removing a folder made for a
// save that failed).
bool SaveUserLibrary(const std::string& user, const std::vector<CLibraryEntry>& entries, int32_t scaleMethod,
    bool keepOldCopy)
{
    const bool madeFolder = MakeUserFolder(user);
    if (SaveAt(user, entries, scaleMethod, keepOldCopy) == SaveResult::Saved)
        return true;
    if (madeFolder)
        ::RemoveDirectoryW(FilePath(user.substr(0, user.find_last_of('\\'))).c_str());
    return false;
}

uint64_t FileTimeValue(const FILETIME& time)
{
    return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

void FillLibraryPath()
{
    g_szLibraryPath[0] = '\0';
    wchar_t windows[MAX_PATH];
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    const std::string path = Utf8(windows, length) + "\\Murlavo.ini";
    if (path.size() < sizeof g_szLibraryPath)
        std::memcpy(g_szLibraryPath, path.c_str(), path.size() + 1);
}

namespace {

// A known folder of the user's, without a trailing backslash; empty when unknown.
std::string UserFolder(int csidl)
{
    wchar_t buffer[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    std::string folder = Utf8(buffer);
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

} // namespace

std::string UserLibraryPath()
{
    std::string folder = UserFolder(CSIDL_APPDATA);
    if (folder.empty()) {
        DWORD size = ::GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
        if (size > 1) {
            std::wstring value(size, L'\0');
            DWORD length = ::GetEnvironmentVariableW(L"APPDATA", &value[0], size);
            folder = length < size ? Utf8(value.data(), length) : std::string();
        }
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
            folder.pop_back();
    }
    if (folder.empty())
        return {};
    return folder + "\\" + kFolderName + "\\" + kFileName;
}

std::string VirtualStorePath()
{
    const std::string windows = WindowsLibraryPath();
    const std::string local = windows.size() < 3 || windows[1] != ':' ? std::string() : UserFolder(CSIDL_LOCAL_APPDATA);
    return local.empty() ? std::string() : local + "\\VirtualStore" + windows.substr(2);
}

std::string LibraryPathForReading()
{
    const std::string user = UserLibraryPath();
    if (!user.empty() && IsFile(user))
        return user;
    const std::string windows = WindowsLibraryPath();
    // An older build without a manifest had its saves to the Windows directory redirected to
    // the virtualization store: the newer of the two is the user's library.
    const std::string stored = VirtualStorePath();
    if (!stored.empty() && IsFile(stored)) {
        const LibraryFileStamp storedStamp = StampOfFile(stored), windowsStamp = StampOfFile(windows);
        if (!windowsStamp.exists || storedStamp.writeTime > windowsStamp.writeTime)
            return stored;
    }
    return windows;
}

LibraryFileStamp StampOfFile(const std::string& path)
{
    LibraryFileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data {};
    if (path.empty() || !::GetFileAttributesExW(FilePath(path).c_str(), GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return stamp;
    stamp.exists = true;
    stamp.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.writeTime = FileTimeValue(data.ftLastWriteTime);
    return stamp;
}

LibraryReadState ReadLibraryForEditing(CWallpaperList& records)
{
    LibraryReadState state;
    state.path = LibraryPathForReading();
    if (state.path.empty())
        return state;
    state.stamp = StampOfFile(state.path);
    // A file that stands there but cannot be opened must not pass for an empty library.
    WIN32_FILE_ATTRIBUTE_DATA data {};
    if (!::GetFileAttributesExW(FilePath(state.path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            state.unreadable = true;
            state.error = ErrorText(error);
        }
        return state;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return state; // no library there; saving finds the place refused
    {
        CFileHandle probe(::CreateFileW(FilePath(state.path).c_str(), GENERIC_READ,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!probe) {
            state.unreadable = true;
            state.error = ErrorText(::GetLastError());
            return state;
        }
    }
    state.readToEnd = LoadLibraryFile(state.path.c_str(), records);
    return state;
}

void ReadLibrary(CWallpaperList& list)
{
    FillLibraryPath();
    const std::string path = LibraryPathForReading();
    if (!path.empty())
        ReadShowList(path.c_str(), list);
}

bool SavePictureLibraryFile(const std::vector<CLibraryEntry>& entries, int32_t scaleMethod, bool oldFileReadToEnd,
    std::string* savedTo)
{
    // The file as it is now counts as the one read.
    LibraryReadState read;
    read.path = LibraryPathForReading();
    read.stamp = StampOfFile(read.path);
    read.readToEnd = oldFileReadToEnd;
    return SavePictureLibraryFile(entries, scaleMethod, read, savedTo);
}

bool SavePictureLibraryFile(const std::vector<CLibraryEntry>& entries, int32_t scaleMethod,
    const LibraryReadState& read, std::string* savedTo)
{
    if (savedTo)
        savedTo->clear();
    if (read.unreadable)
        return false; // what could not be read is not replaced by what was not there
    // A copy is kept of whatever is about to be replaced that is not the file as it was read.
    auto keepCopyOf = [&read](const std::string& target) {
        return !read.readToEnd || !SameFile(target, read.path) || StampOfFile(target) != read.stamp;
    };
    const std::string user = UserLibraryPath();
    const std::string windows = WindowsLibraryPath();
    // The user's library, once made, stays the user's library; a library read from the
    // virtualization store moves there too.
    const bool toUser = !user.empty()
        && (SameFile(read.path, user) || IsFile(user) || SameFile(read.path, VirtualStorePath()));
    std::string target;
    if (toUser) {
        if (!SaveUserLibrary(user, entries, scaleMethod, keepCopyOf(user)))
            return false;
        target = user;
    } else {
        const SaveResult result =
            windows.empty() ? SaveResult::Refused : SaveAt(windows, entries, scaleMethod, keepCopyOf(windows));
        if (result == SaveResult::Saved) {
            target = windows;
        } else {
            // Only a refusal for good moves the library; a passing failure keeps it where it is.
            if (result == SaveResult::Failed || user.empty()
                || !SaveUserLibrary(user, entries, scaleMethod, keepCopyOf(user)))
                return false;
            target = user;
        }
    }
    if (savedTo)
        *savedTo = target;
    return true;
}

std::string UserStatePath(const char* name)
{
    const std::string folder = UserFolder(CSIDL_LOCAL_APPDATA);
    if (folder.empty())
        return {};
    return folder + "\\" + kFolderName + "\\" + name;
}

std::string ReadStateFile(const std::string& path, size_t maxBytes)
{
    if (path.empty())
        return {};
    CFileHandle file(::CreateFileW(FilePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size {};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || uint64_t(size.QuadPart) > maxBytes)
        return {};
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t at = 0;
    while (at < bytes.size()) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 20));
        if (!::ReadFile(file.Get(), &bytes[at], want, &read, nullptr) || read == 0)
            return {};
        at += read;
    }
    return bytes;
}

bool WriteStateFile(const std::string& path, const void* data, size_t size)
{
    if (path.empty())
        return false;
    const size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos)
        ::CreateDirectoryW(FilePath(path.substr(0, slash)).c_str(), nullptr);
    const std::string temp = path + ".tmp";
    {
        CFileHandle file(::CreateFileW(FilePath(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        const auto* bytes = static_cast<const char*>(data);
        size_t at = 0;
        while (at < size) {
            DWORD written = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size - at, 1u << 20));
            if (!::WriteFile(file.Get(), bytes + at, want, &written, nullptr) || written == 0) {
                file.Reset();
                ::DeleteFileW(FilePath(temp).c_str());
                return false;
            }
            at += written;
        }
    }
    return ReplaceFileAtomically(temp.c_str(), path.c_str());
}
