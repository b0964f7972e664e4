// The show window: one class serves the wallpaper changer (hidden, applies wallpapers), the
// preview child and, as base class, the full-screen saver window. It holds the message map and
// the painting of the slide show, and hands the rest to its rooms:
//   CWallpaperChanger  the show list, the rotation, writing and applying the wallpaper
//   CPreparationWorker the thread that decodes and fits the current picture
//   CTrayIcon          the notification-area icon and its menu (wallpaper changer)
//   CFullScreenShow    the full-screen show started from the icon's menu
#pragma once
#include "framework/Window.h"
#include "image/PictureImage.h"
#include "platform/ScreenLayout.h"
#include "platform/WallpaperCanvas.h"
#include "show/ChangeHold.h"
#include "show/FullScreenShow.h"
#include "show/PreparationWorker.h"
#include "show/SystemStateWin32.h"
#include "show/TrayIcon.h"
#include "show/WallpaperChanger.h"

#include <cstdint>
#include <memory>
#include <string>

constexpr UINT_PTR kShowTimerId = 1;
// The short timer of a held change that is due (see CChangeHold::NextCheckMs).
constexpr UINT_PTR kHoldTimerId = 3;
// Pictures that fail one after another are skipped at once, this many in one timer step.
constexpr int kMaxFailuresPerStep = 20;
// Posted to itself by the wallpaper changer's window: tell the user that the temporary folder's
// path is too long for a wallpaper.
constexpr UINT WM_TELLTEMPFOLDER = 0x702;

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
    // "&Previous": the wallpaper before the one on the desktop, when a preparation is not
    // running (then nothing happens).
    void ChangeBack();

    // "Pa&use" and /pause, /resume: no timed changes while paused (asked-for changes still
    // happen); kept in the settings, so a restart stays paused.
    void SetPaused(bool paused);
    // New options are in g_settings (a Settings OK here or in another process): the hotkeys are
    // registered again and the tooltip follows.
    void OnOptionsChanged();
    // The icon's tooltip: the picture on the desktop and when the next change comes, or that
    // the changer is paused.
    std::wstring TipText() const;

    // "&Murlavo" in the icon's menu: the full-screen slide show in this window, until Escape.
    void StartFullScreenShow();

    // Paints the slide show into a device context of W x H: the background, then the picture
    // shown last, centred or tiled, or the no-picture hint. While the first picture is still
    // being prepared, the background alone.
    void PaintShow(HDC hdc, int W, int H);

    CWallpaperChanger& Changer() { return m_changer; }
    const CWallpaperChanger& Changer() const { return m_changer; }
    const CPreparationWorker& Preparation() const { return m_worker; }

    // Where a full-screen window goes (the saver, the show from the icon's menu): the
    // monitors of the desktop now; replaceable by tests.
    static platform::FullScreenLayout (*s_pfnLayout)();
    // The desktop's monitors, for the wallpaper of several; replaceable by tests.
    static std::vector<platform::MonitorInfo> (*s_pfnMonitors)();

    // The monitors, the work area or the scale changed, the computer woke up or the shell
    // restarted: the pictures on the desktop are composed again for the monitors as they are
    // now (no change of picture), unless the layout is the one they were composed for. While
    // a preparation runs, this waits for its end.
    void Recompose();

    int32_t m_bShowMode = 0; // pictures are painted here (preview, saver, full-screen show)
    int32_t m_bPreview = 0;
    bool m_bLoaded = false;  // the last preparation loaded its picture

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

    int OnCreate();
    void OnDestroy();
    void OnTimer();
    void OnPictureReady();
    void OnFoldersScanned();
    void OnTellTempFolder();
    void OnPaint();
    LRESULT OnQueryNewPalette();
    BOOL OnSetCursor();
    void OnClose();
    void OnEndSession();
    void OnSettingsChanged();
    void OnHotkey(int id);
    // A timed change is due but must wait (a full-screen program, a locked session, the
    // saver, battery saver); arms the short timer that notices the end of the wait.
    bool TimedChangeHeld();
    void ArmHoldTimer();
    void RegisterHotkeys();
    void UnregisterHotkeys();
    void UpdateTip();
    // The window covers the screen (the saver, the full-screen show): its client area is then
    // the primary screen whatever its style, and the rest (other monitors) its non-client area.
    bool FullScreen() const;
    void OnNcCalcSize(RECT* rect) const;
    void OnNcPaint();
    // A screen saver shows no message boxes: nothing may come over it.
    virtual bool ShowsMessages() const { return true; }

    // Full screen: the window covers every monitor and its client area is the primary
    // screen. Empty otherwise (the window's own rectangle is its client area).
    platform::FullScreenLayout m_layout;

