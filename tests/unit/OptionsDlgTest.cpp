// The Options dialog under Wine, driven from inside its modal loop: its controls, the mapping
// to and from the settings block, the enabled states, validation, the typing limit and the
// arrows, the background colour and its swatch, and that opening it leaks nothing.
#include "dialogs/OptionsDlg.h"
#include "library/Settings.h"
#include "resource.h"
#include "support/ScriptedDialog.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace testing_support;

namespace {
const std::string kRangePrompt = "Please enter an integer between 1 and 60.";

class CScriptedOptionsDlg : public ScriptedDialog<COptionsDlg, CScriptedOptionsDlg> {
public:
    bool Enabled(int id) const { return ::IsWindowEnabled(GetDlgItem(id)) != FALSE; }
    void Click(int id) const { ::SendMessageA(GetDlgItem(id), BM_CLICK, 0, 0); }
    // OK as the button sends it; true when the dialog is still open afterwards.
    bool PressOK() const
    {
        Command(IDOK);
        return ::IsWindowVisible(m_hWnd) != FALSE;
    }
    void PressCancel() const { Command(IDCANCEL); }
};
using Script = std::function<void(CScriptedOptionsDlg&)>;

// Settings as they come from an empty registry, with the given interval.
CChangerSettings Defaults(int32_t interval)
{
    CChangerSettings settings;
    settings.m_nInterval = interval;
    settings.m_nOrder = 1;
    settings.m_nSlideShow = 5;
    settings.m_nScaleMethod = 1;
    return settings;
}

// Runs the dialog as its opener does: filled from the block, copied back only on IDOK.
INT_PTR OpenOptions(CChangerSettings& settings, Script script)
{
    CScriptedOptionsDlg dlg;
    OptionsFromSettings(settings, dlg);
    dlg.script = std::move(script);
    const INT_PTR result = dlg.DoModal();
    if (result == IDOK)
        SettingsFromOptions(dlg, settings);
    return result;
}

// Stands in for the system's colour dialog: records how it was asked and gives its answer.
struct FakeChooser {
    static inline HWND owner = nullptr;
    static inline COLORREF initial = 0, answer = 0;
    static inline int calls = 0;
    static inline bool accept = true;
    static bool Choose(HWND o, COLORREF& color)
    {
        owner = o;
        initial = color;
        ++calls;
        if (accept)
            color = answer;
        return accept;
    }
    static void Install(COLORREF chosen, bool accepted = true)
    {
        owner = nullptr;
        calls = 0;
        answer = chosen;
        accept = accepted;
        COptionsDlg::s_pfnChooseColor = &Choose;
    }
};

class OptionsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        // As the program does at start-up: the up-down class among them.
        INITCOMMONCONTROLSEX icc {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        m_savedColor = g_settings.m_crBkgndColor;
        g_settings.m_crBkgndColor = kStartColor;
    }
    void TearDown() override
    {
        g_settings.m_crBkgndColor = m_savedColor;
        COptionsDlg::s_pfnChooseColor = &COptionsDlg::ChooseSystemColor;
        COptionsDlg::s_pfnHotkeyFree = saveHotkeyFree;
    }
    bool (*saveHotkeyFree)(HWND, int) = COptionsDlg::s_pfnHotkeyFree;
    static constexpr COLORREF kStartColor = RGB(1, 2, 3);

private:
    uint32_t m_savedColor = 0;
};
} // namespace

