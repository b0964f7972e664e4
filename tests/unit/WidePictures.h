// Beside WideFiles.h, for the show roles' tests: pictures copied to names the ANSI code page
// cannot hold, files read by such names, the temporary folder pointed elsewhere, and the
// desktop's wallpaper value read in Unicode. Header only.
#pragma once
#include "framework/File.h"
#include "framework/WideText.h"
#include "unit/WideFiles.h"

#include <windows.h>

#include <string>

namespace testing_support {

// More names code page 1252 cannot hold, to give files and folders.
inline const char kSunsetName[] = "夕焼け"; // kSunset without its extension
inline const char kPolishFolder[] = "Łódź 🌅 Temp";
inline const char kRussianFolder[] = "Москва Cafe\u0301";

// The test's process runs under a code page that lacks the names (the tests are meant to defeat it).
inline bool AnsiCodePageLacksTheNames()
{
    BOOL lossy = FALSE;
    const std::wstring names = Wide(std::string(kJapaneseFolder) + kPolishFolder + kRussianFolder);
    char out[256];
    ::WideCharToMultiByte(CP_ACP, 0, names.c_str(), -1, out, sizeof out, nullptr, &lossy);
    return lossy != FALSE;
}

inline bool CopyFileTo(const std::string& from, const std::string& to)
{
    return ::CopyFileW(FilePath(from).c_str(), FilePath(to).c_str(), FALSE) != FALSE;
}

inline std::string ReadFileBytes(const std::string& path)
{
    std::string data;
    if (std::FILE* fp = OpenFileStream(path.c_str(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, fp)) > 0)
            data.append(buffer, got);
        std::fclose(fp);
    }
    return data;
}

// The "Wallpaper" value of "Control Panel\Desktop", read as a wide string.
inline bool ReadDesktopWallpaper(std::string* value)
{
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[2048];
    DWORD size = sizeof buffer - sizeof(wchar_t), type = 0;
    const LONG rc = ::RegQueryValueExW(key, L"Wallpaper", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return false;
    *value = Utf8(buffer, wcsnlen(buffer, size / sizeof(wchar_t)));
    return true;
}

// TMP and TEMP point at another folder until the end of the scope (GetTempPath reads TMP first).
class ScopedTempFolder {
public:
    explicit ScopedTempFolder(const std::string& folder)
    {
        for (int i = 0; i < 2; ++i) {
            std::wstring value(32768, L'\0');
            const DWORD length = ::GetEnvironmentVariableW(kNames[i], &value[0], DWORD(value.size()));
            m_had[i] = length > 0 && length < value.size();
            if (m_had[i])
                m_saved[i] = value.substr(0, length);
            ::SetEnvironmentVariableW(kNames[i], Wide(folder).c_str());
        }
    }
    ~ScopedTempFolder()
    {
        for (int i = 0; i < 2; ++i)
            ::SetEnvironmentVariableW(kNames[i], m_had[i] ? m_saved[i].c_str() : nullptr);
    }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

private:
    static constexpr const wchar_t* kNames[2] = {L"TMP", L"TEMP"};
    std::wstring m_saved[2];
    bool m_had[2] = {};
};

} // namespace testing_support
