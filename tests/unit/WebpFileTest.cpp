#include "image/AbortFlag.h"
#include "image/WebpFile.h"
#include "unit/AllocationProbe.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <WebpBudget.h>
#include <webp/decode.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using Pixel = std::array<uint8_t, 3>;

// libwebp's source package (examples/test.webp) and the pictures of tests/data/webp, made
// by its make.sh from formulas repeated below.
std::string SourcePicture(const std::string& name)
{
    return (fs::path(MURLAVO_WEBP_TEST_PICTURES) / name).string();
}
std::string DataPicture(const std::string& name)
{
    return (fs::path(MURLAVO_WEBP_TEST_DATA) / name).string();
}

constexpr uint32_t kBackground = 0x00305070; // red 0x70, green 0x50, blue 0x30

// Red, green, blue, alpha over the background, blue first, as the reader must blend them.
Pixel Over(unsigned r, unsigned g, unsigned b, unsigned a, uint32_t background)
{
    auto blend = [a](unsigned s, unsigned bg) { return uint8_t((s * a + bg * (255 - a) + 127) / 255); };
    return {blend(b, (background >> 16) & 255), blend(g, (background >> 8) & 255), blend(r, background & 255)};
}

// The picture libwebp's own one-call decode gives, blended here in floating point.
void ReferenceDecode(const std::string& path, uint32_t background, MemoryPicture& out)
{
    const Bytes file = ReadWholeFile(path);
    int width = 0, height = 0;
    uint8_t* rgba = WebPDecodeRGBA(file.data(), file.size(), &width, &height);
    ASSERT_NE(rgba, nullptr) << path;
    ASSERT_TRUE(out.CreatePixels(width, height));
    const double bg[3] = {double((background >> 16) & 255), double((background >> 8) & 255), double(background & 255)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* in = rgba + (size_t(y) * width + x) * 4;
            uint8_t* pixel = out.Pixels().Row(height - 1 - y) + 3 * x;
            const double alpha = in[3] / 255.0;
            for (int c = 0; c < 3; ++c)
                pixel[c] = uint8_t(std::floor(in[2 - c] * alpha + bg[c] * (1 - alpha) + 0.5));
        }
    WebPFree(rgba);
}

// Hand-made files: chunks in the RIFF container, and a lossless bit stream written least
// significant bit first.
void PutChunk(Bytes& out, const char* type, const Bytes& payload)
{
    const uint32_t size = uint32_t(payload.size());
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)});
    out.insert(out.end(), payload.begin(), payload.end());
    if (size & 1)
        out.push_back(0);
}
Bytes Riff(const Bytes& chunks)
{
    Bytes file;
    PutChunk(file, "RIFF", Bytes{'W', 'E', 'B', 'P'});
    file.insert(file.end(), chunks.begin(), chunks.end());
    file[4] = uint8_t(file.size() - 8); // the RIFF size counts from byte 8
    for (int i = 1; i < 4; ++i)
        file[4 + i] = uint8_t((file.size() - 8) >> (8 * i));
    return file;
}

// The VP8L chunk of a lossless picture of one colour at any size: five Huffman codes of a
// single symbol each, so its pixels take no bits at all: the densest file there is.
Bytes FlatLossless(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b)
{
    Bytes bits;
    size_t used = 0;
    auto put = [&](uint32_t value, int count) {
        for (int i = 0; i < count; ++i, ++used) {
            if (used % 8 == 0)
                bits.push_back(0);
            bits.back() |= uint8_t(((value >> i) & 1) << (used % 8));
        }
    };
    put(0x2F, 8);
    put(width - 1, 14);
    put(height - 1, 14);
    put(0, 7); // no alpha, version 0; no transform, no colour cache, no meta codes
    for (const uint8_t symbol : {g, r, b, uint8_t(255), uint8_t(0)}) // green, red, blue, alpha, distance
        put(1 | 0 << 1 | 1 << 2 | uint32_t(symbol) << 3, 11);     // simple code, one 8-bit symbol
    Bytes chunk;
    PutChunk(chunk, "VP8L", bits);
    return chunk;
}

// The extended header: flags and the canvas size.
Bytes Vp8x(uint8_t flags, uint32_t width, uint32_t height)
{
    Bytes payload = {flags, 0, 0, 0};
    for (const uint32_t side : {width - 1, height - 1})
        payload.insert(payload.end(), {uint8_t(side), uint8_t(side >> 8), uint8_t(side >> 16)});
    Bytes chunk;
    PutChunk(chunk, "VP8X", payload);
    return chunk;
}

