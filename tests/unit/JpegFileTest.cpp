#include "image/JpegFile.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

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
    WriteWholeFile(scratch.Path("huge.jpg"), file);
    MemoryPicture picture;
    EXPECT_FALSE(LoadJpegFile(scratch.Path("huge.jpg").c_str(), picture, lastError));
    EXPECT_STREQ(lastError, "Backing store not supported");
    EXPECT_EQ(picture.creations, 0);
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
