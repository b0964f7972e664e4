#include "framework/AnsiText.h"

std::string AnsiFromUtf16(const uint16_t* chars, size_t count)
{
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i)
        out += chars[i] <= 0xFF ? static_cast<char>(chars[i]) : '?';
    return out;
}
