// Checks of the setup program, run inside the Wine prefix that tests/dist/installer_test.sh
// made for it, one phase at a time (--gtest_filter=<Phase>.*) between the script's runs of
// the setup and the uninstaller:
//   Prepare             the user's own libraries and settings exist before the setup runs
//   Installed           after "setup /S": files, registry values, shortcuts, the changer runs
//   Uninstalled         after "uninstall /S": nothing the setup owned is left, the user's data is
//   PrepareQuiet        another screen saver is the current one
//   InstalledQuiet      after "setup /S /NOSTARTUP /NOSAVER": no start-up entry, saver unchanged
//   UpdateWhileRunning  runs "setup /S /NOSTARTUP /NOSAVER" itself over the install while the
//                       program runs: the setup ends the program's processes and nothing else,
//                       and stops, changing nothing, at a Settings dialog that stays open
//   RemovedWithUserData after "uninstall /S /REMOVEUSERDATA": the user's data is gone too
//   Interactive         the setup's pages clicked through with their defaults: the start-up
//                       entry, the current screen saver, and the changer started at the end
//   InUse               runs "setup /S" and "uninstall /S" itself while it holds the program
//                       file open: both finish, leaving that file to the restart
//   RemovedAtRestart    after the restart ("wineboot -r"): nothing is left
// MURLAVO_DIST_STAGE names the staged release folder (what the setup must install),
// MURLAVO_DIST_SETUP the setup program.
#include "app/WindowNames.h"
#include "murlavo_version.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Murlavo";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kDesktopKey[] = "Control Panel\\Desktop";
const char kSettingsKey[] = "Software\\Orvane Inc.\\Murlavo";
const char kChangerKey[] = "Software\\Orvane Inc.\\Murlavo\\Changer";
const char kRegistrationKey[] = "Software\\Orvane Inc.\\Murlavo\\Registration";
const char kOtherSaver[] = "C:\\windows\\system32\\other.scr";
const DWORD kUserInterval = 17;

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return path;
}

std::string InstallDir() { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Murlavo"; }
std::string SaverFile() { return ShellFolder(CSIDL_SYSTEM) + "\\Murlavo.scr"; }
std::string MenuFolder() { return ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Murlavo"; }
std::string UserLibrary() { return ShellFolder(CSIDL_APPDATA) + "\\Murlavo\\Murlavo.ini"; }
// Every library file "Remove my picture library and settings" removes: the Windows directory's,
// the user's own, and the copy file virtualization gave an older 32-bit build; each with the
// copy kept of a file the program could not read.
std::vector<std::string> LibraryFiles()
{
    const std::string windows = ShellFolder(CSIDL_WINDOWS);
    const std::string virtualStore = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\VirtualStore" + windows.substr(2);
    std::vector<std::string> files;
    for (const std::string& library : {windows + "\\Murlavo.ini", UserLibrary(), virtualStore + "\\Murlavo.ini"}) {
        files.push_back(library);
        files.push_back(library + ".bak");
    }
    return files;
}
const char* const kShortcuts[] = {"Murlavo Settings.lnk", "Murlavo Wallpaper Changer.lnk", "Help.lnk", "Uninstall.lnk"};

std::string Stage()
{
    const char* stage = ::getenv("MURLAVO_DIST_STAGE");
    return stage ? stage : "";
}

// Paths of the files below a folder, relative to it.
void ListFiles(const std::string& root, const std::string& relative, std::vector<std::string>* files)
{
    WIN32_FIND_DATAA found;
    const std::string folder = relative.empty() ? root : root + "\\" + relative;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = relative.empty() ? name : relative + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(root, path, files);
        else
            files->push_back(path);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

bool KeyExists(HKEY root, const char* path)
{
    HKEY key;
    if (::RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

std::string RegString(HKEY root, const char* path, const char* name)
{
    std::string value;
    return ReadRegString(root, path, name, &value) ? value : "<missing>";
}

void SetRegString(HKEY root, const char* path, const char* name, const std::string& value)
{
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    ::RegCloseKey(key);
}

struct Shortcut {
    bool loaded = false;
    std::string target, arguments;
};

Shortcut ReadShortcut(const std::string& path)
{
    Shortcut result;
    IShellLinkA* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link))))
        return result;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        std::wstring wide(path.begin(), path.end());
        if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
            char text[MAX_PATH * 2] = "";
            if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH)))
                result.target = text;
            text[0] = '\0';
            link->GetArguments(text, sizeof text);
            result.arguments = text;
            result.loaded = true;
        }
        file->Release();
    }
    link->Release();
    return result;
}

