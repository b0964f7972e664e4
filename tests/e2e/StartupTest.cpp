// Start-up as a process: roles that end at once, the password-change role and the value
// written at every process end.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace testing_support;

namespace {
const char kChanger[] = "Software\\Orvane Inc.\\Murlavo\\Changer";

// Runs murlavo.exe with the arguments; expects it to end by itself within the time.
void RunToEnd(const std::string& exe, const std::string& arguments, DWORD* exitCode = nullptr)
{
    ChildProcess child;
    ASSERT_TRUE(child.Start(exe, arguments)) << arguments << " error " << ::GetLastError();
    DWORD code = 0;
    ASSERT_TRUE(child.WaitForExit(20000, &code)) << "murlavo " << arguments << " did not end";
    if (exitCode)
        *exitCode = code;
}

// A window of this process that the child may use as its parent.
struct TestWindow {
    TestWindow()
    {
        hwnd = ::CreateWindowExA(0, "STATIC", "murlavo test parent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr,
                                 nullptr, nullptr, nullptr);
    }
    ~TestWindow() { ::DestroyWindow(hwnd); }
    std::string Number() const { return std::to_string(reinterpret_cast<INT_PTR>(hwnd)); }
    HWND hwnd;
};
} // namespace

TEST(Startup, RolesWithoutAUsableWindowEndAtOnce)
{
    for (const char* arguments : {"/a 0", "/p:1234", "/P 1234", "/p 0", "/a:77"}) {
        DWORD code = 1;
        RunToEnd(MurlavoExe(), arguments, &code);
        EXPECT_EQ(code, 0u) << arguments;
    }
}

TEST(Startup, TempImageIsWrittenAtEveryProcessEnd)
{
    ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Inc."));
    RunToEnd(MurlavoExe(), "/a 0");
    std::string value = "unset";
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kChanger, "TempImage", &value));
    EXPECT_EQ(value, "");
    // Only that value: the Settings dialog owns the others.
    EXPECT_EQ(RegValueNames(HKEY_CURRENT_USER, kChanger), std::vector<std::string> {"TempImage"});

    // A stored value is read at start and written back unchanged.
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kChanger, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const char stored[] = "C:\\somewhere\\w.bmp";
    ::RegSetValueExA(key, "TempImage", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored), sizeof stored);
    ::RegCloseKey(key);
    RunToEnd(MurlavoExe(), "/p:1234");
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kChanger, "TempImage", &value));
    EXPECT_EQ(value, stored);
}

TEST(Startup, PasswordRoleCallsTheChangeServiceWithTheParent)
{
    // A private copy of the program with a stand-in mpr.dll beside it. Wine prefers its
    // built-in mpr.dll; the per-program override makes it load the one in the program's folder.
    std::string dir = ScratchDir("password-change");
    std::string exe = dir + "\\murlavo_pwtest.exe";
    ASSERT_TRUE(CopyTo(MurlavoExe(), exe));
    ASSERT_TRUE(CopyTo(ExeDir() + "\\fake_mpr.dll", dir + "\\mpr.dll"));
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\murlavo_pwtest.exe\\DllOverrides", 0,
                                nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char order[] = "native,builtin";
    ::RegSetValueExA(key, "mpr", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
    ::RegCloseKey(key);

    TestWindow parent;
    ASSERT_NE(parent.hwnd, nullptr);
    // Not a window: the service is not called.
    RunToEnd(exe, "/a 0");
    EXPECT_FALSE(FileExists(dir + "\\mpr-call.txt"));

    RunToEnd(exe, "/a " + parent.Number());
    EXPECT_EQ(ReadWholeFile(dir + "\\mpr-call.txt"), "SCRSAVE|" + parent.Number() + "|0|0\n");

    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\murlavo_pwtest.exe");
}

namespace {
// The visible window with this caption of the process, or null.
HWND VisibleWindowOf(const ChildProcess& child, const char* caption)
{
    for (HWND hwnd : WindowsOfProcess(child.Id())) {
        char text[128] = "";
        ::GetWindowTextA(hwnd, text, sizeof text);
        if (::IsWindowVisible(hwnd) && std::string(text) == caption)
            return hwnd;
    }
    return nullptr;
}
} // namespace

TEST(Startup, SettingsRoleRunsTheDialogUntilItClosesWithTheOwnerItIsGiven)
{
    TestWindow owner;
    ASSERT_NE(owner.hwnd, nullptr);
    struct Case {
        std::string arguments;
        HWND owner;
    };
    for (const Case& c : {Case {"", nullptr}, Case {"/c", nullptr}, Case {"/c:" + owner.Number(), owner.hwnd}}) {
        ChildProcess child;
        ASSERT_TRUE(child.Start(MurlavoExe(), c.arguments)) << c.arguments;
        HWND dialog = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (dialog = VisibleWindowOf(child, "Murlavo Settings")) != nullptr; }, 20000))
            << "no Settings dialog for '" << c.arguments << "'";
        EXPECT_EQ(::GetWindow(dialog, GW_OWNER), c.owner) << c.arguments;
        ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        DWORD code = 1;
        ASSERT_TRUE(child.WaitForExit(20000, &code)) << "the process did not end with its dialog: " << c.arguments;
        EXPECT_EQ(code, 0u);
    }
}
