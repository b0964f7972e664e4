#include "library/Library.h"

#include "framework/Handles.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

char g_szLibraryPath[MAX_PATH];

namespace {

const char kFolderName[] = "Murlavo";
const char kFileName[] = "Murlavo.ini";

bool IsFile(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A read-only file or a folder stands where the library goes: replacing it is refused for good.
bool BlockedByWhatStandsThere(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesA(path.c_str());
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
    CFileHandle probe(::CreateFileA((path + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
        if (!::CopyFileA(path.c_str(), copy.c_str(), FALSE))
            return RefusesWriting(path) ? SaveResult::Refused : SaveResult::Failed;
        // The copy takes the old file's attributes; it must not block the next copy.
        DWORD attributes = ::GetFileAttributesA(copy.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesA(copy.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
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

} // namespace

void FillLibraryPath()
{
    static const char kName[] = "\\Murlavo.ini";
    UINT length = GetWindowsDirectoryA(g_szLibraryPath, MAX_PATH);
    if (length == 0 || length + sizeof kName > MAX_PATH) {
        g_szLibraryPath[0] = '\0';
        return;
    }
    std::memcpy(g_szLibraryPath + length, kName, sizeof kName);
}

std::string UserLibraryPath()
{
    std::string folder;
    char buffer[MAX_PATH];
    if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
        folder = buffer;
    } else {
        DWORD size = ::GetEnvironmentVariableA("APPDATA", nullptr, 0);
        if (size > 1) {
            folder.resize(size);
            DWORD length = ::GetEnvironmentVariableA("APPDATA", &folder[0], size);
            folder.resize(length < size ? length : 0);
        }
    }
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    if (folder.empty())
        return {};
    return folder + "\\" + kFolderName + "\\" + kFileName;
}

std::string LibraryPathForReading()
{
    const std::string user = UserLibraryPath();
    if (!user.empty() && IsFile(user))
        return user;
    return WindowsLibraryPath();
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
    if (savedTo)
        savedTo->clear();
    const std::string user = UserLibraryPath();
    const bool keepOldCopy = !oldFileReadToEnd;
    std::string target;
    if (!user.empty() && IsFile(user)) {
        // The user's library, once made, stays the user's library.
        if (SaveAt(user, entries, scaleMethod, keepOldCopy) != SaveResult::Saved)
            return false;
        target = user;
    } else {
        const std::string windows = WindowsLibraryPath();
        SaveResult result = windows.empty() ? SaveResult::Refused : SaveAt(windows, entries, scaleMethod, keepOldCopy);
        if (result == SaveResult::Saved) {
            target = windows;
        } else {
            // Only a refusal for good moves the library; a passing failure keeps it where it is.
            if (result == SaveResult::Failed || user.empty())
                return false;
            const std::string folder = user.substr(0, user.find_last_of('\\'));
            const bool madeFolder = ::CreateDirectoryA(folder.c_str(), nullptr) != FALSE;
            if (SaveAt(user, entries, scaleMethod, keepOldCopy) != SaveResult::Saved) {
                if (madeFolder)
                    ::RemoveDirectoryA(folder.c_str());
                return false;
            }
            target = user;
        }
    }
    if (savedTo)
        *savedTo = target;
    return true;
}
