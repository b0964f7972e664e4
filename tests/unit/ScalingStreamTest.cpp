// Scaling rows as they arrive, and JPEG files loaded fitted through it: the bytes must be
// those of loading the whole picture and scaling it, on a table of sizes, file kinds and
// both scalers; a stop at any point must leave what the whole-picture path leaves.
#include "image/AbortFlag.h"
#include "image/FittedLoad.h"
#include "image/JpegFile.h"
#include "image/Scaling.h"
#include "image/ScalingStream.h"
#include "image/TgaFile.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

const ScaleMethod kMethods[] = {ScaleMethod::resize, ScaleMethod::resample};

const char* Name(ScaleMethod method)
{
    return method == ScaleMethod::resize ? "Resize" : "Resample";
}

bool SameBytes(const PixelImage& a, const PixelImage& b)
{
    return a.width == b.width && a.height == b.height && a.stride == b.stride && a.bits && b.bits &&
           std::memcmp(a.bits, b.bits, size_t(a.stride) * size_t(a.height)) == 0;
}

void FillRandom(MemoryPicture& p, int w, int h, std::mt19937& random)
{
    ASSERT_TRUE(p.CreatePixels(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x)
            p.bytes[size_t(y) * p.stride + x] = uint8_t(random());
}

bool ScaleWhole(MemoryPicture& picture, int cx, int cy, ScaleMethod method, IScaleObserver* observer = nullptr)
{
    return method == ScaleMethod::resize ? ResizePicture(picture, cx, cy, observer)
                                         : ResamplePicture(picture, cx, cy, observer);
}

// Hands the picture's rows to a stream scaler, top row first, as a decoder would. Stops at
// the first refused row; the result is Finish's.
bool ScaleStreamed(const MemoryPicture& source, IPixelTarget& out, int cx, int cy, ScaleMethod method,
                   IScaleObserver* observer = nullptr)
{
    CStreamScaler scaler(out, observer);
    if (!scaler.Start(source.width, source.height, cx, cy, method))
        return false;
    for (int y = source.height - 1; y >= 0; --y) {
        std::memcpy(scaler.NextRow(), &source.bytes[size_t(y) * source.stride], 3 * size_t(source.width));
        if (!scaler.RowDone())
            return false;
    }
    return scaler.Finish();
}

// Raises the abort flag when the scaler reports row `row` done; counts the reports.
class AbortAtRow : public IScaleObserver {
public:
    explicit AbortAtRow(int row) : m_row(row) {}
    void RowDone(int32_t y) override
    {
        ++rows;
        if (y == m_row)
            g_bAbortImageWork = 1;
    }
    void OutOfMemory() override { ++messages; }
    int rows = 0;
    int messages = 0;

private:
    int m_row;
};

// samples: top row first, red, green, blue (or grey) interleaved.
void WriteJpeg(const std::string& path, int width, int height, int components, bool progressive,
               const std::vector<uint8_t>& samples)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples[cinfo.next_scanline * size_t(width) * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    fclose(file);
}

// A photo-like picture: smooth gradients with some noise.
std::vector<uint8_t> PhotoSamples(int width, int height, int components, std::mt19937& random)
{
    std::vector<uint8_t> samples;
    samples.reserve(size_t(width) * height * components);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                samples.push_back(uint8_t((x * (c + 1) * 255 / width + y * 255 / height) / 2 + random() % 24));
    return samples;
}

class ScalingStreamTest : public ::testing::Test {
protected:
    void TearDown() override { g_bAbortImageWork = 0; }

    // The whole-picture path: LoadJpegFile, then the scaler when the request scales.
    bool LoadWhole(const std::string& path, const FitRequest& request, MemoryPicture& out, bool* scaled)
    {
        *scaled = false;
        if (!LoadJpegFile(path.c_str(), out, lastError))
            return false;
        PictureSize size;
        if (ScalesTo(request, out.width, out.height, size))
            *scaled = ScaleWhole(out, size.cx, size.cy, request.method);
        return true;
    }

    std::mt19937 random {6151};
    ScratchFolder scratch;
    char lastError[256] = "";
};

// ---- Rows handed over one by one --------------------------------------------------------

TEST_F(ScalingStreamTest, StreamedScalingGivesTheWholePicturesBytes)
{
    // Shrinking (by little and by much), enlarging, odd widths, portrait and landscape, one
    // row or column at either end, and a same-size height.
    const int sizes[][4] = {
        {1, 1, 5, 3},      {7, 5, 3, 2},     {13, 11, 29, 17},  {33, 1, 8, 9},    {1, 17, 4, 4},
        {16, 8, 5, 20},    {100, 60, 37, 23}, {41, 97, 97, 41},  {250, 3, 7, 1},   {257, 5, 1, 1},
        {64, 64, 64, 64},  {12, 4, 12, 9},   {203, 151, 64, 48}, {31, 29, 257, 3}, {600, 400, 162, 108},
        {400, 600, 72, 108}, {97, 301, 97, 300}, {301, 97, 1, 97}, {5, 400, 3, 7},   {640, 480, 1023, 767},
    };
    for (const auto& s : sizes)
        for (ScaleMethod method : kMethods) {
            SCOPED_TRACE(std::string(Name(method)) + " " + std::to_string(s[0]) + "x" + std::to_string(s[1]) + " -> " +
                         std::to_string(s[2]) + "x" + std::to_string(s[3]));
            MemoryPicture source, whole, streamed;
            FillRandom(source, s[0], s[1], random);
            whole = source;
            ASSERT_TRUE(ScaleWhole(whole, s[2], s[3], method));
            ASSERT_TRUE(ScaleStreamed(source, streamed, s[2], s[3], method));
            EXPECT_TRUE(SameBytes(streamed.Pixels(), whole.Pixels()));
            EXPECT_TRUE(streamed.RowEndsZero());
            EXPECT_EQ(streamed.creations, 1);
        }
}

// Every tap list sums to one, so a flat picture comes out exactly flat, in every byte, whatever
// the scale: shrinks of 1.5 to 10000 (where every weight but one truncates to 0), enlargements,
// one pixel at either end; across, down, and both at once; on both paths.
TEST_F(ScalingStreamTest, ResampleKeepsFlatAreasFlatAtEveryScale)
{
    const int axes[][2] = {{30, 20}, {40, 20},  {60, 20}, {80, 20}, {70, 10}, {100, 10}, {1001, 333}, {400, 10},
                           {3000, 10}, {20000, 2}, {20, 30}, {10, 20}, {7, 26},  {3, 48},  {1, 5},     {5, 1}};
    const uint8_t colours[][3] = {{255, 0, 200}, {1, 254, 37}};
    const int count = int(sizeof axes / sizeof axes[0]);
    for (int i = 0; i < count; ++i) {
        const int* a = axes[i];
        const int* b = axes[(i + 1) % count];
        const int sizes[][4] = {{a[0], 3, a[1], 3}, {3, a[0], 3, a[1]}, {a[0], b[0], a[1], b[1]}};
        for (const auto& s : sizes) {
            if (int64_t(s[0]) * s[1] > 2000000)
                continue;
            for (const auto& colour : colours) {
                SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]) + " -> " + std::to_string(s[2]) + "x" +
                             std::to_string(s[3]) + " colour " + std::to_string(colour[0]));
                MemoryPicture source, whole, streamed;
                ASSERT_TRUE(source.CreatePixels(s[0], s[1]));
                for (int y = 0; y < s[1]; ++y)
                    for (int x = 0; x < s[0]; ++x)
                        std::memcpy(&source.bytes[size_t(y) * source.stride + 3 * x], colour, 3);
                whole = source;
                ASSERT_TRUE(ResamplePicture(whole, s[2], s[3]));
                ASSERT_TRUE(ScaleStreamed(source, streamed, s[2], s[3], ScaleMethod::resample));
                for (const MemoryPicture* out : {&whole, &streamed}) {
                    ASSERT_EQ(out->width, s[2]);
                    ASSERT_EQ(out->height, s[3]);
                    int wrong = 0;
                    for (int y = 0; y < s[3]; ++y)
                        for (int x = 0; x < s[2]; ++x)
                            wrong += out->Pixel(x, y) != std::array<uint8_t, 3> {colour[0], colour[1], colour[2]};
                    EXPECT_EQ(wrong, 0) << (out == &whole ? "whole" : "streamed");
                }
            }
        }
    }
}