TEST_F(OptionsDialog, ControlsFollowTheTemplateInTabOrder)
{
    // Hourly and fitting: the enabled states are then the template's.
    CChangerSettings settings = Defaults(60);
    settings.m_bFitToScreen = 1;
    const DWORD button = BS_TYPEMASK | WS_GROUP | WS_TABSTOP | WS_DISABLED;
    // A radio button's tab stop moves to the checked button of its group.
    const DWORD radio = BS_TYPEMASK | WS_GROUP | WS_DISABLED;
    const DWORD edit = ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP | WS_DISABLED;
    const DWORD arrows = UDS_WRAP | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS;
    const DWORD updown = arrows | UDS_ALIGNLEFT | UDS_HORZ | WS_DISABLED;
    const DWORD text = SS_TYPEMASK | WS_GROUP | WS_DISABLED;
    const DWORD first = WS_GROUP | WS_TABSTOP;
    const std::vector<ExpectedControl> table {
        {-1, "Button", " Interval Between Wallpaper Changes", BS_GROUPBOX, button, {9, 7, 137, 53}},
        {IDC_MINUTES_RADIO, "Button", "&Minutes", BS_AUTORADIOBUTTON | first, radio, {17, 19, 41, 10}},
        {IDC_HOURLY, "Button", "&Hourly", BS_AUTORADIOBUTTON, radio, {17, 32, 37, 10}},
        {IDC_DAILY, "Button", "&Daily", BS_AUTORADIOBUTTON, radio, {17, 45, 31, 10}},
        {IDC_MINUTES, "Edit", "10", ES_AUTOHSCROLL | first | WS_DISABLED, edit, {62, 19, 35, 12}},
        {IDC_MINUTES_SPIN, "msctls_updown32", "", arrows | WS_DISABLED, updown, {98, 18, 10, 13}},
        {-1, "Button", " Order ", BS_GROUPBOX | WS_GROUP, button, {9, 63, 137, 23}},
        {IDC_RANDOM, "Button", "&Random", BS_AUTORADIOBUTTON | first, radio, {17, 73, 53, 10}},
        {IDC_SEQUENTIAL, "Button", "&Sequential", BS_AUTORADIOBUTTON, radio, {87, 73, 46, 10}},
        {-1, "Button", " Screen Saver ", BS_GROUPBOX | WS_GROUP, button, {9, 89, 137, 59}},
        {-1, "Static", "Interval in Se&conds:", SS_LEFT, text, {17, 103, 74, 8}},
        {IDC_SECONDS, "Edit", "5", ES_AUTOHSCROLL | first, edit, {91, 102, 35, 12}},
        {IDC_SECONDS_SPIN, "msctls_updown32", "", arrows, updown, {127, 101, 9, 13}},
        {-1, "Static", "Background Color:", SS_LEFT, text, {17, 115, 60, 8}},
        {IDC_SWATCH, "Static", "", SS_GRAYFRAME, text, {27, 129, 15, 12}},
        {IDC_CHANGE_COLOR, "Button", "Chan&ge...", BS_PUSHBUTTON | WS_TABSTOP, button, {48, 128, 50, 14}},
        {-1, "Button", " Image Processing", BS_GROUPBOX, button, {9, 150, 138, 51}},
        {IDC_FIT, "Button", "&Fit image to screen using:", BS_AUTOCHECKBOX | WS_TABSTOP, button, {17, 160, 98, 10}},
        {IDC_RESAMPLE, "Button", "Res&ample (best quality, slow)", BS_AUTORADIOBUTTON | first, radio,
         {25, 174, 115, 11}},
        {IDC_RESIZE, "Button", "Resi&ze (good quality, fast)", BS_AUTORADIOBUTTON, radio, {25, 185, 110, 13}},
        {-1, "Static", "Several m&onitors:", SS_LEFT, text, {9, 206, 138, 8}},
        {IDC_MONITORS, "ComboBox", "A different picture on each monitor", CBS_DROPDOWNLIST | first,
         CBS_DROPDOWNLIST | first | WS_DISABLED, {9, 216, 197, 60}},
        {-1, "Button", " Hotkeys ", BS_GROUPBOX | WS_GROUP, button, {9, 234, 197, 58}},
        {-1, "Static", "Ne&xt:", SS_LEFT, text, {17, 248, 56, 8}},
        {IDC_HOTKEY_NEXT, "msctls_hotkey32", "", WS_TABSTOP, WS_TABSTOP | WS_DISABLED, {75, 246, 123, 12}},
        {-1, "Static", "Prev&ious:", SS_LEFT, text, {17, 262, 56, 8}},
        {IDC_HOTKEY_PREVIOUS, "msctls_hotkey32", "", WS_TABSTOP, WS_TABSTOP | WS_DISABLED, {75, 260, 123, 12}},
        {-1, "Static", "&Pause/Resume:", SS_LEFT, text, {17, 276, 56, 8}},
        {IDC_HOTKEY_PAUSE, "msctls_hotkey32", "", WS_TABSTOP, WS_TABSTOP | WS_DISABLED, {75, 274, 123, 12}},
        {IDC_NOT_ON_BATTERY_SAVER, "Button", "No timed changes on &battery saver", BS_AUTOCHECKBOX | first, button,
         {9, 299, 197, 10}},
        {IDOK, "Button", "OK", BS_DEFPUSHBUTTON | first, button, {156, 11, 50, 14}},
        {IDCANCEL, "Button", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, button, {156, 29, 50, 14}},
    };
    OpenOptions(settings, [&](CScriptedOptionsDlg& d) {
        char caption[32] = "";
        ::GetWindowTextA(d.m_hWnd, caption, sizeof caption);
        EXPECT_STREQ(caption, "Options");
        const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(d.m_hWnd, GWL_STYLE)) & frame, frame);
        RECT size {0, 0, 213, 318}, client;
        ::MapDialogRect(d.m_hWnd, &size);
        ::GetClientRect(d.m_hWnd, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        ExpectControls(d.m_hWnd, table);
        // Beyond the style table: borders, which the controls may turn into edges, the
        // buddies of the arrows, and the swatch object on its static.
        auto edged = [&d](int id, DWORD style, DWORD exStyle) {
            return (::GetWindowLongA(d.GetDlgItem(id), GWL_STYLE) & style)
                || (::GetWindowLongA(d.GetDlgItem(id), GWL_EXSTYLE) & exStyle);
        };
        EXPECT_TRUE(edged(IDC_MINUTES, WS_BORDER, WS_EX_CLIENTEDGE));
        EXPECT_TRUE(edged(IDC_SECONDS, WS_BORDER, WS_EX_CLIENTEDGE));
        EXPECT_TRUE(edged(IDC_SWATCH, SS_SUNKEN, WS_EX_STATICEDGE));
        for (int id : {IDC_MINUTES, IDC_SECONDS})
            EXPECT_EQ(reinterpret_cast<HWND>(::SendMessageA(::GetWindow(d.GetDlgItem(id), GW_HWNDNEXT),
                                                            UDM_GETBUDDY, 0, 0)),
                      d.GetDlgItem(id));
        EXPECT_EQ(CWindow::FromHandlePermanent(d.GetDlgItem(IDC_SWATCH)), &d.m_swatch);
        d.PressCancel();
    });
}