private:
    friend class CFullScreenShow;

    void StartPreparation(const CWallpaperObject& record);
    // Starts a wallpaper for the monitors as they are now: composed for several monitors when
    // the desktop has them (records: the pictures chosen, in order), else the one record
    // prepared as for a single screen.
    void StartWallpaper(const std::vector<CWallpaperObject>& records, bool recompose);
    // How many pictures a change chooses: one for each monitor when each shows its own.
    size_t PicturesPerChange() const;
    // Applies the wallpaper the last job wrote, as the job was meant (recomposed: the same
    // pictures for new monitors, no change counted).
    void ApplyPrepared(bool recomposed);
    // Stops a running preparation (within its bound) and applies a wallpaper it wrote.
    void StopPreparation();
    // Runs the timer step now or, while a preparation runs, as soon as it has ended.
    void StepWhenIdle();
    // The library has folders: starts finding their pictures. True when the step waits for
    // that (a scan started); false when one is running already (a slow share: the step goes on
    // with what was found before) or none is needed.
    bool ScanFoldersFirst();
    // (Re)opens both drawing handles; false when either cannot be opened.
    bool OpenDrawing();
    void CloseDrawing();
    // The picture in an area of W x H on a screen of SW x SH (the monitor it is on).
    void PaintPicture(HDC hdc, int W, int H, const CPictureImage& image, const CWallpaperObject& record, int SW,
                      int SH);
    // The slides of the other monitors, in the window's own device context.
    void PaintOtherSlides(HDC windowDc);
    // Every part of a slide step is prepared: the monitors change together.
    void ShowPreparedSlides();
    void PaintTiles(HDC hdc, int W, int H, const CPictureImage& image);
    bool PaintTilesWithBrush(HDC hdc, int W, int H, const CPictureImage& image);
    void PaintHint(HDC hdc, int W, int H);

    HDRAWDIB m_hDrawSingle = nullptr;
    HDRAWDIB m_hDrawTile = nullptr;
    // The picture on the screen and its record: the window's own, so it can be painted again
    // while the next one is being prepared.
    std::shared_ptr<const CPictureImage> m_pShown;
    CWallpaperObject m_shownRecord;
    // The slides of the monitors other than the primary (m_layout.others), each fitted to its
    // own monitor; and those of the step being prepared, [0] for the primary, then the others
    // in turn, one preparation after the other.
    struct MonitorSlide {
        std::shared_ptr<const CPictureImage> picture;
        CWallpaperObject record;
    };
    std::vector<MonitorSlide> m_otherSlides;
    std::vector<MonitorSlide> m_preparedSlides;
    size_t m_nSlidePart = 0;
    // A timer step waits for the running preparation to end (see StepWhenIdle).
    bool m_bStepWaiting = false;
    // A timer step waits for the folders' scan; the scan it waited for has just come in.
    bool m_bStepWaitsForScan = false;
    bool m_bScanFresh = false;
    // The running or last wallpaper job composes the pictures on the desktop again; another
    // composition waits for the running job to end.
    bool m_bRecomposeJob = false;
    bool m_bRecomposeWaiting = false;
    // The display changed during a preparation: a change follows once it has ended.
    bool m_bChangeWaiting = false;
    // The step running now was asked for (Next, a hotkey, a display change): it changes the
    // wallpaper even while paused or held.
    bool m_bChangeAsked = false;
    bool m_bJobAsked = false; // the running wallpaper job's step was asked for
    // When timed changes wait, and the session's lock state that tells part of it.
    CChangeHold m_hold;
    CSessionWatch m_session;
    // The monitors the wallpaper on the desktop was made for.
    std::vector<platform::MonitorInfo> m_wallpaperMonitors;
    std::vector<platform::MonitorInfo> m_jobMonitors;
    // Pictures that failed one after another in this step (each is skipped at once).
    int m_nFailedInARow = 0;
    // Whether the user was told that the temporary folder's path is too long (once per window).
    enum class Told { no, pending, yes };
    Told m_tempFolderTold = Told::no;
    CWallpaperChanger m_changer;
    CPreparationWorker m_worker;
    CFolderScanner m_scanner;
    CTrayIcon m_tray {*this};
    CFullScreenShow m_fullScreen {*this};
};
