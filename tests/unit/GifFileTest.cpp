#include "image/AbortFlag.h"
#include "image/FittedLoad.h"
#include "image/GifFile.h"
#include "image/Scaling.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using Pixel = std::array<uint8_t, 3>;

// The giflib source package's folders (scripts/setup.sh unpacks it): pic/ holds the pictures,
// tests/ what giflib's own gif2rgb makes of them (the screen after every frame, as red, green,
// blue bytes, top line first).
std::string GiflibFile(const std::string& name)
{
    return (fs::path(MURLAVO_GIF_TEST_PICTURES) / name).string();
}

void PutWord(Bytes& out, unsigned value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

// LZW data that stores every pixel as a literal code, sending a clear code before the table
// would make the codes wider: valid GIF data any decoder reads, and easy to cut anywhere.
Bytes LiteralLzw(const Bytes& indexes, int minimumCodeSize)
{
    const unsigned clear = 1u << minimumCodeSize, end = clear + 1;
    const int width = minimumCodeSize + 1;
    const size_t perClear = clear - 3;
    Bytes packed;
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](unsigned code) {
        bits |= code << count;
        count += width;
        while (count >= 8) {
            packed.push_back(uint8_t(bits));
            bits >>= 8;
            count -= 8;
        }
    };
    for (size_t i = 0; i < indexes.size(); ++i) {
        if (i % perClear == 0)
            put(clear);
        put(indexes[i]);
    }
    put(end);
    if (count > 0)
        packed.push_back(uint8_t(bits));
    Bytes out = {uint8_t(minimumCodeSize)};
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + long(at), packed.begin() + long(at + n));
    }
    out.push_back(0);
    return out;
}

struct Frame {
    unsigned left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    int transparent = -1;
    Bytes indexes; // top line first, in display order (interlaced or not)
    Bytes colours; // a local colour table of 8 entries (red, green, blue) when not empty
};

// The lines of an interlaced frame in the order they are stored.
Bytes InterlacedOrder(const Bytes& indexes, unsigned width, unsigned height)
{
    Bytes out;
    static const unsigned start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (unsigned row = start[pass]; row < height; row += step[pass])
            out.insert(out.end(), indexes.begin() + long(row * width), indexes.begin() + long((row + 1) * width));
    return out;
}

// A GIF89a file: a screen with a global table of 8 colours (index i: red 10 i, green 20 i,
// blue 30 i) unless globalColours is false, then the frames.
Bytes MakeGif(unsigned screenWidth, unsigned screenHeight, const std::vector<Frame>& frames, bool globalColours = true)
{
    Bytes file = {'G', 'I', 'F', '8', '9', 'a'};
    PutWord(file, screenWidth);
    PutWord(file, screenHeight);
    file.push_back(globalColours ? 0xF2 : 0x00); // table of 2^(2+1) entries
    file.push_back(0);                            // screen background index: not used
    file.push_back(0);
    if (globalColours)
        for (int i = 0; i < 8; ++i)
            file.insert(file.end(), {uint8_t(10 * i), uint8_t(20 * i), uint8_t(30 * i)});
    for (const Frame& frame : frames) {
        if (frame.transparent >= 0)
            file.insert(file.end(), {0x21, 0xF9, 4, 1, 0, 0, uint8_t(frame.transparent), 0});
        file.push_back(0x2C);
        PutWord(file, frame.left);
        PutWord(file, frame.top);
        PutWord(file, frame.width);
        PutWord(file, frame.height);
        file.push_back(uint8_t((frame.interlaced ? 0x40 : 0) | (frame.colours.empty() ? 0 : 0x82)));
        file.insert(file.end(), frame.colours.begin(), frame.colours.end());
        const Bytes stored = frame.interlaced ? InterlacedOrder(frame.indexes, frame.width, frame.height) : frame.indexes;
        const Bytes data = LiteralLzw(stored, 3);
        file.insert(file.end(), data.begin(), data.end());
    }
    file.push_back(0x3B);
    return file;
}

Pixel Global(int i)
{
    return Pixel {uint8_t(30 * i), uint8_t(20 * i), uint8_t(10 * i)};
}

constexpr uint32_t kBackground = 0x00305070;
const Pixel kBackgroundPixel = {0x30, 0x50, 0x70};

class GifFileTest : public ReaderTest {
protected:
    // Pixel (x, y) counted from the top line.
    static Pixel At(const MemoryPicture& picture, int x, int y) { return picture.Pixel(x, picture.height - 1 - y); }
};

