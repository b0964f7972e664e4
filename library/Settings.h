// The process-wide settings block, backed by the per-user registry
// (sections "Changer", "Custom" and "Registration").
#pragma once
#include <cstdint>
#include <string>

class CApplication;

// What the wallpaper shows when the desktop has several monitors ("Monitors"). With one
// monitor all three are the same.
constexpr int32_t kSamePicture = 0;       // each monitor the same picture, fitted to its own size
constexpr int32_t kDifferentPictures = 1; // each monitor a picture of its own
constexpr int32_t kOnePictureAcross = 2;  // one picture over the whole desktop

class CChangerSettings {
public:
    // Section "Changer"
    int32_t m_nInterval = 0;        // minutes between wallpaper changes (60 hourly, 1440 daily)
    int32_t m_nOrder = 0;           // 1 sequential, anything else random
    int32_t m_timeLastChange = 0;   // seconds since 1970 of the last applied wallpaper
    std::string m_strLastWallpaper; // path of the last applied wallpaper picture
    int32_t m_nSlideShow = 0;       // seconds per picture in the show roles
    int32_t m_bFitToScreen = 0;     // non-zero: pictures are fitted to the screen
    int32_t m_nScaleMethod = 0;     // 0 resample, 1 resize
    uint32_t m_crBkgndColor = 0;    // 0x00BBGGRR background of the show roles
    int32_t m_nSeveralMonitors = kDifferentPictures; // what several monitors show (below)
    // Global hotkeys: the hotkey control's value (virtual key in the low byte, HOTKEYF_ modifier
    // flags in the next), 0 for none.
    int32_t m_nHotkeyNext = 0;
    int32_t m_nHotkeyPrevious = 0;
    int32_t m_nHotkeyPause = 0;
    int32_t m_bNotOnBatterySaver = 0; // no timed change while the system saves battery
    int32_t m_bPaused = 0;            // no timed changes at all ("Pause" in the icon's menu)
    std::string m_strTempImage;     // bitmap file handed to the desktop as wallpaper
    // Section "Custom"
    std::string m_strTitle;
    std::string m_strWebPage;
    std::string m_strEMail;
    // Section "Registration": installation directory, with a backslash appended when not empty
    std::string m_strInstallDir;

    // Reads every value but the installation directory; missing values take their defaults.
    void Load(const CApplication& profile);
    // Reads the installation directory ("Path") once, at start-up.
    void LoadInstallDir(const CApplication& profile);
    // Writes the "Changer" options the Settings dialog owns, in a fixed order: the six of
    // every version, then "Monitors", the three hotkeys and "NotOnBatterySaver".
    void Save(const CApplication& profile) const;
    // Writes "LastChange" and "LastWallpaper": the wallpaper changer's, at every applied change
    // (never from a Settings dialog, whose copies may be stale).
    void SaveLastChange(const CApplication& profile) const;
    // Writes "Paused": the changer's, whenever the user pauses or resumes it.
    void SavePaused(const CApplication& profile) const;
    // Writes "TempImage": the one value written at every process end.
    void SaveTempImage(const CApplication& profile) const;
    // Takes the options the user edits (Options dialog) from another block: interval, order,
    // slide-show time, fitting, scaling method, background colour, monitors, hotkeys and the
    // battery saver's option. The pause, the rotation's state,
    // the wallpaper path and the rest stay.
    void TakeOptionsFrom(const CChangerSettings& edited);
};

extern CChangerSettings g_settings;
