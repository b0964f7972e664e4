#include "image/TgaFile.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <string>

namespace {

using Bytes = std::vector<uint8_t>;
using Bgr = std::array<uint8_t, 3>;

void Put16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void PutText(Bytes& b, const char* text, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        b.push_back(i < strlen(text) ? uint8_t(text[i]) : 0);
}

Bytes Header(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor = 0, const char* id = "")
{
    Bytes b {uint8_t(strlen(id)), 0, type, 0, 0, 0, 0, 0};
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, width);
    Put16(b, height);
    b.push_back(depth);
    b.push_back(descriptor);
    PutText(b, id, strlen(id));
    return b;
}

void PutPixel(Bytes& b, Bgr p)
{
    b.insert(b.end(), p.begin(), p.end());
}

void PutFooter(Bytes& b, uint32_t extension, uint32_t developer)
{
    Put32(b, extension);
    Put32(b, developer);
    PutText(b, "TRUEVISION-XFILE.", 18);
}

Bgr Colour(int i)
{
    return {uint8_t(10 + i), uint8_t(100 + i), uint8_t(200 - i)};
}

// A 5-bit channel as 8 bits, worked out here in floating point.
uint8_t Level5(int v)
{
    return uint8_t(std::lround(v * 255.0 / 31));
}

// A 16-bit pixel or map entry of blue, green, red 5-bit values; the top bit is set when asked.
void PutFive(Bytes& b, int blue, int green, int red, bool top = false)
{
    Put16(b, uint32_t(blue | green << 5 | red << 10 | (top ? 0x8000 : 0)));
}

// The header of a colour-mapped file (types 1 and 9), its map of length entries starting at
// index first still to follow.
Bytes MappedHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t indexDepth, uint16_t first, uint16_t length,
                   uint8_t entrySize, uint8_t descriptor = 0)
{
    Bytes b = Header(type, width, height, indexDepth, descriptor);
    b[1] = 1;
    b[3] = uint8_t(first);
    b[4] = uint8_t(first >> 8);
    b[5] = uint8_t(length);
    b[6] = uint8_t(length >> 8);
    b[7] = entrySize;
    return b;
}

// Every kind of pixel the reader decodes, with four samples (0 to 3) each: how a file of the
// kind starts (header and colour map; run-length types are the uncompressed type + 8), how a
// sample is stored and what it reads as.
struct Kind {
    const char* name;
    uint8_t type;
    Bytes (*start)(uint8_t type, uint16_t width, uint16_t height, uint8_t descriptor);
    Bytes (*stored)(int sample);
    Bgr (*read)(int sample);
};

