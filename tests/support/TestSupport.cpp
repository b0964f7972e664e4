#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace testing_support {

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (condition())
            return true;
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return condition();
        DWORD wait = timeoutMs - elapsed;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, wait < 20 ? wait : 20, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

void HandlePostedMessages()
{
    const UINT marker = WM_APP + 0x3FF0;
    ::PostThreadMessageA(::GetCurrentThreadId(), marker, 0, 0);
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < 20000) {
        if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            continue;
        }
        if (msg.hwnd == nullptr && msg.message == marker)
            return;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ADD_FAILURE() << "a message posted to this thread never came back";
}

namespace {
MessageBoxAnswerer* g_pAnswerer = nullptr;

// The system's dialog class, or one of the program's dialog classes under a fixed name.
bool IsDialogWindow(HWND hwnd)
{
    char cls[32] = "";
    ::GetClassNameA(hwnd, cls, sizeof cls);
    return !std::strcmp(cls, "#32770") || !std::strcmp(cls, "Murlavo.Settings");
}

BOOL CALLBACK FindMessageBox(HWND hwnd, LPARAM param)
{
    char cls[16] = "";
    ::GetClassNameA(hwnd, cls, sizeof cls);
    // A message box: a dialog whose text is the static with id 0xFFFF.
    if (!std::strcmp(cls, "#32770") && ::IsWindowVisible(hwnd) && ::GetDlgItem(hwnd, 0xFFFF)) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

MessageBoxAnswerer::MessageBoxAnswerer()
{
    g_pAnswerer = this;
    m_timer = ::SetTimer(nullptr, 0, 10, OnTimer);
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    ::KillTimer(nullptr, m_timer);
    g_pAnswerer = nullptr;
}

void CALLBACK MessageBoxAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (!box || !g_pAnswerer || box == g_pAnswerer->m_last)
        return; // none, or the one just answered and still closing
    g_pAnswerer->m_last = box;
    char text[512] = "";
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    g_pAnswerer->m_texts.push_back(text);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
}

namespace {
DialogAnswerer* g_pDialogAnswerer = nullptr;

struct DialogSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param)
{
    auto& search = *reinterpret_cast<DialogSearch*>(param);
    char caption[256] = "";
    ::GetWindowTextA(hwnd, caption, sizeof caption);
    if (IsDialogWindow(hwnd) && ::IsWindowVisible(hwnd) && search.caption == std::string(caption)) {
        search.found = hwnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

DialogAnswerer::DialogAnswerer(const char* caption, std::function<void(HWND)> action)
    : m_caption(caption), m_action(std::move(action))
{
    g_pDialogAnswerer = this;
    m_timer = ::SetTimer(nullptr, 0, 10, OnTimer);
}

DialogAnswerer::~DialogAnswerer()
{
    ::KillTimer(nullptr, m_timer);
    g_pDialogAnswerer = nullptr;
}

void CALLBACK DialogAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    DialogAnswerer* self = g_pDialogAnswerer;
    if (!self)
        return;
    DialogSearch search {self->m_caption.c_str(), nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
    if (!search.found || search.found == self->m_last)
        return;
    self->m_last = search.found;
    ++self->m_count;
    self->m_action(search.found);
}

ResourceCounts CountResources()
{
    ResourceCounts counts;
    counts.gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    counts.user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    ::GetProcessHandleCount(::GetCurrentProcess(), &counts.handles);
    for (UINT_PTR i = 1; i < 0x10000; ++i)
        counts.probedGdi += ::GetObjectType(reinterpret_cast<HGDIOBJ>(i)) != 0;
    for (UINT_PTR i = 4; i < 0x20000; i += 4) {
        DWORD flags;
        counts.probedHandles += ::GetHandleInformation(reinterpret_cast<HANDLE>(i), &flags) != FALSE;
    }
    HMODULE modules[512];
    DWORD bytes = 0;
    if (::EnumProcessModules(::GetCurrentProcess(), modules, sizeof modules, &bytes))
        counts.modules = static_cast<int>(bytes / sizeof(HMODULE));
    return counts;
}

namespace {
// The control is the buddy of the up-down control that follows it, which sits on its left or
// right edge.
bool IsAlignedBuddy(HWND control)
{
    HWND next = ::GetWindow(control, GW_HWNDNEXT);
    char cls[32] = "";
    if (!next || !::GetClassNameA(next, cls, sizeof cls) || _stricmp(cls, "msctls_updown32") != 0)
        return false;
    return (::GetWindowLongA(next, GWL_STYLE) & (UDS_ALIGNLEFT | UDS_ALIGNRIGHT))
        && reinterpret_cast<HWND>(::SendMessageA(next, UDM_GETBUDDY, 0, 0)) == control;
}
} // namespace

void ExpectControls(HWND dialog, const std::vector<ExpectedControl>& expected)
{
    std::vector<HWND> controls;
    for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        controls.push_back(c);
    ASSERT_EQ(controls.size(), expected.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        const ExpectedControl& e = expected[i];
        HWND c = controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (" + std::to_string(e.id) + ")");
        EXPECT_EQ(static_cast<int>(static_cast<short>(::GetDlgCtrlID(c))), e.id);
        char cls[64] = "", text[256] = "";
        ::GetClassNameA(c, cls, sizeof cls);
        EXPECT_EQ(_stricmp(cls, e.cls), 0) << cls;
        ::GetWindowTextA(c, text, sizeof text);
        EXPECT_STREQ(text, e.text);
        // Dialogs of the current look draw an edit control's border as a sunken client edge.
        DWORD style = static_cast<DWORD>(::GetWindowLongA(c, GWL_STYLE));
        if (::GetWindowLongA(c, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
            style |= WS_BORDER;
        EXPECT_EQ(style & e.styleMask, e.style & e.styleMask);
        // The dialog manager converts the position and the size each on its own, so the size is
        // mapped as a size (mapping the far corner instead can round one pixel off).
        RECT units = e.rect;
        ::MapDialogRect(dialog, &units);
        RECT actual;
        ::GetWindowRect(c, &actual);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        // Up-down controls move and size themselves beside their buddy, and an aligned one
        // narrows the buddy to make room for itself.
        if (_stricmp(e.cls, "msctls_updown32") != 0) {
            if (!IsAlignedBuddy(c)) {
                EXPECT_EQ(actual.left, units.left);
                EXPECT_EQ(actual.right - actual.left, units.right);
            }
            EXPECT_EQ(actual.top, units.top);
            // A drop-down list's height in the template is the open list's; closed, the box
            // takes the height of its font.
            if (_stricmp(e.cls, "ComboBox") != 0) {
                EXPECT_EQ(actual.bottom - actual.top, units.bottom);
            }
        }
    }
}

std::string ExeDir()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of("\\/"));
}

std::string MurlavoExe()
{
    return ExeDir() + "\\murlavo.exe";
}

static void DeleteFolderContents(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string full = dir + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteFolderContents(full);
            ::RemoveDirectoryA(full.c_str());
        } else {
            ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(full.c_str());
        }
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
}

std::string ScratchDir(const std::string& name)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "murlavo-tests";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    dir += "\\" + name;
    ::CreateDirectoryA(dir.c_str(), nullptr);
    DeleteFolderContents(dir);
    return dir;
}

bool CopyTo(const std::string& from, const std::string& to)
{
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadWholeFile(const std::string& path)
{
    std::string data;
    if (std::FILE* fp = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, fp)) > 0)
            data.append(buffer, got);
        std::fclose(fp);
    }
    return data;
}

