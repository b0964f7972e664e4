// Helpers of the Win32 tests: bounded message pumps, child processes with timeouts,
// scratch folders and registry clean-up.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Pumps this thread's messages until the condition holds or the time is up.
// Returns the condition's last value.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);
// Pumps messages for the given time.
void PumpFor(DWORD ms);
// Handles every message posted to this thread so far (and what they post in turn before the
// marker): a marker posted behind them is awaited. Fails the test after 20 s.
void HandlePostedMessages();

// Answers the message boxes this thread shows, from inside their own message loop: a timer
// of the thread finds each box, keeps its text and presses its OK button. Create it before
// the action that shows the boxes.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    const std::vector<std::string>& Texts() const { return m_texts; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    UINT_PTR m_timer = 0;
    HWND m_last = nullptr;
    std::vector<std::string> m_texts;
};

// Acts on the dialogs with this caption that this thread shows, from inside their own modal
// loop: a timer finds each new one and runs the action on it once (the action ends it). One at
// a time, like MessageBoxAnswerer.
class DialogAnswerer {
public:
    DialogAnswerer(const char* caption, std::function<void(HWND)> action);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    int Answered() const { return m_count; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    std::string m_caption;
    std::function<void(HWND)> m_action;
    UINT_PTR m_timer = 0;
    HWND m_last = nullptr;
    int m_count = 0;
};

// Live handles of this process. The system's counters (GetGuiResources, GetProcessHandleCount)
// are stubs returning 0 under Wine, so the handles are also counted by probing every small
// handle value: kernel handles are multiples of 4, and GDI objects answer GetObjectType by
// their 16-bit index there.
struct ResourceCounts {
    DWORD gdi = 0, user = 0, handles = 0;
    int probedGdi = 0, probedHandles = 0, modules = 0;
};
ResourceCounts CountResources();

// A control a dialog template must hold: id, window class, text, the style bits that matter
// (compared under styleMask) and the rectangle in dialog units.
struct ExpectedControl {
    int id;
    const char* cls; // "Button", "Edit", "Static", "msctls_updown32"
    const char* text;
    DWORD style;
    DWORD styleMask;
    RECT rect; // left, top, width, height in dialog units
};
// Compares the controls of a live dialog, in their order (the tab order), with the table.
void ExpectControls(HWND dialog, const std::vector<ExpectedControl>& expected);

// Folder of the running test executable (murlavo.exe is built into the same folder).
std::string ExeDir();
std::string MurlavoExe();
// An empty folder under the system's temporary folder, made fresh for this name.
std::string ScratchDir(const std::string& name);
bool CopyTo(const std::string& from, const std::string& to);
bool FileExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);

// A started child process; the destructor kills it if it still runs.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Start(const std::string& exe, const std::string& arguments);
    // Waits (pumping this thread's messages) for the end; false on timeout.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    DWORD Id() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }

private:
    PROCESS_INFORMATION m_pi {};
};

// Top-level windows of a process, visible or not.
std::vector<HWND> WindowsOfProcess(DWORD processId);

// Deletes a registry key with everything below it; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::string& path);
void DeleteRegValue(HKEY root, const std::string& path, const char* name);
bool ReadRegString(HKEY root, const std::string& path, const char* name, std::string* value);
bool ReadRegDword(HKEY root, const std::string& path, const char* name, DWORD* value);
// Names of the values of a key (empty when the key does not exist).
std::vector<std::string> RegValueNames(HKEY root, const std::string& path);

} // namespace testing_support
