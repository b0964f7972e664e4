#include "dialogs/OptionsDlg.h"
#include "framework/WideText.h"
#include "library/Settings.h"
#include "platform/Hotkeys.h"
#include "resource.h"

#include <commctrl.h>
#include <commdlg.h>

#include <array>
#include <iterator>

namespace {

constexpr int32_t kHourly = 60;
constexpr int32_t kDaily = 1440;

// Both number fields take at most two typed digits; validation accepts 1..60, the arrows
// step through 1..59 and wrap around (the wrap is the up-down controls' template style).
constexpr WPARAM kDigits = 2;
constexpr int32_t kArrowMin = 1, kArrowMax = 59;
constexpr int32_t kValidMin = 1, kValidMax = 60;

// The custom-colour slots of the colour dialog: not part of the settings, kept while the
// process runs so that a colour mixed once can be picked again in the next dialog.
COLORREF* CustomColors()
{
    static std::array<COLORREF, 16> colors = [] {
        std::array<COLORREF, 16> white;
        white.fill(RGB(255, 255, 255));
        return white;
    }();
    return colors.data();
}

// "Several monitors", in the order of the setting's values.
const wchar_t* const kMonitorChoices[] = {
    L"The same picture on every monitor",
    L"A different picture on each monitor",
    L"One picture across all monitors",
};

// The hotkey fields: Next, Previous, Pause/Resume.
const int kHotkeyFields[3] = {IDC_HOTKEY_NEXT, IDC_HOTKEY_PREVIOUS, IDC_HOTKEY_PAUSE};

} // namespace

COptionsDlg::ColorChooser COptionsDlg::s_pfnChooseColor = &COptionsDlg::ChooseSystemColor;

COptionsDlg::COptionsDlg() : CDialog(IDD_OPTIONS) {}

COptionsDlg::COptionsDlg(HWND owner) : CDialog(IDD_OPTIONS, owner) {}

bool COptionsDlg::ChooseSystemColor(HWND owner, COLORREF& color)
{
    CHOOSECOLORW cc {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = color;
    cc.lpCustColors = CustomColors();
    cc.Flags = CC_RGBINIT;
    if (!::ChooseColorW(&cc))
        return false;
    color = cc.rgbResult;
    return true;
}

bool COptionsDlg::DoDataExchange(CDataExchange& dx)
{
    // The minutes field is validated even while it is disabled (hourly or daily chosen).
    return dx.Radio(IDC_MINUTES_RADIO, m_nIntervalKind) && dx.Radio(IDC_RANDOM, m_nOrderIndex)
        && dx.IntRange(IDC_MINUTES, m_nMinutes, kValidMin, kValidMax)
        && dx.IntRange(IDC_SECONDS, m_nSeconds, kValidMin, kValidMax) && dx.Check(IDC_FIT, m_bFit)
        && dx.Radio(IDC_RESAMPLE, m_nScaleIndex) && ExchangeMonitors(dx) && ExchangeHotkeys(dx)
        && dx.Check(IDC_NOT_ON_BATTERY_SAVER, m_bNotOnBatterySaver);
}

bool COptionsDlg::ExchangeHotkeys(CDataExchange& dx)
{
    for (int i = 0; i < 3; ++i) {
        const HWND field = GetDlgItem(kHotkeyFields[i]);
        if (dx.m_bSaveAndValidate)
            m_nHotkeys[i] = static_cast<int32_t>(::SendMessageW(field, HKM_GETHOTKEY, 0, 0) & 0xFFFF);
        else
            ::SendMessageW(field, HKM_SETHOTKEY, static_cast<WPARAM>(m_nHotkeys[i] & 0xFFFF), 0);
    }
    return true;
}

namespace {
bool HotkeyFreeForAll(HWND dialog, int value)
{
    // Held for a moment by the dialog itself: refused when another program holds it.
    constexpr int kProbeId = 0xB000;
    if (!platform::RegisterHotkey(dialog, kProbeId, value))
        return false;
    ::UnregisterHotKey(dialog, kProbeId);
    return true;
}
} // namespace

bool (*COptionsDlg::s_pfnHotkeyFree)(HWND dialog, int value) = HotkeyFreeForAll;

bool COptionsDlg::HotkeysFree()
{
    for (int i = 0; i < 3; ++i) {
        const int value = m_nHotkeys[i];
        if ((value & 0xFF) == 0)
            continue;
        std::string problem;
        for (int j = 0; j < i; ++j)
            if (m_nHotkeys[j] == value)
                problem = platform::HotkeyName(value) + " is given twice.";
        // A hotkey kept as it was is held by the running changer itself.
        if (problem.empty() && value != m_nOpenedHotkeys[i] && !s_pfnHotkeyFree(m_hWnd, value))
            problem = platform::HotkeyName(value) + " is used by another program.";
        if (!problem.empty()) {
            MessageBoxUtf8(m_hWnd, problem + " Choose another combination, or none.", "Options",
                           MB_OK | MB_ICONEXCLAMATION);
            ::SetFocus(GetDlgItem(kHotkeyFields[i]));
            return false;
        }
    }
    return true;
}

// The list's position is the setting's value; the list is filled once, at the dialog's start.
bool COptionsDlg::ExchangeMonitors(CDataExchange& dx)
{
    const HWND list = GetDlgItem(IDC_MONITORS);
    if (dx.m_bSaveAndValidate) {
        const LRESULT chosen = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
        if (chosen >= 0 && chosen < LRESULT(std::size(kMonitorChoices)))
            m_nMonitors = static_cast<int32_t>(chosen);
        return true;
    }
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(m_nMonitors), 0);
    return true;
}

