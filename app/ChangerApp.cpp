#include "app/ChangerApp.h"
#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/SettingsInstance.h"
#include "app/WindowNames.h"
#include "framework/WideText.h"
#include "framework/Window.h"
#include "library/Settings.h"
#include "platform/Desktop.h"
#include "resource.h"
#include "saver/SaverWnd.h"
#include "settings/SettingsDlg.h"
#include "show/ShowWnd.h"

#include <commctrl.h>
#include <objbase.h>
#include <cstring>
#include <new>

namespace {

HWND WindowFromNumber(long number)
{
    HWND hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(number));
    return ::IsWindow(hwnd) ? hwnd : nullptr;
}

// Writes a line to the standard error of the console this program was started from, if any: a
// program of the Windows subsystem has none of its own, but its parent's can be attached.
void TellConsole(const char* line)
{
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    CKernelHandle console;
    if (!err || err == INVALID_HANDLE_VALUE) {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS))
            return;
        console.Reset(::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        err = console.Get();
        if (!err || err == INVALID_HANDLE_VALUE)
            return;
    }
    DWORD written = 0;
    ::WriteFile(err, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
}

} // namespace

int SendChangerRequest(ChangerRequest request)
{
    HWND changer = ::FindWindowW(Wide(kChangerClassName).c_str(), nullptr);
    if (!changer) {
        TellConsole("murlavo: no wallpaper changer runs in this session (start it with murlavo.exe /v)\r\n");
        return 2;
    }
    UINT command = 0;
    switch (request) {
    case ChangerRequest::next:
        command = ID_TRAY_NEXT;
        break;
    case ChangerRequest::previous:
        command = ID_TRAY_PREVIOUS;
        break;
    case ChangerRequest::pause:
        command = ID_CHANGER_PAUSE;
        break;
    case ChangerRequest::resume:
        command = ID_CHANGER_RESUME;
        break;
    default:
        return 2;
    }
    // Posted: the changer may be showing a dialog or a menu; it carries the command out when
    // its loop gets to it.
    return ::PostMessageW(changer, WM_COMMAND, command, 0) ? 0 : 2;
}

HWND FindSettingsOwner(const char* commandLine)
{
    if (!commandLine || !std::strchr(commandLine, 'c'))
        return nullptr;
    long number = 0;
    if (OwnerNumberAfterC(commandLine, &number)) {
        if (HWND owner = WindowFromNumber(number))
            return owner;
    }
    return ::FindWindowW(nullptr, L"Display Properties");
}

BOOL CChangerApp::InitInstance()
{
    // A program that runs all day in the notification area must not stop the user with the
    // system's "No Disk" or "cannot open" boxes (a picture on an empty card reader or optical
    // drive, tried every minute): such files simply fail to open. Bits set before are kept.
    ::SetErrorMode(::SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Dialog controls in the system's three-dimensional look (the common controls, with
    // the visual-styles manifest of the resources).
    INITCOMMONCONTROLSEX icc {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    // The shell starts some handlers (web pages, mail) through COM, from a single-threaded
    // apartment.
    m_bComInitialized = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));

    const std::string title = LoadResourceString(IDS_APP_TITLE);
    if (!title.empty())
        m_strAppName = title;
    SetRegistryKey("Orvane Inc.");

    OSVERSIONINFOW version {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (::GetVersionExW(&version)) {
#pragma GCC diagnostic pop
        m_bNewShell = version.dwMajorVersion >= 4;
        g_bWin95Family = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    }

    // The changer's commands from a command line, shortcut or scheduled task come first: the
    // role letters would read "/pause" as the saver and "/next" as Settings.
    if (const ChangerRequest request = ChangerRequestOf(m_strCmdLine.c_str()); request != ChangerRequest::none) {
        m_nRequestExitCode = SendChangerRequest(request);
        return FALSE;
    }

    LoadSettings();
    g_settings.LoadInstallDir(*this);

    switch (ChooseRole(m_strCmdLine.c_str())) {
    case Role::Saver:
        return StartSaver();
    case Role::Preview:
        return StartPreview();
    case Role::ChangePassword:
        ChangePassword();
        return FALSE;
    case Role::Wallpaper:
        return StartWallpaperChanger();
    case Role::Settings:
        RunSettings();
        return FALSE;
    }
    return FALSE;
}

int CChangerApp::ExitInstance()
{
    if (m_nRequestExitCode >= 0) {
        if (m_bComInitialized)
            ::CoUninitialize();
        return m_nRequestExitCode;
    }
    g_settings.SaveTempImage(*this);
    if (m_bComInitialized)
        ::CoUninitialize();
    return CApplication::ExitInstance();
}

void CChangerApp::LoadSettings()
{
    g_settings.Load(*this);
}

void CChangerApp::SaveSettings()
{
    g_settings.Save(*this);
}

namespace {
// Makes the role's window the main window. Show windows delete themselves once their window is
// gone; when creation fails, the creator deletes them.
template <class Window, class Create>
BOOL StartWindowRole(CApplication& app, Create create)
{
    auto* window = new (std::nothrow) Window;
    if (!window)
        return FALSE;
    if (!create(*window)) {
        delete window;
        return FALSE;
    }
    app.m_pMainWnd = window;
    return TRUE;
}
} // namespace

BOOL CChangerApp::StartSaver()
{
    return StartWindowRole<CSaverWnd>(*this, [](CSaverWnd& saver) { return saver.Create(); });
}

BOOL CChangerApp::StartPreview()
{
    HWND parent = WindowFromNumber(NumberAfterLetter(m_strCmdLine.c_str(), 'p'));
    if (!parent)
        return FALSE;
    RECT rect;
    ::GetClientRect(parent, &rect);
    return StartWindowRole<CShowWnd>(*this, [&](CShowWnd& preview) { return preview.CreateAsChild(rect, parent); });
}

void CChangerApp::ChangePassword()
{
    HWND parent = WindowFromNumber(NumberAfterLetter(m_strCmdLine.c_str(), 'a'));
    if (parent)
        platform::ChangeScreenSavePassword(parent);
}

const char kWallpaperChangerMutex[] = "Local\\Murlavo.WallpaperChanger";

BOOL CChangerApp::StartWallpaperChanger()
{
    // One changer per session: two would write the same wallpaper file at the same moment and
    // could hand the desktop a torn picture. A second start ends at once.
    // (Access denied: the mutex exists, made by a process this one may not open.)
    m_changerMutex.Reset(::CreateMutexW(nullptr, FALSE, Wide(kWallpaperChangerMutex).c_str()));
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || (!m_changerMutex && error == ERROR_ACCESS_DENIED))
        return FALSE;
    g_bShowRole = false;
    return StartWindowRole<CShowWnd>(*this, [](CShowWnd& changer) { return changer.CreateHidden(); });
}

void CChangerApp::RunSettings()
{
    // One Settings dialog per session: a second start brings the open one forward and ends.
    CSettingsInstance instance;
    if (!instance.Claim())
        return;
    CSettingsDlg dlg(FindSettingsOwner(m_strCmdLine.c_str()), g_settings);
    m_pMainWnd = &dlg;
    const INT_PTR result = dlg.DoModal();
    m_pMainWnd = nullptr;
    if (result != IDOK)
        return;
    g_settings.TakeOptionsFrom(dlg.m_settings);
    SaveSettings();
    // A running changer reads the options and the library again (the library file was
    // written, or kept as it was).
    NotifyWallpaperChanger();
}
