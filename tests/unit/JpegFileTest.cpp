#include "image/AbortFlag.h"
#include "image/JpegFile.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

namespace {

using Bytes = std::vector<uint8_t>;

// Files are written and checked with libjpeg directly, independently of the code under test.
struct JpegSpec {
    int width = 0;
    int height = 0;
    int components = 3;
    J_COLOR_SPACE input = JCS_RGB;
    J_COLOR_SPACE stored = JCS_UNKNOWN; // JCS_UNKNOWN: the library's default for the input
    bool progressive = false;
    int quality = 100;
    bool subsampled = false; // the library's default chroma subsampling, else none
    bool arithmetic = false;
    const jpeg_scan_info* scans = nullptr; // a progression of our own
    int scanCount = 0;
};

// samples: top row first, components interleaved.
void WriteJpeg(const std::string& path, const JpegSpec& spec, const Bytes& samples)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(spec.width);
    cinfo.image_height = JDIMENSION(spec.height);
    cinfo.input_components = spec.components;
    cinfo.in_color_space = spec.input;
    jpeg_set_defaults(&cinfo);
    if (spec.stored != JCS_UNKNOWN)
        jpeg_set_colorspace(&cinfo, spec.stored);
    for (int i = 0; i < cinfo.num_components && !spec.subsampled; ++i) // exact colours
        cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    jpeg_set_quality(&cinfo, spec.quality, TRUE);
    if (spec.progressive)
        jpeg_simple_progression(&cinfo);
    if (spec.scans) {
        cinfo.scan_info = spec.scans;
        cinfo.num_scans = spec.scanCount;
    }
    cinfo.arith_code = spec.arithmetic;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples[cinfo.next_scanline * size_t(spec.width) * spec.components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    fclose(file);
}

struct Decoded {
    int width = 0;
    int height = 0;
    Bytes rgb; // top row first
    bool progressive = true;
    UINT16 quant[2][DCTSIZE2] {};
};

Decoded DecodeWithLibjpeg(const std::string& path)
{
    Decoded out;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return out;
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    out.progressive = cinfo.progressive_mode != 0;
    for (int t = 0; t < 2; ++t)
        for (int i = 0; cinfo.quant_tbl_ptrs[t] && i < DCTSIZE2; ++i)
            out.quant[t][i] = cinfo.quant_tbl_ptrs[t]->quantval[i];
    jpeg_start_decompress(&cinfo);
    out.width = int(cinfo.output_width);
    out.height = int(cinfo.output_height);
    out.rgb.resize(size_t(out.width) * out.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out.rgb[cinfo.output_scanline * size_t(out.width) * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    fclose(file);
    return out;
}

// The first frame marker (SOFn) after the start of the file, or 0.
int FirstFrameMarker(const Bytes& file)
{
    size_t i = 2;
    while (i + 4 <= file.size() && file[i] == 0xFF) {
        const int marker = file[i + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker;
        i += 2 + (file[i + 2] << 8 | file[i + 3]);
    }
    return 0;
}

bool Near(int a, int b, int tolerance)
{
    return std::abs(a - b) <= tolerance;
}

// Blue, green, red of the picture pixel near the given red, green, blue.
::testing::AssertionResult PixelNear(const MemoryPicture& picture, int x, int y, int r, int g, int b, int tolerance)
{
    const auto p = picture.Pixel(x, y);
    if (Near(p[2], r, tolerance) && Near(p[1], g, tolerance) && Near(p[0], b, tolerance))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is rgb " << int(p[2]) << " " << int(p[1])
                                         << " " << int(p[0]) << ", expected " << r << " " << g << " " << b;
}

class JpegTest : public ::testing::Test {
protected:
    void TearDown() override { g_bAbortImageWork = 0; }
    bool Load(const std::string& path) { return LoadJpegFile(path.c_str(), picture, lastError); }

    ScratchFolder scratch;
    MemoryPicture picture;
    char lastError[256] = "";
};

const Bytes kSixColours = {255, 0, 0, 0, 255, 0, 0, 0, 255,           // top: red, green, blue
                           255, 255, 255, 0, 0, 0, 128, 128, 128};    // bottom: white, black, grey

void ExpectSixColours(const MemoryPicture& picture)
{
    ASSERT_EQ(picture.width, 3);
    ASSERT_EQ(picture.height, 2);
    for (int i = 0; i < 6; ++i) {
        const uint8_t* rgb = &kSixColours[3 * i];
        EXPECT_TRUE(PixelNear(picture, i % 3, 1 - i / 3, rgb[0], rgb[1], rgb[2], 12)); // row 1 = top
    }
    EXPECT_TRUE(picture.RowEndsZero());
}

TEST_F(JpegTest, BaselineAndProgressiveFilesLoadTopRowFirst)
{
    for (bool progressive : {false, true}) {
        JpegSpec spec;
        spec.width = 3;
        spec.height = 2;
        spec.progressive = progressive;
        WriteJpeg(scratch.Path("six.jpg"), spec, kSixColours);
        ASSERT_TRUE(Load(scratch.Path("six.jpg"))) << lastError;
        ExpectSixColours(picture);
    }
}

TEST_F(JpegTest, ColourPixelsAreExactlyTheLibrarysDefaultOutput)
{
    JpegSpec spec;
    spec.width = 50; // rows of 150 bytes in a stride of 152
    spec.height = 35;
    spec.quality = 75;
    spec.subsampled = true;
    Bytes samples;
    for (int y = 0; y < spec.height; ++y)
        for (int x = 0; x < spec.width; ++x)
            samples.insert(samples.end(), {uint8_t(x * 5), uint8_t((x * y) % 251), uint8_t(255 - y * 7)});
    WriteJpeg(scratch.Path("photo.jpg"), spec, samples);
    ASSERT_TRUE(Load(scratch.Path("photo.jpg"))) << lastError;
    const Decoded reference = DecodeWithLibjpeg(scratch.Path("photo.jpg"));
    ASSERT_EQ(picture.width, reference.width);
    ASSERT_EQ(picture.height, reference.height);
    for (int y = 0; y < spec.height; ++y)
        for (int x = 0; x < spec.width; ++x) {
            const uint8_t* rgb = &reference.rgb[(size_t(y) * spec.width + x) * 3];
            ASSERT_TRUE(PixelNear(picture, x, spec.height - 1 - y, rgb[0], rgb[1], rgb[2], 0));
        }
    EXPECT_TRUE(picture.RowEndsZero());
}

TEST_F(JpegTest, LibraryMessagesForFilesThatAreNoJpeg)
{
    picture.CreatePixels(1, 1);
    WriteWholeFile(scratch.Path("text.jpg"), Bytes {'H', 'e', 'l', 'l', 'o', '\n'});
    EXPECT_FALSE(Load(scratch.Path("text.jpg")));
    EXPECT_STREQ(lastError, "Not a JPEG file: starts with 0x48 0x65");

    WriteWholeFile(scratch.Path("empty.jpg"), Bytes());
    EXPECT_FALSE(Load(scratch.Path("empty.jpg")));
    EXPECT_STREQ(lastError, "Empty input file");

    EXPECT_FALSE(Load(scratch.Path("missing.jpg")));
    EXPECT_EQ(picture.creations, 1); // none of them touched the picture
}

TEST_F(JpegTest, FileTruncatedInTheMiddleOfItsDataStillLoads)
{
    JpegSpec spec;
    spec.width = spec.height = 64;
    spec.quality = 90;
    Bytes samples;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            samples.insert(samples.end(), {uint8_t(x * 4), uint8_t(y * 4), 90});
    WriteJpeg(scratch.Path("whole.jpg"), spec, samples);
    Bytes file = ReadWholeFile(scratch.Path("whole.jpg"));
    file.resize(file.size() * 3 / 4);
    WriteWholeFile(scratch.Path("cut.jpg"), file);
    ASSERT_TRUE(Load(scratch.Path("cut.jpg"))) << lastError;
    ASSERT_EQ(picture.width, 64);
    ASSERT_EQ(picture.height, 64);
    EXPECT_TRUE(PixelNear(picture, 20, 63, 80, 0, 90, 12)); // the top rows were in the file
}

TEST_F(JpegTest, GreyscaleLoadsGrey)
{
    JpegSpec spec;
    spec.width = 4;
    spec.height = 2;
    spec.components = 1;
    spec.input = JCS_GRAYSCALE;
    const Bytes samples = {0, 60, 120, 180, 255, 200, 100, 30};
    WriteJpeg(scratch.Path("grey.jpg"), spec, samples);
    ASSERT_TRUE(Load(scratch.Path("grey.jpg"))) << lastError;
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.height, 2);
    for (int i = 0; i < 8; ++i) {
        const int v = samples[i];
        EXPECT_TRUE(PixelNear(picture, i % 4, 1 - i / 4, v, v, v, 4));
    }
    EXPECT_TRUE(picture.RowEndsZero());
}

TEST_F(JpegTest, AdobeCmykAndYcckFilesLoadInColour)
{
    // Inverted inks as Adobe software stores them: 255 = no ink. Left half red, right half blue.
    Bytes samples;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            samples.insert(samples.end(), {uint8_t(x < 8 ? 255 : 0), 0, uint8_t(x < 8 ? 0 : 255), 255});
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        JpegSpec spec;
        spec.width = 16;
        spec.height = 8;
        spec.components = 4;
        spec.input = JCS_CMYK;
        spec.stored = stored;
        WriteJpeg(scratch.Path("cmyk.jpg"), spec, samples);
        ASSERT_TRUE(Load(scratch.Path("cmyk.jpg"))) << lastError;
        EXPECT_TRUE(PixelNear(picture, 3, 4, 255, 0, 0, 12)) << stored;
        EXPECT_TRUE(PixelNear(picture, 12, 4, 0, 0, 255, 12)) << stored;
    }
}

TEST_F(JpegTest, OtherComponentCountsFailWithAMessage)
{
    JpegSpec spec;
    spec.width = 8;
    spec.height = 8;
    spec.components = 2;
    spec.input = JCS_UNKNOWN;
    WriteJpeg(scratch.Path("two.jpg"), spec, Bytes(128, 77));
    EXPECT_FALSE(Load(scratch.Path("two.jpg")));
    EXPECT_STREQ(lastError, "Unsupported JPEG colour space 0 with 2 components");
    EXPECT_EQ(picture.creations, 0);
}

TEST_F(JpegTest, EndlessProgressiveScansAreCutOff)
{
    JpegSpec spec;
    spec.width = spec.height = 16;
    spec.progressive = true;
    WriteJpeg(scratch.Path("p.jpg"), spec, Bytes(16 * 16 * 3, 140));
    const Bytes file = ReadWholeFile(scratch.Path("p.jpg"));
    size_t lastScan = file.size() - 2;
    while (lastScan > 0 && !(file[lastScan] == 0xFF && file[lastScan + 1] == 0xDA))
        --lastScan;
    ASSERT_GT(lastScan, 0u);
    // The last scan repeated: the library only warns about the bogus progression.
    for (int copies : {20, kMaxJpegScans}) {
        Bytes repeated(file.begin(), file.end() - 2);
        for (int i = 0; i < copies; ++i)
            repeated.insert(repeated.end(), file.begin() + lastScan, file.end() - 2);
        repeated.insert(repeated.end(), {0xFF, 0xD9});
        WriteWholeFile(scratch.Path("many.jpg"), repeated);
        EXPECT_EQ(Load(scratch.Path("many.jpg")), copies == 20) << copies;
    }
    EXPECT_STREQ(lastError, "JPEG file has too many scans (more than 500)");
}

TEST_F(JpegTest, TinyProgressiveFileClaimingAHugeSizeFailsWithoutTakingGigabytes)
{
    JpegSpec spec;
    spec.width = spec.height = 16;
    spec.progressive = true;
    WriteJpeg(scratch.Path("small.jpg"), spec, Bytes(16 * 16 * 3, 90));
    Bytes file = ReadWholeFile(scratch.Path("small.jpg"));
    // The frame header claims 18900 x 18900: just inside the picture limit, but the decoder
    // would need about 2 GB for the coefficients of a progressive picture of that size.
    size_t frame = 2;
    while (frame + 9 < file.size() && !(file[frame] == 0xFF && file[frame + 1] == 0xC2))
        frame += 2 + (file[frame + 2] << 8 | file[frame + 3]);
    ASSERT_LT(frame + 9, file.size());
    for (size_t at : {frame + 5, frame + 7}) {
        file[at] = 18900 >> 8;
        file[at + 1] = 18900 & 0xFF;
    }
    // Padding after the end of the picture makes the file long enough for its size, so that
    // the decoder's own memory limit is what stops it.
    // (The picture and the coefficients of three full-size components take 9 bytes a pixel.)
    file.resize(file.size() + size_t(18900) * 18900 * 10 / kMaxJpegMemoryPerByte, 0);
    WriteWholeFile(scratch.Path("huge.jpg"), file);
    MemoryPicture picture;
    EXPECT_FALSE(LoadJpegFile(scratch.Path("huge.jpg").c_str(), picture, lastError));
    EXPECT_STREQ(lastError, "Backing store not supported");
    EXPECT_EQ(picture.creations, 0);
}

// Found by fuzzing: a file of 64 KB claiming 11500 x 11500 pixels passed the pixel density
// bound and had a 400 MB picture made (progressive: 735 MB with the coefficients). Within
// 64 KB no file may make the loader take more than 256 MB; baseline and progressive files are
// refused before the picture or the coefficients exist.
TEST_F(JpegTest, NoFileOf64KBMakesTheLoaderTakeMoreThan256MB)
{
    for (bool progressive : {false, true}) {
        JpegSpec spec;
        spec.width = spec.height = 16;
        spec.components = 1;
        spec.input = JCS_GRAYSCALE;
        spec.progressive = progressive;
        WriteJpeg(scratch.Path("small.jpg"), spec, Bytes(16 * 16, 90));
        Bytes file = ReadWholeFile(scratch.Path("small.jpg"));
        size_t frame = 2;
        while (frame + 9 < file.size() && !(file[frame] == 0xFF && (file[frame + 1] & 0xFE) == 0xC0) &&
               file[frame + 1] != 0xC2)
            frame += 2 + (file[frame + 2] << 8 | file[frame + 3]);
        ASSERT_LT(frame + 9, file.size());
        for (size_t at : {frame + 5, frame + 7}) {
            file[at] = 11500 >> 8;
            file[at + 1] = 11500 & 0xFF;
        }
        file.resize(64 * 1024, 0);
        WriteWholeFile(scratch.Path("huge.jpg"), file);
        MemoryPicture picture;
        EXPECT_FALSE(LoadJpegFile(scratch.Path("huge.jpg").c_str(), picture, lastError)) << progressive;
        EXPECT_EQ(std::string(lastError).rfind("JPEG data too small for its size", 0), 0u) << lastError;
        EXPECT_EQ(picture.creations, 0);
    }
}

// Makes the frame header (the first SOFn marker) claim another size.
void ClaimSize(Bytes& file, int width, int height)
{
    size_t at = 2;
    while (at + 9 < file.size() && file[at] == 0xFF) {
        const int marker = file[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            file[at + 5] = uint8_t(height >> 8);
            file[at + 6] = uint8_t(height);
            file[at + 7] = uint8_t(width >> 8);
            file[at + 8] = uint8_t(width);
            return;
        }
        at += 2 + (file[at + 2] << 8 | file[at + 3]);
    }
    ADD_FAILURE() << "no frame header";
}

// Scans are cheap to write and each visits every block of the picture it claims: 300 copies
// of one scan of a 16 x 16 file that claims 7200 x 7200 would be 240 million block visits from
// 64 KB (192 scans took 0.8 s natively before scans were budgeted). Refused on the way.
TEST_F(JpegTest, ManyScansOverAHugeClaimedPictureAreCutOffEarly)
{
    JpegSpec spec;
    spec.width = spec.height = 16;
    spec.components = 1;
    spec.input = JCS_GRAYSCALE;
    spec.progressive = true;
    WriteJpeg(scratch.Path("p.jpg"), spec, Bytes(16 * 16, 140));
    const Bytes file = ReadWholeFile(scratch.Path("p.jpg"));
    size_t lastScan = file.size() - 2;
    while (lastScan > 0 && !(file[lastScan] == 0xFF && file[lastScan + 1] == 0xDA))
        --lastScan;
    ASSERT_GT(lastScan, 0u);
    Bytes repeated(file.begin(), file.end() - 2);
    for (int i = 0; i < 300; ++i)
        repeated.insert(repeated.end(), file.begin() + lastScan, file.end() - 2);
    repeated.insert(repeated.end(), {0xFF, 0xD9});
    ClaimSize(repeated, 7200, 7200);
    ASSERT_LT(repeated.size(), 64u * 1024);
    repeated.resize(64 * 1024, 0);
    WriteWholeFile(scratch.Path("many.jpg"), repeated);
    EXPECT_FALSE(Load(scratch.Path("many.jpg")));
    EXPECT_STREQ(lastError, "JPEG file has too many scans for its size");
}


bool StartsWith(const char* text, const std::string& start)
{
    return std::strncmp(text, start.c_str(), start.size()) == 0;
}

TEST_F(JpegTest, TinyFileClaimingAHugeSizeIsRefusedBeforeThePictureExists)
{
    for (int kind : {0, 1, 2}) {
        const bool progressive = kind == 1;
        JpegSpec spec;
        spec.width = spec.height = 16;
        spec.progressive = progressive;
        spec.arithmetic = kind == 2;
        WriteJpeg(scratch.Path("small.jpg"), spec, Bytes(16 * 16 * 3, 90));
        Bytes file = ReadWholeFile(scratch.Path("small.jpg"));
        ClaimSize(file, 18000, 18000);
        WriteWholeFile(scratch.Path("huge.jpg"), file);

        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Load(scratch.Path("huge.jpg"))) << kind;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(picture.creations, 0) << kind;
        EXPECT_TRUE(StartsWith(lastError, "JPEG data too small for its size: 18000 x 18000 pixels in ")) << lastError;
        // Decoding the claimed size took seconds; the refusal reads a few hundred bytes.
        EXPECT_LT(std::chrono::duration<double>(took).count(), 1.0) << kind;
    }
}

TEST_F(JpegTest, DensestFilesAboveTheSizeFloorStillLoad)
{
    // 2100 x 2100 = 4.4 megapixels, just above kJpegPixelsAlwaysAccepted, all one grey.
    const int side = 2100;
    ASSERT_GT(int64_t(side) * side, kJpegPixelsAlwaysAccepted);
    // The densest Huffman file there is: greyscale, one DC scan with optimised tables, so one
    // bit per block (about 511 pixels per byte).
    const jpeg_scan_info dcFirst[2] = {{1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}};
    JpegSpec grey;
    grey.width = grey.height = side;
    grey.components = 1;
    grey.input = JCS_GRAYSCALE;
    grey.scans = dcFirst;
    grey.scanCount = 2;
    WriteJpeg(scratch.Path("grey.jpg"), grey, Bytes(size_t(side) * side, 77));
    EXPECT_GT(int64_t(side) * side / int64_t(ReadWholeFile(scratch.Path("grey.jpg")).size()), 400);
    ASSERT_TRUE(Load(scratch.Path("grey.jpg"))) << lastError;
    EXPECT_TRUE(PixelNear(picture, side - 1, side - 1, 77, 77, 77, 1));

    // Arithmetic coding spends next to nothing on a flat picture, so it gets a looser bound:
    // a smooth gradient loads, a flat picture this large (8 bytes of data) is refused.
    JpegSpec arithmetic;
    arithmetic.width = arithmetic.height = side;
    arithmetic.arithmetic = true;
    // Flat but for a little detail in one corner: denser than any Huffman-coded file.
    Bytes detail(size_t(side) * side * 3, 200);
    uint32_t noise = 12345;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x)
            for (int c = 0; c < 3; ++c) {
                noise = noise * 1103515245u + 12345u;
                detail[(size_t(y) * side + x) * 3 + c] = uint8_t(noise >> 24);
            }
    WriteJpeg(scratch.Path("arith.jpg"), arithmetic, detail);
    const int64_t density = int64_t(side) * side / int64_t(ReadWholeFile(scratch.Path("arith.jpg")).size());
    EXPECT_GT(density, kMaxJpegPixelsPerByte);
    EXPECT_LT(density, kMaxArithmeticJpegPixelsPerByte);
    ASSERT_TRUE(Load(scratch.Path("arith.jpg"))) << lastError;
    WriteJpeg(scratch.Path("flatarith.jpg"), arithmetic, Bytes(size_t(side) * side * 3, 200));
    EXPECT_FALSE(Load(scratch.Path("flatarith.jpg")));
    EXPECT_TRUE(StartsWith(lastError, "JPEG data too small for its size: 2100 x 2100 pixels in ")) << lastError;

