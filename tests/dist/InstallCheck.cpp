// Checks of the setup program, run inside the Wine prefix that tests/dist/installer_test.sh
// made for it, one phase at a time (--gtest_filter=<Phase>.*) between the script's runs of
// the setup and the uninstaller:
//   Prepare             the user's own library and settings exist before the setup runs
//   Installed           after "setup /S": files, registry values, shortcuts, the changer runs
//   Uninstalled         after "uninstall /S": nothing the setup owned is left, the user's data is
//   PrepareQuiet        another screen saver is the current one
//   InstalledQuiet      after "setup /S /NOSTARTUP /NOSAVER": no start-up entry, saver unchanged
//   RemovedWithUserData after "uninstall /S /REMOVEUSERDATA": the user's data is gone too
//   Interactive         the setup's pages clicked through with their defaults: the start-up
//                       entry, the current screen saver, and the changer started at the end
//   InteractiveRemoved  after "uninstall /S" again
// MURLAVO_DIST_STAGE names the staged release folder (what the setup must install),
// MURLAVO_DIST_SETUP the setup program.
#include "murlavo_version.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>

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
    ::SHCreateDirectoryExA(nullptr, (ShellFolder(CSIDL_APPDATA) + "\\Murlavo").c_str(), nullptr);
    HANDLE file = ::CreateFileA(UserLibrary().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, "library", 7, &written, nullptr);
    ::CloseHandle(file);
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
    EXPECT_EQ(ReadWholeFile(UserLibrary()), "library");
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

TEST(RemovedWithUserData, NothingOfMurlavoIsLeftAndTheOtherSaverStays)
{
    ExpectNothingOwnedLeft();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_FALSE(FileExists(UserLibrary()));
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

TEST(Interactive, ThePagesDefaultsAddTheStartUpEntryTheScreenSaverAndStartTheChanger)
{
    const char* setupPath = ::getenv("MURLAVO_DIST_SETUP");
    ASSERT_NE(setupPath, nullptr);
    ASSERT_EQ(::FindWindowA(nullptr, "Murlavo"), nullptr) << "a changer runs already";
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
    EXPECT_TRUE(PumpUntil([&] { return (changer = ::FindWindowA(nullptr, "Murlavo")) != nullptr; }, 30000))
        << "the changer did not start";
    if (changer) {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(changer, &processId);
        HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
        ::PostMessageA(changer, WM_CLOSE, 0, 0);
        EXPECT_EQ(::WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
        ::CloseHandle(process);
    }
}

TEST(InteractiveRemoved, NothingOwnedIsLeft)
{
    ExpectNothingOwnedLeft();
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), "<missing>");
}
