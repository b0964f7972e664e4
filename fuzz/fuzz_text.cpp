// The text conversions: UTF-8 and UTF-16 both ways, and the ANSI code page of the library's
// 8-bit strings. Every output must be well-formed, and every conversion reported exact must
// come back unchanged.
#include "framework/AnsiText.h"
#include "framework/Text.h"

#include <cstdlib>
#include <string>

namespace {
void Check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The bytes as UTF-8.
    std::u16string units;
    const bool exact = Utf16FromUtf8(bytes.data(), bytes.size(), units);
    Check(exact == IsUtf8(bytes));
    std::string back;
    Check(AppendUtf8FromUtf16(back, reinterpret_cast<const uint16_t*>(units.data()), units.size()));
    Check(IsUtf8(back));
    Check(!exact || back == bytes);

    // The bytes as UTF-16 code units.
    std::string text;
    const bool exactUnits = AppendUtf8FromUtf16(text, reinterpret_cast<const uint16_t*>(bytes.data()), size / 2);
    Check(IsUtf8(text));
    std::u16string again;
    Check(Utf16FromUtf8(text.data(), text.size(), again));
    Check(!exactUnits || (again.size() == size / 2 && std::char_traits<char16_t>::compare(again.data(), reinterpret_cast<const char16_t*>(bytes.data()), size / 2) == 0));

    // The bytes as an 8-bit library string, and as text to store as one.
    std::string utf8;
    if (Utf8FromAnsi(bytes, utf8)) {
        std::string ansi;
        Check(AnsiFromUtf8Exactly(utf8, ansi) && ansi == bytes);
    }
    Check(IsUtf8(utf8));
    std::string ansi;
    if (AnsiFromUtf8Exactly(bytes, ansi)) {
        std::string restored;
        Check(Utf8FromAnsi(ansi, restored) && restored == bytes);
    }
    return 0;
}
