// The header-only size reader against what the decoders make of other people's pictures
// (libjpeg-turbo's testimages, PngSuite and libpng's test pictures, giflib's pictures, libwebp's
// and our own WebP files), and against a photo stored sideways.
#include "FormatTestSupport.h"
#include "image/GifFile.h"
#include "image/JpegFile.h"
#include "image/PictureSize.h"
#include "image/PngFile.h"
#include "image/WebpFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {
std::vector<std::string> FilesIn(const std::string& folder, const std::string& extension)
{
    std::vector<std::string> files;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing))
        if (entry.path().extension() == extension)
            files.push_back(entry.path().string());
    return files;
}

using Loader = std::function<bool(const char*, IPixelTarget&, char*)>;

// Every file the decoder loads has the size the header reader gives; returns how many loaded.
int ExpectSizesOfDecodedFiles(const std::vector<std::string>& files, const Loader& load)
{
    int loaded = 0;
    for (const std::string& path : files) {
        MemoryPicture picture;
        char lastError[256] = "";
        if (!load(path.c_str(), picture, lastError))
            continue;
        ++loaded;
        int32_t w = 0, h = 0;
        EXPECT_TRUE(ReadPictureFileSize(path.c_str(), w, h)) << path;
        EXPECT_EQ(w, picture.Pixels().width) << path;
        EXPECT_EQ(h, picture.Pixels().height) << path;
    }
    return loaded;
}
} // namespace

TEST(PictureSize, OthersPicturesHaveTheSizeTheirDecoderGives)
{
    std::vector<std::string> png = FilesIn(std::string(MURLAVO_PNG_TEST_PICTURES) + "/pngsuite", ".png");
    const std::vector<std::string> generated = FilesIn(std::string(MURLAVO_PNG_TEST_PICTURES) + "/testpngs", ".png");
    png.insert(png.end(), generated.begin(), generated.end());
    EXPECT_GE(ExpectSizesOfDecodedFiles(png, [](const char* p, IPixelTarget& t, char* e) {
                  return LoadPngFile(p, t, e, 0);
              }),
              100);
    EXPECT_GE(ExpectSizesOfDecodedFiles(FilesIn(MURLAVO_TEST_IMAGES, ".jpg"), LoadJpegFile), 3);
    EXPECT_GE(ExpectSizesOfDecodedFiles(FilesIn(std::string(MURLAVO_GIF_TEST_PICTURES) + "/pic", ".gif"),
                                        [](const char* p, IPixelTarget& t, char* e) { return LoadGifFile(p, t, e, 0); }),
              5);
    std::vector<std::string> webp = FilesIn(MURLAVO_WEBP_TEST_DATA, ".webp");
    webp.push_back(std::string(MURLAVO_WEBP_TEST_PICTURES) + "/examples/test.webp");
    EXPECT_GE(ExpectSizesOfDecodedFiles(webp, [](const char* p, IPixelTarget& t, char* e) {
                  return LoadWebpFile(p, t, e, 0);
              }),
              3);
}

TEST(PictureSize, APhotoStoredSidewaysGivesItsUprightSize)
{
    const std::string original = std::string(MURLAVO_TEST_IMAGES) + "/testorig.jpg";
    std::vector<uint8_t> bytes = ReadWholeFile(original);
    ASSERT_GT(bytes.size(), 2u);
    // APP1 "Exif\0\0", a big-endian TIFF header and one entry: orientation 6 (turn clockwise).
    const std::vector<uint8_t> app1 {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8,
                                     0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    bytes.insert(bytes.begin() + 2, app1.begin(), app1.end());
    ScratchFolder scratch;
    WriteWholeFile(scratch.Path("sideways.jpg"), bytes);
    int32_t w = 0, h = 0, sw = 0, sh = 0;
    ASSERT_TRUE(ReadPictureFileSize(original.c_str(), w, h));
    ASSERT_TRUE(ReadPictureFileSize(scratch.Path("sideways.jpg").c_str(), sw, sh));
    EXPECT_EQ(sw, h);
    EXPECT_EQ(sh, w);
}

TEST(PictureSize, DamagedOrUnknownHeadersGiveNoSize)
{
    int32_t w = 0, h = 0;
    const uint8_t pngZero[24] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_FALSE(PictureSizeFromHeader(pngZero, sizeof pngZero, "a.png", w, h));
    EXPECT_FALSE(PictureSizeFromHeader(pngZero, 20, "a.png", w, h)); // cut before the height
    const uint8_t tiff[8] = {'I', 'I', 42, 0, 8, 0, 0, 0};
    EXPECT_FALSE(PictureSizeFromHeader(tiff, sizeof tiff, "a.tif", w, h));
    // A bitmap stored top-down has a negative height: its size is positive.
    uint8_t bmp[26] = {'B', 'M'};
    bmp[14] = 40;
    bmp[18] = 7;
    bmp[22] = 0xFD, bmp[23] = 0xFF, bmp[24] = 0xFF, bmp[25] = 0xFF; // -3
    ASSERT_TRUE(PictureSizeFromHeader(bmp, sizeof bmp, "a.bmp", w, h));
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 3);
    // A JPEG whose segments run into the end before a frame header.
    ScratchFolder scratch;
    WriteWholeFile(scratch.Path("cut.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F'});
    EXPECT_FALSE(ReadPictureFileSize(scratch.Path("cut.jpg").c_str(), w, h));
    EXPECT_FALSE(ReadPictureFileSize(scratch.Path("missing.png").c_str(), w, h));
}