BOOL COptionsDlg::OnInitDialog()
{
    for (const wchar_t* choice : kMonitorChoices)
        ::SendDlgItemMessageW(m_hWnd, IDC_MONITORS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    for (int i = 0; i < 3; ++i)
        m_nOpenedHotkeys[i] = m_nHotkeys[i];
    CDialog::OnInitDialog();
    // Only what is typed is limited: a longer number from the settings is shown in full.
    for (int id : {IDC_MINUTES, IDC_SECONDS})
        ::SendDlgItemMessageA(m_hWnd, id, EM_LIMITTEXT, kDigits, 0);
    for (int id : {IDC_MINUTES_SPIN, IDC_SECONDS_SPIN})
        ::SendDlgItemMessageA(m_hWnd, id, UDM_SETRANGE32, kArrowMin, kArrowMax);
    EnableMinutes(m_nIntervalKind == 0);
    AttachItem(m_swatch, IDC_SWATCH);
    m_swatch.SetColor(m_crBackground);
    EnableScaling(m_bFit != 0);
    return TRUE;
}

void COptionsDlg::OnOK()
{
    if (UpdateData(true) && HotkeysFree())
        EndDialog(IDOK);
}

bool COptionsDlg::OnCommand(int id, int code, HWND control)
{
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_MINUTES_RADIO:
            EnableMinutes(true);
            return true;
        case IDC_HOURLY:
        case IDC_DAILY:
            EnableMinutes(false);
            return true;
        case IDC_FIT:
            EnableScaling(::IsDlgButtonChecked(m_hWnd, IDC_FIT) == BST_CHECKED);
            return true;
        case IDC_CHANGE_COLOR:
            OnChangeColor();
            return true;
        default:
            break;
        }
    }
    return CDialog::OnCommand(id, code, control);
}

void COptionsDlg::EnableMinutes(bool enable)
{
    ::EnableWindow(GetDlgItem(IDC_MINUTES), enable);
    ::EnableWindow(GetDlgItem(IDC_MINUTES_SPIN), enable);
}

void COptionsDlg::EnableScaling(bool enable)
{
    // The selection stays as it is: it is still stored on OK.
    ::EnableWindow(GetDlgItem(IDC_RESAMPLE), enable);
    ::EnableWindow(GetDlgItem(IDC_RESIZE), enable);
}

void COptionsDlg::OnChangeColor()
{
    // Owned by this dialog, so that the Options dialog cannot be used or closed while the
    // colour dialog is up.
    COLORREF color = m_crBackground;
    if (!s_pfnChooseColor(m_hWnd, color))
        return;
    m_crBackground = color;
    m_swatch.SetColor(color);
}

void OptionsFromSettings(const CChangerSettings& settings, COptionsDlg& dlg)
{
    if (settings.m_nInterval == kDaily) {
        dlg.m_nIntervalKind = 2;
    } else if (settings.m_nInterval == kHourly) {
        dlg.m_nIntervalKind = 1;
    } else {
        dlg.m_nIntervalKind = 0;
        dlg.m_nMinutes = settings.m_nInterval;
    }
    dlg.m_nOrderIndex = settings.m_nOrder;
    dlg.m_nSeconds = settings.m_nSlideShow;
    dlg.m_bFit = settings.m_bFitToScreen;
    dlg.m_nScaleIndex = settings.m_nScaleMethod;
    dlg.m_crBackground = settings.m_crBkgndColor;
    dlg.m_nMonitors = settings.m_nSeveralMonitors;
    dlg.m_nHotkeys[0] = settings.m_nHotkeyNext;
    dlg.m_nHotkeys[1] = settings.m_nHotkeyPrevious;
    dlg.m_nHotkeys[2] = settings.m_nHotkeyPause;
    dlg.m_bNotOnBatterySaver = settings.m_bNotOnBatterySaver;
}

void SettingsFromOptions(const COptionsDlg& dlg, CChangerSettings& settings)
{
    settings.m_nOrder = dlg.m_nOrderIndex;
    settings.m_nInterval = dlg.m_nIntervalKind == 0 ? dlg.m_nMinutes : dlg.m_nIntervalKind == 1 ? kHourly : kDaily;
    settings.m_nSlideShow = dlg.m_nSeconds;
    settings.m_bFitToScreen = dlg.m_bFit;
    settings.m_nScaleMethod = dlg.m_nScaleIndex;
    settings.m_crBkgndColor = dlg.m_crBackground;
    settings.m_nSeveralMonitors = dlg.m_nMonitors;
    settings.m_nHotkeyNext = dlg.m_nHotkeys[0];
    settings.m_nHotkeyPrevious = dlg.m_nHotkeys[1];
    settings.m_nHotkeyPause = dlg.m_nHotkeys[2];
    settings.m_bNotOnBatterySaver = dlg.m_bNotOnBatterySaver;
}