    // What our own writer makes of a flat picture.
    MemoryPicture flat;
    ASSERT_TRUE(flat.CreatePixels(side, side));
    std::memset(flat.bytes.data(), 30, flat.bytes.size());
    ASSERT_TRUE(SaveJpegFile(scratch.Path("flat.jpg").c_str(), flat.Pixels()));
    ASSERT_TRUE(Load(scratch.Path("flat.jpg"))) << lastError;
    EXPECT_TRUE(PixelNear(picture, side / 2, side / 2, 30, 30, 30, 2));
}

TEST_F(JpegTest, RealPhotoCutShortLoadsUnlessAlmostNothingIsLeft)
{
    const std::string original = TestImagePath("testorig.jpg");
    if (original.empty())
        GTEST_SKIP() << "the libjpeg-turbo test pictures are not there";
    // The photo (227 x 149) enlarged 12 times to 4.9 megapixels, above the size floor.
    const Decoded photo = DecodeWithLibjpeg(original);
    ASSERT_EQ(photo.width, 227);
    const int scale = 12, width = photo.width * scale, height = photo.height * scale;
    Bytes samples(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(&samples[(size_t(y) * width + x) * 3], &photo.rgb[(size_t(y / scale) * photo.width + x / scale) * 3], 3);

    for (bool progressive : {false, true}) {
        JpegSpec spec;
        spec.width = width;
        spec.height = height;
        spec.quality = 75;
        spec.subsampled = true;
        spec.progressive = progressive;
        WriteJpeg(scratch.Path("big.jpg"), spec, samples);
        const Bytes whole = ReadWholeFile(scratch.Path("big.jpg"));

        // A third of the file: the library fills in the rest.
        WriteWholeFile(scratch.Path("third.jpg"), Bytes(whole.begin(), whole.begin() + whole.size() / 3));
        ASSERT_TRUE(Load(scratch.Path("third.jpg"))) << progressive << ": " << lastError;
        ASSERT_EQ(picture.width, width);
        ASSERT_EQ(picture.height, height);
        long error = 0; // over the top tenth of the picture, which was in the file
        for (int y = 0; y < height / 10; ++y)
            for (int x = 0; x < width; x += 7) {
                const auto p = picture.Pixel(x, height - 1 - y);
                const uint8_t* rgb = &samples[(size_t(y) * width + x) * 3];
                error += std::abs(p[2] - rgb[0]) + std::abs(p[1] - rgb[1]) + std::abs(p[0] - rgb[2]);
            }
        EXPECT_LT(double(error) / (height / 10 * ((width + 6) / 7) * 3), progressive ? 12.0 : 6.0) << progressive;

        // The headers and a kilobyte of data cannot hold 4.9 megapixels.
        const int creations = picture.creations;
        size_t scan = 2; // the first start-of-scan marker
        while (scan + 4 < whole.size() && !(whole[scan] == 0xFF && whole[scan + 1] == 0xDA))
            scan += 2 + (whole[scan + 2] << 8 | whole[scan + 3]);
        ASSERT_LT(scan + 1000, whole.size());
        WriteWholeFile(scratch.Path("stub.jpg"), Bytes(whole.begin(), whole.begin() + scan + 1000));
        EXPECT_FALSE(Load(scratch.Path("stub.jpg"))) << progressive;
        EXPECT_TRUE(StartsWith(lastError, "JPEG data too small for its size: 2724 x 1788 pixels in ")) << lastError;
        EXPECT_EQ(picture.creations, creations);
    }
}

TEST_F(JpegTest, TheLibrarysOwnTestPicturesLoadAsItDecodesThem)
{
    if (TestImagePath("testorig.jpg").empty())
        GTEST_SKIP() << "the libjpeg-turbo test pictures are not there";
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) {
        const std::string path = TestImagePath(name);
        ASSERT_TRUE(Load(path)) << name << ": " << lastError;
        const Decoded reference = DecodeWithLibjpeg(path);
        ASSERT_EQ(picture.width, reference.width);
        ASSERT_EQ(picture.height, reference.height);
        for (int y = 0; y < reference.height; ++y)
            for (int x = 0; x < reference.width; ++x) {
                const uint8_t* rgb = &reference.rgb[(size_t(y) * reference.width + x) * 3];
                ASSERT_TRUE(PixelNear(picture, x, reference.height - 1 - y, rgb[0], rgb[1], rgb[2], 0)) << name;
            }
    }
    EXPECT_FALSE(Load(TestImagePath("testorig12.jpg")));
    EXPECT_STREQ(lastError, "Unsupported JPEG data precision 12");
}

