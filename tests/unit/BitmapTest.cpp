// Bitmap conversion and writing, picture sizes, and the choice of reader by extension.
#include "BitmapCases.h"
#include "image/Bitmap.h"
#include "image/FileKind.h"
#include "image/Pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

std::vector<uint8_t> Unpadded(const PixelImage& image)
{
    std::vector<uint8_t> bytes;
    for (int y = 0; y < image.height; ++y)
        bytes.insert(bytes.end(), image.Row(y), image.Row(y) + 3 * image.width);
    return bytes;
}

bool RowEndsAreZero(const PixelImage& image)
{
    for (int y = 0; y < image.height; ++y)
        for (int i = 3 * image.width; i < image.stride; ++i)
            if (image.Row(y)[i] != 0)
                return false;
    return true;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string TempPath(const char* name)
{
    return ::testing::TempDir() + name;
}

TEST(PixelsTest, StrideAndZeroedRowEndsForWidthsOneToEight)
{
    const int strides[] = {4, 8, 12, 12, 16, 20, 24, 24};
    for (int width = 1; width <= 8; ++width) {
        EXPECT_EQ(StrideFor(width), strides[width - 1]);
        CMemoryPicture picture;
        ASSERT_TRUE(picture.CreatePixels(width, 3));
        const PixelImage image = picture.Pixels();
        for (int i = 0; i < image.stride * image.height; ++i)
            ASSERT_EQ(image.bits[i], 0) << "width " << width << " byte " << i;
    }
}

TEST(PixelsTest, SizesBeyondTheLimitOrNotPositiveAreRefused)
{
    CMemoryPicture picture;
    EXPECT_FALSE(picture.CreatePixels(0, 5));
    EXPECT_FALSE(picture.CreatePixels(5, -1));
    EXPECT_FALSE(picture.CreatePixels(20000, 20000)); // 1.2 GB
    EXPECT_FALSE(picture.CreatePixels(INT32_MAX, 1));
    EXPECT_EQ(picture.Pixels().bits, nullptr);
    EXPECT_EQ(PictureBytes(16384, 21845), int64_t(49152) * 21845); // just inside
    EXPECT_EQ(PictureBytes(16384, 21846), 0);
}

TEST(FileKindTest, TheLastDotOfThePathChoosesTheReader)
{
    EXPECT_EQ(PictureFileKindOf("C:\\pics\\sunset.BMP"), PictureFileKind::bitmap);
    EXPECT_EQ(PictureFileKindOf("C:\\pics\\photo"), PictureFileKind::bitmap);
    EXPECT_EQ(PictureFileKindOf("beach.JPG"), PictureFileKind::jpeg);
    EXPECT_EQ(PictureFileKindOf("beach.Tga"), PictureFileKind::tga);
    EXPECT_EQ(PictureFileKindOf("beach.jpeg"), PictureFileKind::jpeg);
    EXPECT_EQ(PictureFileKindOf("C:\\my.pics\\photo"), PictureFileKind::unknown);
    EXPECT_EQ(PictureFileKindOf("archive.bmp.gz"), PictureFileKind::unknown);
    EXPECT_EQ(PictureFileKindOf("trailing."), PictureFileKind::unknown);
}

TEST(BitmapTest, EveryDepthConvertsToTheExpectedPicture)
{
    for (const BitmapCase& c : BitmapCases()) {
        DibHeader header;
        header.width = c.width;
        header.height = c.height;
        header.bitCount = c.bits;
        header.compression = c.compression;
        header.clrUsed = c.clrUsed;
        std::vector<DibColour> colours;
        for (uint32_t entry : c.table)
            colours.push_back({uint8_t(entry), uint8_t(entry >> 8), uint8_t(entry >> 16), 0});
        const bool masks = c.compression == kDibBitfields;
        CMemoryPicture picture;
        ASSERT_TRUE(ConvertDibPixels(header, c.rows.data(), masks ? nullptr : colours.data(),
                                     masks ? 0 : uint32_t(colours.size()), masks ? c.table.data() : nullptr, picture));
        EXPECT_EQ(Unpadded(picture.Pixels()), c.expected) << c.name;
        EXPECT_TRUE(RowEndsAreZero(picture.Pixels())) << c.name;
    }
}

// A channel of n bits as 8 bits, worked out here in floating point.
uint8_t Nearest(uint64_t value, int bits)
{
    return uint8_t(std::lround(double(value) * 255.0 / double((uint64_t(1) << bits) - 1)));
}

TEST(ChannelScalingTest, EveryValueRoundsToTheNearestLevelAtEveryWidth)
{
    for (int bits = 1; bits <= 16; ++bits)
        for (uint32_t v = 0; v < (1u << bits); ++v)
            ASSERT_EQ(ScaleChannelTo8(v, bits), Nearest(v, bits)) << bits << " bits, value " << v;
    for (int bits = 17; bits <= 32; ++bits) {
        const uint64_t largest = (uint64_t(1) << bits) - 1;
        for (uint64_t v = 0; v <= largest; v += largest / 4099 + 1)
            ASSERT_EQ(ScaleChannelTo8(uint32_t(v), bits), Nearest(v, bits)) << bits << " bits, value " << v;
        // Around every step between two levels, where truncation and rounding part.
        for (int level = 0; level < 255; ++level) {
            const uint64_t step = (2 * uint64_t(level) + 1) * largest / 510;
            for (uint64_t v = step ? step - 1 : 0; v <= step + 1; ++v)
                ASSERT_EQ(ScaleChannelTo8(uint32_t(v), bits), Nearest(v, bits)) << bits << " bits, value " << v;
        }
        EXPECT_EQ(ScaleChannelTo8(uint32_t(largest), bits), 255) << bits;
    }
    EXPECT_EQ(ScaleChannelTo8(0, 0), 0);
    EXPECT_EQ(ScaleChannelTo8(0xFFFFFFFF, 0), 0);
    // Levels worked out by hand: 3 x 255 / 31 = 24.68, 11 x 255 / 63 = 44.52, 3 x 255 / 1023 = 0.75.
    EXPECT_EQ(ScaleChannelTo8(3, 5), 25);
    EXPECT_EQ(ScaleChannelTo8(11, 6), 45);
    EXPECT_EQ(ScaleChannelTo8(3, 10), 1);
    EXPECT_EQ(ScaleChannelTo8(1, 3), 36);
}

// Masks of n bits (1 to 8) for blue and green, none for red: every value of a channel, through
// 16-bit pixels; the default 5-5-5 layout likewise.
TEST(BitmapTest, NarrowMaskedChannelsTakeEveryValueToTheNearestLevel)
{
    for (int bits = 1; bits <= 8; ++bits) {
        const uint32_t largest = (1u << bits) - 1;
        DibHeader header;
        header.width = int32_t(largest + 1);
        header.height = 1;
        header.bitCount = 16;
        header.compression = kDibBitfields;
        const uint32_t masks[3] = {0, largest << bits, largest};
        std::vector<uint8_t> row;
        for (uint32_t v = 0; v <= largest; ++v)
            row.insert(row.end(), {uint8_t(v | (largest - v) << bits), uint8_t((largest - v) >> (8 - bits))});
        row.resize((row.size() + 3) & ~size_t(3), 0);
        CMemoryPicture picture;
        ASSERT_TRUE(ConvertDibPixels(header, row.data(), nullptr, 0, masks, picture));
        const std::vector<uint8_t> got = Unpadded(picture.Pixels());
        for (uint32_t v = 0; v <= largest; ++v) {
            EXPECT_EQ(got[3 * v], Nearest(v, bits)) << bits << " bits, value " << v;
            EXPECT_EQ(got[3 * v + 1], Nearest(largest - v, bits)) << bits << " bits, value " << v;
            EXPECT_EQ(got[3 * v + 2], 0) << bits << " bits, value " << v; // a mask of no bits
        }
    }

    DibHeader header;
    header.width = 32;
    header.height = 1;
    header.bitCount = 16; // uncompressed: 5-5-5, the top bit ignored
    std::vector<uint8_t> row;
    for (uint32_t v = 0; v < 32; ++v) {
        const uint32_t pixel = 0x8000 | (v * 7 % 32) << 10 | (31 - v) << 5 | v;
        row.insert(row.end(), {uint8_t(pixel), uint8_t(pixel >> 8)});
    }
    CMemoryPicture picture;
    ASSERT_TRUE(ConvertDibPixels(header, row.data(), nullptr, 0, nullptr, picture));
    const std::vector<uint8_t> got = Unpadded(picture.Pixels());
    for (uint32_t v = 0; v < 32; ++v) {
        EXPECT_EQ(got[3 * v], Nearest(v, 5)) << v;
        EXPECT_EQ(got[3 * v + 1], Nearest(31 - v, 5)) << v;
        EXPECT_EQ(got[3 * v + 2], Nearest(v * 7 % 32, 5)) << v;
    }
}

// Masks of 9 to 32 bits in 32-bit pixels, at the top, the bottom and the middle of the pixel;
// the bits outside the masks (alpha) change nothing.
TEST(BitmapTest, WideMaskedChannelsScaleDownWithTheSameRounding)
{
    for (int bits = 9; bits <= 32; ++bits) {
        const uint64_t largest = (uint64_t(1) << bits) - 1;
        std::vector<uint32_t> values = {0, 1, 2, 3, uint32_t(largest / 2), uint32_t(largest / 2 + 1),
                                        uint32_t(largest - 1), uint32_t(largest)};
        for (uint64_t v = 5; v < largest; v = v * 3 + 1)
            values.push_back(uint32_t(v));
        for (int shift : {0, 32 - bits, (32 - bits) / 2}) {
            const uint32_t mask = uint32_t(largest << shift);
            DibHeader header;
            header.width = int32_t(values.size());
            header.height = 1;
            header.bitCount = 32;
            header.compression = kDibBitfields;
            const uint32_t masks[3] = {mask, 0, mask}; // red and blue alike, green of no bits
            std::vector<uint8_t> row;
            for (uint32_t v : values) {
                const uint32_t pixel = uint32_t(uint64_t(v) << shift) | ~mask;
                row.insert(row.end(), {uint8_t(pixel), uint8_t(pixel >> 8), uint8_t(pixel >> 16), uint8_t(pixel >> 24)});
            }
            CMemoryPicture picture;
            ASSERT_TRUE(ConvertDibPixels(header, row.data(), nullptr, 0, masks, picture));
            const std::vector<uint8_t> got = Unpadded(picture.Pixels());
            for (size_t i = 0; i < values.size(); ++i) {
                const std::string what = std::to_string(bits) + " bits from bit " + std::to_string(shift) + ", value " +
                                         std::to_string(values[i]);
                EXPECT_EQ(got[3 * i], Nearest(values[i], bits)) << what;
                EXPECT_EQ(got[3 * i + 1], 0) << what;
                EXPECT_EQ(got[3 * i + 2], Nearest(values[i], bits)) << what;
            }
        }
    }
}

TEST(BitmapTest, MaskedChannelsGiveTheHandWorkedLevels)
{
    DibHeader header;
    header.width = 4;
    header.height = 1;
    header.bitCount = 16;
    header.compression = kDibBitfields;
    const uint32_t masks565[3] = {0xF800, 0x07E0, 0x001F};
    // Green 1 and 32 of 63, red 1 of 31 with blue 16 of 31, then red 3, green 11, blue 24
    // (where repeating the bits, as once done here, gave 24, 44 and 198).
    const uint8_t row565[8] = {0x20, 0x00, 0x00, 0x04, 0x10, 0x08, 0x78, 0x19};
    CMemoryPicture picture;
    ASSERT_TRUE(ConvertDibPixels(header, row565, nullptr, 0, masks565, picture));
    EXPECT_EQ(Unpadded(picture.Pixels()), (std::vector<uint8_t> {0, 4, 0, 0, 130, 0, 132, 0, 8, 197, 45, 25}));

    header.width = 2;
    header.bitCount = 32;
    const uint32_t masks10[3] = {0x3FF00000, 0x000FFC00, 0x000003FF}; // 10 bits a channel
    // Blue 1023 with red 512, then green 3 (which keeping the top 8 bits made 0); alpha set.
    const uint8_t row10[8] = {0xFF, 0x03, 0x00, 0xE0, 0x00, 0x0C, 0x00, 0xC0};
    ASSERT_TRUE(ConvertDibPixels(header, row10, nullptr, 0, masks10, picture));
    EXPECT_EQ(Unpadded(picture.Pixels()), (std::vector<uint8_t> {255, 0, 128, 0, 1, 0}));
}

TEST(BitmapTest, MissingColoursAndUnknownDepthsGiveBlackAndAbsurdSizesFail)
{
    DibHeader header;
    header.width = 3;
    header.height = 1;
    header.bitCount = 8;
    const uint8_t row[8] = {0, 1, 255, 0, 0xAA, 0xBB, 0xCC, 0xDD};
    CMemoryPicture picture;
    ASSERT_TRUE(ConvertDibPixels(header, row, nullptr, 0, nullptr, picture)); // no colour table
    EXPECT_EQ(Unpadded(picture.Pixels()), std::vector<uint8_t>(9, 0));

    header.bitCount = 2; // no such layout here: black, as the loader accepted it
    ASSERT_TRUE(ConvertDibPixels(header, row, nullptr, 0, nullptr, picture));
    EXPECT_EQ(Unpadded(picture.Pixels()), std::vector<uint8_t>(9, 0));

    header.height = INT32_MIN;
    EXPECT_FALSE(ConvertDibPixels(header, row, nullptr, 0, nullptr, picture));
    header.height = 1;
    header.width = -3;
    EXPECT_FALSE(ConvertDibPixels(header, row, nullptr, 0, nullptr, picture));
    header.width = 100000;
    header.height = 100000;
    EXPECT_FALSE(ConvertDibPixels(header, row, nullptr, 0, nullptr, picture));
}

TEST(BitmapFileTest, EveryCaseReadsFromAFileInEitherRowOrder)
{
    const std::string path = TempPath("murlavo-case.bmp");
    for (const BitmapCase& c : BitmapCases()) {
        std::ofstream(path, std::ios::binary) << BitmapFileBytes(c);
        CMemoryPicture picture;
        ASSERT_TRUE(LoadBitmapPixels(path.c_str(), picture)) << c.name;
        EXPECT_EQ(Unpadded(picture.Pixels()), c.expected) << c.name;
    }

    // The old 12-byte core header with 3-byte colours: 2 x 1 pixels of 1 bit.
    std::string core = "BM";
    PutLittle(core, 14 + 12 + 6 + 4, 4);
    PutLittle(core, 0, 4);
    PutLittle(core, 14 + 12 + 6, 4);
    for (uint32_t v : {12u, 2u, 1u, 1u, 1u})
        PutLittle(core, v, v == 12 ? 4 : 2);
    core += std::string("\x01\x02\x03\x04\x05\x06", 6); // (blue, green, red) of colours 0 and 1
    core += std::string("\x40\x00\x00\x00", 4);           // pixels 0 and 1
    std::ofstream(path, std::ios::binary) << core;
    CMemoryPicture picture;
    ASSERT_TRUE(LoadBitmapPixels(path.c_str(), picture));
    EXPECT_EQ(Unpadded(picture.Pixels()), (std::vector<uint8_t> {1, 2, 3, 4, 5, 6}));
    std::remove(path.c_str());
}

TEST(BitmapFileTest, EveryHeaderSizeWithEveryDepthItTakesReadsExactly)
{
    const std::string path = TempPath("murlavo-header.bmp");
    int files = 0;
    for (uint32_t size : BitmapHeaderSizes())
        for (const BitmapCase& c : BitmapCases())
            for (uint32_t gap : {0u, 6u}) { // rows right after the table, or where bfOffBits says
                if (!FitsHeader(c, size))
                    continue;
                std::ofstream(path, std::ios::binary) << BitmapFileBytes(c, size, gap);
                BitmapFileLayout layout;
                ASSERT_TRUE(ReadBitmapFileLayout(path.c_str(), layout)) << c.name << ", header " << size;
                EXPECT_EQ(layout.headerSize, size);
                EXPECT_EQ(layout.hasMasks, c.compression == kDibBitfields) << c.name << ", header " << size;
                CMemoryPicture picture;
                ASSERT_TRUE(LoadBitmapPixels(path.c_str(), picture)) << c.name << ", header " << size;
                EXPECT_EQ(Unpadded(picture.Pixels()), c.expected) << c.name << ", header " << size << ", gap " << gap;
                ++files;
            }
    EXPECT_EQ(files, 2 * (5 * 10 + 4)); // the core header takes 4 of the 10 cases
    std::remove(path.c_str());
}

// The libjpeg-turbo source package's bitmaps (24 bits, 40-byte header), and the same pictures
// stored under every other header and as 32 bits with and without masks.
TEST(BitmapFileTest, BitmapsOtherPeopleMadeReadAsTheirRowsUnderEveryHeader)
{
#ifdef MURLAVO_TEST_IMAGES
    const std::string folder = MURLAVO_TEST_IMAGES;
    const std::string path = TempPath("murlavo-restored.bmp");
    int read = 0;
    for (const char* name : {"nightshot_iso_100.bmp", "vgl_5674_0098.bmp", "vgl_6434_0018a.bmp", "vgl_6548_0026a.bmp"}) {
        const std::string file = ReadFile(folder + "/" + name);
        if (file.empty())
            continue;
        CMemoryPicture picture;
        ASSERT_TRUE(LoadBitmapPixels((folder + "/" + name).c_str(), picture)) << name;
        BitmapCase c {name, picture.Pixels().width, picture.Pixels().height, 24, 0, 0, {}, {}, {}};
        const size_t stride = (size_t(c.width) * 3 + 3) & ~size_t(3);
        ASSERT_EQ(file.size(), 54 + stride * size_t(c.height)) << name;
        c.rows.assign(file.begin() + 54, file.end());
        for (int y = 0; y < c.height; ++y)
            c.expected.insert(c.expected.end(), c.rows.begin() + y * stride, c.rows.begin() + y * stride + 3 * c.width);
        EXPECT_EQ(Unpadded(picture.Pixels()), c.expected) << name;

        BitmapCase wide = c; // 32 bits: blue, green, red, then a byte the reader skips
        wide.bits = 32;
        wide.rows.clear();
        for (size_t i = 0; i < c.expected.size(); i += 3)
            wide.rows.insert(wide.rows.end(), {c.expected[i], c.expected[i + 1], c.expected[i + 2], 0x5A});
        BitmapCase masked = wide; // the same with red and blue swapped through the masks
        masked.compression = kDibBitfields;
        masked.table = {0x0000FF, 0x00FF00, 0xFF0000};
        for (size_t i = 0; i < masked.expected.size(); i += 3)
            std::swap(masked.expected[i], masked.expected[i + 2]);
        for (uint32_t size : BitmapHeaderSizes())
            for (const BitmapCase* variant : {&c, &wide, &masked}) {
                if (!FitsHeader(*variant, size))
                    continue;
                std::ofstream(path, std::ios::binary) << BitmapFileBytes(*variant, size);
                ASSERT_TRUE(LoadBitmapPixels(path.c_str(), picture)) << name << ", header " << size;
                EXPECT_EQ(Unpadded(picture.Pixels()), variant->expected)
                    << name << ", header " << size << ", " << variant->bits << " bits " << variant->compression;
            }
        ++read;
    }
    std::remove(path.c_str());
    if (read == 0)
        GTEST_SKIP() << "the libjpeg-turbo test pictures are not there";
#else
    GTEST_SKIP() << "no test pictures configured";
#endif
}

TEST(BitmapFileTest, RunLengthDataTooShortForItsSizeIsRefused)
{
    const std::string path = TempPath("murlavo-rle.bmp");
    auto passes = [&path](const BitmapCase& c) {
        std::ofstream(path, std::ios::binary) << BitmapFileBytes(c);
        BitmapFileLayout layout;
        return ReadBitmapFileLayout(path.c_str(), layout);
    };
    const std::vector<uint8_t> endOfBitmap = {0, 1};
    // Two bytes claiming 16 megapixels, in either depth.
    EXPECT_FALSE(passes(RunLength(kDibRle8, 4096, 4096, endOfBitmap)));
    EXPECT_FALSE(passes(RunLength(kDibRle4, 4096, 4096, endOfBitmap)));
    EXPECT_FALSE(passes(RunLength(kDibRle8, 30000, 10000, std::vector<uint8_t>(1000, 0))));
    // Up to kRlePixelsAlwaysAccepted anything goes.
    EXPECT_TRUE(passes(RunLength(kDibRle8, 2048, 2048, endOfBitmap)));
    EXPECT_TRUE(passes(RunLength(kDibRle4, 1, 4 << 20, endOfBitmap)));

    // Every pixel in runs of 255 (the densest coding), each row ended: about 114 pixels a byte.
    std::vector<uint8_t> flat;
    for (int y = 0; y < 4096; ++y) {
        for (int x = 0; x < 4096; x += 255)
            flat.insert(flat.end(), {uint8_t(std::min(255, 4096 - x)), 1});
        flat.insert(flat.end(), {0, 0});
    }
    flat.insert(flat.end(), {0, 1});
    EXPECT_TRUE(passes(RunLength(kDibRle8, 4096, 4096, flat)));
    EXPECT_TRUE(passes(RunLength(kDibRle4, 4096, 4096, flat)));
    // Rows that are nothing but an end of line pass up to 2048 pixels wide.
    std::vector<uint8_t> emptyRows(2 * 4096, 0);
    emptyRows.insert(emptyRows.end(), {0, 1});
    EXPECT_TRUE(passes(RunLength(kDibRle8, 2048, 4096, emptyRows)));
    EXPECT_FALSE(passes(RunLength(kDibRle8, 2049, 4096, emptyRows)));
    std::remove(path.c_str());
}

TEST(BitmapFileTest, HeadersThatLieAreRejectedBeforeAnyRowIsRead)
{
    const std::string path = TempPath("murlavo-hostile.bmp");
    int n = 0;
    for (const std::string& bytes : HostileBitmapFiles()) {
        std::ofstream(path, std::ios::binary) << bytes;
        BitmapFileLayout layout;
        EXPECT_FALSE(ReadBitmapFileLayout(path.c_str(), layout)) << "file " << n;
        CMemoryPicture picture;
        EXPECT_FALSE(LoadBitmapPixels(path.c_str(), picture)) << "file " << n++;
    }
    EXPECT_FALSE(LoadBitmapPixels(TempPath("murlavo-missing.bmp").c_str(), *std::make_unique<CMemoryPicture>()));
    std::remove(path.c_str());
}

TEST(BitmapTest, FivePixelRowSavesAsSeventyBytesAndReplacesAnOlderFile)
{
    const std::string path = TempPath("murlavo-five.bmp");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(500, 'x');
    }
    CMemoryPicture picture;
    ASSERT_TRUE(picture.CreatePixels(5, 1));
    for (int i = 0; i < 15; ++i)
        picture.Pixels().bits[i] = uint8_t(i + 1);
    ASSERT_TRUE(SaveBitmapPixels(path.c_str(), picture.Pixels(), 16));

    const std::string file = ReadFile(path);
    ASSERT_EQ(file.size(), 70u);
    const uint8_t headers[54] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, // file header
                                 40, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(file.data(), headers, 54), 0);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(uint8_t(file[54 + i]), i + 1);
    EXPECT_EQ(file[69], 0); // the row's padding byte
    std::remove(path.c_str());
}

TEST(BitmapTest, SavingFailsForAnEmptyPictureOrAnUnwritablePath)
{
    const std::string path = TempPath("murlavo-empty.bmp");
    std::remove(path.c_str());
    EXPECT_FALSE(SaveBitmapPixels(path.c_str(), PixelImage {}, 0));
    EXPECT_TRUE(ReadFile(path).empty());
    CMemoryPicture picture;
    ASSERT_TRUE(picture.CreatePixels(2, 2));
    EXPECT_FALSE(SaveBitmapPixels(TempPath("no-such-folder/x.bmp").c_str(), picture.Pixels(), 0));
}

} // namespace
