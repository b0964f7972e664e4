#include "framework/AnsiText.h"
#include "framework/Text.h"
#include "framework/WideText.h"

#include <windows.h>

#include <climits>

bool Utf8FromAnsi(const std::string& ansi, std::string& utf8)
{
    if (IsAscii(ansi)) { // every ANSI code page agrees with ASCII: most names need no table
        utf8 = ansi;
        return true;
    }
    utf8.clear();
    if (ansi.empty())
        return true;
    if (ansi.size() > INT_MAX / 2)
        return false;
    const int length = static_cast<int>(ansi.size());
    bool exact = true;
    int size = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), length, nullptr, 0);
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (size <= 0) { // bytes the code page does not define: convert what can be, lossily
        exact = false;
        flags = 0;
        size = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
        if (size <= 0)
            return false;
    }
    std::wstring wide(static_cast<size_t>(size), L'\0');
    size = ::MultiByteToWideChar(CP_ACP, flags, ansi.data(), length, &wide[0], size);
    wide.resize(static_cast<size_t>(size > 0 ? size : 0));
    return AppendUtf8FromUtf16(utf8, reinterpret_cast<const uint16_t*>(wide.data()), wide.size()) && exact;
}

bool AnsiFromUtf8Exactly(const std::string& utf8, std::string& ansi)
{
    if (IsAscii(utf8)) {
        ansi = utf8;
        return true;
    }
    ansi.clear();
    if (utf8.empty())
        return true;
    std::u16string chars;
    if (!Utf16FromUtf8(utf8.data(), utf8.size(), chars) || chars.size() > INT_MAX / 4)
        return false;
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(chars.data());
    const int count = static_cast<int>(chars.size());
    // WC_NO_BEST_FIT_CHARS: a character the code page lacks must not become a look-alike (a
    // full-width solidus must not become '\'). UTF-8 as the ANSI code page refuses the flag and
    // the default-character question, and holds every character anyway.
    const bool utf8Page = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8Page ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* pUsedDefault = utf8Page ? nullptr : &usedDefault;
    int size = ::WideCharToMultiByte(CP_ACP, flags, wide, count, nullptr, 0, nullptr, pUsedDefault);
    if (size <= 0 || usedDefault)
        return false;
    ansi.resize(static_cast<size_t>(size));
    size = ::WideCharToMultiByte(CP_ACP, flags, wide, count, &ansi[0], size, nullptr, pUsedDefault);
    if (size <= 0 || usedDefault)
        return false;
    ansi.resize(static_cast<size_t>(size));
    // The way back must give the same text (some code pages map several characters to one byte).
    std::string back;
    return Utf8FromAnsi(ansi, back) && back == utf8;
}
