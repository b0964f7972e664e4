// A static text control that works as a hyperlink: drawn underlined in link colours, with a
// pointing-hand cursor, and opening its target through the shell when clicked.
//
// The control is an existing static of a dialog, attached with CDialog::AttachItem; the
// dialog reflects the control's colour requests and click notifications back to it.
#pragma once
#include "framework/Handles.h"
#include "framework/Window.h"

#include <string>

struct CRuntimeClass;

class CStaticLink : public CWindow {
public:
    CStaticLink() = default;

    // Class name "CStaticLink" (not storable).
    static const CRuntimeClass& GetThisClass();
    // Test hook: told each target just before it is handed to the shell.
    static void (*s_pfnOpening)(const std::string& target);

    COLORREF m_crUnvisited = RGB(0, 0, 255);
    COLORREF m_crVisited = RGB(128, 0, 128);
    // A click has opened the target.
    bool m_bVisited = false;
    // What a click opens; when empty, the control's own text is taken (and kept).
    std::string m_strTarget;
    // Underlined copy of the control's font, made on the first colour request.
    CFontHandle m_fontLink;
    // The hand cursor (a shared resource cursor: never destroyed), loaded with the font.
    HCURSOR m_hLinkCursor = nullptr;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The brush of the reflected WM_CTLCOLORSTATIC; null leaves the control its normal look.
    HBRUSH OnCtlColor(HDC dc);
    void OnClicked();
    void MakeLinkFont(HDC dc);
    // WM_SETFONT once the link has its own font: an underlined copy of the new one replaces it.
    LRESULT OnSetFont(HFONT font, LPARAM redraw);
};
