// Windows bitmaps (portable): converting the rows of a device-independent bitmap of any
// common depth into a 24-bit picture, and writing a picture as a 24-bit bitmap file.
#pragma once
#include "image/Pixels.h"

#include <cstdint>
#include <vector>

constexpr uint32_t kDibRgb = 0;       // uncompressed rows
constexpr uint32_t kDibRle8 = 1;      // run-length encoded, 8 bits per pixel
constexpr uint32_t kDibRle4 = 2;      // run-length encoded, 4 bits per pixel
constexpr uint32_t kDibBitfields = 3; // 16- or 32-bit pixels with red, green and blue masks

// The fields of a bitmap information header that describe its rows.
struct DibHeader {
    int32_t width = 0;
    int32_t height = 0;        // negative: the rows are stored top-down
    uint16_t bitCount = 0;
    uint32_t compression = kDibRgb;
    uint32_t clrUsed = 0;
};

// A colour-table entry, laid out as in the file.
struct DibColour {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};

// Colour-table entries the header announces: the low 16 bits of clrUsed when not zero,
// else 2 to the power bitCount up to 8 bits, else none.
uint32_t DibColourCount(const DibHeader& header);

// Converts the rows into the picture, recreated at |width| x |height|, bottom row first.
// bits holds |height| uncompressed rows of ((bitCount x width + 31) / 8) & ~3 bytes, top
// row first when the height is negative. 1, 4 and 8 bits look up the colour table
// (colourCount entries; an index beyond it, or a missing table, gives black); 16 bits are
// 5-5-5 and 32 bits blue, green, red, unused, unless the compression is kDibBitfields, when
// masks (red, green, blue) say where the channels lie. Channels of 16-bit pixels and masked
// channels of any width (1 to 32 bits) become 8 bits through ScaleChannelTo8; a mask of no
// bits gives 0, and bits above the channels (alpha) are ignored. Other depths leave the
// picture black. False only when the picture cannot be created.
bool ConvertDibPixels(const DibHeader& header, const void* bits, const DibColour* colours, uint32_t colourCount,
                      const uint32_t* masks, IPixelTarget& picture);

// Writes the picture as a 24-bit bitmap file: a 14-byte file header, a 40-byte information
// header carrying sizeImage, then the rows exactly as held. An existing file is replaced.
// False when the picture is empty or the file cannot be opened or written (a partly written
// file stays on disk).
bool SaveBitmapPixels(const char* path, const PixelImage& picture, uint32_t sizeImage);

// What the headers of a bitmap file announce.
struct BitmapFileLayout {
    DibHeader header;
    uint32_t headerSize = 0;        // of the information header; 12: the old core header
    bool hasMasks = false;
    uint32_t masks[3] = {};         // red, green, blue
    std::vector<DibColour> colours; // the first 256 entries at most: no index reaches further
    int64_t bitsOffset = 0;         // where the rows start in the file
    int64_t bitsBytes = 0;          // their size (run-length data: as the header says)
};

// Run-length data (BI_RLE8, BI_RLE4) too short for the picture it claims. An encoded run
// covers at most 255 pixels with 2 bytes (127.5 pixels a byte; a flat 4096 x 4096 picture
// written by ImageMagick takes 113.8); an end of line finishes a row with 2 bytes, and a
// delta or the end of the bitmap skips any number of pixels, so no exact bound exists.
// Refused: more than kRlePixelsAlwaysAccepted pixels at more than kMaxRlePixelsPerByte pixels a
// byte of biSizeImage, 8 times the densest coding of every pixel. A picture up to 2048 pixels
// wide still passes when each of its rows is nothing but an end of line.
constexpr int64_t kMaxRlePixelsPerByte = 1024;
constexpr int64_t kRlePixelsAlwaysAccepted = int64_t(4) << 20;

// Reads the headers and the colour table of a bitmap file and checks that the file holds all
// they announce: "BM", an information header of a known size, a depth and compression that go
// together, a picture within kMaxPictureBytes, and the masks, the colour table and the rows
// (run-length data: biSizeImage bytes, enough for the picture as above) inside the file. False
// for anything else. The system's bitmap loader is only handed files that pass: it trusts the
// headers.
bool ReadBitmapFileLayout(const char* path, BitmapFileLayout& layout);

// Reads an uncompressed bitmap file, rows stored in either order, under any header
// ReadBitmapFileLayout accepts, into the picture. False when the file does not pass
// ReadBitmapFileLayout, is run-length encoded, or the picture cannot be created.
bool LoadBitmapPixels(const char* path, IPixelTarget& picture);
