// The wallpaper changer's icon in the notification area and its menu: added at the window's
// creation (tried again for a while when the taskbar is not ready yet, as at logon), removed
// at its destruction, added again when the shell restarts ("TaskbarCreated").
// A right click opens the menu beside the pointer, a double click changes the wallpaper; the
// menu's commands come back to the window as WM_COMMAND and are carried out here.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

class CDialog;
class CShowWnd;

// The icon's callback message and id.
constexpr UINT WM_TRAYNOTIFY = 0x700;
constexpr UINT kTrayIconId = 128;
// The window's timer that tries again to add an icon the shell refused.
constexpr UINT_PTR kTrayRetryTimerId = 2;

class CTrayIcon {
public:
    explicit CTrayIcon(CShowWnd& window) : m_window(window) {}
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon. When the shell refuses it (at logon the taskbar may not run yet, or be
    // too busy to answer in time), it is tried again every s_dwRetryMs, kMaxRetries times.
    void Add();
    // Removes the icon if it was added (or is still being tried).
    void Remove();
    // The shell's taskbar was created again: its icons are gone, ours comes back.
    void OnTaskbarCreated();
    // The scale of the window's monitor changed: the icon is given again at the new size.
    void OnDpiChanged();
    // The icon's size in pixels for a scale (the small icons' of that scale), and the
    // program's icon at that size; the caller destroys it.
    static int IconSize(UINT dpi);
    static HICON LoadIconForDpi(UINT dpi);
    // The icon's tooltip (at most 63 characters are shown; longer text is cut).
    void SetTip(const std::wstring& tip);
    const std::wstring& Tip() const { return m_strTip; }
    // The retry timer's tick.
    void OnRetryTimer();
    static constexpr int kMaxRetries = 30;
    static DWORD s_dwRetryMs;
    // Sent to every top-level window when the shell's taskbar is created again.
    static UINT TaskbarCreatedMessage();

    // WM_TRAYNOTIFY: 1 for the mouse messages the icon answers, 0 for the others.
    LRESULT OnNotify(UINT mouseMessage);
    // The icon's menu at a screen point (WM_CONTEXTMENU). Not during the full-screen show, nor
    // in the preview or the saver; while a dialog of the menu runs, it comes to the front
    // instead.
    void ShowMenu(POINT screen);
    // A command of the menu; false when the id is not one of them.
    bool OnCommand(int id);
    // A close request while a dialog of the menu runs: the dialog is cancelled first and the
    // window closes once its loop has returned into it (true). False when no dialog runs.
    bool DeferClose();

    // Opens a document with the shell's "open" verb; the result is ShellExecuteW's (above 32
    // when the document was opened). Replaceable by tests.
    static INT_PTR (*s_pfnShellOpen)(HWND owner, const wchar_t* path);
    // Shell_NotifyIconW; replaceable by tests.
    static BOOL(WINAPI* s_pfnShellNotifyIcon)(DWORD message, NOTIFYICONDATAW* data);

private:
    NOTIFYICONDATAW IconData() const;
    // One attempt to put the icon in the notification area; the retry timer runs while it fails.
    void TryAdd();
    INT_PTR RunMenuDialog(CDialog& dlg);
    void OnSettings();
    void OnHelp();

    CShowWnd& m_window;
    // The window keeps an icon (from Add to Remove), and whether the shell has it now.
    bool m_bWanted = false;
    bool m_bAdded = false;
    int m_nRetries = 0;
    std::wstring m_strTip = L"Murlavo";
    // The dialog of the menu now running (Settings, About), or none.
    CDialog* m_pOpenDialog = nullptr;
    bool m_bCloseAfterDialog = false;
};
