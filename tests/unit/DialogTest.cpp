// The dialog base under Wine: data exchange both ways, the validation prompts with the dialog
// staying open, radio groups, attached controls with their reflected notifications.
#include "framework/Dialog.h"
#include "support/ScriptedDialog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testing_support;

namespace {
// The test template 300: radio group 10-12, number 20, check box 30, radio group 40-41,
// text 50, a notifying static 60.
class CExchangeDlgBase : public CDialog {
public:
    CExchangeDlgBase() : CDialog(300) {}
    int32_t m_nKind = -1, m_nNumber = 10, m_bCheck = 0, m_nSide = -1;
    std::string m_strText;

protected:
    bool DoDataExchange(CDataExchange& dx) override
    {
        return dx.Radio(10, m_nKind) && dx.IntRange(20, m_nNumber, 1, 60) && dx.Check(30, m_bCheck)
            && dx.Radio(40, m_nSide) && dx.Text(50, m_strText);
    }
};

class CExchangeDlg : public ScriptedDialog<CExchangeDlgBase, CExchangeDlg> {
public:
    void PressOK() { Command(IDOK); }
};
} // namespace

TEST(DataExchange, ParsesIntegersAsTheFieldsAcceptThem)
{
    struct {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {{"12", true, 12},         {" 7 ", true, 7},       {"\t-5", true, -5},
                 {"+3", true, 3},          {"0", true, 0},         {"2147483647", true, INT32_MAX},
                 {"-2147483648", true, INT32_MIN},                 {"2147483648", false, 0},
                 {"99999999999999", false, 0},                     {"", false, 0},
                 {" ", false, 0},          {"abc", false, 0},      {"1a", false, 0},
                 {"1 2", false, 0},        {"-", false, 0},        {"0x10", false, 0}};
    for (const auto& c : cases) {
        int32_t value = 0;
        EXPECT_EQ(CDataExchange::ParseInt(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(DialogBase, ExchangesEveryKindOfFieldBothWays)
{
    CExchangeDlg dlg;
    dlg.m_nKind = 1;
    dlg.m_nNumber = 45;
    dlg.m_bCheck = 1;
    dlg.m_strText = "hello";
    dlg.script = [](CExchangeDlg& d) {
        EXPECT_FALSE(d.Checked(10));
        EXPECT_TRUE(d.Checked(11));
        EXPECT_FALSE(d.Checked(12));
        EXPECT_EQ(d.Text(20), "45");
        EXPECT_TRUE(d.Checked(30));
        EXPECT_FALSE(d.Checked(40)); // -1: no button of the group selected
        EXPECT_FALSE(d.Checked(41));
        EXPECT_EQ(d.Text(50), "hello");
        ::SendMessageA(d.GetDlgItem(12), BM_CLICK, 0, 0);
        ::SendMessageA(d.GetDlgItem(30), BM_CLICK, 0, 0);
        d.SetText(20, " 60 ");
        d.SetText(50, "");
        d.PressOK();
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nKind, 2);
    EXPECT_EQ(dlg.m_nNumber, 60);
    EXPECT_EQ(dlg.m_bCheck, 0);
    EXPECT_EQ(dlg.m_nSide, -1); // the stored -1 comes back as -1
    EXPECT_EQ(dlg.m_strText, "");
}

TEST(DialogBase, RadioGroupWithoutAMatchingButtonSelectsNone)
{
    CExchangeDlg dlg;
    dlg.m_nKind = 7;
    dlg.m_nSide = 1;
    dlg.script = [](CExchangeDlg& d) {
        EXPECT_FALSE(d.Checked(10) || d.Checked(11) || d.Checked(12));
        EXPECT_TRUE(d.Checked(41));
        d.PressOK();
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nKind, -1);
    EXPECT_EQ(dlg.m_nSide, 1);
}

// A field that fails shows its prompt, takes the focus, and the dialog stays open (a second
// step posted behind the failures still runs in its loop); a disabled field is validated too.
// Cancel reads nothing back.
TEST(DialogBase, FailedFieldPromptsAndKeepsTheDialogOpen)
{
    CExchangeDlg dlg;
    std::vector<std::string> prompts;
    bool stillOpen = false;
    dlg.script = [&](CExchangeDlg& d) {
        if (prompts.empty()) {
            MessageBoxAnswerer answerer;
            for (const char* bad : {"abc", "0", "61"}) {
                d.SetText(20, bad);
                ::SetFocus(d.GetDlgItem(50));
                d.PressOK();
                EXPECT_EQ(::GetFocus(), d.GetDlgItem(20)) << bad;
            }
            ::EnableWindow(d.GetDlgItem(20), FALSE);
            d.SetText(20, "x");
            d.PressOK();
            prompts = answerer.Texts();
            d.RunScriptAgain();
            return;
        }
        stillOpen = true;
        d.SetText(20, "33");
        ::SendMessageA(d.m_hWnd, WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(dlg.m_nNumber, 10); // nothing read back
    const std::vector<std::string> expected {"Please enter an integer.", "Please enter an integer between 1 and 60.",
                                             "Please enter an integer between 1 and 60.", "Please enter an integer."};
    EXPECT_EQ(prompts, expected);
}

namespace {
// A control object that handles its own colours and clicks.
class CProbeStatic : public CWindow {
public:
    int colourRequests = 0, clicks = 0;
    HBRUSH brush = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        switch (msg) {
        case WM_REFLECT_BASE + WM_CTLCOLORSTATIC:
            ++colourRequests;
            return reinterpret_cast<LRESULT>(brush);
        case WM_REFLECT_BASE + WM_COMMAND:
            if (HIWORD(wParam) != STN_CLICKED)
                return 0;
            ++clicks;
            return 1;
        default:
            return CWindow::WindowProc(msg, wParam, lParam);
        }
    }
};
} // namespace

TEST(DialogBase, AttachedControlsGetTheirNotificationsAndKeepTheirUserData)
{
    CExchangeDlg dlg;
    CProbeStatic probe;
    dlg.script = [&probe](CExchangeDlg& d) {
        HWND control = d.GetDlgItem(60);
        ::SetWindowLongPtrA(control, GWLP_USERDATA, 1234);
        ASSERT_TRUE(d.AttachItem(probe, 60));
        EXPECT_FALSE(d.AttachItem(probe, 50)); // one window per object
        EXPECT_EQ(CWindow::FromHandlePermanent(control), &probe);
        EXPECT_EQ(::GetWindowLongPtrA(control, GWLP_USERDATA), 1234);
        HDC dc = ::GetDC(control);
        EXPECT_EQ(::SendMessageA(d.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(control)),
                  reinterpret_cast<LRESULT>(probe.brush));
        ::ReleaseDC(control, dc);
        EXPECT_EQ(probe.colourRequests, 1);
        ::SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(60, STN_CLICKED), reinterpret_cast<LPARAM>(control));
        EXPECT_EQ(probe.clicks, 1);
        // Cancel goes to the dialog, not the control.
        ::SendMessageA(d.m_hWnd, WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(probe.m_hWnd, nullptr); // came off with the window
}

// The test template gives no place of its own (0, 0): the dialog opens centred by itself.
TEST(DialogBase, OpensCentredOnTheScreenWithoutOwner)
{
    CExchangeDlg dlg;
    RECT rect {}, work {};
    dlg.script = [&rect](CExchangeDlg& d) {
        ::GetWindowRect(d.m_hWnd, &rect);
        d.PressOK();
    };
    dlg.DoModal();
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((rect.left + rect.right) / 2 - (work.left + work.right) / 2), 1);
    EXPECT_LE(std::abs((rect.top + rect.bottom) / 2 - (work.top + work.bottom) / 2), 1);
}

// A dialog opened without a named owner belongs to the window the user was working in, which
// stays disabled underneath; one opened with an explicit null owner stands on its own.
TEST(DialogBase, OwnerIsTheActiveWindowUnlessNamed)
{
    CExchangeDlg outer;
    HWND outerWindow = nullptr, innerOwner = reinterpret_cast<HWND>(1), outerEnabledDuringInner = nullptr;
    HWND aloneOwner = reinterpret_cast<HWND>(1);
    outer.script = [&](CExchangeDlg& self) {
        outerWindow = self.m_hWnd;
        ::SetActiveWindow(self.m_hWnd);
        CExchangeDlg inner;
        inner.script = [&](CExchangeDlg& in) {
            innerOwner = ::GetWindow(in.m_hWnd, GW_OWNER);
            outerEnabledDuringInner = ::IsWindowEnabled(self.m_hWnd) ? self.m_hWnd : nullptr;
            in.EndDialog(IDCANCEL);
        };
        inner.DoModal();
        ScriptedDialog<CDialog> alone(300, nullptr);
        alone.script = [&](auto& in) {
            aloneOwner = ::GetWindow(in.m_hWnd, GW_OWNER);
            in.EndDialog(IDCANCEL);
        };
        alone.DoModal();
        self.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    EXPECT_EQ(innerOwner, outerWindow);
    EXPECT_EQ(outerEnabledDuringInner, nullptr);
    EXPECT_EQ(aloneOwner, nullptr);
}

// The fixed class names other processes look for: a window class and a dialog class.
TEST(WindowBase, FixedClassNamesAreFoundByName)
{
    const char* cls = CWindow::RegisterNamedWindowClass("Murlavo.TestWindow", CS_HREDRAW);
    ASSERT_NE(cls, nullptr);
    EXPECT_STREQ(CWindow::RegisterNamedWindowClass("Murlavo.TestWindow", CS_HREDRAW), cls);
    // The name is taken by a class of other values.
    EXPECT_EQ(CWindow::RegisterNamedWindowClass("Murlavo.TestWindow", CS_VREDRAW), nullptr);
    CWindow window;
    ASSERT_TRUE(window.CreateEx(0, cls, "named", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr));
    EXPECT_EQ(::FindWindowA("Murlavo.TestWindow", nullptr), window.m_hWnd);
    EXPECT_EQ(CWindow::FromHandlePermanent(window.m_hWnd), &window);
    window.DestroyWindow();

    ASSERT_TRUE(CDialog::RegisterDialogClass("Murlavo.TestDialog"));
    EXPECT_TRUE(CDialog::RegisterDialogClass("Murlavo.TestDialog"));
    HWND dialog = ::CreateWindowExA(0, "Murlavo.TestDialog", "d", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(dialog, nullptr);
    // A dialog window: the dialog manager's extra bytes are there.
    EXPECT_EQ(::SetWindowLongPtrA(dialog, DWLP_USER, 5), 0);
    EXPECT_EQ(::GetWindowLongPtrA(dialog, DWLP_USER), 5);
    ::DestroyWindow(dialog);
}