TEST_F(ScalingStreamTest, ObserverHearsTheRowsTheWholePictureScalerReports)
{
    // Resample: every source row it filters (all of them here); Resize: every output row.
    MemoryPicture source, out;
    FillRandom(source, 50, 40, random);
    AbortAtRow resample(-1), resize(-1);
    ASSERT_TRUE(ScaleStreamed(source, out, 20, 16, ScaleMethod::resample, &resample));
    EXPECT_EQ(resample.rows, 40);
    ASSERT_TRUE(ScaleStreamed(source, out, 20, 16, ScaleMethod::resize, &resize));
    EXPECT_EQ(resize.rows, 16);
}

TEST_F(ScalingStreamTest, MisuseIsRefusedNotFollowed)
{
    MemoryPicture out;
    CStreamScaler scaler(out);
    EXPECT_FALSE(scaler.Start(0, 5, 3, 3, ScaleMethod::resample));
    EXPECT_FALSE(scaler.Start(5, 5, 3, 0, ScaleMethod::resize));
    EXPECT_FALSE(scaler.Start(5, 5, -2, 3, ScaleMethod::resample));
    // A target beyond the picture limit: Start fails instead of scaling into nothing.
    EXPECT_FALSE(scaler.Start(4, 4, 200000000, 4, ScaleMethod::resize));

    // More rows than the source has are refused; fewer leave the work unfinished.
    ASSERT_TRUE(scaler.Start(4, 3, 2, 2, ScaleMethod::resample));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(scaler.RowDone());
    EXPECT_FALSE(scaler.RowDone());
    CStreamScaler partial(out);
    ASSERT_TRUE(partial.Start(4, 3, 2, 2, ScaleMethod::resize));
    EXPECT_TRUE(partial.RowDone());
    EXPECT_FALSE(partial.Finish());
}

