#include "dialogs/AboutDlg.h"

#include "framework/Dpi.h"
#include "framework/WideText.h"
#include "library/Settings.h"
#include "platform/DrawDib.h"
#include "murlavo_version.h"
#include "resource.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace {

// From project(VERSION) in CMakeLists.txt, like the version resource and the setup program.
constexpr int kVersionMajor = MURLAVO_VERSION_MAJOR;
constexpr int kVersionMinor = MURLAVO_VERSION_MINOR;
constexpr const char* kBuildDate = "Jun  1 1998";
constexpr const char* kBuildTime = "07:15:15";

// A string of the resources with its inserts %1..%9 replaced by the arguments.
std::string FormatResourceString(UINT id, std::initializer_list<std::string> inserts)
{
    const std::string format = LoadResourceString(id);
    std::string text;
    for (const char* p = format.c_str(); *p; ++p) {
        const size_t index = p[0] == '%' && p[1] >= '1' && p[1] <= '9' ? size_t(p[1] - '1') : inserts.size();
        if (index < inserts.size()) {
            text += inserts.begin()[index];
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesW(FilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

RECT FitLogo(const RECT& area, int w, int h)
{
    const int64_t aw = area.right - area.left, ah = area.bottom - area.top;
    if (w <= 0 || h <= 0 || aw <= 0 || ah <= 0)
        return RECT {area.left, area.top, area.left, area.top};
    // Compared and scaled in integers: aw / w <= ah / h exactly when aw * h <= ah * w, and the
    // truncated products are exact (a floating-point ratio may land a hair below a whole side).
    int64_t dw, dh;
    if (aw * h <= ah * w) {
        dw = aw;
        dh = h * aw / w;
    } else {
        dh = ah;
        dw = w * ah / h;
    }
    const LONG x = area.left + static_cast<LONG>((aw - dw) / 2);
    const LONG y = area.top + static_cast<LONG>((ah - dh) / 2);
    return RECT {x, y, x + static_cast<LONG>(dw), y + static_cast<LONG>(dh)};
}

// A window of its own, with no owner, wherever it is opened from.
CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUT, nullptr) {}

bool CAboutDlg::DoDataExchange(CDataExchange& dx)
{
    if (!dx.m_bSaveAndValidate && !m_frameLogo.GetSafeHwnd())
        AttachItem(m_frameLogo, IDC_LOGO_FRAME);
    return dx.Text(IDC_HEADING, m_strHeading) && dx.Text(IDC_BUILD, m_strBuild) && dx.Text(IDC_VERSION, m_strVersion);
}

BOOL CAboutDlg::OnInitDialog()
{
    m_strHeading = g_settings.m_strTitle;
    char number[16];
    std::snprintf(number, sizeof number, "%2d.%02d", kVersionMajor, kVersionMinor);
    m_strVersion = FormatResourceString(IDS_VERSION, {number});
    m_strBuild = FormatResourceString(IDS_BUILD, {kBuildDate, kBuildTime});

    CDialog::OnInitDialog();
    CenterWindow();

    AttachItem(m_linkWeb, IDC_WEB_LINK);
    AttachItem(m_linkBadge, IDC_BADGE_LINK);
    AttachItem(m_linkSupport, IDC_SUPPORT_LINK);
    m_linkSupport.m_strTarget = std::string("mailto:") + MURLAVO_SUPPORT_MAIL;
    // The badge is a picture: it has no text to open, so it leads to the maker's web page.
    m_linkBadge.m_strTarget = MURLAVO_WEB_PAGE;

    AttachItem(m_linkCustomWeb, IDC_CUSTOM_WEB);
    AttachItem(m_linkCustomMail, IDC_CUSTOM_MAIL);
    SetWindowTextUtf8(GetDlgItem(IDC_CUSTOM_WEB), g_settings.m_strWebPage);
    SetWindowTextUtf8(GetDlgItem(IDC_CUSTOM_MAIL), g_settings.m_strEMail);
    m_linkCustomMail.m_strTarget = "mailto:" + g_settings.m_strEMail;

    // The heading keeps a font of its own when the dialog moves to a monitor of another scale.
    dpi::KeepOwnFont(GetDlgItem(IDC_HEADING));
    MakeHeadingFont(dpi::DialogDpi(m_hWnd));

    m_bLogo = LoadLogo();
    return TRUE;
}

void CAboutDlg::MakeHeadingFont(UINT dpi)
{
    // 22 pixels high at 100 %, in the monitor's pixels. The old font goes only once the
    // control holds the new one.
    CFontHandle font(::CreateFontW(dpi::Scale(22, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, L"Arial"));
    if (!font)
        return;
    ::SendDlgItemMessageA(m_hWnd, IDC_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    m_fontHeading = std::move(font);
    m_nDpi = dpi;
}

void CAboutDlg::OnDpiChanged(UINT dpi)
{
    // The template's text gets its font for the new scale from the system (or the dialog
    // base), the links an underlined copy of it; the heading's own is made here. The logo is
    // fitted to its frame at every paint.
    if (dpi && dpi != m_nDpi)
        MakeHeadingFont(dpi);
}

bool CAboutDlg::LoadLogo()
{
    const std::string path = g_settings.m_strInstallDir + "logo.bmp";
    const BOOL loaded = FileExists(path) ? m_logo.LoadFile(path.c_str()) : m_logo.LoadBitmapResource(IDB_ABOUT_LOGO);
    if (!loaded || !m_logo.m_pBits)
        return false;

    const COLORREF menu = ::GetSysColor(COLOR_MENU);
    for (int y = 0; y < m_logo.m_nHeight; ++y) {
        BYTE* pixel = m_logo.m_pBits + size_t(y) * size_t(m_logo.m_nStride);
        for (int x = 0; x < m_logo.m_nWidth; ++x, pixel += 3) {
            if (pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 0) {
                pixel[0] = GetBValue(menu);
                pixel[1] = GetGValue(menu);
                pixel[2] = GetRValue(menu);
            }
        }
    }
    return true;
}

void CAboutDlg::OnPaint()
{
    CPaintDC dc(m_hWnd);
    if (!m_bLogo)
        return;
    RECT area;
    ::GetWindowRect(m_frameLogo.GetSafeHwnd(), &area);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&area), 2);

    platform::RealizeDrawDib(m_logo.m_hDrawDib, dc.GetSafeHdc());
    const BITMAPINFOHEADER& header = m_logo.m_dibSection.dsBmih;
    const RECT to = FitLogo(area, header.biWidth, header.biHeight);
    platform::DrawDibPicture(m_logo.m_hDrawDib, dc.GetSafeHdc(), to.left, to.top, to.right - to.left,
                             to.bottom - to.top, &header, m_logo.m_pBits, 0, 0, header.biWidth, header.biHeight, 0);
}

LRESULT CAboutDlg::OnQueryNewPalette()
{
    if (!m_bLogo)
        return 0;
    CClientDC dc(m_hWnd);
    const UINT changed = m_logo.Realize(&dc);
    if (changed)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return changed;
}

void CAboutDlg::OnDestroy()
{
    // The badge static loaded its bitmap from the template itself, and not every system frees
    // such an image with the control: the dialog takes it back and frees it.
    if (HGDIOBJ badge = reinterpret_cast<HGDIOBJ>(
            ::SendDlgItemMessageA(m_hWnd, IDC_BADGE_LINK, STM_SETIMAGE, IMAGE_BITMAP, 0)))
        ::DeleteObject(badge);
}

void CAboutDlg::OnNcDestroy()
{
    // The dialog lives only while it runs: its picture and title font go with its window.
    m_bLogo = false;
    m_logo.Destroy();
    m_fontHeading.Reset();
}

LRESULT CAboutDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYNEWPALETTE:
        return OnQueryNewPalette();
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != m_hWnd)
            OnQueryNewPalette();
        // The dialog manager's own handling follows.
        return DefaultProc(msg, wParam, lParam);
    case dpi::kMsgDpiChanged:
        OnDpiChanged(LOWORD(wParam));
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_DESTROY:
        OnDestroy();
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_NCDESTROY:
        OnNcDestroy();
        return CDialog::WindowProc(msg, wParam, lParam);
    default:
        return CDialog::WindowProc(msg, wParam, lParam);
    }
}