// The setup program, run with these arguments to its end; false when it did not end in time.
bool RunSetup(const std::string& arguments, DWORD* exitCode)
{
    const char* setup = ::getenv("MURLAVO_DIST_SETUP");
    ChildProcess process;
    return setup && process.Start(setup, arguments) && process.WaitForExit(120000, exitCode);
}

// The installed uninstaller, run to its end: it starts a copy of itself from the temporary
// folder and ends at once; the copy's end and exit code are the uninstall's.
bool RunUninstaller(const std::string& arguments, DWORD* exitCode)
{
    ChildProcess first;
    if (!first.Start(InstallDir() + "\\uninstall.exe", arguments) || !first.WaitForExit(30000))
        return false;
    HANDLE copy = nullptr;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more && !copy; more = ::Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == first.Id())
            copy = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    ::CloseHandle(snapshot);
    if (!copy)
        return false;
    const bool ended = PumpUntil([&] { return ::WaitForSingleObject(copy, 0) == WAIT_OBJECT_0; }, 120000);
    ::GetExitCodeProcess(copy, exitCode);
    ::CloseHandle(copy);
    return ended;
}

// The file operations waiting for the restart, as (from, to) pairs of NT paths ("\??\C:\..."); an
// empty "to" deletes, a "!" before it replaces.
std::vector<std::pair<std::string, std::string>> PendingRenames()
{
    std::vector<std::pair<std::string, std::string>> renames;
    HKEY key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return renames;
    DWORD size = 0;
    std::vector<char> text;
    if (::RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        text.resize(size + 2);
        ::RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
            &size);
    }
    ::RegCloseKey(key);
    std::vector<std::string> strings;
    for (size_t at = 0; at < size; at += strings.back().size() + 1)
        strings.emplace_back(text.data() + at);
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
        renames.emplace_back(strings[i], strings[i + 1]);
    return renames;
}

// Whether that operation waits for the restart (to: empty to delete); a failure lists what waits.
testing::AssertionResult RenamePending(const std::string& from, const std::string& to)
{
    std::string pending;
    for (auto rename : PendingRenames()) {
        if (rename.first.size() > 1 && rename.first.back() == '\\') // a folder
            rename.first.pop_back();
        if (lstrcmpiA(rename.first.c_str(), ("\\??\\" + from).c_str()) == 0
            && lstrcmpiA(rename.second.c_str(), to.empty() ? "" : ("!\\??\\" + to).c_str()) == 0)
            return testing::AssertionSuccess();
        pending += "\n  " + rename.first + " -> " + rename.second;
    }
    return testing::AssertionFailure() << "waiting for the restart:" << pending;
}

class ComScope {
public:
    ComScope() { ::CoInitialize(nullptr); }
    ~ComScope() { ::CoUninitialize(); }
};

// What every uninstall must leave: none of the setup's own files, shortcuts or values.
void ExpectNothingOwnedLeft()
{
    EXPECT_EQ(::GetFileAttributesA(InstallDir().c_str()), INVALID_FILE_ATTRIBUTES) << InstallDir();
    EXPECT_FALSE(FileExists(SaverFile()));
    EXPECT_EQ(::GetFileAttributesA(MenuFolder().c_str()), INVALID_FILE_ATTRIBUTES) << MenuFolder();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Murlavo"), "<missing>");
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRegistrationKey, "Path"), "<missing>");
}

} // namespace

TEST(Prepare, TheUsersLibraryAndSettings)
{
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kChangerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, "Interval", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kUserInterval), sizeof kUserInterval);
    ::RegCloseKey(key);
    for (const std::string& library : LibraryFiles()) {
        ::SHCreateDirectoryExA(nullptr, library.substr(0, library.rfind('\\')).c_str(), nullptr);
        HANDLE file = ::CreateFileA(library.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << library;
        DWORD written = 0;
        ::WriteFile(file, "library", 7, &written, nullptr);
        ::CloseHandle(file);
    }
}