const Kind kKinds[] = {
    {"24-bit", 2, [](uint8_t t, uint16_t w, uint16_t h, uint8_t d) { return Header(t, w, h, 24, d); },
     [](int k) { Bytes b; PutPixel(b, Colour(k)); return b; }, [](int k) { return Colour(k); }},
    {"32-bit", 2, [](uint8_t t, uint16_t w, uint16_t h, uint8_t d) { return Header(t, w, h, 32, d); },
     [](int k) { Bytes b; PutPixel(b, Colour(k)); b.push_back(0x11); return b; }, [](int k) { return Colour(k); }},
    {"15-bit", 2, [](uint8_t t, uint16_t w, uint16_t h, uint8_t d) { return Header(t, w, h, 15, d); },
     [](int k) { Bytes b; PutFive(b, 3 + k, 7 * k, 31 - k); return b; },
     [](int k) { return Bgr {Level5(3 + k), Level5(7 * k), Level5(31 - k)}; }},
    {"16-bit", 2, [](uint8_t t, uint16_t w, uint16_t h, uint8_t d) { return Header(t, w, h, 16, d); },
     [](int k) { Bytes b; PutFive(b, 20 - k, 9 * k, 2 * k, true); return b; },
     [](int k) { return Bgr {Level5(20 - k), Level5(9 * k), Level5(2 * k)}; }},
    {"grey", 3, [](uint8_t t, uint16_t w, uint16_t h, uint8_t d) { return Header(t, w, h, 8, d); },
     [](int k) { return Bytes {uint8_t(80 * k + 7)}; },
     [](int k) { return Bgr {uint8_t(80 * k + 7), uint8_t(80 * k + 7), uint8_t(80 * k + 7)}; }},
    {"8-bit index, 24-bit map from 2", 1,
     [](uint8_t t, uint16_t w, uint16_t h, uint8_t d) {
         Bytes b = MappedHeader(t, w, h, 8, 2, 4, 24, d);
         for (int k = 0; k < 4; ++k)
             PutPixel(b, Colour(20 + k));
         return b;
     },
     [](int k) { return Bytes {uint8_t(2 + k)}; }, [](int k) { return Colour(20 + k); }},
    {"16-bit index, 15-bit map from 258", 1,
     [](uint8_t t, uint16_t w, uint16_t h, uint8_t d) {
         Bytes b = MappedHeader(t, w, h, 16, 258, 4, 15, d);
         for (int k = 0; k < 4; ++k)
             PutFive(b, 30 - 5 * k, 1 + k, 4 * k);
         return b;
     },
     [](int k) { return Bytes {uint8_t(2 + k), 1}; },
     [](int k) { return Bgr {Level5(30 - 5 * k), Level5(1 + k), Level5(4 * k)}; }},
};

class TgaTest : public ::testing::Test {
protected:
    // Writes the file and loads it, keeping what went to standard output in output.
    bool Load(const Bytes& file)
    {
        WriteWholeFile(Path(), file);
        StdoutCapture capture(scratch.Path("stdout.txt"));
        const bool loaded = LoadTgaFile(Path().c_str(), picture);
        output = capture.Finish();
        return loaded;
    }
    std::string Path() const { return scratch.Path("picture.tga"); }

    ScratchFolder scratch;
    MemoryPicture picture;
    std::string output;
};

TEST_F(TgaTest, Uncompressed24BitRowsLandBottomUpWithZeroPadding)
{
    Bytes file = Header(2, 3, 2, 24);
    for (int i = 0; i < 6; ++i)
        PutPixel(file, Colour(i));
    ASSERT_TRUE(Load(file));
    ASSERT_EQ(picture.width, 3);
    ASSERT_EQ(picture.height, 2);
    EXPECT_EQ(picture.stride, 12);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(picture.Pixel(i % 3, i / 3), Colour(i)) << i; // first file row = bottom row
    EXPECT_TRUE(picture.RowEndsZero());
    EXPECT_EQ(output, ""); // an old-style file of the right size says nothing
}

TEST_F(TgaTest, RunCoveringTheEndOfARowContinuesOnTheNextRow)
{
    Bytes file = Header(10, 100, 2, 24);
    file.push_back(0x80 | 127); // 128 x colour 1
    PutPixel(file, Colour(1));
    file.push_back(71); // 72 raw pixels
    for (int i = 0; i < 72; ++i)
        PutPixel(file, Colour(i + 2));
    ASSERT_TRUE(Load(file));
    for (int x = 0; x < 100; ++x)
        ASSERT_EQ(picture.Pixel(x, 0), Colour(1)) << x;
    for (int x = 0; x < 28; ++x)
        ASSERT_EQ(picture.Pixel(x, 1), Colour(1)) << x;
    for (int x = 28; x < 100; ++x)
        ASSERT_EQ(picture.Pixel(x, 1), Colour(x - 26)) << x;
}