// Raises the abort flag when the reader creates the picture, as a closing show window would
// while its worker decodes.
class AbortOnCreate : public MemoryPicture {
public:
    bool CreatePixels(int32_t width, int32_t height) override
    {
        g_bAbortImageWork = 1;
        return MemoryPicture::CreatePixels(width, height);
    }
};

TEST_F(JpegTest, RaisedAbortFlagStopsTheDecodeAndStaysRaised)
{
    Bytes samples;
    for (int i = 0; i < 64 * 64; ++i)
        samples.insert(samples.end(), {200, uint8_t(i), 100});
    for (bool progressive : {false, true}) {
        JpegSpec spec;
        spec.width = spec.height = 64;
        spec.progressive = progressive;
        WriteJpeg(scratch.Path("pic.jpg"), spec, samples);

        // Raised before the load: no picture is made.
        g_bAbortImageWork = 1;
        EXPECT_FALSE(Load(scratch.Path("pic.jpg"))) << progressive;
        EXPECT_EQ(picture.creations, 0) << progressive;
        EXPECT_EQ(g_bAbortImageWork, 1);
        EXPECT_STREQ(lastError, "JPEG decoding stopped");

        // Raised once the picture exists: no row is decoded after it.
        g_bAbortImageWork = 0;
        AbortOnCreate target;
        EXPECT_FALSE(LoadJpegFile(scratch.Path("pic.jpg").c_str(), target, lastError)) << progressive;
        EXPECT_EQ(target.creations, 1);
        EXPECT_EQ(g_bAbortImageWork, 1);
        EXPECT_EQ(target.Pixel(10, 63), (std::array<uint8_t, 3> {0, 0, 0})) << progressive;

        g_bAbortImageWork = 0;
        ASSERT_TRUE(Load(scratch.Path("pic.jpg"))) << lastError;
        EXPECT_TRUE(PixelNear(picture, 10, 63, 200, 10, 100, 12)) << progressive;
        picture.creations = 0;
    }
}

