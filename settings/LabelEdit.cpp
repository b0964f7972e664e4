#include "settings/LabelEdit.h"

#include <commctrl.h>

LRESULT CLabelEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_CHAR:
        // Escape drops the text, Enter keeps it; neither goes further.
        if (wParam == VK_ESCAPE || wParam == VK_RETURN) {
            ::SendMessageW(::GetParent(m_hWnd), TVM_ENDEDITLABELNOW, wParam == VK_ESCAPE, 0);
            return 0;
        }
        return CWindow::WindowProc(msg, wParam, lParam);
    default:
        return CWindow::WindowProc(msg, wParam, lParam);
    }
}