TEST_F(TgaTest, RawPacketStraddlingTwoRowsContinuesOnTheNextRow)
{
    Bytes file = Header(10, 3, 2, 24);
    file.push_back(4); // 5 raw pixels
    for (int i = 0; i < 5; ++i)
        PutPixel(file, Colour(i));
    file.push_back(0x80); // a run of one
    PutPixel(file, Colour(5));
    ASSERT_TRUE(Load(file));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(picture.Pixel(i % 3, i / 3), Colour(i)) << i;
    EXPECT_TRUE(picture.RowEndsZero());
}

TEST_F(TgaTest, ThirtyTwoBitDropsTheAttributeByte)
{
    Bytes raw = Header(2, 2, 1, 32);
    Bytes rle = Header(10, 2, 1, 32);
    rle.push_back(0x81);
    for (Bytes* file : {&raw, &rle}) {
        for (int i = 0; i < (file == &raw ? 2 : 1); ++i) {
            PutPixel(*file, Colour(i));
            file->push_back(0xEE);
        }
        ASSERT_TRUE(Load(*file));
        EXPECT_EQ(picture.Pixel(0, 0), Colour(0));
        EXPECT_EQ(picture.Pixel(1, 0), file == &raw ? Colour(1) : Colour(0));
        EXPECT_TRUE(picture.RowEndsZero());
    }
}

TEST_F(TgaTest, UndecodableDepthsTypesAndMapsFailWithoutAPicture)
{
    picture.CreatePixels(1, 1);
    picture.bytes[0] = 0x5A;
    auto padded = [](Bytes file) {
        file.resize(file.size() + 64, 0x11);
        return file;
    };
    const Bytes files[] = {
        padded(Header(2, 2, 2, 8)),                  // true colour of 8 bits
        padded(Header(10, 2, 2, 12)),                // or 12
        padded(Header(3, 2, 2, 16)),                 // grey with attribute byte
        padded(Header(11, 2, 2, 24)),                // grey of 24 bits
        padded(Header(1, 2, 2, 8)),                  // colour-mapped without a map
        padded(MappedHeader(1, 2, 2, 8, 0, 0, 24)),  // a map of no entries
        padded(MappedHeader(9, 2, 2, 8, 0, 2, 8)),   // entries of 8 bits
        padded(MappedHeader(1, 2, 2, 24, 0, 2, 24)), // 24-bit indexes
        padded(MappedHeader(1, 2, 2, 4, 0, 2, 24)),  // 4-bit indexes
        padded(Header(0, 2, 2, 24)),                 // no image data
        padded(Header(32, 2, 2, 24)),                // Huffman-coded kinds
    };
    for (const Bytes& file : files) {
        EXPECT_FALSE(Load(file)) << int(file[2]) << " " << int(file[16]);
        EXPECT_EQ(picture.creations, 1); // untouched
        EXPECT_EQ(picture.bytes[0], 0x5A);
    }
    // A map present beside true-colour pixels is skipped.
    Bytes skipped = MappedHeader(2, 1, 1, 24, 0, 2, 16);
    skipped[2] = 2;
    PutFive(skipped, 31, 31, 31);
    PutFive(skipped, 31, 31, 31);
    PutPixel(skipped, Colour(3));
    ASSERT_TRUE(Load(skipped));
    EXPECT_EQ(picture.Pixel(0, 0), Colour(3));
    // Whole bytes an entry, however odd its size: 3 entries of 12 bits take 6 bytes.
    Bytes odd = MappedHeader(10, 1, 1, 24, 0, 3, 12);
    odd.resize(odd.size() + 6, 0x99);
    odd.push_back(0x80);
    PutPixel(odd, Colour(4));
    ASSERT_TRUE(Load(odd));
    EXPECT_EQ(picture.Pixel(0, 0), Colour(4));
}

