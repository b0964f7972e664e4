// Conversion of 16-bit (UTF-16) characters to the single-byte strings the program works with
// (portable header; AnsiTextWin32.cpp or AnsiTextPortable.cpp, chosen by the build, implements it).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Converts `count` UTF-16 code units, zeros included (they become zero bytes), to the system's
// ANSI code page: on Windows the active code page, where a character the code page lacks becomes
// its default character (no look-alike substitutes, so no character can turn into a path
// separator or a dot); elsewhere Latin-1, with '?' for every code unit above 0xFF. Lone
// surrogates are characters the code page lacks. A surrogate pair split between two calls is
// two lone surrogates: callers converting in pieces keep pairs together.
std::string AnsiFromUtf16(const uint16_t* chars, size_t count);

inline bool IsHighSurrogate(uint16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