TEST(Installed, EveryStagedFileInProgramFilesAndTheScreenSaverInTheSystemFolder)
{
    ASSERT_FALSE(Stage().empty()) << "MURLAVO_DIST_STAGE is not set";
    std::vector<std::string> staged, installed;
    ListFiles(Stage(), "", &staged);
    ListFiles(InstallDir(), "", &installed);
    ASSERT_FALSE(staged.empty()) << Stage();
    for (const std::string& file : staged) {
        if (file == "Murlavo.scr")
            continue; // the screen saver goes to the system folder
        SCOPED_TRACE(file);
        EXPECT_EQ(ReadWholeFile(InstallDir() + "\\" + file), ReadWholeFile(Stage() + "\\" + file));
    }
    // The program, what the zip holds beside it, the uninstaller, and nothing else.
    EXPECT_EQ(installed.size(), staged.size()) << "files in " << InstallDir();
    EXPECT_TRUE(FileExists(InstallDir() + "\\uninstall.exe"));
    EXPECT_FALSE(FileExists(InstallDir() + "\\Murlavo.scr"));
    const std::string saver = ReadWholeFile(SaverFile());
    EXPECT_FALSE(saver.empty()) << SaverFile();
    EXPECT_EQ(saver, ReadWholeFile(Stage() + "\\murlavo.exe"));
    // The README names the setup of this version: its version is the build's.
    EXPECT_NE(ReadWholeFile(InstallDir() + "\\README.txt").find("murlavo-" MURLAVO_VERSION_STRING "-win64-setup.exe"),
              std::string::npos);
}

TEST(Installed, RegisteredUnderAddOrRemovePrograms)
{
    const std::string dir = InstallDir();
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Murlavo");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), MURLAVO_VERSION_STRING);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Orvane Inc.");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon"), dir + "\\murlavo.exe,0");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), dir);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + dir + "\\uninstall.exe\"");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString"), "\"" + dir + "\\uninstall.exe\" /S");
    // The size in kilobytes: at least the program and its screen-saver copy.
    DWORD size = 0;
    ASSERT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize", &size));
    const DWORD program = DWORD(ReadWholeFile(dir + "\\murlavo.exe").size() / 1024);
    EXPECT_GE(size, 2 * program);
    EXPECT_LT(size, 4 * program + 1024);
}

TEST(Installed, StartUpEntryCurrentScreenSaverAndInstallPathForTheUser)
{
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Murlavo"), "\"" + InstallDir() + "\\murlavo.exe\" /v");
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), SaverFile());
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kDesktopKey, "ScreenSaveActive"), "1");
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRegistrationKey, "Path"), InstallDir());
}

TEST(Installed, StartMenuFolderOfAllUsers)
{
    ComScope com;
    struct Expected {
        const char* name;
        std::string target;
        const char* arguments;
    };
    const std::string dir = InstallDir();
    const std::string help =
        FileExists(dir + "\\help\\mainpage.htm") ? dir + "\\help\\mainpage.htm" : dir + "\\README.txt";
    const Expected expected[] = {
        {kShortcuts[0], dir + "\\murlavo.exe", ""},
        {kShortcuts[1], dir + "\\murlavo.exe", "/v"},
        {kShortcuts[2], help, ""},
        {kShortcuts[3], dir + "\\uninstall.exe", ""},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        Shortcut link = ReadShortcut(MenuFolder() + "\\" + e.name);
        ASSERT_TRUE(link.loaded);
        EXPECT_EQ(lstrcmpiA(link.target.c_str(), e.target.c_str()), 0) << link.target;
        EXPECT_EQ(link.arguments, e.arguments);
        EXPECT_TRUE(FileExists(link.target)) << link.target;
    }
    std::vector<std::string> files;
    ListFiles(MenuFolder(), "", &files);
    EXPECT_EQ(files.size(), 4u);
}

TEST(Installed, TheInstalledChangerRunsHiddenAndCloses)
{
    ChildProcess changer;
    ASSERT_TRUE(changer.Start(InstallDir() + "\\murlavo.exe", "/v"));
    HWND window = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (HWND hwnd : WindowsOfProcess(changer.Id())) {
                char title[64] = "";
                ::GetWindowTextA(hwnd, title, sizeof title);
                if (std::string(title) == "Murlavo")
                    window = hwnd;
            }
            return window != nullptr;
        },
        30000))
        << "no window titled Murlavo";
    EXPECT_FALSE(::IsWindowVisible(window));
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = 1;
    EXPECT_TRUE(changer.WaitForExit(30000, &code));
    EXPECT_EQ(code, 0u);
}

TEST(Uninstalled, NothingOwnedIsLeftAndTheUsersDataIsKept)
{
    ExpectNothingOwnedLeft();
    // It was the current screen saver: now there is none.
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), "<missing>");
    DWORD interval = 0;
    EXPECT_TRUE(ReadRegDword(HKEY_CURRENT_USER, kChangerKey, "Interval", &interval));
    EXPECT_EQ(interval, kUserInterval);
    for (const std::string& library : LibraryFiles())
        EXPECT_EQ(ReadWholeFile(library), "library") << library;
}