TEST_F(TgaTest, FifteenAndSixteenBitPixelsRoundEachChannelAndIgnoreTheTopBit)
{
    // White, the top bit alone, (red 15, green 16, blue 1), green with the top bit, then red.
    const Bgr expected[] = {{255, 255, 255}, {0, 0, 0}, {8, 132, 123}, {0, 255, 0}, {0, 0, 255}};
    const uint16_t stored[] = {0x7FFF, 0x8000, 0x3E01, 0x83E0, 0x7C00};
    for (uint8_t depth : {15, 16}) {
        for (uint8_t type : {2, 10}) {
            Bytes file = Header(type, 5, 1, depth);
            if (type == 10)
                file.push_back(3); // four raw pixels, then a run of one
            for (int i = 0; i < 5; ++i) {
                if (type == 10 && i == 4)
                    file.push_back(0x80);
                Put16(file, stored[i]);
            }
            ASSERT_TRUE(Load(file)) << int(depth) << " type " << int(type);
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(picture.Pixel(x, 0), expected[x]) << int(depth) << " type " << int(type) << " x " << x;
            EXPECT_TRUE(picture.RowEndsZero());
        }
    }
}

TEST_F(TgaTest, EveryFiveBitLevelScalesToTheNearestEightBitLevel)
{
    Bytes file = Header(2, 32, 1, 16);
    for (int v = 0; v < 32; ++v)
        PutFive(file, v, 31 - v, (v * 7) % 32);
    ASSERT_TRUE(Load(file));
    for (int v = 0; v < 32; ++v)
        EXPECT_EQ(picture.Pixel(v, 0), (Bgr {Level5(v), Level5(31 - v), Level5((v * 7) % 32)})) << v;
    // Spot checks of the rounding, worked out by hand: 3 x 255 / 31 = 24.68, 24 x 255 / 31 = 197.4.
    EXPECT_EQ(Level5(3), 25);
    EXPECT_EQ(Level5(24), 197);
}

TEST_F(TgaTest, GreyscaleBytesBecomeThreeEqualChannels)
{
    const uint8_t levels[] = {0, 1, 200, 200, 200, 255};
    for (uint8_t type : {3, 11}) {
        Bytes file = Header(type, 3, 2, 8);
        if (type == 11)
            file.insert(file.end(), {1, 0, 1, 0x82, 200, 0, 255}); // raw 2, run 3 across the row end, raw 1
        else
            file.insert(file.end(), std::begin(levels), std::end(levels));
        ASSERT_TRUE(Load(file)) << int(type);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(picture.Pixel(i % 3, i / 3), (Bgr {levels[i], levels[i], levels[i]})) << int(type) << " " << i;
        EXPECT_TRUE(picture.RowEndsZero());
    }
}

TEST_F(TgaTest, ColourMapsOfEveryEntrySizeStartAtTheirFirstIndexAndOtherIndexesAreBlack)
{
    // Map entries 5, 6 and 7; indexes 4 and 8 lie outside the map.
    const Bgr black {0, 0, 0};
    for (uint8_t entrySize : {15, 16, 24, 32}) {
        Bytes map;
        Bgr colours[3];
        for (int i = 0; i < 3; ++i) {
            if (entrySize <= 16) {
                PutFive(map, i + 1, 10 + i, 31 - i, entrySize == 16);
                colours[i] = {Level5(i + 1), Level5(10 + i), Level5(31 - i)};
            } else {
                colours[i] = Colour(30 * i);
                PutPixel(map, colours[i]);
                if (entrySize == 32)
                    map.push_back(0x77);
            }
        }
        for (uint8_t type : {1, 9}) {
            Bytes file = MappedHeader(type, 3, 2, 8, 5, 3, entrySize);
            file.insert(file.end(), map.begin(), map.end());
            if (type == 9)
                file.insert(file.end(), {1, 5, 6, 0x81, 7, 1, 4, 8}); // raw 2, run 2 across the row end, raw 2
            else
                file.insert(file.end(), {5, 6, 7, 7, 4, 8});
            ASSERT_TRUE(Load(file)) << int(entrySize) << " type " << int(type);
            const Bgr expected[] = {colours[0], colours[1], colours[2], colours[2], black, black};
            for (int i = 0; i < 6; ++i)
                EXPECT_EQ(picture.Pixel(i % 3, i / 3), expected[i])
                    << int(entrySize) << " type " << int(type) << " pixel " << i;
        }
    }
}

