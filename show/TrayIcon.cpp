#include "show/TrayIcon.h"

#include "app/ChangerApp.h"
#include "app/SettingsInstance.h"
#include "dialogs/AboutDlg.h"
#include "framework/Dpi.h"
#include "framework/Handles.h"
#include "framework/WideText.h"
#include "library/Settings.h"
#include "resource.h"
#include "settings/SettingsDlg.h"
#include "show/ShowWnd.h"

#include <string>

namespace {
INT_PTR OpenWithShell(HWND owner, const wchar_t* path)
{
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(owner, L"open", path, nullptr, nullptr, SW_SHOWNORMAL));
}

// The folder the help documents lie below (UTF-8, ending in a backslash): the installation
// directory, else the program's own folder (a relative path would depend on the current
// directory, which at logon or from a shortcut is anything but the program's).
std::string HelpFolder()
{
    if (!g_settings.m_strInstallDir.empty())
        return g_settings.m_strInstallDir;
    // The program may lie in a folder of any name and length: the buffer grows until the
    // whole path fits.
    std::wstring module(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, &module[0], DWORD(module.size()));
        if (length == 0)
            return std::string();
        if (length < module.size()) {
            module.resize(length);
            break;
        }
        if (module.size() >= 32768)
            return std::string();
        module.resize(module.size() * 2);
    }
    return Utf8(module.substr(0, module.find_last_of(L'\\') + 1));
}

} // namespace

int CTrayIcon::IconSize(UINT dpi)
{
    return dpi::SystemMetric(SM_CXSMICON, dpi);
}

HICON CTrayIcon::LoadIconForDpi(UINT dpi)
{
    // The common controls' LoadIconWithScaleDown (version 6) shrinks the nearest larger image
    // of the icon, which looks better than stretching a smaller one; else the loader takes the
    // image nearest that size.
    const int size = IconSize(dpi);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    using LoadScaledFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    CModule comctl(::LoadLibraryW(L"comctl32.dll"));
    if (comctl) {
        auto load = reinterpret_cast<LoadScaledFn>(
            reinterpret_cast<void (*)()>(::GetProcAddress(comctl.Get(), "LoadIconWithScaleDown")));
        HICON icon = nullptr;
        if (load && SUCCEEDED(load(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), size, size, &icon)) && icon)
            return icon;
    }
    return static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

INT_PTR (*CTrayIcon::s_pfnShellOpen)(HWND, const wchar_t*) = OpenWithShell;
BOOL(WINAPI* CTrayIcon::s_pfnShellNotifyIcon)(DWORD, NOTIFYICONDATAW*) = ::Shell_NotifyIconW;

UINT CTrayIcon::TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}

DWORD CTrayIcon::s_dwRetryMs = 2000;

// The icon's data as the first structure's size has it (every shell takes that), its flags
// and fields empty.
NOTIFYICONDATAW CTrayIcon::IconData() const
{
    NOTIFYICONDATAW data {};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = m_window.m_hWnd;
    data.uID = kTrayIconId;
    return data;
}

void CTrayIcon::Add()
{
    m_bWanted = true;
    m_nRetries = 0;
    TryAdd();
}

void CTrayIcon::TryAdd()
{
    // At the small-icon size of the monitor the window is on, in that monitor's pixels.
    CIconHandle icon(LoadIconForDpi(dpi::WindowDpi(m_window.m_hWnd)));
    NOTIFYICONDATAW data = IconData();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAYNOTIFY;
    data.hIcon = icon.Get();
    lstrcpynW(data.szTip, m_strTip.c_str(), 64); // the tip of the first structure's size: 64 characters
    // The shell keeps its own copy of the icon. An add refused because the icon is there
    // already (an earlier attempt timed out but reached the shell) is an update instead.
    m_bAdded = s_pfnShellNotifyIcon(NIM_ADD, &data) || s_pfnShellNotifyIcon(NIM_MODIFY, &data);
    if (m_bAdded || m_nRetries >= kMaxRetries)
        ::KillTimer(m_window.m_hWnd, kTrayRetryTimerId);
    else
        ::SetTimer(m_window.m_hWnd, kTrayRetryTimerId, s_dwRetryMs, nullptr);
}

void CTrayIcon::SetTip(const std::wstring& tip)
{
    if (tip == m_strTip)
        return;
    m_strTip = tip;
    if (!m_bAdded)
        return; // the next attempt to add the icon brings it
    NOTIFYICONDATAW data = IconData();
    data.uFlags = NIF_TIP;
    lstrcpynW(data.szTip, m_strTip.c_str(), 64);
    s_pfnShellNotifyIcon(NIM_MODIFY, &data);
}

void CTrayIcon::OnDpiChanged()
{
    // The icon drawn again at the new size; one the shell does not hold yet comes with the
    // next attempt.
    if (m_bAdded)
        TryAdd();
}

void CTrayIcon::OnRetryTimer()
{
    ++m_nRetries;
    if (m_bWanted && !m_bAdded)
        TryAdd();
    else
        ::KillTimer(m_window.m_hWnd, kTrayRetryTimerId);
}

void CTrayIcon::Remove()
{
    ::KillTimer(m_window.m_hWnd, kTrayRetryTimerId);
    if (!m_bWanted)
        return;
    // Also when no attempt was confirmed: one that timed out may have reached the shell.
    NOTIFYICONDATAW data = IconData();
    s_pfnShellNotifyIcon(NIM_DELETE, &data);
    m_bWanted = false;
    m_bAdded = false;
}