// Each stored interval: which button opens selected, what the minutes field shows and whether
// it can be edited, and what OK stores. Numbers outside 1..60 are refused on OK, even after
// "Hourly" has disabled the field; the dialog stays open and Cancel then copies nothing.
TEST_F(OptionsDialog, IntervalOpensAndStoresBothWays)
{
    struct Case {
        int32_t interval;
        int selected;
        const char* minutes;
        bool thenHourly, accepted;
    } cases[] = {{60, IDC_HOURLY, "10", false, true},       {1440, IDC_DAILY, "10", false, true},
                 {30, IDC_MINUTES_RADIO, "30", false, true}, {75, IDC_MINUTES_RADIO, "75", true, false},
                 {0, IDC_MINUTES_RADIO, "0", false, false},  {-5, IDC_MINUTES_RADIO, "-5", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("Interval " + std::to_string(c.interval));
        CChangerSettings settings = Defaults(c.interval);
        MessageBoxAnswerer answerer;
        bool openAfterOK = false;
        const INT_PTR result = OpenOptions(settings, [&](CScriptedOptionsDlg& d) {
            for (int id : {IDC_MINUTES_RADIO, IDC_HOURLY, IDC_DAILY})
                EXPECT_EQ(d.Checked(id), id == c.selected) << id;
            EXPECT_EQ(d.Text(IDC_MINUTES), c.minutes);
            EXPECT_EQ(d.Enabled(IDC_MINUTES), c.selected == IDC_MINUTES_RADIO);
            EXPECT_EQ(d.Enabled(IDC_MINUTES_SPIN), c.selected == IDC_MINUTES_RADIO);
            if (c.thenHourly)
                d.Click(IDC_HOURLY);
            openAfterOK = d.PressOK();
            if (openAfterOK)
                d.PressCancel();
        });
        EXPECT_EQ(result, c.accepted ? IDOK : IDCANCEL);
        EXPECT_EQ(openAfterOK, !c.accepted);
        EXPECT_EQ(settings.m_nInterval, c.interval);
        EXPECT_EQ(answerer.Texts(), c.accepted ? std::vector<std::string> {} : std::vector {kRangePrompt});
    }
}

TEST_F(OptionsDialog, IntervalButtonsSwitchTheMinutesFieldAndDecideWhatIsStored)
{
    // Daily stores a day whatever the field holds.
    CChangerSettings settings = Defaults(30);
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        d.SetText(IDC_MINUTES, "45");
        d.Click(IDC_DAILY);
        EXPECT_FALSE(d.Enabled(IDC_MINUTES));
        EXPECT_FALSE(d.Enabled(IDC_MINUTES_SPIN));
        d.PressOK();
    });
    EXPECT_EQ(settings.m_nInterval, 1440);

    settings = Defaults(60);
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        d.Click(IDC_MINUTES_RADIO);
        EXPECT_TRUE(d.Enabled(IDC_MINUTES));
        EXPECT_TRUE(d.Enabled(IDC_MINUTES_SPIN));
        d.Click(IDC_HOURLY);
        EXPECT_FALSE(d.Enabled(IDC_MINUTES));
        d.Click(IDC_MINUTES_RADIO);
        d.SetText(IDC_MINUTES, "45");
        d.PressOK();
    });
    EXPECT_EQ(settings.m_nInterval, 45);

    // Cancel reads nothing back into the members, whatever was changed.
    CScriptedOptionsDlg dlg;
    OptionsFromSettings(Defaults(30), dlg);
    dlg.script = [](CScriptedOptionsDlg& d) {
        d.SetText(IDC_MINUTES, "45");
        d.SetText(IDC_SECONDS, "9");
        d.Click(IDC_DAILY);
        d.Click(IDC_RANDOM);
        d.PressCancel();
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_nIntervalKind, 0);
    EXPECT_EQ(dlg.m_nMinutes, 30);
    EXPECT_EQ(dlg.m_nSeconds, 5);
    EXPECT_EQ(dlg.m_nOrderIndex, 1);
}