TEST_F(TgaTest, SixteenBitIndexesUseBothBytes)
{
    for (uint8_t type : {1, 9}) {
        Bytes file = MappedHeader(type, 4, 1, 16, 300, 2, 24);
        PutPixel(file, Colour(1));
        PutPixel(file, Colour(2));
        if (type == 9)
            file.push_back(3);
        for (uint32_t index : {301, 300, 300 & 0xFF, 302})
            Put16(file, index);
        ASSERT_TRUE(Load(file)) << int(type);
        EXPECT_EQ(picture.Pixel(0, 0), Colour(2));
        EXPECT_EQ(picture.Pixel(1, 0), Colour(1));
        EXPECT_EQ(picture.Pixel(2, 0), (Bgr {0, 0, 0})); // the low byte alone is outside the map
        EXPECT_EQ(picture.Pixel(3, 0), (Bgr {0, 0, 0}));
    }
}

TEST_F(TgaTest, ColourMapsLargerThanTheFileAreRefusedBeforeAnyPicture)
{
    // 65535 entries of 4 bytes announced by a file of a few hundred bytes.
    Bytes file = MappedHeader(1, 2, 2, 8, 0, 65535, 32);
    file.resize(file.size() + 300, 0);
    PutFooter(file, 0, 0);
    EXPECT_FALSE(Load(file));
    // A map that fits, with the pixels missing: still no picture.
    Bytes noPixels = MappedHeader(9, 2, 2, 8, 0, 2, 24);
    noPixels.resize(noPixels.size() + 6, 0x40);
    EXPECT_FALSE(Load(noPixels));
    EXPECT_EQ(picture.creations, 0);

    // Read directly with a header whose map runs past the end of the file.
    noPixels.resize(noPixels.size() - 1);
    WriteWholeFile(Path(), noPixels);
    TgaHeader header;
    StdoutCapture capture(scratch.Path("stdout.txt"));
    ASSERT_EQ(ReadTgaHeader(Path().c_str(), header), 1);
    capture.Finish();
    ASSERT_TRUE(picture.CreatePixels(2, 2));
    EXPECT_FALSE(ReadTgaPixels(Path().c_str(), header, picture.Pixels()));
}

// Found by fuzzing: a 29-byte colour-mapped file claiming 24-bit pixels at 4096 x 43203 had
// a 530 MB picture made before the type was refused. No picture is made for such a type.
TEST_F(TgaTest, UndecodableTypeClaimingAHugePictureMakesNone)
{
    const Bytes file = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0x5f, 0x40, 0x00, 0x10, 0xc3,
                        0xa8, 0x18, 0x00, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05};
    picture.CreatePixels(1, 1);
    EXPECT_FALSE(Load(file));
    EXPECT_EQ(picture.creations, 1);
    EXPECT_EQ(picture.width, 1);
    for (uint8_t type : {0, 1, 3, 9, 11}) { // none, colour-mapped, grey, their run-length forms
        Bytes claims = Header(type, 4096, 4096, 24);
        claims.resize(claims.size() + 64, 0x05);
        EXPECT_FALSE(Load(claims)) << int(type);
    }
    EXPECT_EQ(picture.creations, 1);
}

TEST_F(TgaTest, SizeMismatchIsReportedForOldStyleFilesOnly)
{
    Bytes file = Header(2, 2, 2, 24);
    for (int i = 0; i < 4; ++i)
        PutPixel(file, Colour(i));
    file.resize(file.size() + 26, 0); // 26 bytes too many, but no signature
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(output, "Image File Format Error\n  Uncompressed File Size Should Be 30 Bytes\n");
    EXPECT_EQ(picture.Pixel(1, 1), Colour(3));

    file.resize(file.size() - 26);
    PutFooter(file, 0, 0);
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(output, "");
}

