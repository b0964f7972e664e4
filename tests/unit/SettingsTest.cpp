#include "app/ChangerApp.h"
#include "framework/WideText.h"
#include "library/Settings.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {
const std::string kChanger = std::string(kProfileKey) + "\\Changer";

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FreshProfile(app));
        g_settings = CChangerSettings();
    }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kProfileKey); }

    void WriteString(const char* section, const char* name, const char* value)
    {
        ASSERT_TRUE(app.WriteProfileString(section, name, value));
    }
    // Stores a value of any type and bytes, as another program (or damage) might.
    void WriteRaw(const char* section, const char* name, DWORD type, const std::string& bytes)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kProfileKey) + "\\" + section).c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        LONG result = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                     static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
        ASSERT_EQ(result, ERROR_SUCCESS);
    }

    CChangerApp app;
};
} // namespace

TEST_F(SettingsTest, FreshRegistryGivesTheDefaults)
{
    g_settings.m_nSlideShow = 77; // replaced by the stored (default) value
    g_settings.m_strTitle = "old";
    app.LoadSettings();
    g_settings.LoadInstallDir(app);
    EXPECT_EQ(g_settings.m_nInterval, 10);
    EXPECT_EQ(g_settings.m_nOrder, 1);
    EXPECT_EQ(g_settings.m_timeLastChange, 0);
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
    EXPECT_EQ(g_settings.m_nSlideShow, 5);
    EXPECT_EQ(g_settings.m_bFitToScreen, 0);
    EXPECT_EQ(g_settings.m_nScaleMethod, 1);
    EXPECT_EQ(g_settings.m_crBkgndColor, 0u);
    EXPECT_EQ(g_settings.m_nSeveralMonitors, kDifferentPictures);
    EXPECT_EQ(g_settings.m_strTempImage, "");
    EXPECT_EQ(g_settings.m_strTitle, "");
    EXPECT_EQ(g_settings.m_strWebPage, "");
    EXPECT_EQ(g_settings.m_strEMail, "");
    EXPECT_EQ(g_settings.m_strInstallDir, "");
}

TEST_F(SettingsTest, EveryValueRoundTripsThroughTheRegistry)
{
    g_settings.m_nInterval = 1440;
    g_settings.m_nOrder = 0;
    g_settings.m_timeLastChange = -5; // signed, no range checks
    g_settings.m_strLastWallpaper = "C:\\Pictures\\sea.jpg";
    g_settings.m_nSlideShow = 12;
    g_settings.m_bFitToScreen = 1;
    g_settings.m_nScaleMethod = 0;
    g_settings.m_crBkgndColor = 0x00FF8040;
    app.SaveSettings();
    g_settings.SaveLastChange(app); // the wallpaper changer's, at each change
    WriteString("Changer", "TempImage", "C:\\temp\\w.bmp");
    WriteString("Custom", "Title", "Holiday");
    WriteString("Custom", "WebPage", "http://example.invalid/");
    WriteString("Custom", "EMail", "me@example.invalid");

    g_settings = CChangerSettings();
    app.LoadSettings();
    EXPECT_EQ(g_settings.m_nInterval, 1440);
    EXPECT_EQ(g_settings.m_nOrder, 0);
    EXPECT_EQ(g_settings.m_timeLastChange, -5);
    EXPECT_EQ(g_settings.m_strLastWallpaper, "C:\\Pictures\\sea.jpg");
    EXPECT_EQ(g_settings.m_nSlideShow, 12);
    EXPECT_EQ(g_settings.m_bFitToScreen, 1);
    EXPECT_EQ(g_settings.m_nScaleMethod, 0);
    EXPECT_EQ(g_settings.m_crBkgndColor, 0x00FF8040u);
    EXPECT_EQ(g_settings.m_strTempImage, "C:\\temp\\w.bmp");
    EXPECT_EQ(g_settings.m_strTitle, "Holiday");
    EXPECT_EQ(g_settings.m_strWebPage, "http://example.invalid/");
    EXPECT_EQ(g_settings.m_strEMail, "me@example.invalid");

    DWORD stored = 0;
    ASSERT_TRUE(ReadRegDword(HKEY_CURRENT_USER, kChanger, "BkgndColor", &stored));
    EXPECT_EQ(stored, 0x00FF8040u);
}

TEST_F(SettingsTest, InstallDirectoryGetsABackslashOnlyWhenSet)
{
    WriteString("Registration", "Path", "C:\\App");
    g_settings.LoadInstallDir(app);
    EXPECT_EQ(g_settings.m_strInstallDir, "C:\\App\\");

    WriteString("Registration", "Path", "");
    g_settings.LoadInstallDir(app);
    EXPECT_EQ(g_settings.m_strInstallDir, "");
}