TEST_F(OptionsDialog, OrderSecondsAndFittingGoOneToOne)
{
    CChangerSettings settings = Defaults(10);
    settings.m_nSlideShow = 20;
    settings.m_nScaleMethod = 0;
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        EXPECT_TRUE(d.Checked(IDC_SEQUENTIAL));
        EXPECT_FALSE(d.Checked(IDC_RANDOM));
        EXPECT_EQ(d.Text(IDC_SECONDS), "20");
        EXPECT_FALSE(d.Checked(IDC_FIT));
        EXPECT_TRUE(d.Checked(IDC_RESAMPLE));
        EXPECT_FALSE(d.Enabled(IDC_RESAMPLE) || d.Enabled(IDC_RESIZE));
        d.Click(IDC_FIT);
        EXPECT_TRUE(d.Enabled(IDC_RESAMPLE) && d.Enabled(IDC_RESIZE));
        d.Click(IDC_RESIZE);
        d.Click(IDC_RANDOM);
        d.SetText(IDC_SECONDS, "60"); // the top of validation, above the arrows' range
        d.PressOK();
    });
    EXPECT_EQ(settings.m_nOrder, 0);
    EXPECT_EQ(settings.m_nSlideShow, 60);
    EXPECT_EQ(settings.m_bFitToScreen, 1);
    EXPECT_EQ(settings.m_nScaleMethod, 1);

    // Un-ticking disables the method but keeps its choice, which is stored. An order without
    // a button shows none selected and comes back as -1.
    settings.m_nOrder = 5;
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        EXPECT_FALSE(d.Checked(IDC_RANDOM) || d.Checked(IDC_SEQUENTIAL));
        EXPECT_TRUE(d.Enabled(IDC_RESIZE));
        d.Click(IDC_FIT);
        EXPECT_FALSE(d.Enabled(IDC_RESAMPLE) || d.Enabled(IDC_RESIZE));
        EXPECT_TRUE(d.Checked(IDC_RESIZE));
        d.PressOK();
    });
    EXPECT_EQ(settings.m_nOrder, -1);
    EXPECT_EQ(settings.m_bFitToScreen, 0);
    EXPECT_EQ(settings.m_nScaleMethod, 1);
}

