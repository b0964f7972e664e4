#include "app/ChangerApp.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// A plain top-level window with a given title, destroyed with the object.
struct TitledWindow {
    explicit TitledWindow(const char* title)
    {
        hwnd = ::CreateWindowExA(0, "STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    ~TitledWindow() { ::DestroyWindow(hwnd); }
    std::string Number() const { return std::to_string(reinterpret_cast<INT_PTR>(hwnd)); }
    HWND hwnd;
};
} // namespace

TEST(SettingsOwner, NoCMeansNoOwnerEvenWhenDisplayPropertiesExists)
{
    TitledWindow display("Display Properties");
    EXPECT_EQ(FindSettingsOwner(""), nullptr);
    // Only a lower-case 'c' names an owner.
    EXPECT_EQ(FindSettingsOwner(("/C:" + display.Number()).c_str()), nullptr);
}

TEST(SettingsOwner, WindowNumberAfterCIsTheOwner)
{
    TitledWindow owner("some owner");
    TitledWindow display("Display Properties");
    EXPECT_EQ(FindSettingsOwner(("/c:" + owner.Number()).c_str()), owner.hwnd);
    EXPECT_EQ(FindSettingsOwner(("/c " + owner.Number()).c_str()), owner.hwnd);
}

TEST(SettingsOwner, FallsBackToDisplayPropertiesThenToNone)
{
    {
        TitledWindow display("Display Properties");
        EXPECT_EQ(FindSettingsOwner("/c"), display.hwnd);
        // A number that is not a window.
        EXPECT_EQ(FindSettingsOwner("/c:1"), display.hwnd);
    }
    EXPECT_EQ(FindSettingsOwner("/c"), nullptr);
    EXPECT_EQ(FindSettingsOwner("/c:1"), nullptr);
}