TEST_F(TgaTest, FileShorterThanTheFooterSaysSoAndLoads)
{
    Bytes file = Header(2, 1, 1, 24);
    PutPixel(file, Colour(7));
    ASSERT_EQ(file.size(), 21u);
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(output, "Error seeking to end of file for possible extension data\n");
    EXPECT_EQ(picture.Pixel(0, 0), Colour(7));
}

// A TGA 2.0 file: id, pixels, extension area with its three tables, developer area, footer.
Bytes Tga2File()
{
    Bytes file = Header(2, 2, 2, 24, 0, "hello");
    for (int i = 0; i < 4; ++i)
        PutPixel(file, Colour(i));
    const uint32_t extension = uint32_t(file.size());
    const uint32_t stamp = extension + 495, scanLines = stamp + 2, correction = scanLines + 8;
    const uint32_t developer = correction + 2048;
    Put16(file, 495);
    PutText(file, "Ann Author", 41);
    for (const char* line : {"first", "second", "", "fourth"})
        PutText(file, line, 81);
    for (uint32_t v : {12, 31, 1999, 23, 59, 58})
        Put16(file, v);
    PutText(file, "job", 41);
    for (uint32_t v : {1, 2, 3})
        Put16(file, v);
    PutText(file, "painter", 41);
    Put16(file, 410);
    file.push_back('b');
    Put32(file, 0xFF102030);
    for (uint32_t v : {1, 1, 22, 10})
        Put16(file, v);
    Put32(file, correction);
    Put32(file, stamp);
    Put32(file, scanLines);
    file.push_back(2);
    EXPECT_EQ(file.size(), stamp);
    file.push_back(64);
    file.push_back(48);
    Put32(file, 18 + 5);
    Put32(file, 18 + 5 + 6);
    for (uint32_t i = 0; i < 1024; ++i)
        Put16(file, i * 3);
    EXPECT_EQ(file.size(), developer);
    Put16(file, 3); // tag count; the tags themselves are never read
    PutFooter(file, extension, developer);
    return file;
}

TEST_F(TgaTest, Tga2FileWithExtensionAreaAndDeveloperArea)
{
    const Bytes file = Tga2File();
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(output, "Developer Area Specified:\n");
    EXPECT_EQ(picture.Pixel(0, 1), Colour(2));

    TgaHeader header;
    StdoutCapture capture(scratch.Path("stdout.txt"));
    ASSERT_EQ(ReadTgaHeader(Path().c_str(), header), 1);
    capture.Finish();
    EXPECT_STREQ(header.imageId, "hello");
    EXPECT_EQ(header.dataOffset, 23u);
    EXPECT_STREQ(header.signature, "TRUEVISION-XFILE.");
    EXPECT_EQ(header.extensionSize, 495);
    EXPECT_STREQ(header.authorName, "Ann Author");
    EXPECT_STREQ(header.authorComments[1], "second");
    EXPECT_STREQ(header.authorComments[3], "fourth");
    EXPECT_EQ(header.dateTime[2], 1999);
    EXPECT_EQ(header.dateTime[5], 58);
    EXPECT_STREQ(header.jobName, "job");
    EXPECT_EQ(header.jobTime[2], 3);
    EXPECT_STREQ(header.softwareId, "painter");
    EXPECT_EQ(header.softwareVersion, 410);
    EXPECT_EQ(header.softwareLetter, 'b');
    EXPECT_EQ(header.keyColor, 0xFF102030u);
    EXPECT_EQ(header.gammaNumerator, 22);
    EXPECT_EQ(header.gammaDenominator, 10);
    EXPECT_EQ(header.attributesType, 2);
    EXPECT_EQ(header.stampWidth, 64);
    EXPECT_EQ(header.stampHeight, 48);
    EXPECT_EQ(header.developerTagCount, 3);
    EXPECT_TRUE(header.scanLineTable.empty()); // released before returning
    EXPECT_TRUE(header.colorCorrectionTable.empty());

    // The tables themselves, read through the extension reader.
    FILE* f = fopen(Path().c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadTgaExtension(f, header), 0);
    fclose(f);
    ASSERT_EQ(header.scanLineTable.size(), 2u);
    EXPECT_EQ(header.scanLineTable[1], 29u);
    ASSERT_EQ(header.colorCorrectionTable.size(), 1024u);
    EXPECT_EQ(header.colorCorrectionTable[1023], 3069);
}

