#include "image/AbortFlag.h"
#include "image/PngFile.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <spng.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// The pictures of libpng's source package (scripts/setup.sh unpacks it).
std::string PngPictures(const std::string& folder)
{
    return (fs::path(MURLAVO_PNG_TEST_PICTURES) / folder).string();
}

std::vector<std::string> PngFilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing))
        if (entry.path().extension() == ".png")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// A file decoded by libspng on its own into 8-bit RGBA (transparency applied), blended here
// over the background in floating point: the picture our reader must produce.
bool ReferenceDecode(const Bytes& file, uint32_t background, MemoryPicture& out)
{
    spng_ctx* context = spng_ctx_new(0);
    spng_set_png_buffer(context, file.data(), file.size());
    spng_ihdr header;
    size_t size = 0;
    Bytes rgba;
    bool ok = spng_get_ihdr(context, &header) == 0 &&
              spng_decoded_image_size(context, SPNG_FMT_RGBA8, &size) == 0;
    if (ok) {
        rgba.resize(size);
        ok = spng_decode_image(context, rgba.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
    }
    spng_ctx_free(context);
    if (!ok || !out.CreatePixels(int32_t(header.width), int32_t(header.height)))
        return false;
    const double bg[3] = {double((background >> 16) & 255), double((background >> 8) & 255),
                          double(background & 255)};
    for (uint32_t y = 0; y < header.height; ++y)
        for (uint32_t x = 0; x < header.width; ++x) {
            const uint8_t* in = &rgba[(size_t(y) * header.width + x) * 4];
            uint8_t* pixel = out.Pixels().Row(int32_t(header.height - 1 - y)) + 3 * x;
            const double alpha = in[3] / 255.0;
            for (int c = 0; c < 3; ++c)
                pixel[c] = uint8_t(in[2 - c] * alpha + bg[c] * (1 - alpha) + 0.5);
        }
    return true;
}

// Hand-made files: chunks with their checksums, picture data deflated by zlib.
void PutBig32(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data)
{
    PutBig32(out, uint32_t(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBig32(out, uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
}

Bytes Deflate(const Bytes& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

// scanlines: the raw picture data, a filter byte (0) before each line. extra: chunks between
// the header and the picture data.
Bytes MakePng(uint32_t width, uint32_t height, int depth, int colourType, const Bytes& scanlines,
              const Bytes& extra = {})
{
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBig32(header, width);
    PutBig32(header, height);
    header.insert(header.end(), {uint8_t(depth), uint8_t(colourType), 0, 0, 0});
    PutChunk(file, "IHDR", header);
    file.insert(file.end(), extra.begin(), extra.end());
    PutChunk(file, "IDAT", Deflate(scanlines));
    PutChunk(file, "IEND", {});
    return file;
}

constexpr uint32_t kBackground = 0x00305070; // red 0x70, green 0x50, blue 0x30

class PngFileTest : public ReaderTest {};

// Every picture of the test suite, interlaced or not, all colour types and depths, and the
// pictures of every type with and without tRNS and colour-space chunks, equal libspng's own
// decode blended over two backgrounds.
TEST_F(PngFileTest, EveryTestPictureEqualsTheReferenceDecode)
{
    std::vector<std::string> files = PngFilesIn(PngPictures("pngsuite"));
    const std::vector<std::string> interlaced = PngFilesIn(PngPictures("pngsuite/interlaced"));
    const std::vector<std::string> generated = PngFilesIn(PngPictures("testpngs"));
    ASSERT_GE(files.size(), 50u) << "run scripts/setup.sh";
    ASSERT_GE(interlaced.size(), 9u);
    ASSERT_GE(generated.size(), 100u);
    files.insert(files.end(), interlaced.begin(), interlaced.end());
    files.insert(files.end(), generated.begin(), generated.end());
    for (const uint32_t background : {kBackground, 0x00FF00FFu}) {
        for (const std::string& path : files) {
            SCOPED_TRACE(path);
            MemoryPicture want, got;
            ASSERT_TRUE(ReferenceDecode(ReadWholeFile(path), background, want));
            ASSERT_TRUE(LoadPngFile(path.c_str(), got, lastError, background)) << lastError;
            EXPECT_EQ(got.creations, 1);
            ExpectSamePicture(got, want, path);
        }
    }
}

// Values worked out by hand: 16-bit samples keep their high byte; alpha 0 is the background,
// 255 the colour, anything between a blend; a tRNS colour is fully transparent.
TEST_F(PngFileTest, SamplesAndTransparencyComeOutAsExpected)
{
    // 16-bit RGBA, one line: opaque, transparent, half.
    const Bytes rgba16 = {0, 0x12, 0xFF, 0x34, 0x01, 0xAB, 0xCD, 0xFF, 0xFF,
                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                          0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00};
    MemoryPicture picture;
    ASSERT_TRUE(LoadPngFile(Write("a.png", MakePng(3, 1, 16, 6, rgba16)).c_str(), picture, lastError, kBackground));
    EXPECT_EQ(picture.Pixel(0, 0), (std::array<uint8_t, 3>{0xAB, 0x34, 0x12}));
    EXPECT_EQ(picture.Pixel(1, 0), (std::array<uint8_t, 3>{0x30, 0x50, 0x70}));
    // 255 * 128/255 + bg * 127/255, rounded: red (255*128 + 0x70*127 + 127) / 255
    EXPECT_EQ(picture.Pixel(2, 0), (std::array<uint8_t, 3>{0x18, 0x28, uint8_t((255 * 128 + 0x70 * 127 + 127) / 255)}));

    // 2-bit grey with grey level 1 transparent: 0, 1, 2, 3 -> black, background, 0xAA, white.
    Bytes tRNS;
    PutChunk(tRNS, "tRNS", {0, 1});
    ASSERT_TRUE(LoadPngFile(Write("g.png", MakePng(4, 1, 2, 0, {0, 0x1B}, tRNS)).c_str(), picture, lastError, kBackground));
    EXPECT_EQ(picture.Pixel(0, 0), (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(picture.Pixel(1, 0), (std::array<uint8_t, 3>{0x30, 0x50, 0x70}));
    EXPECT_EQ(picture.Pixel(2, 0), (std::array<uint8_t, 3>{0xAA, 0xAA, 0xAA}));
    EXPECT_EQ(picture.Pixel(3, 0), (std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF}));

    // Two lines of a palette picture: the top line is the last row of the picture.
    Bytes palette;
    PutChunk(palette, "PLTE", {10, 20, 30, 40, 50, 60});
    ASSERT_TRUE(LoadPngFile(Write("p.png", MakePng(1, 2, 8, 3, {0, 1, 0, 0}, palette)).c_str(), picture, lastError, 0));
    EXPECT_EQ(picture.Pixel(0, 1), (std::array<uint8_t, 3>{60, 50, 40}));
    EXPECT_EQ(picture.Pixel(0, 0), (std::array<uint8_t, 3>{30, 20, 10}));
    // A gAMA chunk changes nothing.
    Bytes gamma;
    PutChunk(gamma, "gAMA", {0, 0, 0x3A, 0x98}); // 1/6.67
    ASSERT_TRUE(LoadPngFile(Write("gm.png", MakePng(4, 1, 2, 0, {0, 0x1B}, gamma)).c_str(), picture, lastError, 0));
    EXPECT_EQ(picture.Pixel(2, 0), (std::array<uint8_t, 3>{0xAA, 0xAA, 0xAA}));
}

// The files libpng's authors collected because they crashed or hung readers, and corrupt
// files of our own: each is refused, or loads a picture of its declared size, without harm
// (the sanitizers watch the native run).
TEST_F(PngFileTest, HostileFilesAreRefusedWithoutHarm)
{
    const std::vector<std::string> crashers = PngFilesIn(PngPictures("testpngs/crashers"));
    ASSERT_GE(crashers.size(), 15u);
    int refused = 0;
    for (const std::string& path : crashers) {
        SCOPED_TRACE(path);
        MemoryPicture picture;
        lastError[0] = '\0';
        if (!LoadPngFile(path.c_str(), picture, lastError, kBackground)) {
            ++refused;
            EXPECT_NE(lastError[0], '\0');
        } else {
            EXPECT_GT(picture.width, 0);
        }
        EXPECT_LE(picture.creations, 1);
    }
    EXPECT_GT(refused, 0);
    // A damaged checksum of the picture data is found after its last line.
    for (const char* name : {"badcrc.png", "badadler.png", "huge_IDAT.png", "bad_iCCP.png"}) {
        MemoryPicture picture;
        EXPECT_FALSE(LoadPngFile(PngPictures(std::string("testpngs/crashers/") + name).c_str(), picture, lastError, 0))
            << name;
    }

    const Bytes good = MakePng(2, 2, 8, 2, Bytes(2 * 7, 0x40));
    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"signature only", Bytes(good.begin(), good.begin() + 8)},
        {"no picture data", {}},
        {"zero width", MakePng(0, 2, 8, 2, Bytes(2, 0))},
        {"depth 3", MakePng(2, 2, 3, 0, Bytes(2 * 2, 0))},
        {"colour type 5", MakePng(2, 2, 8, 5, Bytes(2 * 7, 0))},
        {"palette without PLTE", MakePng(2, 2, 8, 3, Bytes(2 * 3, 0))},
        {"header checksum wrong", good},
        {"not a PNG", Bytes(100, 'x')},
    };
    cases[2].bytes = Bytes(good.begin(), good.begin() + 33);
    PutChunk(cases[2].bytes, "IEND", {});
    cases[7].bytes[29] ^= 1;
    for (const Case& c : cases) {
        MemoryPicture picture;
        lastError[0] = '\0';
        EXPECT_FALSE(LoadPngFile(Write("bad.png", c.bytes).c_str(), picture, lastError, 0)) << c.what;
        EXPECT_EQ(picture.creations, 0) << c.what;
        EXPECT_NE(lastError[0], '\0') << c.what;
    }
    MemoryPicture picture;
    EXPECT_FALSE(LoadPngFile(scratch.Path("missing.png").c_str(), picture, lastError, 0));
    EXPECT_EQ(picture.creations, 0);
}

// A small file whose picture data inflates to a huge picture is refused before the picture
// exists; so is a tiny file claiming a huge size, and one whose text inflates to 64 MB. A flat
// picture within the bounds loads.
TEST_F(PngFileTest, DecompressionBombsAreRefusedBeforeAnyLargeAllocation)
{
    const uint32_t side = 10000; // 1-bit grey: 12.5 MB of raw data deflating to about 12 KB
    const Bytes bomb = MakePng(side, side, 1, 0, Bytes(size_t(side) * (1 + side / 8), 0));
    ASSERT_LT(bomb.size(), 64u * 1024);
    ASSERT_GT(PngDecodeMemory(side, side, false), int64_t(bomb.size()) * kMaxPngMemoryPerByte);
    MemoryPicture picture;
    EXPECT_FALSE(LoadPngFile(Write("bomb.png", bomb).c_str(), picture, lastError, 0));
    EXPECT_EQ(picture.creations, 0);
    EXPECT_NE(std::string(lastError).find("too small"), std::string::npos) << lastError;

    Bytes claim = MakePng(1, 1, 8, 0, {0, 0});
    claim[16] = claim[20] = 0x00; // 16M x 16M in the header, checksum made right
    claim[17] = claim[21] = 0xFF;
    const uint32_t crc = uint32_t(crc32(0, claim.data() + 12, 17));
    for (int i = 0; i < 4; ++i)
        claim[29 + i] = uint8_t(crc >> (24 - 8 * i));
    EXPECT_FALSE(LoadPngFile(Write("claim.png", claim).c_str(), picture, lastError, 0));
    EXPECT_EQ(picture.creations, 0);

    // Text inflating far beyond kMaxPngChunkBytes is refused; ordinary text is no hindrance.
    for (const size_t textBytes : {size_t(1) << 20, size_t(64) << 20}) {
        Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
        const Bytes inflated = Deflate(Bytes(textBytes, 'a'));
        text.insert(text.end(), inflated.begin(), inflated.end());
        Bytes zTXt;
        PutChunk(zTXt, "zTXt", text);
        MemoryPicture withText;
        EXPECT_EQ(LoadPngFile(Write("text.png", MakePng(2, 2, 8, 0, Bytes(6, 0), zTXt)).c_str(), withText, lastError, 0),
                  textBytes <= kMaxPngChunkBytes) << textBytes << ": " << lastError;
    }

    const uint32_t flat = 2000; // 12 MB of picture from a few KB, within the always-accepted share
    const Bytes plain = MakePng(flat, flat, 8, 0, Bytes(size_t(flat) * (1 + flat), 0));
    ASSERT_LT(PngDecodeMemory(flat, flat, false), kPngMemoryAlwaysAccepted);
    ASSERT_TRUE(LoadPngFile(Write("flat.png", plain).c_str(), picture, lastError, 0)) << lastError;
    EXPECT_EQ(picture.width, int32_t(flat));
}

// A file cut short: refused, or loaded with the lines it holds and the background below.
TEST_F(PngFileTest, TruncatedFilesLoadWhatTheyHoldOrAreRefused)
{
    for (const char* name : {"pngsuite/basn6a08.png", "pngsuite/basn3p04.png", "pngsuite/ibasn2c08.png",
                             "pngsuite/interlaced/ibasn0g04.png"}) {
        const Bytes whole = ReadWholeFile(PngPictures(name));
        ASSERT_GT(whole.size(), 100u) << name;
        MemoryPicture want;
        ASSERT_TRUE(ReferenceDecode(whole, kBackground, want));
        int loaded = 0;
        for (const size_t cut : {size_t(8), size_t(20), size_t(33), size_t(60), whole.size() / 3,
                                 whole.size() / 2, whole.size() - 20, whole.size() - 12, whole.size() - 1}) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            MemoryPicture got;
            if (!LoadPngFile(Write("cut.png", Bytes(whole.begin(), whole.begin() + cut)).c_str(), got, lastError, kBackground))
                continue;
            ++loaded;
            ASSERT_EQ(got.width, want.width);
            ASSERT_EQ(got.height, want.height);
            const bool interlaced = std::string(name).find("/i") != std::string::npos;
            for (int32_t y = 0; y < got.height; ++y)
                for (int32_t x = 0; x < got.width; ++x) {
                    const auto pixel = got.Pixel(x, y);
                    // Interlaced pictures may have a pixel of any pass: only the size is known.
                    if (!interlaced && pixel != want.Pixel(x, y)) {
                        ASSERT_EQ(pixel, (std::array<uint8_t, 3>{0x30, 0x50, 0x70}));
                    }
                }
        }
        EXPECT_GE(loaded, 1) << name; // at least the cut just before the end
    }
}

// The lines come in order, top first, interlaced or not, and a sink can stop the read.
TEST_F(PngFileTest, LinesComeTopFirstAndTheSinkCanStop)
{
    struct Sink : IPngLineSink {
        bool Begin(uint32_t w, uint32_t h) override
        {
            width = w;
            line.assign(size_t(w) * 3, 0);
            lines.assign(h, 0);
            return true;
        }
        uint8_t* Line(uint32_t index) override
        {
            EXPECT_EQ(index, next);
            return line.data();
        }
        bool LineDone(uint32_t index) override
        {
            EXPECT_EQ(index, next);
            lines[index] = line[0];
            ++next;
            return stopAt < 0 || int(index) < stopAt;
        }
        uint32_t width = 0, next = 0;
        int stopAt = -1;
        Bytes line, lines;
    };
    for (const char* name : {"pngsuite/basn0g08.png", "pngsuite/ibasn0g08.png"}) {
        const std::string path = PngPictures(name);
        MemoryPicture want;
        ASSERT_TRUE(ReferenceDecode(ReadWholeFile(path), 0, want));
        Sink sink;
        ASSERT_TRUE(ReadPngFile(path.c_str(), sink, lastError, 0)) << name;
        ASSERT_EQ(sink.next, uint32_t(want.height)) << name;
        for (int32_t y = 0; y < want.height; ++y)
            EXPECT_EQ(sink.lines[size_t(y)], want.Pixel(0, want.height - 1 - y)[0]) << name << " line " << y;
        Sink stopping;
        stopping.stopAt = 3;
        EXPECT_FALSE(ReadPngFile(path.c_str(), stopping, lastError, 0)) << name;
        EXPECT_EQ(stopping.next, 4u) << name;
    }
    // The abort flag stops a read before the picture is made.
    g_bAbortImageWork = 1;
    MemoryPicture picture;
    EXPECT_FALSE(LoadPngFile(PngPictures("pngsuite/basn0g08.png").c_str(), picture, lastError, 0));
    EXPECT_EQ(picture.creations, 0);
}

} // namespace

namespace {

// EXIF data (from its TIFF header) whose first directory holds only this orientation.
Bytes ExifWithOrientation(int orientation)
{
    return {'I', 'I', '*', 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0};
}

} // namespace

// The orientation of an eXIf chunk before the picture data, with or without JPEG's "Exif\0\0";
// anything damaged, late or missing reads as upright.
TEST_F(PngFileTest, TheExifChunkGivesTheOrientation)
{
    const Bytes line = {0, 1, 2, 3};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        Bytes chunk;
        PutChunk(chunk, "eXIf", ExifWithOrientation(orientation));
        EXPECT_EQ(PngFileOrientation(Write("o.png", MakePng(1, 1, 8, 2, line, chunk)).c_str()), orientation);
    }
    Bytes prefixed = {'E', 'x', 'i', 'f', 0, 0}, chunk;
    const Bytes exif = ExifWithOrientation(6);
    prefixed.insert(prefixed.end(), exif.begin(), exif.end());
    PutChunk(chunk, "eXIf", prefixed);
    EXPECT_EQ(PngFileOrientation(Write("p.png", MakePng(1, 1, 8, 2, line, chunk)).c_str()), 6);

    // A wrong checksum, a chunk cut short, one after the picture data, none, not a PNG file.
    Bytes damaged;
    PutChunk(damaged, "eXIf", ExifWithOrientation(6));
    damaged.back() ^= 1;
    EXPECT_EQ(PngFileOrientation(Write("d.png", MakePng(1, 1, 8, 2, line, damaged)).c_str()), 1);
    Bytes whole = MakePng(1, 1, 8, 2, line, chunk);
    whole.resize(33 + 20);
    EXPECT_EQ(PngFileOrientation(Write("c.png", whole).c_str()), 1);
    Bytes late = MakePng(1, 1, 8, 2, line);
    late.insert(late.end() - 12, chunk.begin(), chunk.end()); // before IEND, after IDAT
    EXPECT_EQ(PngFileOrientation(Write("l.png", late).c_str()), 1);
    EXPECT_EQ(PngFileOrientation(Write("n.png", MakePng(1, 1, 8, 2, line)).c_str()), 1);
    EXPECT_EQ(PngFileOrientation(Write("j.png", {0xFF, 0xD8, 0xFF, 0xE0}).c_str()), 1);
    EXPECT_EQ(PngFileOrientation(scratch.Path("missing.png").c_str()), 1);
}