ChildProcess::~ChildProcess()
{
    if (m_pi.hProcess) {
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_pi.hProcess, 99);
            ::WaitForSingleObject(m_pi.hProcess, 5000);
        }
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
    }
}

bool ChildProcess::Start(const std::string& exe, const std::string& arguments)
{
    std::string line = "\"" + exe + "\"";
    if (!arguments.empty())
        line += " " + arguments;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA si {};
    si.cb = sizeof si;
    return ::CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi)
        != FALSE;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (!m_pi.hProcess)
        return false;
    bool ended = PumpUntil([this] { return ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
    if (ended && exitCode)
        ::GetExitCodeProcess(m_pi.hProcess, exitCode);
    return ended;
}

namespace {
struct EnumState {
    DWORD pid;
    std::vector<HWND>* out;
};
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam)
{
    auto* state = reinterpret_cast<EnumState*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == state->pid)
        state->out->push_back(hwnd);
    return TRUE;
}
} // namespace

std::vector<HWND> WindowsOfProcess(DWORD processId)
{
    std::vector<HWND> windows;
    EnumState state {processId, &windows};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return windows;
}

bool DeleteKeyTree(HKEY root, const std::string& path)
{
    HKEY key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return true;
    char name[256];
    for (;;) {
        DWORD size = sizeof name;
        if (::RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!DeleteKeyTree(key, name))
            break;
    }
    ::RegCloseKey(key);
    return ::RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

void DeleteRegValue(HKEY root, const std::string& path, const char* name)
{
    HKEY key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    ::RegDeleteValueA(key, name);
    ::RegCloseKey(key);
}

bool ReadRegString(HKEY root, const std::string& path, const char* name, std::string* value)
{
    char buffer[4096];
    DWORD size = sizeof buffer - 1, type = 0;
    HKEY key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return false;
    buffer[size] = '\0';
    *value = buffer;
    return true;
}

bool ReadRegDword(HKEY root, const std::string& path, const char* name, DWORD* value)
{
    DWORD size = sizeof *value, type = 0;
    HKEY key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD;
}

std::vector<std::string> RegValueNames(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    HKEY key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (::RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    ::RegCloseKey(key);
    return names;
}

} // namespace testing_support