class WebpFileTest : public ReaderTest {};

// libwebp's test picture equals the library's own decode exactly, and the reference picture
// shipped beside it within 1: that one was made by an older version whose colour conversion
// rounds differently (1 apart in about a quarter of the samples), yet it catches any swapped
// channel, mirrored or shifted line.
TEST_F(WebpFileTest, SourcePackagePictureEqualsTheLibraryDecodeAndItsReference)
{
    const std::string path = SourcePicture("examples/test.webp");
    MemoryPicture got, want;
    ASSERT_TRUE(LoadWebpFile(path.c_str(), got, lastError, kBackground)) << lastError << " (run scripts/setup.sh)";
    EXPECT_EQ(got.creations, 1);
    ReferenceDecode(path, kBackground, want);
    ExpectSamePicture(got, want, path);

    const Bytes ppm = ReadWholeFile(SourcePicture("examples/test_ref.ppm"));
    const std::string header = "P6\n128 128\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + 128 * 128 * 3);
    ASSERT_EQ(std::string(ppm.begin(), ppm.begin() + header.size()), header);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_LE(std::abs(ppm[header.size() + (y * 128 + x) * 3 + c] - got.Pixel(x, 127 - y)[2 - c]), 1)
                    << x << ", " << y << " channel " << c;
}

// The lossless pictures come out exactly as their formulas (tests/data/webp/make.sh), alpha
// blended over the background with the PNG reader's rounding; a lossy picture with alpha as
// libwebp decodes it, blended.
TEST_F(WebpFileTest, LosslessAndAlphaPicturesComeOutAsTheirFormulas)
{
    MemoryPicture picture;
    ASSERT_TRUE(LoadWebpFile(DataPicture("lossless.webp").c_str(), picture, lastError, kBackground)) << lastError;
    ASSERT_EQ(picture.width, 61);
    ASSERT_EQ(picture.height, 47);
    for (int y = 0; y < 47; ++y)
        for (int x = 0; x < 61; ++x)
            ASSERT_EQ(picture.Pixel(x, 46 - y), Over((x * 4 + y) & 255, y * 5, (x * y) & 255, 255, 0)) << x << ", " << y;
    EXPECT_TRUE(picture.RowEndsZero());

    for (const uint32_t background : {kBackground, 0x00FF00FFu}) {
        MemoryPicture alpha;
        ASSERT_TRUE(LoadWebpFile(DataPicture("alpha-lossless.webp").c_str(), alpha, lastError, background)) << lastError;
        ASSERT_EQ(alpha.width, 33);
        ASSERT_EQ(alpha.height, 21);
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 33; ++x)
                ASSERT_EQ(alpha.Pixel(x, 20 - y), Over(x * 7, y * 12, 200 - x * 3, std::min(255, x * 8 + y * 2), background))
                    << x << ", " << y;

        MemoryPicture lossy, want;
        ASSERT_TRUE(LoadWebpFile(DataPicture("alpha-lossy.webp").c_str(), lossy, lastError, background)) << lastError;
        ReferenceDecode(DataPicture("alpha-lossy.webp"), background, want);
        ExpectSamePicture(lossy, want, "alpha-lossy.webp");
    }
}

// An animation shows its first frame where it lies on the canvas (16 x 12 at 10, 6 of 40 x 30);
// the rest of the canvas, and the frame's transparent pixels, are the background.
TEST_F(WebpFileTest, AnimationShowsItsFirstFrameOnTheCanvas)
{
    MemoryPicture picture;
    ASSERT_TRUE(LoadWebpFile(DataPicture("animated.webp").c_str(), picture, lastError, kBackground)) << lastError;
    ASSERT_EQ(picture.width, 40);
    ASSERT_EQ(picture.height, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const int fx = x - 10, fy = y - 6;
            Pixel want = Over(0, 0, 0, 0, kBackground);
            if (fx >= 0 && fx < 16 && fy >= 0 && fy < 12)
                want = Over(fx * 16, fy * 20, 128, fx < 2 ? 0 : fy == 5 ? 128 : 255, kBackground);
            ASSERT_EQ(picture.Pixel(x, 29 - y), want) << x << ", " << y;
        }
}

