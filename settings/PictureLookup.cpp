#include "settings/PictureLookup.h"

#include "framework/WideText.h"
#include "library/FolderRecord.h"
#include "settings/PicturePreview.h"

#include <objbase.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <set>

DWORD(WINAPI* CPictureLookup::s_pfnGetFileAttributes)(LPCWSTR) = ::GetFileAttributesW;
DWORD_PTR(WINAPI* CPictureLookup::s_pfnSHGetFileInfo)(LPCWSTR, DWORD, SHFILEINFOW*, UINT, UINT) = ::SHGetFileInfoW;

namespace {

bool IsSlash(char c)
{
    return c == '\\' || c == '/';
}

// What the worker remembers between look-ups: which shares can be reached, which drives are
// network drives, which icons of the system list it has handed over.
struct WorkerMemory {
    std::map<std::string, bool> reachable;
    std::map<char, bool> networkDrive;
    std::set<int> iconsSent;
};

// The share a path lies on: "\\server\share" for "\\server\share\..." (also "\\?\UNC\server\share"),
// "Z:" on a network drive Z:, empty on a local drive.
std::string ShareOf(const std::string& path, WorkerMemory& memory)
{
    if (path.size() > 2 && IsSlash(path[0]) && IsSlash(path[1])) {
        size_t server = 2;
        if (path.size() > 3 && (path[2] == '?' || path[2] == '.') && IsSlash(path[3])) {
            if (path.size() < 8 || _strnicmp(path.c_str() + 4, "UNC", 3) != 0 || !IsSlash(path[7]))
                return std::string(); // a local device path (\\?\C:\...)
            server = 8;
        }
        const size_t share = path.find_first_of("\\/", server);
        if (share == std::string::npos)
            return path;
        const size_t end = path.find_first_of("\\/", share + 1);
        return path.substr(0, end);
    }
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        auto known = memory.networkDrive.find(letter);
        if (known == memory.networkDrive.end()) {
            const wchar_t root[] = {wchar_t(letter), L':', L'\\', L'\0'};
            known = memory.networkDrive.emplace(letter, ::GetDriveTypeW(root) == DRIVE_REMOTE).first;
        }
        if (known->second)
            return path.substr(0, 2);
    }
    return std::string();
}

// A share answers for its root unless it cannot be reached (a share that refuses the listing
// is there all the same).
bool ShareReachable(const std::string& share)
{
    if (CPictureLookup::s_pfnGetFileAttributes(FilePath(share + "\\").c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    return ::GetLastError() == ERROR_ACCESS_DENIED;
}

// The user's words for a file or folder the file system could not find or reach.
std::string MissingReason(DWORD error, bool folder)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return folder ? "The folder is gone." : "The file is missing.";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return "The folder is gone.";
    default:
        return (folder ? "The folder cannot be reached: " : "The file cannot be reached: ") + SystemErrorText(error);
    }
}

CPictureLookup::Result LookUp(const std::string& path, bool newShell, WorkerMemory& memory)
{
    CPictureLookup::Result result;
    // A file that cannot be found shows its full path.
    result.label = path;
    const bool folder = FolderScopeOf(path) != FolderScope::none;
    const std::string target = folder ? FolderOfRecord(path) : path;
    const std::string share = ShareOf(target, memory);
    if (!share.empty()) {
        auto known = memory.reachable.find(share);
        if (known == memory.reachable.end())
            known = memory.reachable.emplace(share, ShareReachable(share)).first;
        if (!known->second) {
            result.reason = "The network place " + share + " cannot be reached.";
            return result;
        }
    }
    // "C:" alone would name the drive's current folder.
    const std::string asked = folder && target.size() == 2 && target[1] == ':' ? target + "\\" : target;
    const DWORD attributes = CPictureLookup::s_pfnGetFileAttributes(FilePath(asked).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        result.reason = MissingReason(::GetLastError(), folder);
        return result;
    }
    if (folder) {
        // The tree shows a folder by its own name and count (the dialog's), not the shell's.
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            result.reason = "The folder is gone.";
            return result;
        }
        result.exists = true;
        return result;
    }
    // A file kept online only is not opened, nor handed to the shell, which might open it.
    if (attributes & kOnlineOnlyAttributes) {
        result.reason = "The file is stored online only; it is not downloaded to be shown.";
        return result;
    }

    const std::wstring wide = Wide(path);
    if (newShell) {
        // One question to the shell gives the icon's place in the system's list and the name.
        // It answers from the name and attributes given (icons by file type): opening each file
        // to ask costs milliseconds apiece, which a library of thousands cannot pay. So a path
        // longer than the shell takes is asked about by its file's name alone.
        const std::wstring asked = wide.size() < MAX_PATH ? wide : Wide(CPictureLookup::FileNameOf(path));
        SHFILEINFOW info {};
        auto system = reinterpret_cast<HIMAGELIST>(CPictureLookup::s_pfnSHGetFileInfo(asked.c_str(), attributes, &info,
            sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_DISPLAYNAME));
        if (!system)
            return result;
        result.exists = true;
        result.label = Utf8(info.szDisplayName);
        result.systemIcon = info.iIcon;
        // Files of one type share one icon: it travels once.
        if (memory.iconsSent.insert(info.iIcon).second)
            result.icon.Reset(::ImageList_GetIcon(system, info.iIcon, ILD_NORMAL));
        return result;
    }

    // Without the shell's services: the icon of the program the file opens with, and the file
    // name without its folder and extension.
    result.exists = true;
    result.label = CPictureLookup::TitleOf(path);
    // The function writes the path of the icon's file into the buffer it is given, which holds
    // a path of the classic length: a longer one gets no icon.
    wchar_t copy[MAX_PATH];
    if (wide.size() < MAX_PATH) {
        std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        WORD index = 0;
        result.icon.Reset(::ExtractAssociatedIconW(::GetModuleHandleW(nullptr), copy, &index));
    }
    return result;
}

} // namespace