TEST_F(SettingsTest, LoadSettingsLeavesTheInstallDirectoryAlone)
{
    WriteString("Registration", "Path", "C:\\App");
    g_settings.m_strInstallDir = "D:\\Kept\\";
    app.LoadSettings();
    EXPECT_EQ(g_settings.m_strInstallDir, "D:\\Kept\\");
}

// The Settings dialog writes its options (the six of every version and "Monitors"); the time and picture of the last change are the
// wallpaper changer's alone (a dialog's copies of them may be stale).
TEST_F(SettingsTest, SaveWritesExactlyTheDialogsOptions)
{
    app.LoadSettings();
    g_settings.LoadInstallDir(app);
    g_settings.m_strTempImage = "C:\\temp\\x.bmp";
    g_settings.m_strTitle = "not written";
    app.SaveSettings();

    std::vector<std::string> names = RegValueNames(HKEY_CURRENT_USER, kChanger);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected {"BkgndColor", "FitToScreen", "HotkeyNext", "HotkeyPause", "HotkeyPrevious",
        "Interval", "Monitors", "NotOnBatterySaver", "Order", "ScaleMethod", "SlideShow"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(RegValueNames(HKEY_CURRENT_USER, std::string(kProfileKey) + "\\Custom").empty());
    EXPECT_TRUE(RegValueNames(HKEY_CURRENT_USER, std::string(kProfileKey) + "\\Registration").empty());

    g_settings.SaveLastChange(app);
    names = RegValueNames(HKEY_CURRENT_USER, kChanger);
    std::sort(names.begin(), names.end());
    expected = {"BkgndColor", "FitToScreen", "HotkeyNext", "HotkeyPause", "HotkeyPrevious", "Interval", "LastChange",
        "LastWallpaper", "Monitors", "NotOnBatterySaver", "Order", "ScaleMethod", "SlideShow"};
    EXPECT_EQ(names, expected);
}

// A monitors' choice this version does not know reads as the default.
TEST_F(SettingsTest, UnknownMonitorsChoiceReadsAsTheDefault)
{
    for (int stored : {kSamePicture, kOnePictureAcross, 3, -1}) {
        ASSERT_TRUE(app.WriteProfileInt("Changer", "Monitors", stored));
        app.LoadSettings();
        EXPECT_EQ(g_settings.m_nSeveralMonitors, stored == 3 || stored == -1 ? kDifferentPictures : stored);
    }
}

TEST_F(SettingsTest, WrongValueTypesReadAsDefaults)
{
    WriteString("Changer", "Interval", "15"); // a string where a number belongs
    ASSERT_TRUE(app.WriteProfileInt("Changer", "LastWallpaper", 3));
    app.LoadSettings();
    EXPECT_EQ(g_settings.m_nInterval, 10);
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
}

// Values another program or damage left behind: anything but a four-byte REG_DWORD is no number.
TEST_F(SettingsTest, NumbersOfTheWrongTypeOrSizeReadAsDefaults)
{
    const std::string fifteen("\x0F\x00\x00\x00", 4);
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
    } cases[] = {
        {"string", REG_SZ, std::string("15", 3)},
        {"expandable string", REG_EXPAND_SZ, std::string("15", 3)},
        {"binary of four bytes", REG_BINARY, fifteen},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x0F", 4)},
        {"dword of two bytes", REG_DWORD, std::string("\x0F\x00", 2)},
        {"dword of eight bytes", REG_DWORD, fifteen + fifteen},
        {"dword without data", REG_DWORD, ""},
        {"qword", REG_QWORD, fifteen + std::string(4, '\0')},
        {"multi-string", REG_MULTI_SZ, std::string("15\0", 4)},
        {"none", REG_NONE, fifteen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* name : {"Interval", "SlideShow", "ScaleMethod", "BkgndColor"})
            WriteRaw("Changer", name, c.type, c.bytes);
        g_settings = CChangerSettings();
        app.LoadSettings();
        EXPECT_EQ(g_settings.m_nInterval, 10);
        EXPECT_EQ(g_settings.m_nSlideShow, 5);
        EXPECT_EQ(g_settings.m_nScaleMethod, 1);
        EXPECT_EQ(g_settings.m_crBkgndColor, 0u);
    }

    // The one right form, for contrast.
    WriteRaw("Changer", "Interval", REG_DWORD, fifteen);
    app.LoadSettings();
    EXPECT_EQ(g_settings.m_nInterval, 15);
}