// A picture whose colours follow its position; top row distinct from the rest.
MemoryPicture Gradient(int width, int height)
{
    MemoryPicture picture;
    picture.CreatePixels(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = picture.bytes.data() + size_t(y) * picture.stride + 3 * x;
            p[0] = uint8_t(x * 6);
            p[1] = uint8_t(y * 10);
            p[2] = uint8_t(200 - 3 * (x + y));
        }
    return picture;
}

TEST_F(JpegTest, SaveWritesBaselineQuality85TopRowFirst)
{
    const MemoryPicture source = Gradient(37, 23);
    const std::string path = scratch.Path("saved.JPG");
    ASSERT_TRUE(SaveJpegFile(path.c_str(), source.Pixels()));

    const Bytes file = ReadWholeFile(path);
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xD8);
    EXPECT_EQ(FirstFrameMarker(file), 0xC0); // baseline

    jpeg_compress_struct reference;
    jpeg_error_mgr errors;
    reference.err = jpeg_std_error(&errors);
    jpeg_create_compress(&reference);
    reference.in_color_space = JCS_RGB;
    jpeg_set_defaults(&reference);
    jpeg_set_quality(&reference, 85, TRUE);
    const Decoded decoded = DecodeWithLibjpeg(path);
    EXPECT_FALSE(decoded.progressive);
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < DCTSIZE2; ++i)
            ASSERT_EQ(decoded.quant[t][i], reference.quant_tbl_ptrs[t]->quantval[i]) << "table " << t << " entry " << i;
    jpeg_destroy_compress(&reference);

    ASSERT_EQ(decoded.width, 37);
    ASSERT_EQ(decoded.height, 23);
    for (int x = 0; x < 37; x += 6) { // the first decoded row is the picture's top row (22)
        const auto p = source.Pixel(x, 22);
        EXPECT_TRUE(Near(decoded.rgb[3 * x], p[2], 16) && Near(decoded.rgb[3 * x + 1], p[1], 16) &&
                    Near(decoded.rgb[3 * x + 2], p[0], 16)) << x;
    }
}

