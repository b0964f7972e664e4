#include "show/WallpaperChanger.h"

#include "framework/FileReplace.h"
#include "library/Library.h"
#include "platform/Desktop.h"
#include "show/Rotation.h"

#include <windows.h>

#include <ctime>
#include <vector>

namespace {
int64_t SystemNow()
{
    return static_cast<int64_t>(std::time(nullptr));
}

const char kWallpaperFileName[] = "Murlavo Wallpaper.bmp";

// The wallpaper bitmap's path in the temporary folder, or empty when that folder cannot be
// used: no folder, a path too long for the desktop to load, or a relative path that would put
// the file wherever the current directory happens to be.
std::string WallpaperPathInTempFolder()
{
    char temp[MAX_PATH + 1] = "";
    const DWORD length = ::GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp || length + sizeof kWallpaperFileName > MAX_PATH)
        return std::string();
    const bool absolute = (temp[0] == '\\' && temp[1] == '\\') || (temp[1] == ':' && temp[2] == '\\');
    if (!absolute || temp[length - 1] != '\\')
        return std::string();
    return std::string(temp, length) + kWallpaperFileName;
}
} // namespace

int64_t (*CWallpaperChanger::s_pfnNow)() = SystemNow;

void CWallpaperChanger::Load(bool wallpaperRole)
{
    m_list.reserve(10);
    ReadLibrary(m_list);
    if (wallpaperRole) {
        m_strWallpaperPath = WallpaperPathInTempFolder();
        g_settings.m_strTempImage = m_strWallpaperPath;
    }
}

void CWallpaperChanger::Clear()
{
    m_pCurrent = nullptr;
    m_list.clear();
}

const CWallpaperObject* CWallpaperChanger::ChooseWallpaper()
{
    const int n = static_cast<int>(m_list.size());
    // Nothing to show, or nowhere to write the wallpaper (an unusable temporary folder).
    if (n == 0 || m_strWallpaperPath.empty())
        return nullptr;
    if (!WallpaperIntervalPassed(s_pfnNow(), g_settings.m_timeLastChange, g_settings.m_nInterval))
        return nullptr;
    int index;
    if (g_settings.m_nOrder == 1) {
        index = ChooseSequential(&m_nNextWallpaper, n);
    } else {
        std::vector<const std::string*> paths;
        paths.reserve(m_list.size());
        for (const auto& record : m_list)
            paths.push_back(&record->m_strPath);
        index = ChooseRandom(paths, g_showRandom.Next(), g_settings.m_strLastWallpaper);
        m_nNextWallpaper = index;
    }
    m_pCurrent = m_list[index].get();
    return m_pCurrent;
}

const CWallpaperObject* CWallpaperChanger::ChooseSlide()
{
    const int n = static_cast<int>(m_list.size());
    if (n < 1)
        return nullptr;
    // The show roles always go in list order.
    m_pCurrent = m_list[ChooseSequential(&m_nNextShow, n)].get();
    return m_pCurrent;
}

void CWallpaperChanger::ExpireInterval()
{
    const int64_t interval = g_settings.m_nInterval;
    g_settings.m_timeLastChange = StoredTime(s_pfnNow() - (interval + 1) * 60);
}

void CWallpaperChanger::ApplyWallpaper(const CWallpaperObject& record, const std::string& wallpaperPath)
{
    // The style and tile mode first, so the desktop uses them when it reloads the wallpaper.
    platform::WriteTileWallpaper(record.m_strTile.c_str());
    platform::SetDesktopWallpaper(wallpaperPath.c_str());
    g_settings.m_strLastWallpaper = record.m_strPath;
    g_settings.m_timeLastChange = StoredTime(s_pfnNow());
}

void CWallpaperChanger::ReloadSettingsAndLibrary(const CChangerSettings& options)
{
    g_settings.TakeOptionsFrom(options);
    Clear();
    m_nNextWallpaper = 0;
    ReadLibrary(m_list);
}

bool WriteWallpaperFile(CPictureImage& image, const std::string& path, const std::atomic<bool>& abort)
{
    if (path.empty())
        return false;
    const std::string temp = path + ".tmp";
    if (!image.SaveBitmapFile(temp.c_str()) || abort) {
        ::DeleteFileA(temp.c_str());
        return false;
    }
    return ReplaceFileAtomically(temp.c_str(), path.c_str());
}
