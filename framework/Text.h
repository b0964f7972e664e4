// The program's text is UTF-8, held in std::string. These convert it to and from UTF-16, the
// form of Windows' wide functions and of the library file's 16-bit strings (portable).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Appends `count` UTF-16 code units to `out` as UTF-8. A surrogate without its partner becomes
// U+FFFD; returns false when that happened (the text was not exactly convertible).
bool AppendUtf8FromUtf16(std::string& out, const uint16_t* chars, size_t count);

// Converts UTF-8 to UTF-16 code units. Bytes that are not UTF-8 (a stray continuation byte, a
// truncated or overlong sequence, an encoded surrogate, a value above U+10FFFF) become U+FFFD,
// one per bad byte; returns false when that happened.
bool Utf16FromUtf8(const char* text, size_t length, std::u16string& out);

// True when every byte of `text` is below 0x80.
inline bool IsAscii(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// True when `text` is well-formed UTF-8.
bool IsUtf8(const std::string& text);

inline bool IsHighSurrogate(uint16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLowSurrogate(uint16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}