void CTrayIcon::OnTaskbarCreated()
{
    if (m_bWanted)
        Add();
}

LRESULT CTrayIcon::OnNotify(UINT mouseMessage)
{
    switch (mouseMessage) {
    case WM_RBUTTONUP: {
        POINT point;
        ::GetCursorPos(&point);
        point.x += 5;
        point.y += 5;
        // A menu of a window that is not in the foreground would not close when the user
        // clicks elsewhere.
        ::SetForegroundWindow(m_window.m_hWnd);
        ShowMenu(point);
        return 1;
    }
    case WM_LBUTTONDBLCLK:
        m_window.ChangeNow();
        return 1;
    default:
        return 0;
    }
}

void CTrayIcon::ShowMenu(POINT screen)
{
    if (m_window.m_bShowMode == 1)
        return; // the full-screen show, the preview and the saver have no menu
    if (m_pOpenDialog && m_pOpenDialog->m_hWnd) {
        ::SetForegroundWindow(m_pOpenDialog->m_hWnd);
        return;
    }
    CMenuHandle menu(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup)
        return;
    ::SetMenuDefaultItem(popup, 0, TRUE); // "&Next", in bold
    // "&Previous" is greyed when there is nothing to go back to.
    ::EnableMenuItem(popup, ID_TRAY_PREVIOUS,
        MF_BYCOMMAND | (m_window.Changer().CanGoBack() ? MF_ENABLED : MF_GRAYED));
    // "Pa&use" is checked while the changer is paused.
    ::CheckMenuItem(popup, ID_TRAY_PAUSE, MF_BYCOMMAND | (g_settings.m_bPaused ? MF_CHECKED : MF_UNCHECKED));
    HWND owner = m_window.m_hWnd;
    while (owner && (::GetWindowLongA(owner, GWL_STYLE) & WS_CHILD))
        owner = ::GetParent(owner);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
    // With this message behind the menu, the next click after a menu that was dismissed by a
    // click elsewhere reaches its window as it should.
    ::PostMessageA(owner, WM_NULL, 0, 0);
}

bool CTrayIcon::OnCommand(int id)
{
    switch (id) {
    case ID_TRAY_NEXT:
        m_window.ChangeNow();
        return true;
    case ID_TRAY_PREVIOUS:
        m_window.ChangeBack();
        return true;
    case ID_TRAY_PAUSE:
        m_window.SetPaused(!g_settings.m_bPaused);
        return true;
    case ID_CHANGER_PAUSE:
    case ID_CHANGER_RESUME:
        m_window.SetPaused(id == ID_CHANGER_PAUSE);
        return true;
    case ID_TRAY_SHOW:
        m_window.StartFullScreenShow();
        return true;
    case ID_TRAY_SETTINGS:
        OnSettings();
        return true;
    case ID_TRAY_HELP:
        OnHelp();
        return true;
    case ID_TRAY_ABOUT: {
        CAboutDlg dlg;
        RunMenuDialog(dlg);
        return true;
    }
    case ID_TRAY_CLOSE:
        ::PostMessageA(m_window.m_hWnd, WM_CLOSE, 0, 0);
        return true;
    default:
        return false;
    }
}

// The window must outlive the dialog's loop, which returns into it: see DeferClose.
INT_PTR CTrayIcon::RunMenuDialog(CDialog& dlg)
{
    m_pOpenDialog = &dlg;
    const INT_PTR result = dlg.DoModal();
    m_pOpenDialog = nullptr;
    if (m_bCloseAfterDialog) {
        m_bCloseAfterDialog = false;
        ::PostMessageA(m_window.m_hWnd, WM_CLOSE, 0, 0);
    }
    return result;
}

bool CTrayIcon::DeferClose()
{
    if (!m_pOpenDialog || !m_pOpenDialog->m_hWnd)
        return false;
    m_bCloseAfterDialog = true;
    ::PostMessageA(m_pOpenDialog->m_hWnd, WM_COMMAND, IDCANCEL, 0);
    return true;
}

void CTrayIcon::OnSettings()
{
    // One Settings dialog per session: when Settings runs in another process, that one
    // comes to the front instead.
    CSettingsInstance instance;
    if (!instance.Claim())
        return;
    // The dialog edits a copy of the settings; the changer takes the options from it after OK
    // and stores them with its own wallpaper path and rotation state, which stay as they are
    // (a wallpaper applied while the dialog was open has set them anew).
    CSettingsDlg dlg(nullptr, g_settings);
    if (RunMenuDialog(dlg) != IDOK)
        return;
    m_window.Changer().ReloadSettingsAndLibrary(dlg.m_settings);
    if (CChangerApp* app = dynamic_cast<CChangerApp*>(GetApp()))
        app->SaveSettings();
    m_window.OnOptionsChanged();
}

void CTrayIcon::OnHelp()
{
    const std::string folder = HelpFolder();
    // Above 32 means the document was opened.
    if (s_pfnShellOpen(m_window.m_hWnd, Wide(folder + "help\\mainpage.htm").c_str()) <= 32)
        s_pfnShellOpen(m_window.m_hWnd, Wide(folder + "help\\readme.doc").c_str());
}