// giflib's still pictures, interlaced or not, equal what its own gif2rgb makes of them; the
// one with a transparent colour equals it wherever it is not the background.
TEST_F(GifFileTest, TheSourcePackagesPicturesEqualGiflibsOwnDecode)
{
    struct Case {
        const char* name;
        bool transparent;
    };
    for (const Case& c : {Case {"porsche", false}, Case {"solid2", false}, Case {"treescap", false},
                          Case {"treescap-interlaced", false}, Case {"gifgrid", false}, Case {"x-trans", true}}) {
        SCOPED_TRACE(c.name);
        const Bytes want = ReadWholeFile(GiflibFile(std::string("tests/") + c.name + ".rgb"));
        ASSERT_FALSE(want.empty()) << "run scripts/setup.sh";
        MemoryPicture got;
        ASSERT_TRUE(LoadGifFile(GiflibFile(std::string("pic/") + c.name + ".gif").c_str(), got, lastError, kBackground))
            << lastError;
        ASSERT_EQ(size_t(got.width) * got.height * 3, want.size());
        EXPECT_TRUE(got.RowEndsZero());
        int background = 0;
        for (int y = 0; y < got.height; ++y)
            for (int x = 0; x < got.width; ++x) {
                const uint8_t* rgb = &want[(size_t(y) * got.width + x) * 3];
                const Pixel pixel = At(got, x, y);
                if (c.transparent && pixel == kBackgroundPixel) {
                    ++background;
                    continue;
                }
                ASSERT_EQ(pixel, (Pixel {rgb[2], rgb[1], rgb[0]})) << "at " << x << ", " << y;
            }
        EXPECT_EQ(background > 0, c.transparent);
    }
    // An animation: its first frame only, which gif2rgb's final screen differs from.
    MemoryPicture first;
    ASSERT_TRUE(LoadGifFile(GiflibFile("pic/fire.gif").c_str(), first, lastError, kBackground)) << lastError;
    EXPECT_GT(first.width, 0);
}

// A frame placed on a larger screen: the rest of the screen, the frame's transparent pixels and
// nothing else are the background; an index beyond a local table is black; a second frame is
// not drawn.
TEST_F(GifFileTest, TheFirstFrameIsDrawnOnTheScreenOverTheBackground)
{
    Frame frame;
    frame.left = 1;
    frame.top = 2;
    frame.width = 3;
    frame.height = 2;
    frame.transparent = 5;
    frame.indexes = {1, 5, 2, 3, 4, 7};
    Frame later = frame;
    later.left = later.top = 0;
    later.indexes = {6, 6, 6, 6, 6, 6};
    MemoryPicture picture;
    ASSERT_TRUE(LoadGifFile(Write("a.gif", MakeGif(5, 5, {frame, later})).c_str(), picture, lastError, kBackground))
        << lastError;
    ASSERT_EQ(picture.width, 5);
    ASSERT_EQ(picture.height, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            Pixel want = kBackgroundPixel;
            if (x >= 1 && x < 4 && y >= 2 && y < 4 && frame.indexes[(y - 2) * 3 + (x - 1)] != 5)
                want = Global(frame.indexes[(y - 2) * 3 + (x - 1)]);
            EXPECT_EQ(At(picture, x, y), want) << x << ", " << y;
        }

    // A local table of 2 entries (size bits 0): indexes 2 and up are black.
    Frame local;
    local.width = 3;
    local.height = 1;
    local.indexes = {0, 1, 2};
    local.colours = {1, 2, 3, 4, 5, 6};
    Bytes file = MakeGif(3, 1, {local});
    file[13 + 24 + 9] = 0x80; // the frame's flags: a local table of 2 entries
    MemoryPicture small;
    ASSERT_TRUE(LoadGifFile(Write("l.gif", file).c_str(), small, lastError, kBackground)) << lastError;
    EXPECT_EQ(At(small, 0, 0), (Pixel {3, 2, 1}));
    EXPECT_EQ(At(small, 1, 0), (Pixel {6, 5, 4}));
    EXPECT_EQ(At(small, 2, 0), (Pixel {0, 0, 0}));

    // A frame that reaches past the screen is cut; a screen of no size takes the frame's edges.
    Frame wide = frame;
    wide.transparent = -1;
    MemoryPicture cut, grown;
    ASSERT_TRUE(LoadGifFile(Write("c.gif", MakeGif(2, 3, {wide})).c_str(), cut, lastError, kBackground)) << lastError;
    ASSERT_EQ(cut.width, 2);
    EXPECT_EQ(At(cut, 1, 2), Global(1));
    EXPECT_EQ(At(cut, 0, 2), kBackgroundPixel);
    ASSERT_TRUE(LoadGifFile(Write("g.gif", MakeGif(0, 0, {wide})).c_str(), grown, lastError, kBackground)) << lastError;
    EXPECT_EQ(grown.width, 4);
    EXPECT_EQ(grown.height, 4);
    EXPECT_EQ(At(grown, 3, 3), Global(7));
}