// The lines come once each in order, after one Begin; the sink and the abort flag stop the
// read, the flag also while lines are being handed over.
TEST_F(WebpFileTest, LinesComeInOrderAndTheReadCanBeStopped)
{
    struct Sink : IJpegLineSink {
        bool Begin(uint32_t w, uint32_t) override
        {
            ++begun;
            line.assign(size_t(w) * 3, 0);
            return true;
        }
        uint8_t* Line(uint32_t index) override
        {
            EXPECT_EQ(index, next);
            return line.data();
        }
        bool LineDone(uint32_t index) override
        {
            EXPECT_EQ(index, next++);
            if (int(index) == abortAt)
                g_bAbortImageWork = 1;
            return int(index) != stopAt;
        }
        int begun = 0, stopAt = -1, abortAt = -1;
        uint32_t next = 0;
        Bytes line;
    };
    const std::string path = SourcePicture("examples/test.webp");
    Sink sink;
    ASSERT_TRUE(ReadWebpFile(path.c_str(), sink, lastError, 0)) << lastError;
    EXPECT_EQ(sink.begun, 1);
    EXPECT_EQ(sink.next, 128u);
    Sink stopping;
    stopping.stopAt = 3;
    EXPECT_FALSE(ReadWebpFile(path.c_str(), stopping, lastError, 0));
    EXPECT_EQ(stopping.next, 4u);
    Sink aborting;
    aborting.abortAt = 5;
    EXPECT_FALSE(ReadWebpFile(path.c_str(), aborting, lastError, 0));
    EXPECT_EQ(aborting.next, 6u);
    EXPECT_STREQ(lastError, "WebP decoding stopped");
    // Raised before the read: no picture is made.
    for (const char* name : {"lossless.webp", "animated.webp"}) {
        MemoryPicture picture;
        EXPECT_FALSE(LoadWebpFile(DataPicture(name).c_str(), picture, lastError, 0)) << name;
        EXPECT_EQ(picture.creations, 0) << name;
    }
    EXPECT_STREQ(lastError, "WebP decoding stopped");
}

// A still picture cut short loads its top lines (each as in the whole picture) over the
// background and says so, or is refused when no line is left; an animation cut short is
// refused.
TEST_F(WebpFileTest, TruncatedFilesLoadTheirTopLinesOrAreRefused)
{
    const std::vector<std::string> stills = {SourcePicture("examples/test.webp"), DataPicture("lossless.webp"),
                                             DataPicture("alpha-lossy.webp")};
    for (const std::string& path : stills) {
        const Bytes whole = ReadWholeFile(path);
        MemoryPicture want;
        ReferenceDecode(path, kBackground, want);
        int partial = 0;
        for (size_t cut = 11; cut < whole.size(); cut += std::max<size_t>(1, whole.size() / 40)) {
            SCOPED_TRACE(path + " cut at " + std::to_string(cut));
            MemoryPicture got;
            lastError[0] = '\0';
            if (!LoadWebpFile(Write("cut.webp", Bytes(whole.begin(), whole.begin() + cut)).c_str(), got, lastError,
                              kBackground)) {
                EXPECT_EQ(got.creations, 0);
                EXPECT_NE(lastError[0], '\0');
                continue;
            }
            ASSERT_EQ(got.width, want.width);
            ASSERT_EQ(got.height, want.height);
            // Whole lines from the top, then only the background.
            bool inBackground = false;
            for (int32_t line = 0; line < got.height; ++line) {
                const int32_t row = got.height - 1 - line;
                bool same = true, background = true;
                for (int32_t x = 0; x < got.width; ++x) {
                    same = same && got.Pixel(x, row) == want.Pixel(x, row);
                    background = background && got.Pixel(x, row) == Over(0, 0, 0, 0, kBackground);
                }
                ASSERT_TRUE(inBackground ? background : same || background) << "line " << line;
                inBackground = inBackground || !same;
            }
            // The last bytes of a file may hold nothing the picture needs: then it is whole.
            const bool brokenOff = std::string(lastError).find("broken off") != std::string::npos;
            EXPECT_EQ(inBackground, brokenOff) << lastError;
            partial += brokenOff;
        }
        EXPECT_GE(partial, 1) << path;
    }
    const Bytes animation = ReadWholeFile(DataPicture("animated.webp"));
    for (const size_t cut : {animation.size() / 2, animation.size() - 1}) {
        MemoryPicture got;
        EXPECT_FALSE(LoadWebpFile(Write("cut.webp", Bytes(animation.begin(), animation.begin() + cut)).c_str(), got,
                                  lastError, 0));
        EXPECT_EQ(got.creations, 0);
    }
}

