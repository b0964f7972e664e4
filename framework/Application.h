// The application object: instance, command line, main window, start and end steps,
// the message loop, and the per-user profile in the registry
// (HKEY_CURRENT_USER\Software\<company>\<application>\<section>).
#pragma once
#include <windows.h>
#include <string>

class CWindow;

class CApplication {
public:
    CApplication();
    virtual ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // True: Run() pumps messages until the main window is destroyed. False: the process ends.
    virtual BOOL InitInstance() { return FALSE; }
    // Runs at every process end; its result is the exit code.
    virtual int ExitInstance() { return 0; }
    // The message loop; ends with WM_QUIT, which the main window's destruction posts.
    int Run();

    // The whole start-to-end sequence: InitInstance, Run when it succeeded, ExitInstance.
    int Execute(HINSTANCE instance, const char* commandLine);

    void SetRegistryKey(const char* company);
    int GetProfileInt(const char* section, const char* entry, int defaultValue) const;
    std::string GetProfileString(const char* section, const char* entry, const char* defaultValue = "") const;
    BOOL WriteProfileInt(const char* section, const char* entry, int value) const;
    BOOL WriteProfileString(const char* section, const char* entry, const char* value) const;

    HINSTANCE m_hInstance = nullptr;
    std::string m_strCmdLine;
    std::string m_strAppName;
    std::string m_strRegistryKey;
    CWindow* m_pMainWnd = nullptr;

private:
    // Opens (creating when needed) the section's key with the given access.
    HKEY OpenSectionKey(const char* section, REGSAM access) const;
};

// The one application object of the process (null before it is constructed).
CApplication* GetApp();
