#include "image/Bitmap.h"

#include "framework/File.h"

#include <cstring>

namespace {

// Where one colour channel lies in a 16- or 32-bit pixel.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0; // from the lowest to the highest bit of the mask

    explicit Channel(uint32_t m) : mask(m)
    {
        if (!mask)
            return;
        while (!((mask >> shift) & 1))
            ++shift;
        for (uint32_t rest = mask >> shift; rest; rest >>= 1)
            ++bits;
    }

    // The channel as 8 bits: wider channels keep their top 8 bits, narrower ones repeat
    // their bits so that the largest value becomes 255.
    uint8_t Expand(uint32_t pixel) const
    {
        if (!bits)
            return 0;
        const uint32_t value = (pixel & mask) >> shift;
        if (bits >= 8)
            return static_cast<uint8_t>(value >> (bits - 8));
        uint32_t repeated = 0;
        int have = 0;
        for (; have < 8; have += bits)
            repeated = (repeated << bits) | value;
        return static_cast<uint8_t>(repeated >> (have - 8));
    }
};

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
