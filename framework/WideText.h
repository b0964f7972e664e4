// UTF-8, the program's text, at the boundary of Windows' wide (W) functions (Windows only).
#pragma once
#include <string>

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring Wide(const std::string& utf8);
std::wstring Wide(const char* utf8); // nullptr gives an empty string

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8(const wchar_t* wide, size_t count);
std::string Utf8(const wchar_t* wide); // nullptr gives an empty string
inline std::string Utf8(const std::wstring& wide)
{
    return Utf8(wide.data(), wide.size());
}

// The path to hand to the wide file functions. A path too long for the classic limit (260
// characters, 248 for a folder) is made absolute and given the "\\?\" prefix ("\\?\UNC\" for a
// share), which every Windows version since XP takes, whatever the long-path setting; a short
// path is passed as it is.
std::wstring FilePath(const std::string& utf8);

// The system's text for an error code, UTF-8, without the line break it ends with ("error N"
// when the system has none).
std::string SystemErrorText(unsigned long code);