TEST_F(SettingsTest, StringsOfTheWrongTypeReadAsDefaults)
{
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
    } cases[] = {
        {"dword", REG_DWORD, std::string("\x41\x42\x00\x00", 4)},
        {"qword", REG_QWORD, std::string("AB\0\0\0\0\0\0", 8)},
        {"binary", REG_BINARY, std::string("C:\\x", 5)},
        {"multi-string", REG_MULTI_SZ, std::string("C:\\x\0C:\\y\0", 10)},
        {"none", REG_NONE, std::string("C:\\x", 4)},
        {"string over 64 KiB", REG_SZ, std::string(100000, 'p') + '\0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRaw("Custom", "Title", c.type, c.bytes);
        EXPECT_EQ(app.GetProfileString("Custom", "Title", "default"), "default");
        g_settings.m_strTitle = "old";
        app.LoadSettings();
        EXPECT_EQ(g_settings.m_strTitle, "");
    }
}

TEST_F(SettingsTest, StringsEndAtTheirDataOrFirstZero)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string read;
    } cases[] = {
        {"no terminator", "C:\\App", "C:\\App"},
        {"one byte, no terminator", "x", "x"},
        {"no data at all", "", ""},
        {"zero inside", std::string("C:\\A\0junk\0", 10), "C:\\A"},
        {"long path", std::string(32000, 'q') + '\0', std::string(32000, 'q')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRaw("Registration", "Path", REG_SZ, c.bytes);
        EXPECT_EQ(app.GetProfileString("Registration", "Path", "default"), c.read);
        g_settings.LoadInstallDir(app);
        EXPECT_EQ(g_settings.m_strInstallDir, c.read.empty() ? "" : c.read + "\\");
    }
}

TEST_F(SettingsTest, ExpandableStringsAreExpanded)
{
    ASSERT_TRUE(SetEnvironmentVariableA("MURLAVO_TEST_DIR", "D:\\Pictures"));
    const std::string text = "%MURLAVO_TEST_DIR%\\sea.jpg;%MURLAVO_NOT_SET%";
    WriteRaw("Changer", "LastWallpaper", REG_EXPAND_SZ, text + '\0');
    app.LoadSettings();
    EXPECT_EQ(g_settings.m_strLastWallpaper, "D:\\Pictures\\sea.jpg;%MURLAVO_NOT_SET%");
    SetEnvironmentVariableA("MURLAVO_TEST_DIR", nullptr);
}

TEST_F(SettingsTest, StringsKeepEveryCharacterAndOlderValuesReadAsBefore)
{
    // Written by an older version through the ANSI functions (code page 1252 here): the same
    // characters as before, now as UTF-8.
    if (GetACP() == 1252) {
        WriteRaw("Custom", "Title", REG_SZ, std::string("Caf\xE9 \x80\0", 7));
        EXPECT_EQ(app.GetProfileString("Custom", "Title"), "Caf\xC3\xA9 \xE2\x82\xAC");
    }
    // Names no ANSI code page of the West holds, written and read back whole, and stored as
    // the same Unicode text other programs read.
    const std::string wallpaper = "C:\\\xE5\x86\x99\xE7\x9C\x9F \xF0\x9F\x8C\x85\\\xE5\xA4\x95\xE7\x84\xBC\xE3\x81\x91.jpg";
    const std::string temp = "C:\\Users\\\xD0\x9E\xD0\xBB\xD1\x8F\\AppData\\Local\\Temp\\Murlavo Wallpaper.bmp";
    g_settings.m_strLastWallpaper = wallpaper;
    g_settings.m_strTempImage = temp;
    g_settings.SaveLastChange(app);
    g_settings.SaveTempImage(app);
    WriteString("Custom", "Title", "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE2\x9C\xA8");
    g_settings = CChangerSettings();
    app.LoadSettings();
    EXPECT_EQ(g_settings.m_strLastWallpaper, wallpaper);
    EXPECT_EQ(g_settings.m_strTempImage, temp);
    EXPECT_EQ(g_settings.m_strTitle, "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE2\x9C\xA8");

    wchar_t stored[128] = L"";
    DWORD size = sizeof stored;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, Wide(kChanger).c_str(), L"LastWallpaper", RRF_RT_REG_SZ, nullptr, stored,
                           &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(stored), L"C:\\\u5199\u771F \U0001F305\\\u5915\u713C\u3051.jpg");

    // A Unicode value of an odd byte count and no terminator (damage) still ends.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Wide(std::string(kProfileKey) + "\\Registration").c_str(), 0, nullptr,
                              0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const LONG result = RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\x"), 7);
    RegCloseKey(key);
    ASSERT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(app.GetProfileString("Registration", "Path"), "C:\\");
}