// "Several monitors" opens on the stored choice and stores the one picked; Cancel keeps it.
TEST_F(OptionsDialog, SeveralMonitorsOpensOnTheStoredChoiceAndStoresThePickedOne)
{
    CChangerSettings settings = Defaults(10);
    settings.m_nSeveralMonitors = kOnePictureAcross;
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        const HWND list = d.GetDlgItem(IDC_MONITORS);
        ASSERT_EQ(::SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(::SendMessageW(list, CB_GETCURSEL, 0, 0), 2);
        ::SendMessageW(list, CB_SETCURSEL, 0, 0);
        d.PressOK();
    });
    EXPECT_EQ(settings.m_nSeveralMonitors, kSamePicture);
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        ::SendMessageW(d.GetDlgItem(IDC_MONITORS), CB_SETCURSEL, 1, 0);
        d.PressCancel();
    });
    EXPECT_EQ(settings.m_nSeveralMonitors, kSamePicture);
}

TEST_F(OptionsDialog, InvalidNumbersArePromptedOnTheirFieldAndKeepTheDialogOpen)
{
    CChangerSettings settings = Defaults(10);
    MessageBoxAnswerer answerer;
    struct Bad {
        int id;
        const char* text;
    };
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        for (Bad bad : {Bad {IDC_MINUTES, "abc"}, Bad {IDC_SECONDS, "0"}, Bad {IDC_SECONDS, "61"}}) {
            d.SetText(bad.id, bad.text);
            ::SetFocus(d.GetDlgItem(IDOK));
            EXPECT_TRUE(d.PressOK()) << bad.text;
            EXPECT_EQ(::GetFocus(), d.GetDlgItem(bad.id)) << bad.text;
            d.SetText(bad.id, "60");
        }
        d.PressOK();
    });
    const std::vector<std::string> expected {"Please enter an integer.", kRangePrompt, kRangePrompt};
    EXPECT_EQ(answerer.Texts(), expected);
    EXPECT_EQ(settings.m_nInterval, 60);
    EXPECT_EQ(settings.m_nSlideShow, 60);
}

TEST_F(OptionsDialog, NumberFieldsTakeTwoTypedDigitsButShowLongerStoredNumbers)
{
    CChangerSettings settings = Defaults(120);
    settings.m_nSlideShow = 300;
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        EXPECT_EQ(d.Text(IDC_MINUTES), "120");
        EXPECT_EQ(d.Text(IDC_SECONDS), "300");
        d.SetText(IDC_SECONDS, "");
        ::SendDlgItemMessageA(d.m_hWnd, IDC_SECONDS, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("123"));
        EXPECT_EQ(d.Text(IDC_SECONDS), "12");
        d.SetText(IDC_MINUTES, "");
        for (char c : {'7', '8', '9'})
            ::SendDlgItemMessageA(d.m_hWnd, IDC_MINUTES, WM_CHAR, static_cast<WPARAM>(c), 1);
        EXPECT_EQ(d.Text(IDC_MINUTES), "78");
        d.PressCancel();
    });
}

