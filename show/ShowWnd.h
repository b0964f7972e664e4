// The show window: owns the list of pictures to show, the picture rotation timer, the
// preparation thread that fits (and, as wallpaper, writes) the current picture, and the
// painting of the slide show. One class serves the wallpaper changer (hidden, applies
// wallpapers), the preview child and, as base class, the full-screen saver window.
#pragma once
#include "framework/Handles.h"
#include "framework/Window.h"
#include "image/PictureImage.h"
#include "library/WallpaperObject.h"

#include <cstdint>
#include <memory>
#include <string>

// Private messages: the notification-area icon's callback and the end of a preparation.
constexpr UINT WM_TRAYNOTIFY = 0x700;
constexpr UINT WM_PICTUREREADY = 0x701;
constexpr UINT kTrayIconId = 128;
constexpr UINT_PTR kShowTimerId = 1;

// What the preparation thread gets. The record is a copy, so the apply and paint steps can
// use it even after the show list was replaced while the thread ran.
struct PrepareParams {
    HWND hWnd = nullptr;
    CPictureImage* pImage = nullptr;
    CWallpaperObject record;
    int cx = 0; // target size; 0, 0 when the picture is not to be fitted
    int cy = 0;
    int bShowMode = 0;
    int bPreview = 0;
    // Where the wallpaper role writes the bitmap (the settings may be reloaded meanwhile).
    std::string wallpaperPath;
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

    // The clock of the rotation, in seconds since 1970; replaceable by tests.
    static int64_t (*s_pfnNow)();

    CWallpaperList m_arrShowList;
    int32_t m_nNextWallpaper = 0;
    int32_t m_bShowMode = 0;
    int32_t m_nNextShow = 0;
    int32_t m_bPreview = 0;
    std::unique_ptr<CPictureImage> m_pImage;
    bool m_bLoaded = false;
    PrepareParams m_prep;
    bool m_bBusy = false;
    CKernelHandle m_thread;
    HDRAWDIB m_hDrawSingle = nullptr;
    HDRAWDIB m_hDrawTile = nullptr;
    CWallpaperObject* m_pCurrent = nullptr;

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

private:
    void StartPreparation();
    void ApplyWallpaper();
    void PaintPicture(HDC hdc, int W, int H);
    void PaintHint(HDC hdc, int W, int H);
    void AddTrayIcon();
    void RemoveTrayIcon();
    static DWORD WINAPI PreparePicture(void* params);

    bool m_bTrayIcon = false;
};
