#include "app/ChangerApp.h"
#include "library/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {
const char kAppKey[] = "Software\\Orvane Inc.\\Murlavo";
const std::string kChanger = std::string(kAppKey) + "\\Changer";

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kAppKey));
        app.m_strAppName = "Murlavo";
        app.SetRegistryKey("Orvane Inc.");
        g_settings = CChangerSettings();
    }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kAppKey); }

    void WriteString(const char* section, const char* name, const char* value)
    {
        ASSERT_TRUE(app.WriteProfileString(section, name, value));
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

TEST_F(SettingsTest, SaveWritesExactlyTheEightChangerValues)
{
    app.LoadSettings();
    g_settings.LoadInstallDir(app);
    g_settings.m_strTempImage = "C:\\temp\\x.bmp";
    g_settings.m_strTitle = "not written";
    app.SaveSettings();

    std::vector<std::string> names = RegValueNames(HKEY_CURRENT_USER, kChanger);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected {"BkgndColor", "FitToScreen", "Interval", "LastChange", "LastWallpaper",
                                       "Order", "ScaleMethod", "SlideShow"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(RegValueNames(HKEY_CURRENT_USER, std::string(kAppKey) + "\\Custom").empty());
    EXPECT_TRUE(RegValueNames(HKEY_CURRENT_USER, std::string(kAppKey) + "\\Registration").empty());

    std::string text;
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kChanger, "LastWallpaper", &text));
    EXPECT_EQ(text, "");
}

TEST_F(SettingsTest, WrongValueTypesReadAsDefaults)
{
    WriteString("Changer", "Interval", "15"); // a string where a number belongs
    ASSERT_TRUE(app.WriteProfileInt("Changer", "LastWallpaper", 3));
    app.LoadSettings();
    EXPECT_EQ(g_settings.m_nInterval, 10);
    EXPECT_EQ(g_settings.m_strLastWallpaper, "");
}