TEST_F(TgaTest, OffsetsOutsideTheFileAreReportedAndSkipped)
{
    Bytes file = Tga2File();
    const size_t extension = 18 + 5 + 12;
    const size_t tableOffsets = extension + 495 - 13;
    for (int i = 0; i < 12; ++i)
        file[tableOffsets + i] = 0xF0; // all three table offsets 0xf0f0f0f0
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(output, "Error seeking to Color Correction Table, offset = 0xf0f0f0f0\n"
                      "Error seeking to Postage Stamp, offset = 0xf0f0f0f0\n"
                      "Error seeking to Scan Line Table, offset = 0xf0f0f0f0\n"
                      "Developer Area Specified:\n");

    // The extension area itself and the developer area just past the end of the file.
    const size_t footer = file.size() - 26;
    const uint32_t end = uint32_t(file.size());
    file.erase(file.begin() + footer, file.end());
    PutFooter(file, end - 494, end);
    ASSERT_TRUE(Load(file));
    char expected[80];
    snprintf(expected, sizeof expected, "Error seeking to Extended TGA Area, offset = 0x%08x\n", end - 494);
    EXPECT_EQ(output, std::string(expected) + "Developer Area Specified:\n");
    EXPECT_EQ(picture.Pixel(1, 0), Colour(1));
}

TEST_F(TgaTest, OriginBitsKeepThePictureUprightForEveryKind)
{
    // File rows in the order the descriptor says; the picture is always bottom-up, left to right.
    enum { topLeft, topRight, bottomLeft, bottomRight };
    struct Case {
        uint8_t descriptor;
        int order[4];
    };
    const Case cases[] = {
        {0x00, {bottomLeft, bottomRight, topLeft, topRight}},
        {0x10, {bottomRight, bottomLeft, topRight, topLeft}},
        {0x20, {topLeft, topRight, bottomLeft, bottomRight}},
        {0x30, {topRight, topLeft, bottomRight, bottomLeft}},
    };
    for (const Kind& kind : kKinds) {
        for (const Case& c : cases) {
            for (uint8_t type : {kind.type, uint8_t(kind.type + 8)}) {
                Bytes file = kind.start(type, 2, 2, c.descriptor | 8);
                if (type > 8)
                    file.push_back(3); // all four pixels in one raw packet
                for (int sample : c.order) {
                    const Bytes stored = kind.stored(sample);
                    file.insert(file.end(), stored.begin(), stored.end());
                }
                ASSERT_TRUE(Load(file)) << kind.name;
                const std::string what = std::string(kind.name) + ", descriptor " + std::to_string(c.descriptor) +
                                         ", type " + std::to_string(type);
                EXPECT_EQ(picture.Pixel(0, 1), kind.read(topLeft)) << what;
                EXPECT_EQ(picture.Pixel(1, 1), kind.read(topRight)) << what;
                EXPECT_EQ(picture.Pixel(0, 0), kind.read(bottomLeft)) << what;
                EXPECT_EQ(picture.Pixel(1, 0), kind.read(bottomRight)) << what;
            }
        }
    }
}

