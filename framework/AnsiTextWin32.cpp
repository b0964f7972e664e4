#include "framework/AnsiText.h"

#include <windows.h>

#include <algorithm>
#include <climits>

static_assert(sizeof(wchar_t) == sizeof(uint16_t), "Windows' wide characters are UTF-16 code units");

namespace {

// Converts one piece whose length fits WideCharToMultiByte's int counts.
void AppendPiece(std::string& out, const uint16_t* chars, int count)
{
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(chars);
    // WC_NO_BEST_FIT_CHARS: what the code page lacks becomes its default character instead of a
    // look-alike (a full-width solidus must not become '\'). UTF-8 as the ANSI code page refuses
    // the flag and has no best fit anyway.
    DWORD flags = ::GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int size = ::WideCharToMultiByte(CP_ACP, flags, wide, count, nullptr, 0, nullptr, nullptr);
    if (size <= 0 && flags && ::GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        size = ::WideCharToMultiByte(CP_ACP, flags, wide, count, nullptr, 0, nullptr, nullptr);
    }
    if (size <= 0) { // nothing convertible: one replacement per code unit
        out.append(static_cast<size_t>(count), '?');
        return;
    }
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(size));
    int written = ::WideCharToMultiByte(CP_ACP, flags, wide, count, &out[at], size, nullptr, nullptr);
    out.resize(at + static_cast<size_t>(std::max(written, 0)));
}

} // namespace

std::string AnsiFromUtf16(const uint16_t* chars, size_t count)
{
    std::string out;
    const size_t kPiece = INT_MAX / 4; // any output size of a piece fits an int
    while (count) {
        size_t piece = std::min(count, kPiece);
        if (piece < count && IsHighSurrogate(chars[piece - 1]))
            --piece; // keep the pair together
        AppendPiece(out, chars, static_cast<int>(piece));
        chars += piece;
        count -= piece;
    }
    return out;
}