// A stop after any row: false, and the flag as the whole-picture scaler leaves it (Resample
// keeps it raised, Resize lowers it); nothing is done after the stop.
TEST_F(ScalingStreamTest, AbortAfterAnyRowStopsAsTheWholePictureScalerStops)
{
    MemoryPicture source;
    FillRandom(source, 30, 24, random);
    for (ScaleMethod method : kMethods) {
        const int reported = method == ScaleMethod::resample ? 24 : 9;
        for (int row = 0; row < reported; ++row) {
            SCOPED_TRACE(std::string(Name(method)) + " row " + std::to_string(row));
            MemoryPicture out;
            AbortAtRow observer(row);
            EXPECT_FALSE(ScaleStreamed(source, out, 11, 9, method, &observer));
            EXPECT_EQ(g_bAbortImageWork, method == ScaleMethod::resample ? 1 : 0);
            EXPECT_EQ(observer.messages, 0);
            // Resample reports source rows top row first; Resize output rows top row first.
            EXPECT_EQ(observer.rows, reported - row);
            g_bAbortImageWork = 0;
        }
        // Raised after the last row: Finish reports the stop.
        MemoryPicture out;
        CStreamScaler scaler(out);
        ASSERT_TRUE(scaler.Start(source.width, source.height, 11, 9, method));
        for (int y = 0; y < source.height; ++y)
            ASSERT_TRUE(scaler.RowDone());
        g_bAbortImageWork = 1;
        EXPECT_FALSE(scaler.Finish());
        EXPECT_EQ(g_bAbortImageWork, method == ScaleMethod::resample ? 1 : 0);
        EXPECT_FALSE(scaler.RowDone());
        g_bAbortImageWork = 0;
    }
}

// ---- JPEG files loaded fitted ----------------------------------------------------------

// Each case with decoding and scaling on one thread, and overlapped on two.
class FittedThreadsTest : public ScalingStreamTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { g_nFittingThreads = GetParam(); }
    void TearDown() override
    {
        g_nFittingThreads = 0;
        ScalingStreamTest::TearDown();
    }
};
INSTANTIATE_TEST_SUITE_P(Threads, FittedThreadsTest, ::testing::Values(1, 2));

