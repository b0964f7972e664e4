// The application object: reads the settings, picks the role from the command line and
// creates the one object that plays it.
#pragma once
#include "app/CommandLine.h"
#include "framework/Application.h"
#include "framework/Handles.h"

class CChangerApp : public CApplication {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    void LoadSettings();
    void SaveSettings();

    // The operating system has the new shell (major version 4 or later).
    BOOL m_bNewShell = FALSE;

private:
    BOOL StartSaver();
    BOOL StartPreview();
    void ChangePassword();
    BOOL StartWallpaperChanger();
    void RunSettings();

    bool m_bComInitialized = false;
    // A request handed to the running changer (/next, /previous, /pause, /resume): the
    // process's exit code, 0 handed over, 2 no changer runs; -1 for every other command line.
    int m_nRequestExitCode = -1;
    // Held while this process is the session's wallpaper changer.
    CKernelHandle m_changerMutex;
};

// The name of the mutex that makes one wallpaper changer per user session.
extern const char kWallpaperChangerMutex[];

// The owner of the Settings dialog for this command line: the window whose number follows the
// first 'c', else the "Display Properties" window, else none.
HWND FindSettingsOwner(const char* commandLine);

// Hands a command-line request to the wallpaper changer of this session (its window, found by
// its class name, gets the menu command). 0 when it was handed over; 2, after a one-line
// message on the console's standard error where there is one, when no changer runs.
int SendChangerRequest(ChangerRequest request);
