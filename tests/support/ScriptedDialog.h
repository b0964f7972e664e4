// Runs a test's script inside a real modal dialog: the script is posted from the dialog's
// initialisation and runs in its modal loop, once the dialog is up; endAtInit instead ends the
// dialog inside its initialisation, before it is shown (fast open-and-close cycles).
#pragma once
#include "framework/Dialog.h"

#include <functional>

namespace testing_support {

template <class Dialog>
class ScriptedDialog : public Dialog {
public:
    using Dialog::Dialog;
    std::function<void(ScriptedDialog&)> script;
    bool endAtInit = false;

    void SetText(int id, const char* text) { ::SetDlgItemTextA(this->m_hWnd, id, text); }
    std::string Text(int id)
    {
        char text[1024] = "";
        ::GetDlgItemTextA(this->m_hWnd, id, text, sizeof text);
        return text;
    }
    void Command(int id) { ::SendMessageA(this->m_hWnd, WM_COMMAND, id, 0); }

protected:
    static constexpr UINT kRunScript = WM_APP + 0x3F0;

    BOOL OnInitDialog() override
    {
        const BOOL result = Dialog::OnInitDialog();
        if (endAtInit)
            this->EndDialog(IDCANCEL);
        else
            ::PostMessageA(this->m_hWnd, kRunScript, 0, 0);
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == kRunScript) {
            if (script)
                script(*this);
            return 0;
        }
        return Dialog::WindowProc(msg, wParam, lParam);
    }
};

} // namespace testing_support