// A tiny file claiming a huge picture is refused before anything of its size is allocated; a
// flat picture of a few megapixels (the densest kind) within the always-accepted share loads.
TEST_F(WebpFileTest, HugeClaimsAreRefusedBeforeAnyLargeAllocation)
{
    const Bytes bomb = Riff(FlatLossless(16383, 16383, 1, 2, 3));
    ASSERT_LT(bomb.size(), 64u);
    ASSERT_GT(WebpDecodeMemory(16383, 16383, WebpLayout::whole), kWebpMemoryAlwaysAccepted);
    MemoryPicture picture;
    g_largestAllocation = 0;
    EXPECT_FALSE(LoadWebpFile(Write("bomb.webp", bomb).c_str(), picture, lastError, 0));
    EXPECT_EQ(picture.creations, 0);
    EXPECT_LT(g_largestAllocation.load(), size_t(64) << 10);
    EXPECT_NE(std::string(lastError).find("too small"), std::string::npos) << lastError;

    // An animation's canvas beyond the format's sides, and a file beyond kMaxWebpFileBytes
    // (sparse: nothing of it is read).
    EXPECT_FALSE(LoadWebpFile(Write("wide.webp", Riff(Vp8x(0x02, 20000, 10))).c_str(), picture, lastError, 0));
    EXPECT_NE(std::string(lastError).find("size refused"), std::string::npos) << lastError;
    const std::string large = Write("large.webp", ReadWholeFile(DataPicture("lossless.webp")));
    fs::resize_file(large, uint64_t(kMaxWebpFileBytes) + 1);
    g_largestAllocation = 0;
    EXPECT_FALSE(LoadWebpFile(large.c_str(), picture, lastError, 0));
    EXPECT_LT(g_largestAllocation.load(), size_t(64) << 10);
    EXPECT_NE(std::string(lastError).find("too large"), std::string::npos) << lastError;
    EXPECT_EQ(picture.creations, 0);

    const uint32_t side = 2000;
    ASSERT_LT(WebpDecodeMemory(side, side, WebpLayout::whole), kWebpMemoryAlwaysAccepted);
    ASSERT_TRUE(LoadWebpFile(Write("flat.webp", Riff(FlatLossless(side, side, 1, 2, 3))).c_str(), picture, lastError, 0))
        << lastError;
    EXPECT_EQ(picture.width, int32_t(side));
    EXPECT_EQ(picture.Pixel(0, 0), (Pixel{3, 2, 1}));
    EXPECT_EQ(picture.Pixel(side - 1, side - 1), (Pixel{3, 2, 1}));
}

// Damaged and foreign files are refused with a reason, or load a picture of their declared
// size; every single-byte change of a small file is survived (the sanitizers watch the native
// run).
TEST_F(WebpFileTest, DamagedFilesAreRefusedWithoutHarm)
{
    const Bytes good = ReadWholeFile(DataPicture("alpha-lossless.webp"));
    Bytes unknownChunk;
    PutChunk(unknownChunk, "ABCD", Bytes(10, 0));
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"RIFF header only", Bytes(good.begin(), good.begin() + 12)},
        {"not a WebP file", Bytes(100, 'x')},
        {"no picture chunk", Riff(unknownChunk)},
        {"canvas and picture sizes differ", Riff([] {
             Bytes chunks = Vp8x(0, 40, 40);
             const Bytes flat = FlatLossless(20, 20, 0, 0, 0);
             chunks.insert(chunks.end(), flat.begin(), flat.end());
             return chunks;
         }())},
    };
    for (const auto& [what, bytes] : cases) {
        MemoryPicture picture;
        lastError[0] = '\0';
        EXPECT_FALSE(LoadWebpFile(Write("bad.webp", bytes).c_str(), picture, lastError, 0)) << what;
        EXPECT_EQ(picture.creations, 0) << what;
        EXPECT_NE(lastError[0], '\0') << what;
    }
    MemoryPicture missing;
    EXPECT_FALSE(LoadWebpFile(scratch.Path("missing.webp").c_str(), missing, lastError, 0));
    EXPECT_STREQ(lastError, "Cannot open the WebP file");
    EXPECT_FALSE(LoadWebpFile(Write("bad.webp", Bytes(100, 'x')).c_str(), missing, nullptr, 0)); // no message wanted

    for (size_t at = 0; at < good.size(); ++at)
        for (const uint8_t flip : {uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)}) {
            Bytes bytes = good;
            bytes[at] ^= flip;
            MemoryPicture picture;
            if (LoadWebpFile(Write("flip.webp", bytes).c_str(), picture, lastError, 0)) {
                EXPECT_TRUE(picture.width > 0 && picture.height > 0 && picture.RowEndsZero()) << at;
            }
            EXPECT_LE(picture.creations, 1) << at;
        }
}

