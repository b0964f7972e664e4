// Files and folders whose names the ANSI code page cannot hold, and paths beyond 260
// characters, made at test time through the wide functions (names are UTF-8 here, as in the
// program). Header only.
#pragma once
#include "framework/File.h"
#include "framework/WideText.h"

#include <windows.h>

#include <string>

namespace testing_support {

// Names that code page 1252 cannot hold: Japanese and an emoji outside the Basic Multilingual
// Plane (a surrogate pair in UTF-16), Polish, Russian, and a combining mark.
constexpr char kJapaneseFolder[] = "写真 🌅";
constexpr char kSunset[] = "夕焼け";
constexpr char kPolish[] = "Łódź 🌅";
constexpr char kRussian[] = "Москва";
constexpr char kCombining[] = "Cafe\xCC\x81"; // "e" and U+0301 COMBINING ACUTE ACCENT

// The test's process runs under the code page the names above are meant to defeat.
inline bool AnsiCodePageLacksTheNames()
{
    BOOL lossy = FALSE;
    const std::wstring name = Wide(std::string(kJapaneseFolder) + kPolish + kRussian);
    char out[256];
    ::WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, out, sizeof out, nullptr, &lossy);
    return lossy != FALSE;
}

inline bool MakeFolder(const std::string& path)
{
    return ::CreateDirectoryW(FilePath(path).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

inline bool CopyFileTo(const std::string& from, const std::string& to)
{
    return ::CopyFileW(FilePath(from).c_str(), FilePath(to).c_str(), FALSE) != FALSE;
}

inline bool PathExists(const std::string& path)
{
    return ::GetFileAttributesW(FilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
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

// Deletes a folder with everything below it (by wide names, of any length).
inline void DeleteTree(const std::string& path)
{
    WIN32_FIND_DATAW found;
    const HANDLE find = ::FindFirstFileW(FilePath(path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::string child = path + "\\" + Utf8(name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(child);
            } else {
                ::SetFileAttributesW(FilePath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(FilePath(child).c_str());
            }
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(FilePath(path).c_str());
}

// A folder at least `length` characters long below `base`, made of nested folders whose names
// mix the names above (each far below the 255 characters one name may have). Empty when a
// folder could not be made.
inline std::string DeepFolder(const std::string& base, size_t length)
{
    std::string path = base;
    const std::string part = std::string(kJapaneseFolder) + " " + kRussian + " " + kCombining + " " +
        std::string(40, 'd');
    while (Wide(path).size() < length) {
        path += "\\" + part;
        if (!MakeFolder(path))
            return std::string();
    }
    return path;
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
