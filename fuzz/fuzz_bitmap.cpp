// Bitmaps, two ways in one target:
// - an input starting with "BM" is a bitmap file: ReadBitmapFileLayout (the check every file
//   passes before the system's loader or ours sees it), then LoadBitmapPixels;
// - any other input describes a DIB section as the system's loader hands it to
//   ConvertDibPixels: width, height, depth, compression, colour count, masks and the colour
//   table, then the rows (exactly as many bytes as the section holds; missing ones zero).
#include "fuzz/FuzzSupport.h"
#include "image/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

void LoadFile(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_bitmap");
    const char* path = file.Hold(data, size);
    BitmapFileLayout layout;
    const bool passes = ReadBitmapFileLayout(path, layout);
    if (passes) {
        // What the check promises to the loaders that trust it.
        if (layout.bitsOffset < 14 || layout.bitsBytes <= 0 || layout.bitsOffset + layout.bitsBytes > int64_t(size))
            fuzz::Fail("the rows lie outside the file");
        if (layout.colours.size() > 256)
            fuzz::Fail("more than 256 colours kept");
        if (PictureBytes(layout.header.width, layout.header.height < 0 ? -layout.header.height : layout.header.height) == 0)
            fuzz::Fail("a picture too large or empty passed");
    }
    CMemoryPicture picture;
    if (LoadBitmapPixels(path, picture)) {
        if (!passes)
            fuzz::Fail("a file that fails the check was loaded");
        fuzz::TouchPixels(picture.Pixels());
    }
}

void ConvertSection(const uint8_t* data, size_t size)
{
    fuzz::Bytes in(data, size);
    static const uint16_t kDepths[] = {1, 4, 8, 16, 24, 32, 0, 2, 48};
    DibHeader header;
    // Sizes the system's loader could hand over, kept small: 0 to 511 wide, -256 to 255 high.
    header.width = in.U16() % 512;
    header.height = int32_t(in.U16() % 512) - 256;
    header.bitCount = kDepths[in.U8() % (sizeof kDepths / sizeof kDepths[0])];
    header.compression = in.U8() % 5;
    header.clrUsed = in.U32();
    uint32_t masks[3] = {in.U32(), in.U32(), in.U32()};
    const bool withMasks = in.U8() & 1;
    // The colour table as far as the system gave it: at most what the header announces.
    const uint32_t announced = DibColourCount(header);
    const uint32_t received = std::min<uint32_t>(in.U16() % 300, announced);
    std::vector<DibColour> colours(received);
    for (auto& c : colours)
        c = {in.U8(), in.U8(), in.U8(), in.U8()};

    const int64_t rows = header.height < 0 ? -int64_t(header.height) : header.height;
    const int64_t stride = ((int64_t(header.bitCount) * header.width + 31) / 8) & ~int64_t(3);
    // Sized exactly: the sanitizers see any read past the section's rows.
    std::vector<uint8_t> bits(size_t(stride * rows));
    if (!bits.empty())
        std::memcpy(bits.data(), in.Rest(), std::min(in.Left(), bits.size()));

    CMemoryPicture picture;
    if (ConvertDibPixels(header, bits.empty() ? nullptr : bits.data(), colours.data(), received,
                         withMasks ? masks : nullptr, picture))
        fuzz::TouchPixels(picture.Pixels());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        LoadFile(data, size);
    else
        ConvertSection(data, size);
    return 0;
}
