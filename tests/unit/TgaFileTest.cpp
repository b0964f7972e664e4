#include "image/TgaFile.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST_F(TgaTest, OtherDepthsAndTypesFail)
{
    picture.CreatePixels(1, 1);
    picture.bytes[0] = 0x5A;
    Bytes sixteen = Header(2, 2, 2, 16);
    sixteen.resize(sixteen.size() + 8, 0x11);
    EXPECT_FALSE(Load(sixteen));
    EXPECT_EQ(picture.creations, 1); // untouched
    EXPECT_EQ(picture.bytes[0], 0x5A);

    Bytes colourMapped = Header(1, 2, 2, 8);
    colourMapped[1] = 1;  // colour map present
    colourMapped[5] = 2;  // two entries
    colourMapped[7] = 24; // of 24 bits
    colourMapped.resize(colourMapped.size() + 6 + 4, 0);
    EXPECT_FALSE(Load(colourMapped));
    // Even when a colour-mapped or greyscale file claims true-colour pixels.
    Bytes claims24 = Header(1, 1, 1, 24);
    PutPixel(claims24, Colour(0));
    EXPECT_FALSE(Load(claims24));
    Bytes grey = Header(3, 1, 1, 24);
    PutPixel(grey, Colour(0));
    EXPECT_FALSE(Load(grey));
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

TEST_F(TgaTest, OriginBitsKeepThePictureUpright)
{
    // File rows in the order the descriptor says; the picture is always bottom-up, left to right.
    const Bgr topLeft = Colour(1), topRight = Colour(2), bottomLeft = Colour(3), bottomRight = Colour(4);
    struct Case {
        uint8_t descriptor;
        Bgr order[4];
    };
    const Case cases[] = {
        {0x00, {bottomLeft, bottomRight, topLeft, topRight}},
        {0x10, {bottomRight, bottomLeft, topRight, topLeft}},
        {0x20, {topLeft, topRight, bottomLeft, bottomRight}},
        {0x30, {topRight, topLeft, bottomRight, bottomLeft}},
    };
    for (const Case& c : cases) {
        for (uint8_t type : {2, 10}) {
            Bytes file = Header(type, 2, 2, 24, c.descriptor | 8);
            if (type == 10)
                file.push_back(3); // all four pixels in one raw packet
            for (const Bgr& p : c.order)
                PutPixel(file, p);
            ASSERT_TRUE(Load(file));
            EXPECT_EQ(picture.Pixel(0, 1), topLeft) << int(c.descriptor) << " type " << int(type);
            EXPECT_EQ(picture.Pixel(1, 1), topRight) << int(c.descriptor) << " type " << int(type);
            EXPECT_EQ(picture.Pixel(0, 0), bottomLeft) << int(c.descriptor) << " type " << int(type);
            EXPECT_EQ(picture.Pixel(1, 0), bottomRight) << int(c.descriptor) << " type " << int(type);
        }
    }
}

TEST_F(TgaTest, TruncationAtEveryOffsetFailsCleanly)
{
    Bytes file = Header(10, 5, 4, 24, 0, "id");
    const uint8_t packets[] = {0x82, 2, 0x85, 3, 0x80, 0x81, 0}; // 20 pixels, two packets cross rows
    int colour = 0;
    for (uint8_t packet : packets) {
        file.push_back(packet);
        const int pixels = packet & 0x80 ? 1 : (packet & 0x7F) + 1;
        for (int i = 0; i < pixels; ++i)
            PutPixel(file, Colour(colour++));
    }
    const size_t dataEnd = file.size();
    PutFooter(file, 0, 0);
    ASSERT_TRUE(Load(file));
    const Bytes whole = picture.bytes;

    for (size_t size = 0; size < file.size(); ++size) {
        MemoryPicture cut;
        WriteWholeFile(Path(), Bytes(file.begin(), file.begin() + size));
        StdoutCapture capture(scratch.Path("stdout.txt"));
        TgaHeader header;
        EXPECT_EQ(ReadTgaHeader(Path().c_str(), header), size >= 20 ? 1 : 0) << size;
        const bool loaded = LoadTgaFile(Path().c_str(), cut);
        capture.Finish();
        EXPECT_EQ(loaded, size >= dataEnd) << size;
        if (loaded) {
            EXPECT_EQ(cut.bytes, whole) << size;
        }
    }
}

TEST_F(TgaTest, HugeSizeInATinyFileFailsBeforeAnyPicture)
{
    for (uint8_t type : {2, 10}) {
        Bytes file = Header(type, 65535, 65535, 32);
        file.resize(4096, 0x7F);
        EXPECT_FALSE(Load(file));
        EXPECT_EQ(picture.creations, 0);
    }
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
