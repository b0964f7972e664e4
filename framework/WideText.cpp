#include "framework/WideText.h"
#include "framework/Text.h"

#include <windows.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 code units");

std::wstring Wide(const std::string& utf8)
{
    std::u16string chars;
    Utf16FromUtf8(utf8.data(), utf8.size(), chars);
    return std::wstring(reinterpret_cast<const wchar_t*>(chars.data()), chars.size());
}

std::wstring Wide(const char* utf8)
{
    return utf8 ? Wide(std::string(utf8)) : std::wstring();
}

std::string Utf8(const wchar_t* wide, size_t count)
{
    std::string out;
    if (wide)
        AppendUtf8FromUtf16(out, reinterpret_cast<const uint16_t*>(wide), count);
    return out;
}

std::string Utf8(const wchar_t* wide)
{
    return wide ? Utf8(wide, wcslen(wide)) : std::string();
}

std::wstring FilePath(const std::string& utf8)
{
    std::wstring path = Wide(utf8);
    const size_t kClassicLimit = 248; // CreateDirectory's; files get 260
    if (path.size() < kClassicLimit || path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    // The prefix turns off the system's own clean-up of the path (slashes, "." and ".."
    // parts, a relative start), so that is done here first.
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!size)
        return path;
    std::wstring full(size, L'\0');
    size = ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (!size || size >= full.size())
        return path;
    full.resize(size);
    if (full.compare(0, 2, L"\\\\") == 0) {
        if (full.compare(0, 4, L"\\\\.\\") == 0)
            return full; // a device path: no prefix
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

std::string SystemErrorText(unsigned long code)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = length ? Utf8(text, length) : std::string();
    if (text)
        ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    return out.empty() ? "error " + std::to_string(code) : out;
}
