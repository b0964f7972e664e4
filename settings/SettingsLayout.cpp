// The Settings dialog's size and place: its controls follow the dialog as it is resized or
// maximised (the tree and the list grow, the buttons keep their corners), it is never made
// smaller than its template, and it opens where the user last left it.
#include "settings/SettingsDlg.h"

#include "framework/Application.h"
#include "framework/Dpi.h"
#include "resource.h"

#include <algorithm>
#include <cstdio>

namespace {

// Which edges of a control move with the dialog's growth: 0 not, 1 by half of it, 2 by all
// of it. The tree and the list take the left half of the new width, the preview the right
// half; the buttons move with the right edge, OK and Cancel with the bottom-right corner.
struct AnchorRule {
    int id;
    int left, top, right, bottom;
};
constexpr AnchorRule kRules[] = {
    {IDOK, 2, 2, 2, 2},
    {IDCANCEL, 2, 2, 2, 2},
    {IDC_LIBRARY_TREE, 0, 0, 1, 2},
    {IDC_NOW_PLAYING, 0, 0, 1, 0},
    {IDC_SET_NOW_PLAYING, 2, 0, 2, 0},
    {IDC_ADD_PLAYLIST, 2, 0, 2, 0},
    {IDC_ADD_PICTURE, 2, 0, 2, 0},
    {IDC_ADD_FOLDER, 2, 0, 2, 0},
    {IDC_SETTINGS_OPTIONS, 2, 0, 2, 0},
    {IDC_SETTINGS_ABOUT, 2, 0, 2, 0},
    {IDC_PREVIEW, 1, 0, 2, 2},
    {IDC_PREVIEW_INFO, 1, 2, 2, 2},
};

const AnchorRule* RuleOf(HWND control)
{
    const int id = ::GetDlgCtrlID(control);
    for (const AnchorRule& rule : kRules)
        if (rule.id == id)
            return &rule;
    return nullptr;
}

int Grow(int edge, int share, int growth)
{
    return edge + (share == 2 ? growth : share == 1 ? growth / 2 : 0);
}

} // namespace

void CSettingsDlg::InitLayout()
{
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    m_clientOpened = {client.right, client.bottom};
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    m_minTrack = {window.right - window.left, window.bottom - window.top};
    m_nDpi = dpi::DialogDpi(m_hWnd);
    m_layout.clear();
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT place;
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
        if (const AnchorRule* rule = RuleOf(child)) {
            m_layout.push_back({child, place, rule->left, rule->top, rule->right, rule->bottom});
        } else if (::GetDlgCtrlID(child) == -1 || ::GetDlgCtrlID(child) == 0xFFFF) {
            // The Now Playing frame (it has no id of its own) widens with its list.
            m_layout.push_back({child, place, 0, 0, 1, 0});
        }
    }
}

void CSettingsDlg::OnDpiChanged(UINT dpi)
{
    // The places noted at the template's size are scaled to the new monitor's; the dialog is
    // then moved to its suggested rectangle and the controls follow (OnSize). The system only
    // gives the controls the dialog's font at the new scale (see KeepOwnLayout).
    if (m_nDpi && dpi && dpi != m_nDpi) {
        auto scale = [&](LONG value) { return static_cast<LONG>(::MulDiv(value, static_cast<int>(dpi), static_cast<int>(m_nDpi))); };
        for (Anchor& anchor : m_layout)
            anchor.opened = {scale(anchor.opened.left), scale(anchor.opened.top), scale(anchor.opened.right),
                scale(anchor.opened.bottom)};
        m_clientOpened = {scale(m_clientOpened.cx), scale(m_clientOpened.cy)};
        m_minTrack = {scale(m_minTrack.cx), scale(m_minTrack.cy)};
    }
    m_nDpi = dpi;
}

