#include "image/Bitmap.h"

#include "framework/File.h"

#include <cstring>
#include <new>

namespace {

// Where one colour channel lies in a 16- or 32-bit pixel.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;           // from the lowest to the highest bit of the mask
    uint8_t scaled[256] {}; // channels of up to 8 bits: every value already scaled

    explicit Channel(uint32_t m) : mask(m)
    {
        if (!mask)
            return;
        while (!((mask >> shift) & 1))
            ++shift;
        for (uint32_t rest = mask >> shift; rest; rest >>= 1)
            ++bits;
        for (uint32_t v = 0; bits <= 8 && v < (1u << bits); ++v)
            scaled[v] = ScaleChannelTo8(v, bits);
    }

    // The channel as 8 bits, rounded to the nearest level whatever its width.
    uint8_t Expand(uint32_t pixel) const
    {
        const uint32_t value = (pixel & mask) >> shift;
        return bits <= 8 ? scaled[value] : ScaleChannelTo8(value, bits);
    }
};

uint32_t GetLittle16(const uint8_t* p)
{
    return p[0] | uint32_t(p[1]) << 8;
}

uint32_t GetLittle32(const uint8_t* p)
{
    return GetLittle16(p) | GetLittle16(p + 2) << 16;
}

// Reads exactly count bytes at a position.
bool ReadAt(CFile& file, int64_t position, void* buffer, size_t count)
{
    return file.Seek(position) && file.Read(buffer, count) == count;
}

void PutLittle16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLittle32(uint8_t* p, uint32_t v)
{
    PutLittle16(p, v & 0xFFFF);
    PutLittle16(p + 2, v >> 16);
}

} // namespace

uint32_t DibColourCount(const DibHeader& header)
{
    if (header.clrUsed & 0xFFFF)
        return header.clrUsed & 0xFFFF;
    return header.bitCount >= 1 && header.bitCount <= 8 ? 1u << header.bitCount : 0;
}

bool ConvertDibPixels(const DibHeader& header, const void* bits, const DibColour* colours, uint32_t colourCount,
                      const uint32_t* masks, IPixelTarget& picture)
{
    const int32_t width = header.width;
    const bool topDown = header.height < 0;
    const int64_t height = topDown ? -int64_t(header.height) : header.height;
    if (height > INT32_MAX || !picture.CreatePixels(width, static_cast<int32_t>(height)))
        return false;
    const PixelImage dst = picture.Pixels();
    if (!bits)
        return true;

    // Every palette index has a colour: entries the table lacks stay black.
    uint8_t palette[256][3] = {};
    for (uint32_t i = 0; colours && i < colourCount && i < 256; ++i) {
        palette[i][0] = colours[i].blue;
        palette[i][1] = colours[i].green;
        palette[i][2] = colours[i].red;
    }
    const bool bitfields = header.compression == kDibBitfields && masks;
    const uint32_t defaultMasks16[3] = {0x7C00, 0x03E0, 0x001F};
    const uint32_t* rgbMasks = bitfields ? masks : defaultMasks16;
    const Channel red(rgbMasks[0]), green(rgbMasks[1]), blue(rgbMasks[2]);

    const int64_t srcStride = ((int64_t(header.bitCount) * width + 31) / 8) & ~int64_t(3);
    for (int32_t y = 0; y < dst.height; ++y) {
        const int64_t srcRow = topDown ? dst.height - 1 - y : y;
        const uint8_t* s = static_cast<const uint8_t*>(bits) + srcRow * srcStride;
        uint8_t* d = dst.Row(y);
        switch (header.bitCount) {
        case 1:
        case 4:
        case 8: {
            // Pixels packed from the most significant bits of each byte.
            const int depth = header.bitCount;
            const int perByte = 8 / depth;
            const uint8_t mask = static_cast<uint8_t>((1 << depth) - 1);
            for (int32_t x = 0; x < width; ++x, d += 3) {
                const int slot = x % perByte;
                const uint8_t index = (s[x / perByte] >> (8 - depth * (slot + 1))) & mask;
                std::memcpy(d, palette[index], 3);
            }
            break;
        }
        case 16:
            for (int32_t x = 0; x < width; ++x, d += 3, s += 2) {
                const uint32_t pixel = s[0] | uint32_t(s[1]) << 8;
                d[0] = blue.Expand(pixel);
                d[1] = green.Expand(pixel);
                d[2] = red.Expand(pixel);
            }
            break;
        case 24:
            std::memcpy(d, s, size_t(width) * 3);
            break;
        case 32:
            for (int32_t x = 0; x < width; ++x, d += 3, s += 4) {
                if (bitfields) {
                    const uint32_t pixel = s[0] | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24;
                    d[0] = blue.Expand(pixel);
                    d[1] = green.Expand(pixel);
                    d[2] = red.Expand(pixel);
                } else {
                    std::memcpy(d, s, 3);
                }
            }
            break;
        default:
            return true; // a depth without a known layout stays black
        }
    }
    return true;
}