TEST(PrepareQuiet, AnotherCurrentScreenSaver)
{
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE", kOtherSaver);
}

TEST(InstalledQuiet, NoStartUpEntryAndTheScreenSaverLeftAsItWas)
{
    EXPECT_TRUE(FileExists(InstallDir() + "\\murlavo.exe"));
    EXPECT_TRUE(FileExists(SaverFile()));
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Murlavo"), "<missing>");
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), kOtherSaver);
}

namespace {
// A top-level window of this process, of its own class.
HWND CreateTopLevel(const char* className, const char* title, WNDPROC proc)
{
    WNDCLASSA wc {};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    ::RegisterClassA(&wc);
    return ::CreateWindowA(className, title, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, wc.hInstance,
        nullptr);
}

// A Settings dialog that does not close when asked, as one that first asks the user what to do
// with changes not saved yet. Counts the requests.
int g_closeRequests = 0;
LRESULT CALLBACK SettingsThatStaysOpen(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CLOSE || (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
        ++g_closeRequests;
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}
} // namespace

// Not a phase: started by UpdateWhileRunning. A program window whose process, holding the
// program file as the program's own process does, ends a while after the window has gone (as
// Wine's processes do when a window manager runs: about 2 s).
TEST(LingeringProgram, EndsAWhileAfterItsWindow)
{
    HANDLE held = ::CreateFileA((InstallDir() + "\\murlavo.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HWND window = CreateTopLevel(kChangerClassName, "Murlavo", ::DefWindowProcA);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(window); }, 120000));
    ::Sleep(1500); // not a wait: the lag being modelled
    ::CloseHandle(held);
}

TEST(UpdateWhileRunning, TheProgramsProcessesEndFirstAndOtherWindowsNamedMurlavoStay)
{
    // Another program's window that happens to be titled "Murlavo": a folder window showing a
    // folder of that name.
    HWND folder = CreateTopLevel("CabinetWClass", "Murlavo", ::DefWindowProcA);
    ASSERT_NE(folder, nullptr);
    char self[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, self, sizeof self);
    ChildProcess lingering, changer, settings, saver;
    ASSERT_TRUE(lingering.Start(self, "--gtest_brief=1 --gtest_filter=LingeringProgram.*"));
    ASSERT_TRUE(PumpUntil([&] { return !WindowsOfProcess(lingering.Id()).empty(); }, 30000));
    ASSERT_TRUE(changer.Start(InstallDir() + "\\murlavo.exe", "/v"));
    ASSERT_TRUE(settings.Start(InstallDir() + "\\murlavo.exe", ""));
    // A fresh prefix on a busy machine may take a while to start the programs. The saver comes
    // last: it ends when it loses the activation, which the Settings dialog takes when it opens.
    const bool others = PumpUntil(
        [&] { return !WindowsOfProcess(changer.Id()).empty() && ::FindWindowA(kSettingsClassName, nullptr); },
        90000);
    if (others) {
        EXPECT_TRUE(saver.Start(SaverFile(), "/s"));
    }
    const bool started = others && PumpUntil([&] { return ::FindWindowA(kSaverClassName, nullptr) != nullptr; }, 60000);
    ASSERT_TRUE(started) << "did not start:" << (WindowsOfProcess(changer.Id()).empty() ? " the changer" : "")
                         << (::FindWindowA(kSettingsClassName, nullptr) ? "" : " Settings")
                         << (::FindWindowA(kSaverClassName, nullptr) ? "" : " the screen saver");

    DWORD code = 1;
    ASSERT_TRUE(RunSetup("/S /NOSTARTUP /NOSAVER", &code));
    // No restart needed: the program files were free when they were replaced.
    EXPECT_EQ(code, 0u);
    DWORD lingered = 1;
    EXPECT_TRUE(lingering.WaitForExit(0, &lingered)) << "the slow program still runs";
    EXPECT_EQ(lingered, 0u);
    EXPECT_EQ(::WaitForSingleObject(changer.Handle(), 0), WAIT_OBJECT_0) << "the changer still runs";
    EXPECT_EQ(::WaitForSingleObject(settings.Handle(), 0), WAIT_OBJECT_0) << "Settings still runs";
    EXPECT_EQ(::WaitForSingleObject(saver.Handle(), 0), WAIT_OBJECT_0) << "the screen saver still runs";
    EXPECT_TRUE(::IsWindow(folder)) << "the folder window named Murlavo was closed";
    ::DestroyWindow(folder);
    EXPECT_FALSE(FileExists(InstallDir() + "\\murlavo.exe.new"));
    EXPECT_TRUE(ReadWholeFile(InstallDir() + "\\murlavo.exe") == ReadWholeFile(Stage() + "\\murlavo.exe"));
}

TEST(UpdateWhileRunning, ASettingsDialogThatStaysOpenStopsTheSetupBeforeAnyChange)
{
    // A mark on an installed file: the stopped setup must not have replaced it.
    const std::string readme = InstallDir() + "\\README.txt";
    const std::string marked = ReadWholeFile(readme) + "mark";
    HANDLE file = ::CreateFileA(readme.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, "mark", 4, &written, nullptr);
    ::CloseHandle(file);

    HWND open = CreateTopLevel(kSettingsClassName, "Murlavo Settings", SettingsThatStaysOpen);
    ASSERT_NE(open, nullptr);
    DWORD code = 0;
    ASSERT_TRUE(RunSetup("/S /NOSTARTUP /NOSAVER", &code)) << "the setup waits for ever";
    // Silent: "Cancel" is the answer to "close Settings, then Retry"; the setup ends as stopped.
    EXPECT_EQ(code, 2u);
    EXPECT_GE(g_closeRequests, 1);
    EXPECT_TRUE(::IsWindow(open));
    ::DestroyWindow(open);
    EXPECT_TRUE(ReadWholeFile(readme) == marked) << "README.txt was replaced";
}

TEST(RemovedWithUserData, NothingOfMurlavoIsLeftAndTheOtherSaverStays)
{
    ExpectNothingOwnedLeft();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    for (const std::string& library : LibraryFiles())
        EXPECT_FALSE(FileExists(library)) << library;
    EXPECT_EQ(::GetFileAttributesA((ShellFolder(CSIDL_APPDATA) + "\\Murlavo").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), kOtherSaver);
}

namespace {
// The page the setup shows now: its inner dialog (a new one for every page).
HWND SetupPage(HWND setup)
{
    for (HWND child = ::GetWindow(setup, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char cls[16] = "";
        ::GetClassNameA(child, cls, sizeof cls);
        if (std::string(cls) == "#32770")
            return child;
    }
    return nullptr;
}

// The setup's own window: the dialog of that process that holds the Next button.
HWND SetupWindow(DWORD processId)
{
    for (HWND hwnd : WindowsOfProcess(processId))
        if (::IsWindowVisible(hwnd) && ::GetDlgItem(hwnd, IDOK))
            return hwnd;
    return nullptr;
}
} // namespace

namespace {
const char kHelpViewerKey[] = "Software\\Murlavo tests\\Help viewer";
} // namespace

// Not a phase: the program that opens the help's type of file during the Interactive phase.
// Notes who started it, and with what.
TEST(HelpViewer, NotesWhoStartedIt)
{
    DWORD parent = 0;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == ::GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    ::CloseHandle(snapshot);
    SetRegString(HKEY_CURRENT_USER, kHelpViewerKey, "Command line", ::GetCommandLineA());
    SetRegString(HKEY_CURRENT_USER, kHelpViewerKey, "Parent", std::to_string(parent));
}

TEST(Interactive, ThePagesDefaultsAddTheStartUpEntryTheScreenSaverAndStartTheChanger)
{
    const char* setupPath = ::getenv("MURLAVO_DIST_SETUP");
    ASSERT_NE(setupPath, nullptr);
    ASSERT_EQ(::FindWindowA(kChangerClassName, nullptr), nullptr) << "a changer runs already";
    // This program is the viewer of the help's type of file ("Show the help" is ticked below).
    const std::string helpType = FileExists(Stage() + "\\help\\mainpage.htm") ? ".htm" : ".txt";
    char self[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, self, sizeof self);
    SetRegString(HKEY_CLASSES_ROOT, helpType.c_str(), "", "Murlavo.TestHelpViewer");
    SetRegString(HKEY_CLASSES_ROOT, "Murlavo.TestHelpViewer\\shell\\open\\command", "",
        "\"" + std::string(self) + "\" --gtest_filter=HelpViewer.* \"%1\"");
    DeleteKeyTree(HKEY_CURRENT_USER, kHelpViewerKey);
    ChildProcess setup;
    ASSERT_TRUE(setup.Start(setupPath, ""));
    // Welcome, licence ("I Agree"), components, folder ("Install"), the progress (kept open
    // when done), finish: each time the page's button 1 is enabled, press it and wait for
    // the next page; the last press ends the setup.
    HWND lastPage = nullptr;
    int presses = 0;
    while (::WaitForSingleObject(setup.Handle(), 0) == WAIT_TIMEOUT) {
        ASSERT_LT(presses, 8) << "more pages than expected";
        HWND window = nullptr, page = nullptr;
        const bool ready = PumpUntil(
            [&] {
                window = SetupWindow(setup.Id());
                page = window ? SetupPage(window) : nullptr;
                return (page && page != lastPage && ::IsWindowEnabled(::GetDlgItem(window, IDOK))) ||
                       ::WaitForSingleObject(setup.Handle(), 0) != WAIT_TIMEOUT;
            },
            60000);
        ASSERT_TRUE(ready) << "page " << presses + 1 << " never became ready";
        if (::WaitForSingleObject(setup.Handle(), 0) != WAIT_TIMEOUT)
            break;
        lastPage = page;
        // The finish page: "Show the help", unticked by default, is ticked.
        if (HWND showHelp = ::FindWindowExA(page, nullptr, "Button", "Show the help"))
            ::SendMessageA(showHelp, BM_SETCHECK, BST_CHECKED, 0);
        ::PostMessageA(window, WM_COMMAND, IDOK, 0);
        ++presses;
    }
    EXPECT_EQ(presses, 6);
    DWORD code = 1;
    ASSERT_TRUE(setup.WaitForExit(30000, &code));
    EXPECT_EQ(code, 0u);

    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Murlavo"), "\"" + InstallDir() + "\\murlavo.exe\" /v");
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), SaverFile());
    // "Start the wallpaper changer now", ticked by default, started it through its shortcut.
    HWND changer = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (changer = ::FindWindowA(kChangerClassName, nullptr)) != nullptr; }, 30000))
        << "the changer did not start";
    if (changer) {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(changer, &processId);
        HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
        ::PostMessageA(changer, WM_CLOSE, 0, 0);
        EXPECT_EQ(::WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
        ::CloseHandle(process);
    }
    // The help was opened by the shell: the setup, which runs as administrator, did not start
    // its viewer itself.
    std::string parent, commandLine;
    EXPECT_TRUE(PumpUntil([&] { return ReadRegString(HKEY_CURRENT_USER, kHelpViewerKey, "Parent", &parent); }, 30000))
        << "the help was not opened";
    EXPECT_NE(parent, std::to_string(setup.Id())) << "the setup opened the help itself";
    ReadRegString(HKEY_CURRENT_USER, kHelpViewerKey, "Command line", &commandLine);
    EXPECT_NE(commandLine.find(helpType + "\""), std::string::npos) << commandLine;
}