TEST_F(OptionsDialog, ArrowsStepWithinOneToFiftyNineAndWrapAround)
{
    CChangerSettings settings = Defaults(59);
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        for (int id : {IDC_MINUTES_SPIN, IDC_SECONDS_SPIN}) {
            int low = 0, high = 0;
            ::SendDlgItemMessageA(d.m_hWnd, id, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                                  reinterpret_cast<LPARAM>(&high));
            EXPECT_EQ(low, 1) << id;
            EXPECT_EQ(high, 59) << id;
        }
        // The arrow keys in a field work its arrows.
        auto press = [&d](int field, WPARAM key) {
            ::SendDlgItemMessageA(d.m_hWnd, field, WM_KEYDOWN, key, 1);
            ::SendDlgItemMessageA(d.m_hWnd, field, WM_KEYUP, key, 0xC0000001);
            return d.Text(field);
        };
        EXPECT_EQ(press(IDC_MINUTES, VK_UP), "1");
        EXPECT_EQ(press(IDC_MINUTES, VK_DOWN), "59");
        d.SetText(IDC_SECONDS, "30");
        EXPECT_EQ(press(IDC_SECONDS, VK_UP), "31");
        d.SetText(IDC_SECONDS, "1");
        EXPECT_EQ(press(IDC_SECONDS, VK_DOWN), "59");
        d.PressCancel();
    });
}

// The colour reaches the settings block only through an OK that validated every field: not
// when the dialog refuses OK and is then cancelled, nor when the colour dialog is cancelled.
// The process's own settings never change: the opener applies what the dialog gives back.
TEST_F(OptionsDialog, ChosenColourIsStoredOnlyByASuccessfulOK)
{
    const COLORREF chosen = RGB(10, 200, 30);
    FakeChooser::Install(chosen);
    CChangerSettings settings = Defaults(10);
    settings.m_crBkgndColor = kStartColor;
    g_settings.m_crBkgndColor = RGB(7, 7, 7);
    MessageBoxAnswerer answerer;
    HWND dialog = nullptr;
    OpenOptions(settings, [&](CScriptedOptionsDlg& d) {
        dialog = d.m_hWnd;
        EXPECT_EQ(d.m_swatch.m_crColor, kStartColor);
        d.Click(IDC_CHANGE_COLOR);
        EXPECT_EQ(d.m_swatch.m_crColor, chosen);
        d.SetText(IDC_SECONDS, "0");
        EXPECT_TRUE(d.PressOK());
        d.PressCancel();
    });
    EXPECT_EQ(FakeChooser::calls, 1);
    EXPECT_EQ(FakeChooser::owner, dialog);
    EXPECT_EQ(FakeChooser::initial, kStartColor);
    EXPECT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(settings.m_crBkgndColor, kStartColor);

    FakeChooser::Install(chosen, false);
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        d.Click(IDC_CHANGE_COLOR);
        EXPECT_EQ(d.m_swatch.m_crColor, kStartColor);
        d.PressOK();
    });
    EXPECT_EQ(FakeChooser::calls, 1);
    EXPECT_EQ(settings.m_crBkgndColor, kStartColor);

    FakeChooser::Install(chosen);
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        d.Click(IDC_CHANGE_COLOR);
        d.PressOK();
    });
    EXPECT_EQ(settings.m_crBkgndColor, chosen);
    EXPECT_EQ(g_settings.m_crBkgndColor, RGB(7, 7, 7));
}

