#include "show/WallpaperChanger.h"

#include "framework/FileReplace.h"
#include "framework/WideText.h"
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

const wchar_t kWallpaperFileName[] = L"Murlavo Wallpaper.bmp";

// The folder the environment names as the temporary one (where GetTempPath looks first), for
// telling the user about one the system cannot take.
std::string TempFolderOfTheEnvironment()
{
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
        const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
        if (size == 0)
            continue;
        std::wstring value(size, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(name, &value[0], size);
        if (length > 0 && length < size)
            return Utf8(value.data(), length);
    }
    return std::string();
}

enum class TempPlace { usable, unusable, tooLong };

// The wallpaper bitmap's path in the temporary folder. Unusable: no folder, or a relative path
// that would put the file wherever the current directory happens to be. Too long: a folder whose
// path leaves the bitmap's path longer than the desktop takes (also one too long for the system
// to give at all).
TempPlace WallpaperPathInTempFolder(std::string& path, std::string& folder)
{
    path.clear();
    folder.clear();
    std::wstring temp(MAX_PATH + 1, L'\0');
    ::SetLastError(0);
    DWORD length = ::GetTempPathW(DWORD(temp.size()), &temp[0]);
    if (length >= temp.size()) { // the size it needs, terminator included
        temp.assign(length, L'\0');
        length = ::GetTempPathW(DWORD(temp.size()), &temp[0]);
    }
    if (length == 0 && ::GetLastError() == ERROR_FILENAME_EXCED_RANGE) {
        folder = TempFolderOfTheEnvironment();
        return TempPlace::tooLong;
    }
    if (length == 0 || length >= temp.size())
        return TempPlace::unusable;
    temp.resize(length);
    const bool absolute = (length > 1 && temp[0] == L'\\' && temp[1] == L'\\')
        || (length > 2 && temp[1] == L':' && temp[2] == L'\\');
    if (!absolute || temp.back() != L'\\')
        return TempPlace::unusable;
    const std::wstring wallpaper = temp + kWallpaperFileName;
    if (wallpaper.size() > platform::kMaxWallpaperPath) {
        folder = Utf8(temp);
        return TempPlace::tooLong;
    }
    path = Utf8(wallpaper);
    return TempPlace::usable;
}
} // namespace

int64_t (*CWallpaperChanger::s_pfnNow)() = SystemNow;

void CWallpaperChanger::Load(bool wallpaperRole)
{
    m_list.reserve(10);
    ReadLibrary(m_list);
    if (wallpaperRole) {
        m_bTempFolderTooLong =
            WallpaperPathInTempFolder(m_strWallpaperPath, m_strTempFolder) == TempPlace::tooLong;
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

bool CWallpaperChanger::ChangeDue() const
{
    return !m_list.empty() && WallpaperIntervalPassed(s_pfnNow(), g_settings.m_timeLastChange, g_settings.m_nInterval);
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
    // Refused by the desktop: nothing changed, and the next minute tries again.
    if (!platform::SetDesktopWallpaper(wallpaperPath.c_str()))
        return;
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
        ::DeleteFileW(FilePath(temp).c_str());
        return false;
    }
    return ReplaceFileAtomically(temp.c_str(), path.c_str());
}