TEST_P(FittedThreadsTest, FittedJpegLoadGivesTheWholePathsBytes)
{
    struct File {
        int width, height, components;
        bool progressive;
    };
    const File files[] = {{203, 151, 3, false}, {151, 203, 3, true}, {97, 61, 1, false}, {640, 427, 3, false}};
    struct Box {
        int cx, cy;
        bool keepAspect;
    };
    const Box boxes[] = {{64, 48, true},  {64, 48, false}, {1024, 768, true}, {333, 100, true},
                         {97, 61, false}, {97, 61, true},  {1, 1, false},     {5000, 1, true},
                         {1, 5000, true}};
    int streamedScaled = 0, keptWhole = 0;
    for (const File& f : files) {
        const std::string path = scratch.Path("photo.jpg");
        WriteJpeg(path, f.width, f.height, f.components, f.progressive,
                  PhotoSamples(f.width, f.height, f.components, random));
        for (const Box& box : boxes)
            for (ScaleMethod method : kMethods) {
                SCOPED_TRACE(std::string(Name(method)) + " " + std::to_string(f.width) + "x" + std::to_string(f.height) +
                             " into " + std::to_string(box.cx) + "x" + std::to_string(box.cy) +
                             (box.keepAspect ? " keeping its proportions" : ""));
                const FitRequest request {box.cx, box.cy, box.keepAspect, method};
                MemoryPicture whole, fitted;
                bool wholeScaled = false;
                ASSERT_TRUE(LoadWhole(path, request, whole, &wholeScaled)) << lastError;
                const FittedLoad result = LoadJpegFileFitted(path.c_str(), request, fitted, lastError);
                ASSERT_TRUE(result.streamed);
                EXPECT_TRUE(result.loaded) << lastError;
                EXPECT_EQ(result.scaled, wholeScaled);
                EXPECT_TRUE(SameBytes(fitted.Pixels(), whole.Pixels()));
                EXPECT_EQ(fitted.creations, 1); // the full-size picture never existed beside it
                ++(wholeScaled ? streamedScaled : keptWhole);
            }
    }
    // Both kinds happened: scaled pictures, and ones kept at their own size (same size, or a
    // height of 0 that the scalers refuse).
    EXPECT_GT(streamedScaled, 40);
    EXPECT_GE(keptWhole, 12);
}

namespace {

// A TGA file of width x height pixels: true colour (24 bits) or greyscale (8 bits), stored top
// line first or bottom line first, left to right or right to left, raw or run-length (runs
// of equal neighbours, raw packets elsewhere, packets running across the ends of lines).
std::vector<uint8_t> MakeTga(int width, int height, bool grey, bool topDown, bool rightToLeft, bool runLength,
                             std::mt19937& random)
{
    const int bpp = grey ? 1 : 3;
    std::vector<uint8_t> file(18, 0);
    file[2] = uint8_t((grey ? 3 : 2) + (runLength ? 8 : 0));
    file[12] = uint8_t(width), file[13] = uint8_t(width >> 8);
    file[14] = uint8_t(height), file[15] = uint8_t(height >> 8);
    file[16] = uint8_t(8 * bpp);
    file[17] = uint8_t((topDown ? 0x20 : 0) | (rightToLeft ? 0x10 : 0));
    std::vector<uint8_t> pixels;
    for (int i = 0; i < width * height; ++i) {
        const bool repeat = i > 0 && random() % 3 == 0; // runs for the run-length packets
        for (int c = 0; c < bpp; ++c)
            pixels.push_back(repeat ? pixels[pixels.size() - bpp] : uint8_t(random()));
    }
    if (!runLength) {
        file.insert(file.end(), pixels.begin(), pixels.end());
        return file;
    }
    const size_t count = pixels.size() / bpp;
    auto same = [&](size_t a, size_t b) { return std::equal(&pixels[a * bpp], &pixels[a * bpp] + bpp, &pixels[b * bpp]); };
    for (size_t i = 0; i < count;) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run))
            ++run;
        if (run >= 2) {
            file.push_back(uint8_t(0x80 | (run - 1)));
            file.insert(file.end(), &pixels[i * bpp], &pixels[i * bpp] + bpp);
        } else {
            size_t raw = 1;
            while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1)))
                ++raw;
            file.push_back(uint8_t(raw - 1));
            file.insert(file.end(), &pixels[i * bpp], &pixels[(i + raw) * bpp]);
            run = raw;
        }
        i += run;
    }
    return file;
}

} // namespace