void CSettingsDlg::OnSize(int cx, int cy)
{
    if (m_layout.empty() || ::IsIconic(m_hWnd))
        return;
    // Never smaller than the template (a maximised dialog on a small screen keeps its layout).
    const int dx = cx > m_clientOpened.cx ? cx - m_clientOpened.cx : 0;
    const int dy = cy > m_clientOpened.cy ? cy - m_clientOpened.cy : 0;
    HDWP defer = ::BeginDeferWindowPos(static_cast<int>(m_layout.size()));
    for (const Anchor& anchor : m_layout) {
        const int left = Grow(anchor.opened.left, anchor.left, dx);
        const int top = Grow(anchor.opened.top, anchor.top, dy);
        const int right = Grow(anchor.opened.right, anchor.right, dx);
        const int bottom = Grow(anchor.opened.bottom, anchor.bottom, dy);
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (defer)
            defer = ::DeferWindowPos(defer, anchor.control, nullptr, left, top, right - left, bottom - top, flags);
        else
            ::SetWindowPos(anchor.control, nullptr, left, top, right - left, bottom - top, flags);
    }
    if (defer)
        ::EndDeferWindowPos(defer);
    // The group box's frame is drawn by the dialog behind it: repaint what moved.
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    // The preview is fitted to the pane again once the resizing pauses.
    ::SetTimer(m_hWnd, kPreviewSizeTimer, 250, nullptr);
}

void CSettingsDlg::OnGetMinMaxInfo(MINMAXINFO& info) const
{
    if (m_minTrack.cx > 0 && m_minTrack.cy > 0) {
        info.ptMinTrackSize.x = m_minTrack.cx;
        info.ptMinTrackSize.y = m_minTrack.cy;
    }
}

void CSettingsDlg::SavePlacement() const
{
    CApplication* app = GetApp();
    WINDOWPLACEMENT placement {};
    placement.length = sizeof placement;
    if (!app || !::GetWindowPlacement(m_hWnd, &placement))
        return;
    // The normal place is kept in screen coordinates: the placement's own are those of the
    // work area, which shift with the taskbar.
    RECT normal = placement.rcNormalPosition;
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromRect(&normal, MONITOR_DEFAULTTONEAREST), &monitor))
        ::OffsetRect(&normal, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    const bool maximized = placement.showCmd == SW_SHOWMAXIMIZED || ::IsZoomed(m_hWnd);
    char text[96];
    std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld,%d", normal.left, normal.top, normal.right, normal.bottom,
        maximized ? 1 : 0);
    app->WriteProfileString(kPlacementSection, kPlacementEntry, text);
}

bool CSettingsDlg::RestorePlacement()
{
    const CApplication* app = GetApp();
    if (!app)
        return false;
    const std::string text = app->GetProfileString(kPlacementSection, kPlacementEntry, "");
    long left = 0, top = 0, right = 0, bottom = 0;
    int maximized = 0;
    char tail = 0;
    // Anything but five numbers, or a rectangle beyond any screen, is ignored.
    if (text.size() > 80
        || std::sscanf(text.c_str(), "%ld,%ld,%ld,%ld,%d%c", &left, &top, &right, &bottom, &maximized, &tail) != 5)
        return false;
    constexpr long kFar = 1L << 20;
    if (left < -kFar || top < -kFar || right > kFar || bottom > kFar || right <= left || bottom <= top)
        return false;
    RECT place = {left, top, right, bottom};
    // The monitor it was on, or, when that one is gone, the nearest one: the dialog is brought
    // onto its work area, no larger than it.
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromRect(&place, MONITOR_DEFAULTTONEAREST), &monitor))
        return false;
    const RECT& work = monitor.rcWork;
    long width = std::max<long>(right - left, m_minTrack.cx);
    long height = std::max<long>(bottom - top, m_minTrack.cy);
    width = std::min<long>(width, work.right - work.left);
    height = std::min<long>(height, work.bottom - work.top);
    // Whole on that work area: a place partly off it (the taskbar moved, the resolution
    // changed) comes back in.
    left = std::min<long>(std::max<long>(left, work.left), work.right - width);
    top = std::min<long>(std::max<long>(top, work.top), work.bottom - height);
    ::SetWindowPos(m_hWnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (maximized)
        ::ShowWindow(m_hWnd, SW_SHOWMAXIMIZED);
    return true;
}
