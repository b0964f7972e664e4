#include "framework/AnsiText.h"
#include "framework/Text.h"

#include <cstdint>

namespace {

// Windows-1252's bytes 0x80-0x9F; the five it leaves undefined map to the C1 control of the
// same value, as Windows' own table does, so every byte has a character and back.
const uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint16_t CharOf(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
}

} // namespace

bool Utf8FromAnsi(const std::string& ansi, std::string& utf8)
{
    if (IsAscii(ansi)) { // every ANSI code page agrees with ASCII: most names need no table
        utf8 = ansi;
        return true;
    }
    std::u16string chars;
    chars.reserve(ansi.size());
    for (char c : ansi)
        chars += static_cast<char16_t>(CharOf(static_cast<unsigned char>(c)));
    utf8.clear();
    return AppendUtf8FromUtf16(utf8, reinterpret_cast<const uint16_t*>(chars.data()), chars.size());
}

bool AnsiFromUtf8Exactly(const std::string& utf8, std::string& ansi)
{
    if (IsAscii(utf8)) {
        ansi = utf8;
        return true;
    }
    std::u16string chars;
    if (!Utf16FromUtf8(utf8.data(), utf8.size(), chars))
        return false;
    ansi.clear();
    ansi.reserve(chars.size());
    for (char16_t c : chars) {
        int byte = -1;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            byte = c;
        } else {
            for (int i = 0; i < 32; ++i)
                if (kHigh[i] == c)
                    byte = 0x80 + i;
        }
        if (byte < 0)
            return false;
        ansi += static_cast<char>(byte);
    }
    return true;
}
