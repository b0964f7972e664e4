#include "library/Settings.h"
#include "framework/Application.h"

CChangerSettings g_settings;

namespace {
const char kChanger[] = "Changer";
const char kCustom[] = "Custom";
const char kRegistration[] = "Registration";
} // namespace

void CChangerSettings::Load(const CApplication& profile)
{
    m_nInterval = profile.GetProfileInt(kChanger, "Interval", 10);
    m_nOrder = profile.GetProfileInt(kChanger, "Order", 1);
    m_timeLastChange = profile.GetProfileInt(kChanger, "LastChange", 0);
    m_strLastWallpaper = profile.GetProfileString(kChanger, "LastWallpaper", "");
    m_nSlideShow = profile.GetProfileInt(kChanger, "SlideShow", 5);
    m_bFitToScreen = profile.GetProfileInt(kChanger, "FitToScreen", 0);
    m_nScaleMethod = profile.GetProfileInt(kChanger, "ScaleMethod", 1);
    m_crBkgndColor = static_cast<uint32_t>(profile.GetProfileInt(kChanger, "BkgndColor", 0));
    m_strTempImage = profile.GetProfileString(kChanger, "TempImage", "");
    m_nSeveralMonitors = profile.GetProfileInt(kChanger, "Monitors", kDifferentPictures);
    if (m_nSeveralMonitors < kSamePicture || m_nSeveralMonitors > kOnePictureAcross)
        m_nSeveralMonitors = kDifferentPictures;
    m_nHotkeyNext = profile.GetProfileInt(kChanger, "HotkeyNext", 0);
    m_nHotkeyPrevious = profile.GetProfileInt(kChanger, "HotkeyPrevious", 0);
    m_nHotkeyPause = profile.GetProfileInt(kChanger, "HotkeyPause", 0);
    m_bNotOnBatterySaver = profile.GetProfileInt(kChanger, "NotOnBatterySaver", 0);
    m_bPaused = profile.GetProfileInt(kChanger, "Paused", 0);
    m_strTitle = profile.GetProfileString(kCustom, "Title", "");
    m_strWebPage = profile.GetProfileString(kCustom, "WebPage", "");
    m_strEMail = profile.GetProfileString(kCustom, "EMail", "");
}

void CChangerSettings::LoadInstallDir(const CApplication& profile)
{
    m_strInstallDir = profile.GetProfileString(kRegistration, "Path", "");
    if (!m_strInstallDir.empty())
        m_strInstallDir += '\\';
}

void CChangerSettings::Save(const CApplication& profile) const
{
    profile.WriteProfileInt(kChanger, "Interval", m_nInterval);
    profile.WriteProfileInt(kChanger, "Order", m_nOrder);
    profile.WriteProfileInt(kChanger, "SlideShow", m_nSlideShow);
    profile.WriteProfileInt(kChanger, "FitToScreen", m_bFitToScreen);
    profile.WriteProfileInt(kChanger, "BkgndColor", static_cast<int>(m_crBkgndColor));
    profile.WriteProfileInt(kChanger, "ScaleMethod", m_nScaleMethod);
    profile.WriteProfileInt(kChanger, "Monitors", m_nSeveralMonitors);
    profile.WriteProfileInt(kChanger, "HotkeyNext", m_nHotkeyNext);
    profile.WriteProfileInt(kChanger, "HotkeyPrevious", m_nHotkeyPrevious);
    profile.WriteProfileInt(kChanger, "HotkeyPause", m_nHotkeyPause);
    profile.WriteProfileInt(kChanger, "NotOnBatterySaver", m_bNotOnBatterySaver);
}

void CChangerSettings::SaveLastChange(const CApplication& profile) const
{
    profile.WriteProfileInt(kChanger, "LastChange", m_timeLastChange);
    profile.WriteProfileString(kChanger, "LastWallpaper", m_strLastWallpaper.c_str());
}

void CChangerSettings::TakeOptionsFrom(const CChangerSettings& edited)
{
    m_nInterval = edited.m_nInterval;
    m_nOrder = edited.m_nOrder;
    m_nSlideShow = edited.m_nSlideShow;
    m_bFitToScreen = edited.m_bFitToScreen;
    m_nScaleMethod = edited.m_nScaleMethod;
    m_crBkgndColor = edited.m_crBkgndColor;
    m_nSeveralMonitors = edited.m_nSeveralMonitors;
    m_nHotkeyNext = edited.m_nHotkeyNext;
    m_nHotkeyPrevious = edited.m_nHotkeyPrevious;
    m_nHotkeyPause = edited.m_nHotkeyPause;
    m_bNotOnBatterySaver = edited.m_bNotOnBatterySaver;
}

void CChangerSettings::SavePaused(const CApplication& profile) const
{
    profile.WriteProfileInt(kChanger, "Paused", m_bPaused);
}

void CChangerSettings::SaveTempImage(const CApplication& profile) const
{
    profile.WriteProfileString(kChanger, "TempImage", m_strTempImage.c_str());
}