TEST_F(JpegTest, RoundTripStaysWithinJpegTolerance)
{
    const MemoryPicture source = Gradient(37, 23);
    const std::string path = scratch.Path("round.jpg");
    ASSERT_TRUE(SaveJpegFile(path.c_str(), source.Pixels()));
    ASSERT_TRUE(Load(path)) << lastError;
    ASSERT_EQ(picture.width, 37);
    ASSERT_EQ(picture.height, 23);
    long total = 0;
    int worst = 0;
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            for (int c = 0; c < 3; ++c) {
                const int error = std::abs(picture.Pixel(x, y)[c] - source.Pixel(x, y)[c]);
                total += error;
                worst = std::max(worst, error);
            }
    EXPECT_LT(double(total) / (37 * 23 * 3), 2.5);
    EXPECT_LE(worst, 24);
    EXPECT_TRUE(picture.RowEndsZero());
}

TEST_F(JpegTest, WriterErrorsReturnFalseInsteadOfEndingTheProcess)
{
    MemoryPicture tooWide;
    ASSERT_TRUE(tooWide.CreatePixels(70000, 1)); // beyond the format's 65500 pixels
    EXPECT_FALSE(SaveJpegFile(scratch.Path("wide.jpg").c_str(), tooWide.Pixels()));
    EXPECT_FALSE(SaveJpegFile(scratch.Path("no folder/x.jpg").c_str(), Gradient(4, 4).Pixels()));
    EXPECT_FALSE(SaveJpegFile(scratch.Path("empty.jpg").c_str(), PixelImage()));
#ifndef _WIN32
    EXPECT_FALSE(SaveJpegFile("/dev/full", Gradient(64, 64).Pixels())); // every write fails: disk full
#endif
}

} // namespace