TEST_F(TgaTest, TruncationAtEveryOffsetFailsCleanly)
{
    for (const Kind& kind : kKinds) {
        for (uint8_t type : {kind.type, uint8_t(kind.type + 8)}) {
            const bool rle = type > 8;
            Bytes file = kind.start(type, 5, 4, 0);
            file.insert(file.begin() + 18, {'i', 'd'});
            file[0] = 2;
            const size_t mapEnd = file.size();
            // Run-length: 20 pixels, two packets cross rows; uncompressed: the same pixels.
            const uint8_t packets[] = {0x82, 2, 0x85, 3, 0x80, 0x81, 0};
            int sample = 0;
            for (uint8_t packet : packets) {
                const bool run = (packet & 0x80) != 0;
                const int count = (packet & 0x7F) + 1;
                if (rle)
                    file.push_back(packet);
                for (int i = 0; i < count; ++i) {
                    if (rle && run && i > 0)
                        break; // a run stores its pixel once
                    const Bytes stored = kind.stored(run ? sample % 4 : (sample + i) % 4);
                    file.insert(file.end(), stored.begin(), stored.end());
                }
                sample += run ? 1 : count;
            }
            const size_t dataEnd = file.size();
            PutFooter(file, 0, 0);
            ASSERT_TRUE(Load(file)) << kind.name << " type " << int(type);
            const Bytes whole = picture.bytes;

            for (size_t size = 0; size < file.size(); ++size) {
                const std::string what = std::string(kind.name) + ", type " + std::to_string(type) + ", " +
                                         std::to_string(size) + " bytes";
                MemoryPicture cut;
                WriteWholeFile(Path(), Bytes(file.begin(), file.begin() + size));
                StdoutCapture capture(scratch.Path("stdout.txt"));
                TgaHeader header;
                EXPECT_EQ(ReadTgaHeader(Path().c_str(), header), size >= 20 ? 1 : 0) << what;
                const bool loaded = LoadTgaFile(Path().c_str(), cut);
                capture.Finish();
                EXPECT_EQ(loaded, size >= dataEnd) << what;
                if (size < mapEnd || !rle) {
                    EXPECT_EQ(cut.creations, loaded ? 1 : 0) << what;
                }
                if (loaded) {
                    EXPECT_EQ(cut.bytes, whole) << what;
                }
            }
        }
    }
}

TEST_F(TgaTest, HugeSizeInATinyFileFailsBeforeAnyPicture)
{
    for (const Kind& kind : kKinds) {
        for (uint8_t type : {kind.type, uint8_t(kind.type + 8)}) {
            Bytes file = kind.start(type, 65535, 65535, 0);
            file.resize(4096, 0x7F);
            EXPECT_FALSE(Load(file)) << kind.name << " type " << int(type);
            EXPECT_EQ(picture.creations, 0);
        }
    }
    // The least a run-length file needs: a 2-byte packet for every 128 one-byte pixels.
    Bytes grey = Header(11, 256, 256, 8);
    for (int i = 0; i < 256 * 256 / 128; ++i)
        grey.insert(grey.end(), {0xFF, uint8_t(i)});
    ASSERT_TRUE(Load(grey));
    EXPECT_EQ(picture.Pixel(255, 255), (Bgr {255, 255, 255}));
    grey.pop_back();
    EXPECT_FALSE(Load(grey));
    EXPECT_EQ(picture.creations, 1);
}

TEST(TgaRle, RowLengthMustBeWholePixels)
{
    TgaRleState state;
    uint8_t row[8];
    EXPECT_EQ(DecodeTgaRleRow(row, 5, 3, nullptr, state), -1);
    EXPECT_EQ(DecodeTgaRleRow(row, 8, 5, nullptr, state), -1);
}

TEST(TgaLoad, MissingFileFails)
{
    MemoryPicture picture;
    EXPECT_FALSE(LoadTgaFile("no such folder/no such file.tga", picture));
    EXPECT_EQ(picture.creations, 0);
}

} // namespace
