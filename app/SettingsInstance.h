// One Settings dialog per user session, whichever process shows it (Settings started on its
// own, or the changer's icon menu): two dialogs open at once would each write the library and
// the options they read when they opened, and the last OK would undo the other's work.
#pragma once
#include "framework/Handles.h"

// The session-wide mutex owned by the thread whose Settings dialog is open.
extern const char kSettingsMutex[];

class CSettingsInstance {
public:
    CSettingsInstance() = default;
    ~CSettingsInstance();
    CSettingsInstance(const CSettingsInstance&) = delete;
    CSettingsInstance& operator=(const CSettingsInstance&) = delete;

    // True when this thread may open its Settings dialog: it is the session's one until this
    // object goes. False when another Settings dialog is open: that one has been brought to
    // the front instead.
    bool Claim();

    // How long Claim waits for the dialog of a process that holds the mutex to appear (or for
    // the mutex to be released) before it gives up.
    static DWORD s_dwWaitMs;

private:
    bool Owned();

    CKernelHandle m_mutex;
    bool m_bOwned = false;
};

// Brings the session's Settings dialog to the front (restored when minimised; a dialog it has
// opened, such as Options, comes with it). False when there is none.
bool BringSettingsForward();

// The message a Settings dialog of another process posts to the changer after OK.
UINT SettingsChangedMessage();

// Tells a running wallpaper changer that the options and the library were saved, so it reads
// them again. False when no changer runs in this session.
bool NotifyWallpaperChanger();
