// Bitmaps of every depth the program reads, built by hand, with the picture each must give.
// Shared by the portable conversion test and the test that loads them as files under Windows.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

struct BitmapCase {
    std::string name;
    int32_t width;
    int32_t height; // negative: rows stored top-down
    uint16_t bits;
    uint32_t compression; // 0 BI_RGB, 3 BI_BITFIELDS
    uint32_t clrUsed;
    std::vector<uint32_t> table;   // colour entries (0x00RRGGBB) or, for bit fields, red, green, blue masks
    std::vector<uint8_t> rows;     // as stored, each padded to 4 bytes
    std::vector<uint8_t> expected; // the picture, bottom row first, blue-green-red, no padding
};

inline std::vector<BitmapCase> BitmapCases()
{
    const uint32_t dark = 0x1E140A, light = 0xDCD2C8; // (b, g, r) = (10, 20, 30), (200, 210, 220)
    std::vector<uint32_t> sixteen;
    for (uint32_t i = 0; i < 16; ++i)
        sixteen.push_back((255 - i) << 16 | (16 * i) << 8 | i);
    auto px16 = [](uint32_t i) { return std::vector<uint8_t> {uint8_t(i), uint8_t(16 * i), uint8_t(255 - i)}; };
    auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const std::vector<uint8_t> D = {10, 20, 30}, L = {200, 210, 220}, K = {0, 0, 0};

    std::vector<BitmapCase> cases;
    // Two source bytes per row; of the second only the two top bits count.
    cases.push_back({"1-bit, width 10", 10, 1, 1, 0, 0, {dark, light}, {0xB3, 0x7F, 0, 0},
                     join({L, D, L, L, D, D, L, L, D, L})});
    // Odd width: only the high nibble of the last byte counts.
    cases.push_back({"4-bit, width 5", 5, 1, 4, 0, 0, sixteen, {0x12, 0x34, 0x5F, 0},
                     join({px16(1), px16(2), px16(3), px16(4), px16(5)})});
    // Four colours: index 200 lies beyond the table and comes out black.
    cases.push_back({"8-bit, short table", 3, 2, 8, 0, 4, {dark, light, 0x000000, 0x0000FF},
                     {1, 3, 200, 0, 0, 1, 0, 0}, join({L, {255, 0, 0}, K, D, L, D})});
    cases.push_back({"24-bit", 2, 2, 24, 0, 0, {}, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0},
                     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}});
    cases.push_back({"32-bit loses its fourth byte", 2, 1, 32, 0, 0, {}, {1, 2, 3, 99, 4, 5, 6, 99},
                     {1, 2, 3, 4, 5, 6}});
    // 5-5-5: white, pure red, blue 1 (expands to 8), pure green.
    cases.push_back({"16-bit, 5-5-5", 4, 1, 16, 0, 0, {}, {0xFF, 0x7F, 0x00, 0x7C, 0x01, 0x00, 0xE0, 0x03},
                     {255, 255, 255, 0, 0, 255, 8, 0, 0, 0, 255, 0}});
    // 5-6-5 masks: pure red, pure green, pure blue; row padded. (The system's loader may
    // hand the rows over as 5-5-5, so only full channels are compared here.)
    cases.push_back({"16-bit, 5-6-5 masks", 3, 1, 16, 3, 0, {0xF800, 0x07E0, 0x001F},
                     {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0}, {0, 0, 255, 0, 255, 0, 255, 0, 0}});
    // Masks with red and blue swapped against the usual order.
    cases.push_back({"32-bit masks", 1, 1, 32, 3, 0, {0x0000FF, 0x00FF00, 0xFF0000}, {1, 2, 3, 4}, {3, 2, 1}});
    // Top-down: the first stored row is the top of the picture.
    cases.push_back({"24-bit top-down", 1, -2, 24, 0, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0}, {4, 5, 6, 1, 2, 3}});
    cases.push_back({"8-bit top-down", 2, -2, 8, 0, 2, {dark, light}, {1, 0, 0, 0, 0, 0, 0, 0}, join({D, D, L, D})});
    return cases;
}

inline void PutLittle(std::string& s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += char(v >> (8 * i));
}

// The information-header sizes a bitmap file may have: the old 12-byte core header (16-bit
// sizes, 3-byte colours, no compression), the 40-byte header, its 52- and 56-byte extensions
// (masks, then an alpha mask, inside the header) and the 108- and 124-byte ones.
inline const std::vector<uint32_t>& BitmapHeaderSizes()
{
    static const std::vector<uint32_t> sizes = {12, 40, 52, 56, 108, 124};
    return sizes;
}

// Whether the case can be stored under a header of this size: the core header knows only
// bottom-up rows of 1, 4, 8 and 24 bits.
inline bool FitsHeader(const BitmapCase& c, uint32_t headerSize)
{
    return headerSize != 12 ||
           (c.height > 0 && c.compression == 0 && (c.bits == 1 || c.bits == 4 || c.bits == 8 || c.bits == 24));
}