TEST(InUse, AFileHeldOpenIsReplacedAndRemovedAtTheRestartAndTheRestIsDoneAtOnce)
{
    const std::string program = InstallDir() + "\\murlavo.exe";
    // Held as another program may hold it: no sharing at all.
    HANDLE held = ::CreateFileA(program.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    DWORD code = 0;
    ASSERT_TRUE(RunSetup("/S", &code));
    EXPECT_EQ(code, 3010u) << "a restart is needed";
    EXPECT_TRUE(ReadWholeFile(program + ".new") == ReadWholeFile(Stage() + "\\murlavo.exe"));
    EXPECT_TRUE(RenamePending(program + ".new", program));
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), MURLAVO_VERSION_STRING);

    ASSERT_TRUE(RunUninstaller("/S", &code));
    EXPECT_EQ(code, 3010u) << "a restart is needed";
    EXPECT_TRUE(RenamePending(program, ""));
    EXPECT_TRUE(RenamePending(InstallDir(), ""));
    // Everything else is gone already.
    std::vector<std::string> left;
    ListFiles(InstallDir(), "", &left);
    EXPECT_EQ(left, std::vector<std::string> {"murlavo.exe"});
    EXPECT_FALSE(FileExists(SaverFile()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ(::GetFileAttributesA(MenuFolder().c_str()), INVALID_FILE_ATTRIBUTES);
    ::CloseHandle(held);
}

TEST(RemovedAtRestart, NothingOwnedIsLeft)
{
    ExpectNothingOwnedLeft();
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), "<missing>");
}