// The cap on libwebp's allocations: a decode that needs more than the budget fails and says
// so; what is freed is given back, so a budget just large enough for one decode holds any
// number of them in turn; without a budget nothing is counted.
TEST_F(WebpFileTest, TheBudgetCapsWhatTheLibraryAllocates)
{
    const Bytes file = ReadWholeFile(DataPicture("lossless.webp"));
    auto decode = [&] {
        int width = 0, height = 0;
        uint8_t* rgba = WebPDecodeRGBA(file.data(), file.size(), &width, &height);
        WebPFree(rgba);
        return rgba != nullptr;
    };
    auto fits = [&](size_t budget, int decodes) {
        WebpBudgetBegin(budget);
        bool ok = true;
        for (int i = 0; i < decodes && ok; ++i)
            ok = decode();
        return WebpBudgetEnd() == 0 && ok;
    };
    size_t tooSmall = 0, enough = size_t(16) << 20; // the least budget one decode needs
    ASSERT_TRUE(fits(enough, 1));
    while (enough - tooSmall > 1) {
        const size_t middle = tooSmall + (enough - tooSmall) / 2;
        (fits(middle, 1) ? enough : tooSmall) = middle;
    }
    EXPECT_GT(enough, file.size());
    EXPECT_TRUE(fits(enough, 3));
    EXPECT_FALSE(fits(enough - 1, 1));
    EXPECT_TRUE(decode());
}

// The orientation of the first EXIF chunk of a VP8X file that announces it, with or without
// "Exif\0\0" before the TIFF header, found past chunks of odd size; 1 for everything else.
TEST_F(WebpFileTest, OrientationComesFromTheExifChunk)
{
    auto tiff = [](uint8_t value) { // little-endian; IFD0 holds the orientation, a SHORT
        return Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, value, 0, 0, 0, 0, 0, 0, 0};
    };
    auto file = [](uint8_t flags, const Bytes& exif, const Bytes& before = {}) {
        Bytes chunks = Vp8x(flags, 1, 1);
        PutChunk(chunks, "VP8L", Bytes(5, 0)); // odd: padded
        chunks.insert(chunks.end(), before.begin(), before.end());
        PutChunk(chunks, "EXIF", exif);
        return Riff(chunks);
    };
    constexpr uint8_t kExif = 0x08;
    for (uint8_t value = 1; value <= 8; ++value) {
        Bytes prefixed = {'E', 'x', 'i', 'f', 0, 0};
        const Bytes plain = tiff(value);
        prefixed.insert(prefixed.end(), plain.begin(), plain.end());
        EXPECT_EQ(WebpFileOrientation(Write("o.webp", file(kExif, plain)).c_str()), value);
        EXPECT_EQ(WebpFileOrientation(Write("o.webp", file(kExif, prefixed)).c_str()), value);
    }
    Bytes xmp;
    PutChunk(xmp, "XMP ", Bytes(3, 'x'));
    EXPECT_EQ(WebpFileOrientation(Write("o.webp", file(kExif | 0x04, tiff(3), xmp)).c_str()), 3);
    Bytes big = tiff(6);
    big.resize(kMaxWebpExifBytes + 1000, 0); // only the start is read
    EXPECT_EQ(WebpFileOrientation(Write("o.webp", file(kExif, big)).c_str()), 6);

    Bytes pastEnd = file(kExif, tiff(6));
    pastEnd.resize(pastEnd.size() - 4); // the chunk runs past the end of the file
    Bytes simple = FlatLossless(4, 4, 0, 0, 0);
    PutChunk(simple, "EXIF", tiff(6));
    const std::vector<std::pair<const char*, Bytes>> upright = {
        {"no EXIF flag", file(0, tiff(6))},
        {"chunk past the end", pastEnd},
        {"simple file", Riff(simple)},
        {"empty", {}},
        {"not RIFF", Bytes(64, 'x')},
    };
    for (const auto& [what, bytes] : upright)
        EXPECT_EQ(WebpFileOrientation(Write("o.webp", bytes).c_str()), 1) << what;
    EXPECT_EQ(WebpFileOrientation(scratch.Path("missing.webp").c_str()), 1);
    EXPECT_EQ(WebpFileOrientation(nullptr), 1);
}

} // namespace