// The case as a bitmap file: file header, information header of headerSize bytes, colour
// table or masks, gap bytes of 0xEE, then the rows where bfOffBits says. Masks follow a
// 40-byte header and lie inside a longer one. The core header's colour table has all
// 2 ^ bits entries of 3 bytes (missing ones black).
inline std::string BitmapFileBytes(const BitmapCase& c, uint32_t headerSize = 40, uint32_t gap = 0)
{
    const bool masks = c.compression == 3;
    std::string info;
    std::string table;
    if (headerSize == 12) {
        PutLittle(info, 12, 4);
        PutLittle(info, uint32_t(c.width), 2);
        PutLittle(info, uint32_t(c.height), 2);
        PutLittle(info, 1, 2);
        PutLittle(info, c.bits, 2);
        for (uint32_t i = 0; c.bits <= 8 && i < (1u << c.bits); ++i)
            PutLittle(table, i < c.table.size() ? c.table[i] : 0, 3);
    } else {
        PutLittle(info, headerSize, 4);
        PutLittle(info, uint32_t(c.width), 4);
        PutLittle(info, uint32_t(c.height), 4);
        PutLittle(info, 1, 2);
        PutLittle(info, c.bits, 2);
        PutLittle(info, c.compression, 4);
        PutLittle(info, uint32_t(c.rows.size()), 4);
        PutLittle(info, 2835, 4); // 72 dots per inch
        PutLittle(info, 2835, 4);
        PutLittle(info, c.clrUsed, 4);
        PutLittle(info, 0, 4);
        std::string maskBytes;
        for (size_t i = 0; masks && i < 3; ++i)
            PutLittle(maskBytes, c.table[i], 4);
        if (headerSize == 40) {
            table = maskBytes;
        } else {
            info += masks ? maskBytes : std::string(12, '\0');
            if (headerSize >= 56)
                PutLittle(info, 0, 4); // alpha mask
            if (headerSize >= 108)
                PutLittle(info, 0x73524742, 4); // colour space "sRGB"; end points and gamma zero
            info.resize(headerSize, '\0');
        }
        for (size_t i = 0; !masks && i < c.table.size(); ++i)
            PutLittle(table, c.table[i], 4);
    }
    const uint32_t offset = 14 + uint32_t(info.size() + table.size()) + gap;
    std::string f = "BM";
    PutLittle(f, offset + uint32_t(c.rows.size()), 4);
    PutLittle(f, 0, 4);
    PutLittle(f, offset, 4);
    return f + info + table + std::string(gap, '\xEE') + std::string(c.rows.begin(), c.rows.end());
}

// Files whose headers lie: short, absurd sizes, offsets and tables beyond the end.
inline std::vector<std::string> HostileBitmapFiles()
{
    const std::vector<BitmapCase> cases = BitmapCases();
    const std::string good = BitmapFileBytes(cases[3]); // 24-bit, 2 x 2
    auto patched = [&good](size_t at, uint32_t value) {
        std::string f = good;
        std::string v;
        PutLittle(v, value, 4);
        return f.replace(at, 4, v);
    };
    std::vector<std::string> files = {"", "BM", good.substr(0, 54), good.substr(0, 60)};
    files.push_back(patched(18, 100000));     // width 100000 in a file of 70 bytes
    files.push_back(patched(22, 0x7FFFFFFF)); // height
    files.push_back(patched(18, 0x80000000)); // negative width
    files.push_back(patched(10, 0x10000000)); // rows far beyond the end
    files.push_back(patched(10, 4));          // rows inside the file header
    files.push_back(patched(14, 1000));       // an information header of 1000 bytes
    BitmapCase eight = cases[2];
    eight.clrUsed = 1000; // a colour table that runs past the end
    files.push_back(BitmapFileBytes(eight));
    eight.clrUsed = 0xFFFFFFFF;
    files.push_back(BitmapFileBytes(eight));
    BitmapCase odd = cases[3];
    odd.bits = 7; // no such depth
    files.push_back(BitmapFileBytes(odd));
    odd.bits = 24;
    odd.compression = 1; // run-length 8 for 24 bits
    files.push_back(BitmapFileBytes(odd));
    odd.compression = 4; // JPEG inside
    files.push_back(BitmapFileBytes(odd));
    return files;
}

// A run-length bitmap (compression 1: 8 bits, 2: 4 bits) of the given size whose data is the
// given bytes, with the colours of the case of its depth.
inline BitmapCase RunLength(uint32_t compression, int32_t width, int32_t height, std::vector<uint8_t> data)
{
    BitmapCase c = BitmapCases()[compression == 1 ? 2 : 1];
    c.width = width;
    c.height = height;
    c.compression = compression;
    c.rows = std::move(data);
    return c;
}
