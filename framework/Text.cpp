#include "framework/Text.h"

namespace {

void AppendCodePoint(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

const uint32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[*at], advancing *at. Returns kBad for a byte that does not
// start a well-formed sequence (then *at moves by one byte).
const uint32_t kBad = 0xFFFFFFFF;
uint32_t DecodeUtf8(const unsigned char* text, size_t length, size_t* at)
{
    const unsigned char lead = text[*at];
    if (lead < 0x80) {
        ++*at;
        return lead;
    }
    size_t extra;
    uint32_t c, minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
        ++*at;
        return kBad;
    }
    if (length - *at <= extra) {
        ++*at;
        return kBad;
    }
    for (size_t i = 1; i <= extra; ++i) {
        const unsigned char next = text[*at + i];
        if ((next & 0xC0) != 0x80) {
            ++*at;
            return kBad;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++*at;
        return kBad;
    }
    *at += extra + 1;
    return c;
}

} // namespace

bool AppendUtf8FromUtf16(std::string& out, const uint16_t* chars, size_t count)
{
    bool exact = true;
    out.reserve(out.size() + count);
    for (size_t i = 0; i < count; ++i) {
        const uint16_t c = chars[i];
        if (IsHighSurrogate(c) && i + 1 < count && IsLowSurrogate(chars[i + 1])) {
            AppendCodePoint(out, 0x10000 + ((uint32_t(c) - 0xD800) << 10) + (chars[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendCodePoint(out, kReplacement);
            exact = false;
        } else {
            AppendCodePoint(out, c);
        }
    }
    return exact;
}

bool Utf16FromUtf8(const char* text, size_t length, std::u16string& out)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    bool exact = true;
    out.clear();
    out.reserve(length);
    size_t at = 0;
    while (at < length) {
        uint32_t c = DecodeUtf8(bytes, length, &at);
        if (c == kBad) {
            c = kReplacement;
            exact = false;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return exact;
}

bool IsUtf8(const std::string& text)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t at = 0;
    while (at < text.size())
        if (DecodeUtf8(bytes, text.size(), &at) == kBad)
            return false;
    return true;
}