// TGA files of every storing order, raw and run-length, fitted as they are read, give the
// bytes of loading them whole and scaling; a file cut short fails as the whole load fails.
TEST_P(FittedThreadsTest, FittedTgaLoadGivesTheWholePathsBytes)
{
    int cases = 0;
    for (const bool grey : {false, true})
        for (const bool topDown : {false, true})
            for (const bool runLength : {false, true}) {
                const bool rightToLeft = topDown != runLength;
                const std::string path = scratch.Path("picture.tga");
                const std::vector<uint8_t> file = MakeTga(203, 151, grey, topDown, rightToLeft, runLength, random);
                WriteWholeFile(path, file);
                for (ScaleMethod method : kMethods)
                    for (const FitRequest& request : {FitRequest {64, 48, true, method}, FitRequest {400, 90, false, method},
                                                      FitRequest {203, 151, false, method}}) {
                        SCOPED_TRACE(std::string(Name(method)) + (grey ? " grey" : " colour") +
                                     (topDown ? " top down" : " bottom up") + (runLength ? " run-length" : " raw") +
                                     " into " + std::to_string(request.cx) + "x" + std::to_string(request.cy));
                        MemoryPicture whole, fitted;
                        ASSERT_TRUE(LoadTgaFile(path.c_str(), whole));
                        PictureSize size;
                        const bool wholeScaled = ScalesTo(request, whole.width, whole.height, size) &&
                                                 ScaleWhole(whole, size.cx, size.cy, request.method);
                        const FittedLoad result = LoadTgaFileFitted(path.c_str(), request, fitted);
                        ASSERT_TRUE(result.streamed);
                        EXPECT_TRUE(result.loaded);
                        EXPECT_EQ(result.scaled, wholeScaled);
                        EXPECT_TRUE(SameBytes(fitted.Pixels(), whole.Pixels()));
                        EXPECT_EQ(fitted.creations, 1);
                        ++cases;
                    }
                WriteWholeFile(path, std::vector<uint8_t>(file.begin(), file.end() - 40));
                MemoryPicture cut;
                EXPECT_FALSE(LoadTgaFileFitted(path.c_str(), {64, 48, true, ScaleMethod::resample}, cut).loaded);
            }
    EXPECT_EQ(cases, 48);
}

// Cut short, damaged, or no JPEG at all: the fitted load fails (or fills in) exactly where
// the whole load does, and the sanitizers see no read beyond a buffer.
TEST_P(FittedThreadsTest, DamagedFilesEndAsTheWholeLoadEnds)
{
    const std::string path = scratch.Path("photo.jpg");
    WriteJpeg(path, 320, 200, 3, false, PhotoSamples(320, 200, 3, random));
    const std::vector<uint8_t> file = ReadWholeFile(path);
    std::vector<std::vector<uint8_t>> damaged;
    for (size_t keep : {size_t(0), size_t(2), size_t(20), size_t(300), file.size() / 3, file.size() / 2, file.size() - 2})
        damaged.emplace_back(file.begin(), file.begin() + keep);
    for (size_t at : {size_t(180), file.size() / 2, file.size() * 3 / 4}) {
        std::vector<uint8_t> bad = file;
        for (size_t i = at; i < at + 64 && i < bad.size(); ++i)
            bad[i] = uint8_t(i * 37);
        damaged.push_back(bad);
    }
    damaged.push_back(std::vector<uint8_t>(500, 'x'));
    for (size_t i = 0; i < damaged.size(); ++i)
        for (ScaleMethod method : kMethods) {
            SCOPED_TRACE("case " + std::to_string(i) + " " + Name(method));
            WriteWholeFile(path, damaged[i]);
            const FitRequest request {64, 48, true, method};
            MemoryPicture whole, fitted;
            bool wholeScaled = false;
            lastError[0] = 0;
            const bool wholeLoaded = LoadWhole(path, request, whole, &wholeScaled);
            const std::string wholeError = lastError;
            lastError[0] = 0;
            const FittedLoad result = LoadJpegFileFitted(path.c_str(), request, fitted, lastError);
            EXPECT_TRUE(result.streamed);
            EXPECT_EQ(result.loaded, wholeLoaded);
            EXPECT_EQ(std::string(lastError), wholeError);
            if (wholeLoaded && result.loaded) {
                EXPECT_TRUE(SameBytes(fitted.Pixels(), whole.Pixels()));
            }
        }
}

