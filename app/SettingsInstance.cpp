#include "app/SettingsInstance.h"

#include "app/WindowNames.h"
#include "framework/WideText.h"

const char kSettingsMutex[] = "Local\\Murlavo.Settings";

DWORD CSettingsInstance::s_dwWaitMs = 5000;

namespace {
// This process holds the mutex. A thread may own a mutex more than once, so a second claim
// on the same thread would otherwise succeed.
bool g_bHeldHere = false;

// The mutex is ours: free, or left by a process that ended without releasing it.
bool Acquired(DWORD waitResult)
{
    return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED;
}
} // namespace

CSettingsInstance::~CSettingsInstance()
{
    if (m_bOwned) {
        g_bHeldHere = false;
        ::ReleaseMutex(m_mutex.Get());
    }
}

bool CSettingsInstance::Owned()
{
    m_bOwned = g_bHeldHere = true;
    return true;
}

bool CSettingsInstance::Claim()
{
    if (g_bHeldHere) {
        BringSettingsForward();
        return false;
    }
    m_mutex.Reset(::CreateMutexW(nullptr, FALSE, Wide(kSettingsMutex).c_str()));
    if (!m_mutex) {
        // A mutex this process may not open (made by a process of another user or integrity
        // level): bring that dialog forward when it can be found, else open as before rather
        // than leave the user without Settings.
        return !BringSettingsForward();
    }
    if (Acquired(::WaitForSingleObject(m_mutex.Get(), 0)))
        return Owned();
    // Another dialog holds it. Its window may not exist yet (that process is starting) or no
    // longer (it is closing): wait a little for either, in short steps.
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (BringSettingsForward())
            return false;
        if (Acquired(::WaitForSingleObject(m_mutex.Get(), 50)))
            return Owned();
        if (::GetTickCount() - start >= s_dwWaitMs)
            return false; // a dialog that never shows: still no second one
    }
}

bool BringSettingsForward()
{
    HWND dialog = ::FindWindowW(Wide(kSettingsClassName).c_str(), nullptr);
    if (!dialog)
        return false;
    // Asynchronous: a dialog whose process hangs does not hang this one.
    if (::IsIconic(dialog))
        ::ShowWindowAsync(dialog, SW_RESTORE);
    // The process that started this one gave it the right to take the foreground; the
    // dialog's own modal child, when one is open, is what the user has to answer first.
    HWND popup = ::GetLastActivePopup(dialog);
    ::SetForegroundWindow(popup ? popup : dialog);
    return true;
}

UINT SettingsChangedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(Wide(kSettingsChangedMessage).c_str());
    return message;
}

bool NotifyWallpaperChanger()
{
    HWND changer = ::FindWindowW(Wide(kChangerClassName).c_str(), nullptr);
    return changer && SettingsChangedMessage() && ::PostMessageW(changer, SettingsChangedMessage(), 0, 0);
}