namespace {
// Works the system's colour dialog from a timer inside its own loop: notes its owner and what
// its red, green and blue fields show, types a new red and presses OK.
struct ColourDialogDriver {
    static inline HWND options = nullptr, found = nullptr, owner = nullptr;
    static inline std::string rgb;
    static BOOL CALLBACK Find(HWND hwnd, LPARAM)
    {
        char cls[16] = "";
        ::GetClassNameA(hwnd, cls, sizeof cls);
        if (hwnd != options && !lstrcmpA(cls, "#32770") && ::IsWindowVisible(hwnd))
            found = hwnd;
        return !found;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        if (found)
            return;
        ::EnumThreadWindows(::GetCurrentThreadId(), Find, 0);
        if (!found)
            return;
        owner = ::GetWindow(found, GW_OWNER);
        for (int id : {706, 707, 708}) { // red, green, blue
            char text[8] = "";
            ::GetDlgItemTextA(found, id, text, sizeof text);
            rgb += std::string(rgb.empty() ? "" : " ") + text;
        }
        ::SetDlgItemTextA(found, 706, "200");
        ::PostMessageA(found, WM_COMMAND, IDOK, 0);
    }
};
} // namespace

TEST_F(OptionsDialog, SystemColourDialogStartsFromTheColourAndIsOwnedByTheOptions)
{
    CChangerSettings settings = Defaults(10);
    settings.m_crBkgndColor = RGB(12, 34, 56);
    COLORREF shown = 0;
    OpenOptions(settings, [&](CScriptedOptionsDlg& d) {
        ColourDialogDriver::options = d.m_hWnd;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, ColourDialogDriver::OnTimer);
        d.Click(IDC_CHANGE_COLOR);
        ::KillTimer(nullptr, timer);
        EXPECT_EQ(ColourDialogDriver::owner, d.m_hWnd);
        shown = d.m_swatch.m_crColor;
        d.PressCancel();
    });
    EXPECT_NE(ColourDialogDriver::found, nullptr);
    EXPECT_EQ(ColourDialogDriver::rgb, "12 34 56");
    EXPECT_EQ(shown, RGB(200, 34, 56));
    EXPECT_EQ(settings.m_crBkgndColor, RGB(12, 34, 56)); // cancelled afterwards
}

TEST_F(OptionsDialog, SwatchFillsItselfWithItsColour)
{
    CChangerSettings settings = Defaults(10);
    const COLORREF colour = RGB(200, 16, 99);
    OpenOptions(settings, [&](CScriptedOptionsDlg& d) {
        HWND swatch = d.GetDlgItem(IDC_SWATCH);
        d.m_swatch.SetColor(colour);
        ::UpdateWindow(d.m_hWnd);
        RECT client;
        ::GetClientRect(swatch, &client);
        HDC dc = ::GetDC(swatch);
        // Corners and middle: the static's grey frame is painted over too.
        for (POINT p : {POINT {0, 0}, POINT {client.right / 2, client.bottom / 2},
                        POINT {client.right - 1, client.bottom - 1}})
            EXPECT_EQ(::GetPixel(dc, p.x, p.y), colour) << p.x << "," << p.y;
        ::ReleaseDC(swatch, dc);
        d.PressCancel();
    });
}

TEST_F(OptionsDialog, OpeningAndClosingLeaksNothing)
{
    // With the tolerance of two, one object or handle lost per opening shows many times over.
    // The swatch is repainted several times in each.
    constexpr int kOpenings = 200;
    CChangerSettings settings = Defaults(30);
    const Script paintAndCancel = [](CScriptedOptionsDlg& d) {
        for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(9, 9, 9)}) {
            d.m_swatch.SetColor(colour);
            ::UpdateWindow(d.m_hWnd);
        }
        d.PressCancel();
    };
    // Once before counting: the system's caches fill on first use.
    ASSERT_EQ(OpenOptions(settings, paintAndCancel), IDCANCEL);
    HandlePostedMessages();
    const ResourceCounts before = CountResources();
    for (int i = 0; i < kOpenings; ++i)
        ASSERT_EQ(OpenOptions(settings, paintAndCancel), IDCANCEL) << i;
    HandlePostedMessages();
    const ResourceCounts after = CountResources();
    EXPECT_LE(after.probedGdi, before.probedGdi + 2);
    EXPECT_LE(after.probedHandles, before.probedHandles + 2);
    EXPECT_LE(after.gdi, before.gdi + 2);
    EXPECT_LE(after.user, before.user + 2);
    EXPECT_LE(after.handles, before.handles + 2);
}