bool SaveBitmapPixels(const char* path, const PixelImage& picture, uint32_t sizeImage)
{
    if (!picture.bits)
        return false;
    const uint32_t pixelBytes = static_cast<uint32_t>(int64_t(picture.stride) * picture.height);

    uint8_t fileHeader[14] = {'B', 'M'};
    PutLittle32(fileHeader + 2, 54 + pixelBytes); // the size of the file
    PutLittle32(fileHeader + 10, 54);             // offset of the rows
    uint8_t infoHeader[40] = {};
    PutLittle32(infoHeader + 0, 40);
    PutLittle32(infoHeader + 4, static_cast<uint32_t>(picture.width));
    PutLittle32(infoHeader + 8, static_cast<uint32_t>(picture.height));
    PutLittle16(infoHeader + 12, 1);  // planes
    PutLittle16(infoHeader + 14, 24); // bits per pixel; compression, resolution and colours 0
    PutLittle32(infoHeader + 20, sizeImage);

    CFile file;
    if (!file.Open(path, CFile::modeCreate))
        return false;
    try {
        file.Write(fileHeader, sizeof fileHeader);
        file.Write(infoHeader, sizeof infoHeader);
        file.Write(picture.bits, pixelBytes);
        file.Close();
        return true;
    } catch (const CFileException&) {
        file.Abort();
        return false;
    }
}

bool ReadBitmapFileLayout(const char* path, BitmapFileLayout& layout)
{
    layout = BitmapFileLayout {};
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    try {
        // Only files whose length is known (no devices) are read at all.
        const int64_t length = file.GetLength();
        if (length < 18)
            return false;
        // The file header, then an information header of up to 124 bytes and maybe 3 masks.
        uint8_t head[14 + 124 + 12] = {};
        const size_t got = file.Read(head, sizeof head);
        if (got < 18 || head[0] != 'B' || head[1] != 'M')
            return false;
        const uint32_t infoSize = GetLittle32(head + 14);
        layout.headerSize = infoSize;
        const uint8_t* info = head + 14;
        DibHeader& h = layout.header;
        int entryBytes = 4;
        if (infoSize == 12) { // the old core header: 16-bit sizes, 3-byte colours
            h.width = int32_t(GetLittle16(info + 4));
            h.height = int32_t(GetLittle16(info + 6));
            h.bitCount = uint16_t(GetLittle16(info + 10));
            entryBytes = 3;
        } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108 || infoSize == 124) {
            h.width = int32_t(GetLittle32(info + 4));
            h.height = int32_t(GetLittle32(info + 8));
            h.bitCount = uint16_t(GetLittle16(info + 14));
            h.compression = GetLittle32(info + 16);
            h.clrUsed = GetLittle32(info + 32);
        } else {
            return false;
        }
        if (got < 14 + infoSize || h.height == 0 || h.height == INT32_MIN ||
            PictureBytes(h.width, h.height < 0 ? -h.height : h.height) == 0)
            return false;
        const uint16_t bits = h.bitCount;
        const uint32_t c = h.compression;
        const bool depthFits = (c == kDibRgb && (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
                                                 bits == 32)) ||
                               (c == kDibRle8 && bits == 8) || (c == kDibRle4 && bits == 4) ||
                               (c == kDibBitfields && (bits == 16 || bits == 32));
        const bool compressed = c == kDibRle8 || c == kDibRle4;
        if (!depthFits || (compressed && h.height < 0))
            return false;

        // Masks follow a 40-byte header, or lie inside a longer one.
        int64_t tableOffset = 14 + int64_t(infoSize);
        if (c == kDibBitfields) {
            layout.hasMasks = true;
            if (infoSize == 40)
                tableOffset += 12;
            if (length < tableOffset)
                return false;
            for (int i = 0; i < 3; ++i)
                layout.masks[i] = GetLittle32(info + 40 + 4 * i);
        }
        const int64_t entries = h.clrUsed ? int64_t(h.clrUsed) : bits <= 8 ? int64_t(1) << bits : 0;
        const int64_t tableEnd = tableOffset + entries * entryBytes;
        const uint32_t offBits = GetLittle32(head + 10);
        layout.bitsOffset = offBits ? int64_t(offBits) : tableEnd;
        const int64_t stride = ((int64_t(bits) * h.width + 31) / 8) & ~int64_t(3);
        layout.bitsBytes = compressed ? int64_t(GetLittle32(info + 20))
                                      : stride * (h.height < 0 ? -int64_t(h.height) : h.height);
        if (length < tableEnd || layout.bitsOffset < 14 + int64_t(infoSize) || layout.bitsBytes <= 0 ||
            length < layout.bitsOffset + layout.bitsBytes)
            return false;
        const int64_t pixels = int64_t(h.width) * h.height; // compressed: bottom-up, positive
        if (compressed && pixels > kRlePixelsAlwaysAccepted && pixels > layout.bitsBytes * kMaxRlePixelsPerByte)
            return false;

        // The colour table: 3- or 4-byte entries, of which at most 256 can be used.
        const int64_t kept = entries < 256 ? entries : 256;
        std::vector<uint8_t> table(size_t(kept) * entryBytes);
        if (!ReadAt(file, tableOffset, table.data(), table.size()))
            return false;
        for (int64_t i = 0; i < kept; ++i) {
            const uint8_t* e = table.data() + i * entryBytes;
            layout.colours.push_back({e[0], e[1], e[2], 0});
        }
        return true;
    } catch (const CFileException&) {
        return false;
    }
}

bool LoadBitmapPixels(const char* path, IPixelTarget& picture)
{
    BitmapFileLayout layout;
    if (!ReadBitmapFileLayout(path, layout) || layout.header.compression == kDibRle8 ||
        layout.header.compression == kDibRle4)
        return false;
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    try {
        std::vector<uint8_t> rows(static_cast<size_t>(layout.bitsBytes));
        if (!ReadAt(file, layout.bitsOffset, rows.data(), rows.size()))
            return false;
        return ConvertDibPixels(layout.header, rows.data(), layout.colours.data(), uint32_t(layout.colours.size()),
                                layout.hasMasks ? layout.masks : nullptr, picture);
    } catch (const CFileException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
