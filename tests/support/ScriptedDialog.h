// Runs a test's script inside a real modal dialog: the script is posted from the dialog's
// initialisation and runs in its modal loop, once the dialog is up (RunScriptAgain posts it
// once more, behind what the script itself posted). endAtInit instead ends the dialog inside
// its initialisation, before it is shown (fast open-and-close cycles). A watchdog ends a dialog
// that never closes after 15 s with kStuckDialog, so a broken close fails instead of hanging.
//
// Self is the test's own class when it adds helpers (ScriptedDialog<COptionsDlg, CMyTestDlg>):
// the script then receives that class.
#pragma once
#include "framework/Dialog.h"

#include <functional>
#include <string>
#include <type_traits>

namespace testing_support {

constexpr INT_PTR kStuckDialog = 999;

template <class Dialog, class Self = void>
class ScriptedDialog : public Dialog {
public:
    using Scripted = std::conditional_t<std::is_void_v<Self>, ScriptedDialog, Self>;
    using Dialog::Dialog;

    std::function<void(Scripted&)> script;
    bool endAtInit = false;

    void RunScriptAgain() { ::PostMessageA(this->m_hWnd, kRunScript, 0, 0); }
    void SetText(int id, const char* text) const { ::SetDlgItemTextA(this->m_hWnd, id, text); }
    std::string Text(int id) const
    {
        char text[1024] = "";
        ::GetDlgItemTextA(this->m_hWnd, id, text, sizeof text);
        return text;
    }
    bool Checked(int id) const { return ::IsDlgButtonChecked(this->m_hWnd, id) == BST_CHECKED; }
    void Command(int id) const { ::SendMessageA(this->m_hWnd, WM_COMMAND, id, 0); }

protected:
    static constexpr UINT kRunScript = WM_APP + 0x3F0;
    static constexpr UINT_PTR kWatchdogTimer = 0x7A7A;

    BOOL OnInitDialog() override
    {
        const BOOL result = Dialog::OnInitDialog();
        if (endAtInit) {
            this->EndDialog(IDCANCEL);
            return result;
        }
        ::SetTimer(this->m_hWnd, kWatchdogTimer, 15000, nullptr);
        RunScriptAgain();
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == kRunScript) {
            if (script)
                script(static_cast<Scripted&>(*this));
            return 0;
        }
        if (msg == WM_TIMER && wParam == kWatchdogTimer) {
            // A message box or colour dialog still up would keep its own loop running.
            if (HWND popup = ::GetWindow(this->m_hWnd, GW_ENABLEDPOPUP))
                ::SendMessageA(popup, WM_COMMAND, IDCANCEL, 0);
            this->EndDialog(kStuckDialog);
            return 0;
        }
        return Dialog::WindowProc(msg, wParam, lParam);
    }
};

} // namespace testing_support