namespace {
// Stands in for the system's registry of hotkeys: Ctrl+Alt+Right is another program's.
constexpr int kCtrlAltRight = VK_RIGHT | ((HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_EXT) << 8);
constexpr int kCtrlAltLeft = VK_LEFT | ((HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_EXT) << 8);
constexpr int kCtrlShiftP = 'P' | ((HOTKEYF_CONTROL | HOTKEYF_SHIFT) << 8);
bool OnlyRightIsTaken(HWND, int value)
{
    return value != kCtrlAltRight;
}
} // namespace

// The hotkeys open as stored and are stored at OK; one another program holds is told at OK by
// its name, keeps the dialog open and is not stored; the one the changer holds already (as
// the dialog opened) is not asked about; one given twice is told too. The battery option goes
// one to one.
TEST_F(OptionsDialog, HotkeysAnotherProgramHoldsAreToldAndNotStored)
{
    COptionsDlg::s_pfnHotkeyFree = OnlyRightIsTaken;
    CChangerSettings settings = Defaults(10);
    settings.m_nHotkeyPause = kCtrlShiftP;
    MessageBoxAnswerer answerer;
    OpenOptions(settings, [](CScriptedOptionsDlg& d) {
        auto hotkey = [&d](int id) { return int(::SendMessageW(d.GetDlgItem(id), HKM_GETHOTKEY, 0, 0) & 0xFFFF); };
        auto set = [&d](int id, int value) { ::SendMessageW(d.GetDlgItem(id), HKM_SETHOTKEY, WPARAM(value), 0); };
        EXPECT_EQ(hotkey(IDC_HOTKEY_NEXT), 0);
        EXPECT_EQ(hotkey(IDC_HOTKEY_PAUSE), kCtrlShiftP);
        set(IDC_HOTKEY_NEXT, kCtrlAltRight);
        EXPECT_TRUE(d.PressOK());
        EXPECT_EQ(::GetFocus(), d.GetDlgItem(IDC_HOTKEY_NEXT));
        set(IDC_HOTKEY_NEXT, kCtrlAltLeft);
        set(IDC_HOTKEY_PREVIOUS, kCtrlAltLeft);
        EXPECT_TRUE(d.PressOK());
        EXPECT_EQ(::GetFocus(), d.GetDlgItem(IDC_HOTKEY_PREVIOUS));
        set(IDC_HOTKEY_PREVIOUS, 0);
        d.Click(IDC_NOT_ON_BATTERY_SAVER);
        d.PressOK();
    });
    ASSERT_EQ(answerer.Texts().size(), 2u);
    EXPECT_EQ(answerer.Texts()[0].rfind("Ctrl+Alt+", 0), 0u) << answerer.Texts()[0];
    EXPECT_NE(answerer.Texts()[0].find("is used by another program"), std::string::npos) << answerer.Texts()[0];
    EXPECT_NE(answerer.Texts()[1].find("is given twice"), std::string::npos) << answerer.Texts()[1];
    EXPECT_EQ(settings.m_nHotkeyNext, kCtrlAltLeft);
    EXPECT_EQ(settings.m_nHotkeyPrevious, 0);
    EXPECT_EQ(settings.m_nHotkeyPause, kCtrlShiftP);
    EXPECT_EQ(settings.m_bNotOnBatterySaver, 1);
}
