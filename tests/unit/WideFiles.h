// Files and folders whose names the ANSI code page cannot hold (the test prefix's is
// Windows-1252), or whose paths pass the classic 260 characters, made and removed with the wide
// file functions. Names are UTF-8, as the program holds them.
#pragma once
#include "framework/WideText.h"

#include <windows.h>

#include <string>

namespace testing_support {

// Japanese with an emoji outside the basic plane (two UTF-16 units), Polish, Cyrillic, and a
// combining accent (e + U+0301, which no code page composes).
inline const char kJapaneseFolder[] = "写真の夕べ 🌸";
inline const char kSunset[] = "夕焼け.jpg";
inline const char kLodz[] = "Łódź 🌅.png";
inline const char kMoscow[] = "Москва.bmp";
inline const char kCafe[] = "Cafe\u0301.bmp";
inline const char kCyrillicName[] = "Фото ✨";

inline bool MakeWideFolder(const std::string& path)
{
    return ::CreateDirectoryW(FilePath(path).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// A small file with the given bytes (a bitmap's signature by default).
inline bool MakeWideFile(const std::string& path, const std::string& bytes = "BM")
{
    HANDLE file = ::CreateFileW(FilePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
        nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

inline bool WideFileExists(const std::string& path)
{
    return ::GetFileAttributesW(FilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a folder with everything in it.
inline void DeleteWideTree(const std::string& path)
{
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(FilePath(path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Utf8(found.cFileName);
            if (name == "." || name == "..")
                continue;
            const std::string full = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteWideTree(full);
            } else {
                ::SetFileAttributesW(FilePath(full).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(FilePath(full).c_str());
            }
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(FilePath(path).c_str());
}

// The folder `base`\kJapaneseFolder, made afresh, with the pictures kSunset, kLodz, kMoscow
// and kCafe in it; its path, or empty when it could not be made.
inline std::string MakeNamedPictures(const std::string& base)
{
    const std::string folder = base + "\\" + kJapaneseFolder;
    DeleteWideTree(folder);
    if (!MakeWideFolder(folder))
        return std::string();
    for (const char* name : {kSunset, kLodz, kMoscow, kCafe})
        if (!MakeWideFile(folder + "\\" + name))
            return std::string();
    return folder;
}

// A folder below `base` whose path is at least `length` characters long, made of nested
// folders of 100-character names (in Cyrillic, each under the 255-character limit of a name).
inline std::string MakeDeepFolder(const std::string& base, size_t length)
{
    std::string path = base;
    if (!MakeWideFolder(path))
        return std::string();
    std::string step;
    for (int i = 0; i < 100; ++i)
        step += "д";
    while (Wide(path).size() < length) {
        path += "\\" + step;
        if (!MakeWideFolder(path))
            return std::string();
    }
    return path;
}

} // namespace testing_support
