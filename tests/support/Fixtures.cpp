#include "support/Fixtures.h"

#include "framework/Application.h"
#include "framework/WideText.h"
#include "image/PictureImage.h"
#include "library/Library.h"
#include "library/LibraryFile.h"
#include "support/TestSupport.h"
#include "tools/TgaWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace testing_support {

const char kProfileKey[] = "Software\\Orvane Inc.\\Murlavo";

bool FreshProfile(CApplication& app)
{
    app.m_strAppName = "Murlavo";
    app.SetRegistryKey("Orvane Inc.");
    return DeleteKeyTree(HKEY_CURRENT_USER, kProfileKey);
}

CWallpaperObject PictureRecord(const std::string& path, const char* tile, int keepAspect, int resample)
{
    CWallpaperObject record(path, 1);
    record.m_strTile = tile;
    record.m_bMaintainAspect = keepAspect;
    record.m_bResample = resample;
    return record;
}

std::string LibraryPath()
{
    FillLibraryPath();
    return g_szLibraryPath;
}

void ForgetRotation()
{
    ::DeleteFileW(FilePath(UserStatePath("Rotation.dat")).c_str());
}

bool WriteNowPlayingLibrary(const std::vector<CWallpaperObject>& pictures)
{
    ForgetRotation();
    // The program's writer gives every picture the resample flag of the global scale method,
    // so a file holds one method for all its pictures.
    const int32_t resample = pictures.empty() ? 0 : pictures.front().m_bResample;
    for (const auto& picture : pictures)
        if ((picture.m_bResample != 0) != (resample != 0))
            return false;
    CWallpaperObject playlist("Tests", 0);
    std::vector<CWallpaperObject> copies(pictures);
    std::vector<CLibraryEntry> entries {{&playlist, true}};
    for (auto& picture : copies)
        entries.push_back({&picture, false});
    return SaveLibraryFile(LibraryPath().c_str(), entries, resample ? 0 : 1);
}

void DeleteLibrary()
{
    ::DeleteFileA(LibraryPath().c_str());
}

void PatternPixel(int x, int y, int seed, unsigned char bgr[3])
{
    bgr[0] = static_cast<unsigned char>(x * 7 + seed * 31);
    bgr[1] = static_cast<unsigned char>(y * 11 + seed * 17);
    bgr[2] = static_cast<unsigned char>((x ^ y) * 5 + seed);
}

namespace {
bool EndsWith(const std::string& text, const char* suffix)
{
    size_t n = std::strlen(suffix);
    return text.size() >= n && _stricmp(text.c_str() + text.size() - n, suffix) == 0;
}

} // namespace

bool WritePatternPicture(const std::string& path, int w, int h, int seed)
{
    CPictureImage picture;
    if (!picture.Create(w, h))
        return false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            PatternPixel(x, y, seed, picture.m_pBits + y * picture.m_nStride + 3 * x);
    if (EndsWith(path, ".tga"))
        return WriteTgaFile(path.c_str(), PixelImage {picture.m_pBits, picture.m_nWidth, picture.m_nHeight, picture.m_nStride});
    return picture.SaveFile(path.c_str()) != FALSE;
}

std::string WallpaperFile()
{
    char temp[MAX_PATH + 1] = "";
    ::GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "Murlavo Wallpaper.bmp";
}

void SetChangerInt(const char* name, unsigned long value)
{
    HKEY key;
    const std::string path = std::string(kProfileKey) + "\\Changer";
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot open " << path;
        return;
    }
    const DWORD data = value;
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    ::RegCloseKey(key);
}

} // namespace testing_support