// A stop at every point of a fitted load: before it (no picture made), while the decoder takes
// in a progressive file's scans, at the creation of the output, after every row. Nothing
// counts as loaded; the flag stays raised, except where Resize itself stopped on it.
TEST_F(ScalingStreamTest, AbortAtEveryPhaseOfAFittedLoad)
{
    const std::string path = scratch.Path("photo.jpg");
    for (bool progressive : {false, true}) {
        WriteJpeg(path, 48, 40, 3, progressive, PhotoSamples(48, 40, 3, random));
        for (ScaleMethod method : kMethods) {
            SCOPED_TRACE(std::string(Name(method)) + (progressive ? " progressive" : " baseline"));
            const FitRequest request {20, 20, true, method};

            g_bAbortImageWork = 1;
            MemoryPicture untouched;
            FittedLoad result = LoadJpegFileFitted(path.c_str(), request, untouched, lastError);
            EXPECT_TRUE(result.streamed);
            EXPECT_FALSE(result.loaded);
            EXPECT_EQ(untouched.creations, 0);
            EXPECT_EQ(g_bAbortImageWork, 1);
            EXPECT_STREQ(lastError, "JPEG decoding stopped");

            // Raised when the output picture is made: the decoder stops at the next line.
            struct AbortOnCreate : MemoryPicture {
                bool CreatePixels(int32_t w, int32_t h) override
                {
                    g_bAbortImageWork = 1;
                    return MemoryPicture::CreatePixels(w, h);
                }
            } target;
            g_bAbortImageWork = 0;
            result = LoadJpegFileFitted(path.c_str(), request, target, lastError);
            EXPECT_FALSE(result.loaded);
            EXPECT_EQ(target.creations, 1);
            EXPECT_EQ(g_bAbortImageWork, 1);

            // After each row the scaler reports (the output is 20 x 16; Resize: output rows
            // 15 .. 0, top first; Resample: source rows 39 .. 0).
            const int reported = method == ScaleMethod::resample ? 40 : 16;
            for (int row = 0; row < reported; ++row) {
                g_bAbortImageWork = 0;
                MemoryPicture out;
                AbortAtRow observer(row);
                result = LoadJpegFileFitted(path.c_str(), request, out, lastError, &observer);
                EXPECT_TRUE(result.streamed);
                EXPECT_FALSE(result.loaded) << row;
                EXPECT_FALSE(result.scaled) << row;
                EXPECT_LE(observer.rows, reported - row) << row;
                // Resize lowers the flag when it is the one that saw it; the decoder, reading
                // the next line first, keeps it raised.
                if (method == ScaleMethod::resample) {
                    EXPECT_EQ(g_bAbortImageWork, 1) << row;
                }
            }
            g_bAbortImageWork = 0;
        }
    }
}

TEST_F(ScalingStreamTest, FittedLoadHandsBackWhatItCannotStream)
{
    const std::string path = scratch.Path("photo.jpg");
    WriteJpeg(path, 40, 30, 3, false, PhotoSamples(40, 30, 3, random));
    // An output the picture limit refuses: nothing is done, the caller takes the whole path
    // (which fails the same way and tells the user).
    MemoryPicture out;
    const FittedLoad result =
        LoadJpegFileFitted(path.c_str(), FitRequest {200000000, 30, false, ScaleMethod::resample}, out, lastError);
    EXPECT_FALSE(result.streamed);
    EXPECT_FALSE(result.loaded);

    // A file that is not there fails as a load, without a fallback.
    const FittedLoad missing = LoadJpegFileFitted(scratch.Path("none.jpg").c_str(),
                                                  FitRequest {20, 20, true, ScaleMethod::resize}, out, lastError);
    EXPECT_TRUE(missing.streamed);
    EXPECT_FALSE(missing.loaded);
}

} // namespace
