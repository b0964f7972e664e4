// The Options dialog: how often the wallpaper changes, in which order pictures come, how long
// each stays in the show roles, their background colour, and whether and how pictures are
// fitted to the screen, and what several monitors show.
//
// The opener fills the value members from a settings block (OptionsFromSettings), runs the
// dialog and, after IDOK, copies them back (SettingsFromOptions). Nothing else is changed by the
// dialog: a colour chosen in a dialog that is then cancelled goes with it.
#pragma once
#include "dialogs/ColorSwatch.h"
#include "framework/Dialog.h"

#include <cstdint>

class CChangerSettings;

class COptionsDlg : public CDialog {
public:
    // Owned by the active window, or by the given one.
    COptionsDlg();
    explicit COptionsDlg(HWND owner);

    // Asks the user for a colour, starting from color; true with the choice in color, false
    // when the user cancelled. Replaceable, so that the dialog can be driven without the
    // system's modal colour dialog.
    using ColorChooser = bool (*)(HWND owner, COLORREF& color);
    static ColorChooser s_pfnChooseColor;
    // The system's colour dialog. Its custom colours are kept for the life of the process.
    static bool ChooseSystemColor(HWND owner, COLORREF& color);

    CColorSwatch m_swatch;
    int32_t m_nIntervalKind = -1; // 0 minutes, 1 hourly, 2 daily
    int32_t m_nOrderIndex = -1;   // 0 random, 1 sequential
    int32_t m_nMinutes = 10;
    int32_t m_nSeconds = 0;
    int32_t m_bFit = 0;
    int32_t m_nScaleIndex = 1; // 0 resample, 1 resize
    COLORREF m_crBackground = 0;
    int32_t m_nMonitors = 1; // 0 the same picture, 1 a different picture, 2 one across
    // The hotkeys (hotkey control values, 0 none) and whether battery saver holds the changes.
    int32_t m_nHotkeys[3] = {0, 0, 0}; // next, previous, pause/resume
    int32_t m_bNotOnBatterySaver = 0;

    // Whether a hotkey can be had: false when another program holds it. Replaceable by tests.
    static bool (*s_pfnHotkeyFree)(HWND dialog, int value);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    bool ExchangeMonitors(CDataExchange& dx);
    bool ExchangeHotkeys(CDataExchange& dx);
    // The hotkeys chosen can all be had; otherwise the user is told which one cannot.
    bool HotkeysFree();
    // The hotkeys as the dialog opened: those the running changer holds itself.
    int32_t m_nOpenedHotkeys[3] = {0, 0, 0};
    void EnableMinutes(bool enable);
    void EnableScaling(bool enable);
    void OnChangeColor();
};

// What the dialog shows for the settings block: 60 minutes as hourly, 1440 as daily, any other
// interval as that number of minutes; the background colour; the monitors' choice.
void OptionsFromSettings(const CChangerSettings& settings, COptionsDlg& dlg);
// What the settings block takes from a dialog that ended with IDOK: the interval in minutes
// (60 hourly, 1440 daily), order, seconds, fitting and method, the background colour and
// the monitors' choice.
void SettingsFromOptions(const COptionsDlg& dlg, CChangerSettings& settings);
