// UTF-8 inside the program, UTF-16 at the system's wide functions and in 16-bit library
// strings, Windows-1252 for 8-bit library strings off Windows.
#include "framework/AnsiText.h"
#include "framework/Text.h"

#include <gtest/gtest.h>

namespace {

std::u16string Units(const std::string& utf8, bool* exact = nullptr)
{
    std::u16string out;
    const bool ok = Utf16FromUtf8(utf8.data(), utf8.size(), out);
    if (exact)
        *exact = ok;
    return out;
}

std::string FromUnits(const std::u16string& units, bool* exact = nullptr)
{
    std::string out;
    const bool ok = AppendUtf8FromUtf16(out, reinterpret_cast<const uint16_t*>(units.data()), units.size());
    if (exact)
        *exact = ok;
    return out;
}

} // namespace

TEST(Text, EveryPlaneRoundTrips)
{
    // ASCII, Latin, Cyrillic, CJK, a combining mark, an emoji outside the BMP, U+10FFFF, a zero.
    const std::string text = std::string("a\xC3\xA9\xD0\xA4\xE5\xA4\x95" "e\xCC\x81\xF0\x9F\x8C\x85\xF4\x8F\xBF\xBF") +
                             '\0' + "z";
    bool exact = false;
    const std::u16string units = Units(text, &exact);
    EXPECT_TRUE(exact);
    EXPECT_EQ(units, (std::u16string {u'a', 0xE9, 0x424, 0x5915, u'e', 0x301, 0xD83C, 0xDF05, 0xDBFF, 0xDFFF, 0, u'z'}));
    EXPECT_EQ(FromUnits(units, &exact), text);
    EXPECT_TRUE(exact);
    EXPECT_TRUE(IsUtf8(text));
}

TEST(Text, MalformedInputBecomesReplacementCharactersAndSaysSo)
{
    const char16_t r = 0xFFFD;
    struct Case {
        const char* name;
        std::string utf8;
        std::u16string units;
    } cases[] = {
        {"stray continuation byte", "a\x80z", {u'a', r, u'z'}},
        {"overlong slash", "\xC0\xAF", {r, r}},
        {"encoded surrogate", "\xED\xA0\x80", {r, r, r}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {r, r, r, r}},
        {"truncated at the end", "x\xE5\xA4", {u'x', r, r}},
        {"lead byte before ASCII", "\xE5" "a", {r, u'a'}},
        {"0xFF", "\xFF", {r}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool exact = true;
        EXPECT_EQ(Units(c.utf8, &exact), c.units);
        EXPECT_FALSE(exact);
        EXPECT_FALSE(IsUtf8(c.utf8));
    }
    // Lone surrogates of UTF-16, at either end and in the middle.
    bool exact = true;
    EXPECT_EQ(FromUnits({0xDC00, u'a', 0xD800, u'b', 0xD83D}, &exact), "\xEF\xBF\xBD" "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_FALSE(exact);
}

TEST(Text, AnsiCodePageOffWindowsIsWindows1252BothWays)
{
    // Every byte is a character and comes back: the five bytes 1252 leaves undefined map to
    // the C1 controls, as on Windows.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    std::string utf8, ansi;
    ASSERT_TRUE(Utf8FromAnsi(all, utf8));
    EXPECT_TRUE(IsUtf8(utf8));
    ASSERT_TRUE(AnsiFromUtf8Exactly(utf8, ansi));
    EXPECT_EQ(ansi, all);

    ASSERT_TRUE(Utf8FromAnsi("\x80\x81\x9F\xE9", utf8));
    EXPECT_EQ(utf8, "\xE2\x82\xAC\xC2\x81\xC5\xB8\xC3\xA9");
    // Characters it lacks are never replaced by look-alikes: the name goes 16-bit instead.
    EXPECT_FALSE(AnsiFromUtf8Exactly("\xC4\x80", ansi));         // A-macron
    EXPECT_FALSE(AnsiFromUtf8Exactly("\xEF\xBC\x8F", ansi));     // full-width solidus
    EXPECT_FALSE(AnsiFromUtf8Exactly("\xF0\x9F\x8C\x85", ansi)); // emoji
    EXPECT_FALSE(AnsiFromUtf8Exactly("\xC3", ansi));             // not UTF-8
}
