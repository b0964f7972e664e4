// The show window: owns the list of pictures to show, the picture rotation timer, the
// preparation thread that fits (and, as wallpaper, writes) the current picture, and the
// painting of the slide show. One class serves the wallpaper changer (hidden, applies
// wallpapers), the preview child and, as base class, the full-screen saver window.
#pragma once
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/Window.h"
#include "image/PictureImage.h"
#include "library/WallpaperObject.h"
#include "platform/ScreenLayout.h"

#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// Private messages: the notification-area icon's callback and the end of a preparation.
constexpr UINT WM_TRAYNOTIFY = 0x700;
constexpr UINT WM_PICTUREREADY = 0x701;
constexpr UINT kTrayIconId = 128;
constexpr UINT_PTR kShowTimerId = 1;

// One preparation: what the thread gets and what it reports back. The window and the thread
// share it, so a thread that outlives its window (see the destroy step) still finds its
// picture and parameters. The record is a copy: the apply and paint steps can use it even
// after the show list was replaced while the thread ran.
struct PrepareParams {
    HWND hWnd = nullptr;
    std::shared_ptr<CPictureImage> pImage;
    CWallpaperObject record;
    int cx = 0; // the box to fit the picture into (FitAspect when the record keeps the
    int cy = 0; // proportions); 0, 0 when the picture is not to be fitted
    int bShowMode = 0;
    int bPreview = 0;
    // Where the wallpaper role writes the bitmap (the settings may be reloaded meanwhile);
    // empty when the temporary folder is unusable.
    std::string wallpaperPath;

    // Raised by the window's destroy step: the thread writes and posts nothing more.
    std::atomic<bool> abort {false};
    // Set by the thread just before it posts WM_PICTUREREADY; the results are final then.
    std::atomic<bool> done {false};
    bool loaded = false;  // the picture file was decoded
    bool written = false; // the wallpaper bitmap replaced the previous one completely
};

class CShowWnd : public CWindow {
public:
    CShowWnd();
    ~CShowWnd() override;

    // The preview: a visible child covering rect inside parent.
    BOOL CreateAsChild(const RECT& rect, HWND parent);
    // The wallpaper changer: a hidden top-level window.
    BOOL CreateHidden();

    // Makes the interval test pass and runs the timer step now ("Next", double click,
    // display change).
    void ChangeNow();

    // "&Murlavo" in the icon's menu: the full-screen slide show in this window, until Escape.
    void StartFullScreenShow();

    // Paints the slide show into a device context of W x H: the background, then the current
    // picture centred or tiled, or the no-picture hint.
    void PaintShow(HDC hdc, int W, int H);

    // The clock of the rotation, in seconds since 1970; replaceable by tests.
    static int64_t (*s_pfnNow)();
    // Test hook: called on the preparation thread as its last step, after it posted its
    // message or decided to post nothing.
    static void (*s_pfnPreparationEnded)();
    // How long the destroy step waits for a preparation thread told to stop.
    static DWORD s_dwStopWaitMs;
    // Opens a document with the shell's "open" verb; the result is ShellExecute's (above 32
    // when the document was opened). Replaceable by tests.
    static INT_PTR (*s_pfnShellOpen)(HWND owner, const char* path);
    // Shell_NotifyIcon; replaceable by tests.
    static BOOL(WINAPI* s_pfnShellNotifyIcon)(DWORD message, NOTIFYICONDATAA* data);
    // Where a full-screen window goes (the saver, the show from the icon's menu): the
    // monitors of the desktop now; replaceable by tests.
    static platform::FullScreenLayout (*s_pfnLayout)();

    CWallpaperList m_arrShowList;
    int32_t m_nNextWallpaper = 0;
    int32_t m_bShowMode = 0;
    int32_t m_nNextShow = 0;
    int32_t m_bPreview = 0;
    std::shared_ptr<CPictureImage> m_pImage;
    bool m_bLoaded = false;
    std::shared_ptr<PrepareParams> m_prep; // the running or the last preparation
    bool m_bBusy = false;
    CKernelHandle m_thread;
    HDRAWDIB m_hDrawSingle = nullptr;
    HDRAWDIB m_hDrawTile = nullptr;
    CWallpaperObject* m_pCurrent = nullptr;
    // Full screen: the window covers every monitor and its client area is the primary
    // screen. Empty otherwise (the window's own rectangle is its client area).
    platform::FullScreenLayout m_layout;
    // The dialog of the icon's menu now running (Settings, About), or none. While it runs the
    // icon's menu brings it to the front instead of opening, and a close request ends it
    // first: the window must outlive the dialog's loop, which returns into it.
    CDialog* m_pOpenDialog = nullptr;
    bool m_bCloseAfterDialog = false;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

    int OnCreate();
    void OnDestroy();
    void OnTimer();
    void OnPictureReady();
    void OnPaint();
    LRESULT OnQueryNewPalette();
    BOOL OnSetCursor();
    LRESULT OnTrayNotify(UINT mouseMessage);
    void OnContextMenu(POINT screen);
    bool OnCommand(int id);
    void OnKeyDown(UINT key);
    void OnClose();
    // Runs a dialog of the icon's menu; see m_pOpenDialog.
    INT_PTR RunMenuDialog(CDialog& dlg);
    // True when the window reaches beyond the primary screen (several monitors).
    bool Spans() const;
    void OnNcCalcSize(RECT* rect) const;
    void OnNcPaint();

private:
    void StartPreparation();
    void ApplyWallpaper();
    void PaintPicture(HDC hdc, int W, int H);
    void PaintTiles(HDC hdc, int W, int H);
    bool PaintTilesWithBrush(HDC hdc, int W, int H);
    void PaintHint(HDC hdc, int W, int H);
    void AddTrayIcon();
    void RemoveTrayIcon();
    void EndFullScreenShow();
    void RestoreScreenSaver();
    void OnSettings();
    void OnHelp();
    static DWORD WINAPI PreparePicture(void* params);

    bool m_bTrayIcon = false;
    // The full-screen show switched the screen saver off; it is switched back however the
    // show ends (Escape, the window destroyed).
    bool m_bSaverSwitchedOff = false;
    // Wallpapers applied so far.
    int m_nApplied = 0;
    // Where the wallpaper changer writes the bitmap (empty when the temporary folder is unusable).
    std::string m_strWallpaperPath;
};

// The system's screen-saver-active setting, saved while the full-screen show runs.
extern int g_nSaverActiveSaved;