struct CPictureLookup::Shared {
    std::mutex mutex;
    std::condition_variable wake; // a request, or the stop
    std::condition_variable idle; // nothing queued and nothing in hand
    std::deque<Job> queue;
    std::vector<Result> results;
    bool busy = false;
    bool stop = false;
    bool announced = false;
    HWND notify = nullptr;
    UINT message = 0;
};

CPictureLookup::~CPictureLookup()
{
    Stop(0);
}

std::string CPictureLookup::FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CPictureLookup::TitleOf(const std::string& path)
{
    std::string name = FileNameOf(path);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

void CPictureLookup::SetTarget(HWND notify, UINT message)
{
    m_hNotify = notify;
    m_nMessage = message;
    if (m_shared) {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->notify = notify;
        m_shared->message = message;
    }
}

bool CPictureLookup::Request(uint64_t id, const std::string& path, bool newShell)
{
    try {
        m_noted.push_back({id, path, newShell});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CPictureLookup::Flush()
{
    if (m_noted.empty())
        return true;
    try {
        if (!m_shared) {
            auto shared = std::make_shared<Shared>();
            shared->notify = m_hNotify;
            shared->message = m_nMessage;
            auto threadShare = std::make_unique<std::shared_ptr<Shared>>(shared);
            DWORD threadId = 0;
            HANDLE thread = ::CreateThread(nullptr, 0, Worker, threadShare.get(), 0, &threadId);
            if (!thread) {
                m_noted.clear();
                return false;
            }
            threadShare.release(); // the thread's share now
            m_thread.Reset(thread);
            m_shared = std::move(shared);
        }
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            for (auto& request : m_noted)
                m_shared->queue.push_back(std::move(request));
        }
        m_noted.clear();
        m_shared->wake.notify_one();
        return true;
    } catch (const std::exception&) {
        m_noted.clear();
        return false;
    }
}

std::vector<CPictureLookup::Result> CPictureLookup::TakeResults()
{
    std::vector<Result> results;
    if (m_shared) {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        results.swap(m_shared->results);
        m_shared->announced = false;
    }
    return results;
}

bool CPictureLookup::WaitUntilIdle(DWORD timeoutMs)
{
    Flush();
    if (!m_shared)
        return true;
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    return m_shared->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
        [this] { return m_shared->queue.empty() && !m_shared->busy; });
}

void CPictureLookup::Stop(DWORD timeoutMs)
{
    m_noted.clear();
    if (!m_shared)
        return;
    std::vector<Result> dropped; // their icons go outside the lock
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stop = true;
        m_shared->notify = nullptr;
        m_shared->queue.clear();
        dropped.swap(m_shared->results);
    }
    m_shared->wake.notify_all();
    if (m_thread)
        ::WaitForSingleObject(m_thread.Get(), timeoutMs);
    m_thread.Reset();
    m_shared.reset();
}

DWORD WINAPI CPictureLookup::Worker(void* param)
{
    const std::unique_ptr<std::shared_ptr<Shared>> share(static_cast<std::shared_ptr<Shared>*>(param));
    Shared& shared = **share;
    // The shell asks for COM on the threads that call it.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    WorkerMemory memory;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.busy = false;
            if (shared.queue.empty())
                shared.idle.notify_all();
            shared.wake.wait(lock, [&] { return shared.stop || !shared.queue.empty(); });
            if (shared.stop)
                break;
            job = std::move(shared.queue.front());
            shared.queue.pop_front();
            shared.busy = true;
        }
        try {
            Result result = LookUp(job.path, job.newShell, memory);
            result.id = job.id;
            std::lock_guard<std::mutex> lock(shared.mutex);
            if (shared.stop)
                break;
            shared.results.push_back(std::move(result));
            // One message announces everything that comes before the dialog takes it.
            if (!shared.announced && shared.notify)
                shared.announced = ::PostMessageA(shared.notify, shared.message, 0, 0) != FALSE;
        } catch (const std::exception&) {
            // Without memory the item keeps its neutral picture.
        }
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}
