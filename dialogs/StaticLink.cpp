#include "dialogs/StaticLink.h"

#include "framework/Archive.h"
#include "framework/WideText.h"
#include "resource.h"

#include <shellapi.h>

void (*CStaticLink::s_pfnOpening)(const std::string&) = nullptr;

const CRuntimeClass& CStaticLink::GetThisClass()
{
    static const CRuntimeClass runtimeClass = {"CStaticLink", 0xFFFF};
    return runtimeClass;
}

LRESULT CStaticLink::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_REFLECT_BASE + WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam)));
    case WM_REFLECT_BASE + WM_COMMAND:
        if (HIWORD(wParam) != STN_CLICKED)
            return 0;
        OnClicked();
        return 1;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && m_hLinkCursor) {
            ::SetCursor(m_hLinkCursor);
            return TRUE;
        }
        break;
    case WM_SETFONT:
        // A new font for the control (the dialog's, at a monitor's new scale): the link takes an
        // underlined copy of it in its place.
        if (m_fontLink && reinterpret_cast<HFONT>(wParam) != m_fontLink.Get())
            return OnSetFont(reinterpret_cast<HFONT>(wParam), lParam);
        break;
    case WM_NCDESTROY:
        // The font goes with the window that used it.
        CWindow::WindowProc(msg, wParam, lParam);
        m_fontLink.Reset();
        return 0;
    }
    return CWindow::WindowProc(msg, wParam, lParam);
}

HBRUSH CStaticLink::OnCtlColor(HDC dc)
{
    // Clicks are reported only by statics with SS_NOTIFY.
    const LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    if (!(style & SS_NOTIFY))
        ::SetWindowLongA(m_hWnd, GWL_STYLE, style | SS_NOTIFY);

    // Pictures, frames and the like keep their own look.
    const LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT)
        return nullptr;

    if (!m_fontLink)
        MakeLinkFont(dc);
    // The static selects its own font after asking for colours: the link font is also made the
    // control's font (in MakeLinkFont), so the text comes out underlined either way.
    if (m_fontLink)
        ::SelectObject(dc, m_fontLink.Get());
    ::SetTextColor(dc, m_bVisited ? m_crVisited : m_crUnvisited);
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

namespace {
// An underlined copy of a font; null when the font cannot be read.
HFONT UnderlinedCopy(HFONT font)
{
    // The wide form keeps a face name in any script (a system font with a Japanese name).
    LOGFONTW description {};
    if (!font || !::GetObjectW(font, sizeof description, &description))
        return nullptr;
    description.lfUnderline = TRUE;
    return ::CreateFontIndirectW(&description);
}
} // namespace

void CStaticLink::MakeLinkFont(HDC dc)
{
    HFONT current = reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    if (!current)
        current = static_cast<HFONT>(::GetCurrentObject(dc, OBJ_FONT));
    m_fontLink.Reset(UnderlinedCopy(current));
    if (m_fontLink)
        ::SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontLink.Get()), FALSE);
    m_hLinkCursor = ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK_HAND));
}

LRESULT CStaticLink::OnSetFont(HFONT font, LPARAM redraw)
{
    CFontHandle underlined(UnderlinedCopy(font));
    if (!underlined)
        return DefaultProc(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    const LRESULT result = DefaultProc(WM_SETFONT, reinterpret_cast<WPARAM>(underlined.Get()), redraw);
    // The control no longer uses the old copy.
    m_fontLink = std::move(underlined);
    return result;
}

void CStaticLink::OnClicked()
{
    if (m_strTarget.empty())
        m_strTarget = WindowTextUtf8(m_hWnd);
    // Nothing to open: handing the shell an empty name would open the current folder.
    if (m_strTarget.empty()) {
        ::MessageBeep(0);
        return;
    }
    if (s_pfnOpening)
        s_pfnOpening(m_strTarget);
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", Wide(m_strTarget).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) {
        m_bVisited = true;
        // The link draws on a hollow brush: the dialog repaints the background under it first,
        // so the new colour does not land on the old glyphs.
        RECT area;
        ::GetWindowRect(m_hWnd, &area);
        HWND parent = ::GetParent(m_hWnd);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
        ::RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    } else {
        ::MessageBeep(0);
    }
}