// Interlaced lines come in four passes and land where they belong, through the sink top first.
TEST_F(GifFileTest, AnInterlacedFrameEqualsTheSameFrameStoredInOrder)
{
    Frame frame;
    frame.width = 2;
    frame.height = 11;
    for (unsigned i = 0; i < 22; ++i)
        frame.indexes.push_back(uint8_t((i / 2) % 8));
    Frame interlaced = frame;
    interlaced.interlaced = true;
    MemoryPicture plain, woven;
    ASSERT_TRUE(LoadGifFile(Write("p.gif", MakeGif(2, 11, {frame})).c_str(), plain, lastError, 0)) << lastError;
    ASSERT_TRUE(LoadGifFile(Write("i.gif", MakeGif(2, 11, {interlaced})).c_str(), woven, lastError, 0)) << lastError;
    EXPECT_EQ(woven.bytes, plain.bytes);
    for (int y = 0; y < 11; ++y)
        EXPECT_EQ(At(woven, 1, y), Global(y % 8));
}

// Damaged and hostile files: cut short after some lines (the rest is background, the reason
// given), cut before any line, without colours or picture, not a GIF, a huge screen in a tiny
// file (refused before the picture exists), and a stop request.
TEST_F(GifFileTest, BadFilesFailOrLoadWhatTheyHold)
{
    Frame frame;
    frame.width = 40; // about ten blocks of data, the reader's unit
    frame.height = 100;
    frame.indexes.assign(4000, 3);
    const Bytes whole = MakeGif(40, 100, {frame});
    MemoryPicture picture;
    const Bytes cut(whole.begin(), whole.begin() + long(whole.size() * 2 / 5));
    ASSERT_TRUE(LoadGifFile(Write("cut.gif", cut).c_str(), picture, lastError, kBackground)) << lastError;
    EXPECT_NE(std::strstr(lastError, "broken off"), nullptr) << lastError;
    EXPECT_EQ(At(picture, 0, 0), Global(3));
    EXPECT_EQ(At(picture, 39, 99), kBackgroundPixel);

    Frame interlaced = frame;
    interlaced.interlaced = true;
    const Bytes wholeWoven = MakeGif(40, 100, {interlaced});
    const Bytes cutWoven(wholeWoven.begin(), wholeWoven.begin() + long(wholeWoven.size() * 2 / 5));
    ASSERT_TRUE(LoadGifFile(Write("cutw.gif", cutWoven).c_str(), picture, lastError, kBackground)) << lastError;
    EXPECT_EQ(At(picture, 0, 0), Global(3));  // pass 1
    EXPECT_EQ(At(picture, 0, 1), kBackgroundPixel); // pass 4, never reached

    struct Refused {
        const char* name;
        Bytes file;
        const char* reason;
    };
    const size_t headers = 13 + 24 + 10; // screen, colours, frame descriptor
    const Bytes huge = MakeGif(16000, 16000, {frame});
    std::vector<Refused> refused = {
        {"early.gif", Bytes(whole.begin(), whole.begin() + long(headers + 3)), "refused"},
        {"colourless.gif", MakeGif(40, 100, {frame}, false), "without colours"},
        {"empty.gif", MakeGif(4, 4, {}), "without a picture"},
        {"png.gif", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0}, "refused"},
        {"huge.gif", huge, "too small for its size"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.name);
        MemoryPicture untouched;
        lastError[0] = 0;
        EXPECT_FALSE(LoadGifFile(Write(r.name, r.file).c_str(), untouched, lastError, kBackground));
        EXPECT_NE(std::strstr(lastError, r.reason), nullptr) << lastError;
        EXPECT_EQ(untouched.creations, 0);
    }
    EXPECT_FALSE(LoadGifFile(scratch.Path("missing.gif").c_str(), picture, lastError, 0));

    g_bAbortImageWork = 1;
    MemoryPicture stopped;
    EXPECT_FALSE(LoadGifFile(Write("whole.gif", whole).c_str(), stopped, lastError, 0));
    EXPECT_STREQ(lastError, "GIF decoding stopped");
}

} // namespace

namespace {

// Fitted as they are read, giflib's pictures (interlaced or not, with transparency, an
// animation) give the bytes of loading them whole and scaling.
TEST_F(GifFileTest, FittedLoadsGiveTheWholePathsBytes)
{
    for (const char* name : {"porsche", "treescap-interlaced", "x-trans", "fire"})
        for (const ScaleMethod method : {ScaleMethod::resample, ScaleMethod::resize}) {
            SCOPED_TRACE(name);
            const std::string path = GiflibFile(std::string("pic/") + name + ".gif");
            const FitRequest request {97, 61, true, method};
            MemoryPicture whole, fitted;
            ASSERT_TRUE(LoadGifFile(path.c_str(), whole, lastError, kBackground)) << lastError;
            PictureSize size;
            ASSERT_TRUE(ScalesTo(request, whole.width, whole.height, size));
            ASSERT_TRUE(method == ScaleMethod::resample ? ResamplePicture(whole, size.cx, size.cy)
                                                        : ResizePicture(whole, size.cx, size.cy));
            const FittedLoad result = LoadGifFileFitted(path.c_str(), request, fitted, lastError, kBackground);
            EXPECT_TRUE(result.streamed && result.loaded && result.scaled) << lastError;
            EXPECT_EQ(fitted.bytes, whole.bytes);
            EXPECT_EQ(fitted.creations, 1);
        }
}

} // namespace
