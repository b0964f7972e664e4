#include "framework/File.h"
#include "image/Exif.h"
#include "image/JpegFile.h"
#include "image/Orientation.h"
#include "unit/FormatTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// ---- EXIF data made by hand -------------------------------------------------------------

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value; // the value field as a number of the file's byte order (see ShortValue)
};

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kAscii = 2;
constexpr uint16_t kOrientation = 0x0112;

class Tiff {
public:
    explicit Tiff(bool bigEndian) : m_big(bigEndian) {}

    // The value field of one SHORT: the number in its first two bytes; the two after it hold
    // junk, which a reader must not mix into the value.
    uint32_t ShortValue(uint16_t value) const { return m_big ? uint32_t(value) << 16 | 0xABCD : 0xABCD0000u | value; }

    // Header, then IFD0 at offset 8 holding entries, then the next directory's offset.
    Bytes Make(const std::vector<Entry>& entries, uint32_t nextIfd = 0) const
    {
        Bytes out;
        const uint8_t order = m_big ? 'M' : 'I';
        out.push_back(order);
        out.push_back(order);
        U16(out, 42);
        U32(out, 8);
        U16(out, uint16_t(entries.size()));
        for (const Entry& e : entries) {
            U16(out, e.tag);
            U16(out, e.type);
            U32(out, e.count);
            U32(out, e.value);
        }
        U32(out, nextIfd);
        return out;
    }

    Bytes WithOrientation(uint16_t value) const
    {
        // Tags around it as cameras write them: resolution and software before, a pointer to
        // the EXIF sub-directory after.
        return Make({{0x010F, kAscii, 4, 0x00006F43}, {kOrientation, kShort, 1, ShortValue(value)},
            {0x011A, 5, 1, 0}, {0x8769, kLong, 1, 0}});
    }

    void U16(Bytes& out, uint16_t v) const
    {
        if (m_big) {
            out.push_back(uint8_t(v >> 8));
            out.push_back(uint8_t(v));
        } else {
            out.push_back(uint8_t(v));
            out.push_back(uint8_t(v >> 8));
        }
    }
    void U32(Bytes& out, uint32_t v) const
    {
        U16(out, uint16_t(m_big ? v >> 16 : v));
        U16(out, uint16_t(m_big ? v : v >> 16));
    }
    void Put32(Bytes& out, size_t at, uint32_t v) const
    {
        Bytes b;
        U32(b, v);
        std::copy(b.begin(), b.end(), out.begin() + long(at));
    }
    void Put16(Bytes& out, size_t at, uint16_t v) const
    {
        Bytes b;
        U16(b, v);
        std::copy(b.begin(), b.end(), out.begin() + long(at));
    }

private:
    bool m_big;
};

int Read(const Bytes& b)
{
    return ExifOrientation(b.data(), b.size());
}

Bytes App1Payload(const Bytes& tiff)
{
    Bytes out {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), tiff.begin(), tiff.end());
    return out;
}

class ExifByteOrder : public testing::TestWithParam<bool> {
protected:
    Tiff tiff {GetParam()};
};

TEST_P(ExifByteOrder, ReadsEveryOrientation)
{
    for (uint16_t value = 1; value <= 8; ++value) {
        const Bytes data = tiff.WithOrientation(value);
        EXPECT_EQ(Read(data), value);
        const Bytes app1 = App1Payload(data);
        EXPECT_EQ(ExifApp1Orientation(app1.data(), app1.size()), value);
        // A buffer with more after the directory (the EXIF sub-directory, a thumbnail).
        Bytes longer = data;
        longer.resize(longer.size() + 5000, 0xEE);
        EXPECT_EQ(Read(longer), value);
    }
}

TEST_P(ExifByteOrder, DirectoryElsewhereInTheBuffer)
{
    Bytes data = tiff.WithOrientation(6);
    // Move IFD0 behind 100 bytes of other data, at an odd offset as some writers place it.
    Bytes moved(data.begin(), data.begin() + 8);
    moved.resize(8 + 101, 0);
    moved.insert(moved.end(), data.begin() + 8, data.end());
    tiff.Put32(moved, 4, 8 + 101);
    EXPECT_EQ(Read(moved), 6);
}

TEST_P(ExifByteOrder, MissingOrOutOfRangeIsUpright)
{
    EXPECT_EQ(Read(tiff.Make({})), 1);
    EXPECT_EQ(Read(tiff.Make({{0x010F, kAscii, 4, 0}})), 1);
    for (uint16_t value : {0, 9, 255, 0x0600, 0xFFFF})
        EXPECT_EQ(Read(tiff.WithOrientation(value)), 1) << value;
}

TEST_P(ExifByteOrder, WrongTypeOrCountIsUpright)
{
    // The right number, stored as LONG, BYTE, ASCII, SSHORT, or as two SHORTs.
    const uint32_t asLong = 6;
    EXPECT_EQ(Read(tiff.Make({{kOrientation, kLong, 1, asLong}})), 1);
    EXPECT_EQ(Read(tiff.Make({{kOrientation, 1, 1, GetParam() ? 0x06000000u : 6u}})), 1);
    EXPECT_EQ(Read(tiff.Make({{kOrientation, kAscii, 1, tiff.ShortValue(6)}})), 1);
    EXPECT_EQ(Read(tiff.Make({{kOrientation, 8, 1, tiff.ShortValue(6)}})), 1);
    EXPECT_EQ(Read(tiff.Make({{kOrientation, kShort, 2, tiff.ShortValue(6)}})), 1);
    EXPECT_EQ(Read(tiff.Make({{kOrientation, kShort, 0, tiff.ShortValue(6)}})), 1);
    EXPECT_EQ(Read(tiff.Make({{kOrientation, kShort, 0x40000001, tiff.ShortValue(6)}})), 1);
}

TEST_P(ExifByteOrder, TruncatedAnywhereIsUpright)
{
    const Bytes data = tiff.WithOrientation(8);
    for (size_t size = 0; size < data.size(); ++size) {
        // A copy of exactly that size, so that ASan sees any read past it.
        const Bytes cut(data.begin(), data.begin() + long(size));
        EXPECT_EQ(ExifOrientation(cut.empty() ? nullptr : cut.data(), cut.size()), 1) << size;
        const Bytes app1 = App1Payload(cut);
        EXPECT_EQ(ExifApp1Orientation(app1.data(), app1.size()), 1) << size;
    }
}

TEST_P(ExifByteOrder, DirectoryOutsideTheBufferIsUpright)
{
    const Bytes good = tiff.WithOrientation(3);
    for (uint32_t offset : {uint32_t(good.size()), uint32_t(good.size() - 1), uint32_t(good.size() - 2),
             0x7FFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFF8u, 0u, 4u, 7u}) {
        Bytes data = good;
        tiff.Put32(data, 4, offset);
        EXPECT_EQ(Read(data), 1) << offset;
    }
}

TEST_P(ExifByteOrder, CountBeyondTheBufferIsUpright)
{
    // The orientation is the first entry, but the directory claims more than the buffer holds.
    for (uint16_t count : {5, 6, 100, 0x7FFF, 0xFFFF}) {
        Bytes data = tiff.Make({{kOrientation, kShort, 1, tiff.ShortValue(6)}, {0x011A, 5, 1, 0},
            {0x011B, 5, 1, 0}, {0x0128, kShort, 1, tiff.ShortValue(2)}});
        tiff.Put16(data, 8, count);
        EXPECT_EQ(Read(data), 1) << count;
    }
}

TEST_P(ExifByteOrder, OnlyTheFirstDirectoryCounts)
{
    // IFD0 without an orientation whose next directory is itself: no loop.
    EXPECT_EQ(Read(tiff.Make({{0x010F, kAscii, 4, 0}}, 8)), 1);
    // The thumbnail's directory (IFD1) has an orientation; the picture's has none.
    Bytes data = tiff.Make({{0x010F, kAscii, 4, 0}}, 26);
    Bytes ifd1 = Tiff(GetParam()).Make({{kOrientation, kShort, 1, tiff.ShortValue(6)}});
    data.insert(data.end(), ifd1.begin() + 8, ifd1.end());
    ASSERT_EQ(data.size(), 26u + 18u);
    EXPECT_EQ(Read(data), 1);
    // And with IFD0's orientation it is IFD0's that counts.
    Bytes both = tiff.Make({{kOrientation, kShort, 1, tiff.ShortValue(3)}}, 26);
    both.insert(both.end(), ifd1.begin() + 8, ifd1.end());
    EXPECT_EQ(Read(both), 3);
}

INSTANTIATE_TEST_SUITE_P(, ExifByteOrder, testing::Values(false, true),
    [](const testing::TestParamInfo<bool>& info) { return info.param ? "BigEndian" : "LittleEndian"; });

TEST(Exif, HeaderMustBeTiff)
{
    const Bytes good = Tiff(false).WithOrientation(6);
    ASSERT_EQ(Read(good), 6);
    for (const char* header : {"II*\1", "MM*\0", "II\0*", "MI*\0", "IM\0*", "\0\0\0\0"}) {
        Bytes data = good;
        std::copy(header, header + 4, data.begin());
        EXPECT_EQ(Read(data), 1) << header;
    }
    EXPECT_EQ(ExifOrientation(nullptr, 100), 1);
}

TEST(Exif, App1PayloadNeedsItsPrefix)
{
    const Bytes tiff = Tiff(true).WithOrientation(5);
    for (const char* prefix : {"Exif\0\1", "EXIF\0\0", "Exif  ", "http:/"}) {
        Bytes data(prefix, prefix + 6);
        data.insert(data.end(), tiff.begin(), tiff.end());
        EXPECT_EQ(ExifApp1Orientation(data.data(), data.size()), 1) << prefix;
    }
    // The TIFF payload alone is not an APP1 payload.
    EXPECT_EQ(ExifApp1Orientation(tiff.data(), tiff.size()), 1);
    EXPECT_EQ(ExifApp1Orientation(nullptr, 0), 1);
}

// ---- JPEG files -------------------------------------------------------------------------

Bytes Segment(uint8_t marker, const Bytes& payload)
{
    Bytes out {0xFF, marker, uint8_t((payload.size() + 2) >> 8), uint8_t(payload.size() + 2)};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::FILE* fp = OpenFileStream(path.c_str(), "wb");
    ASSERT_NE(fp, nullptr) << path;
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), fp), bytes.size());
    }
    std::fclose(fp);
}

class ExifJpeg : public testing::Test {
protected:
    void SetUp() override
    {
        MemoryPicture picture;
        ASSERT_TRUE(picture.CreatePixels(24, 16));
        for (size_t i = 0; i < picture.bytes.size(); ++i)
            picture.bytes[i] = uint8_t(i * 7);
        const std::string path = folder.Path("plain.jpg");
        ASSERT_TRUE(SaveJpegFile(path.c_str(), picture.Pixels()));
        plain = ReadWholeFile(path);
        ASSERT_GT(plain.size(), 4u);
        ASSERT_EQ(plain[0], 0xFF);
        ASSERT_EQ(plain[1], 0xD8);
    }

    // The plain file with segments put in at offset (2: just after SOI).
    Bytes With(const Bytes& segments, size_t offset = 2) const
    {
        Bytes out(plain.begin(), plain.begin() + long(offset));
        out.insert(out.end(), segments.begin(), segments.end());
        out.insert(out.end(), plain.begin() + long(offset), plain.end());
        return out;
    }

    int Orientation(const Bytes& file, const char* name = "test.jpg")
    {
        const std::string path = folder.Path(name);
        WriteFile(path, file);
        return JpegFileOrientation(path.c_str());
    }

    // Offset of the first marker with this code in the plain file.
    size_t Find(uint8_t marker) const
    {
        for (size_t i = 2; i + 1 < plain.size(); ++i)
            if (plain[i] == 0xFF && plain[i + 1] == marker)
                return i;
        return 0;
    }

    ScratchFolder folder;
    Bytes plain;
};

TEST_F(ExifJpeg, EveryOrientationInBothByteOrders)
{
    EXPECT_EQ(Orientation(plain), 1);
    for (bool big : {false, true})
        for (uint16_t value = 1; value <= 8; ++value) {
            const Bytes file = With(Segment(0xE1, App1Payload(Tiff(big).WithOrientation(value))));
            EXPECT_EQ(Orientation(file), value) << big;
            // The file is still a picture the loader reads.
            const std::string path = folder.Path("load.jpg");
            WriteFile(path, file);
            MemoryPicture loaded;
            EXPECT_TRUE(LoadJpegFile(path.c_str(), loaded, nullptr));
        }
}

TEST_F(ExifJpeg, FoundAmongOtherSegments)
{
    const Bytes exif = Segment(0xE1, App1Payload(Tiff(true).WithOrientation(6)));
    // After the JFIF segment the writer put there, and after the quantisation tables.
    const size_t app0 = Find(0xE0), dqt = Find(0xDB);
    ASSERT_EQ(app0, 2u);
    ASSERT_GT(dqt, app0);
    EXPECT_EQ(Orientation(With(exif, dqt)), 6);
    // Behind an XMP APP1, an ICC profile APP2 of nearly 64 KB, a comment, fill bytes.
    const std::string xmpText = "http://ns.adobe.com/xap/1.0/";
    Bytes segments = Segment(0xE1, Bytes(xmpText.begin(), xmpText.end()));
    const Bytes big = Segment(0xE2, Bytes(65533, 0x11));
    segments.insert(segments.end(), big.begin(), big.end());
    const Bytes comment = Segment(0xFE, Bytes {'h', 'i'});
    segments.insert(segments.end(), comment.begin(), comment.end());
    segments.insert(segments.end(), {0xFF, 0xFF, 0xFF});
    segments.insert(segments.end(), exif.begin(), exif.end());
    EXPECT_EQ(Orientation(With(segments)), 6);
    // An APP1 too short to say "Exif" is skipped like any other.
    Bytes shortApp1 = Segment(0xE1, Bytes {'E', 'x'});
    shortApp1.insert(shortApp1.end(), exif.begin(), exif.end());
    EXPECT_EQ(Orientation(With(shortApp1)), 6);
}

TEST_F(ExifJpeg, OnlyTheFirstExifSegmentBeforeThePictureCounts)
{
    const Bytes six = Segment(0xE1, App1Payload(Tiff(false).WithOrientation(6)));
    const Bytes three = Segment(0xE1, App1Payload(Tiff(false).WithOrientation(3)));
    Bytes both = six;
    both.insert(both.end(), three.begin(), three.end());
    EXPECT_EQ(Orientation(With(both)), 6);
    // A damaged first one is not replaced by a later one.
    Bytes damaged = Segment(0xE1, App1Payload(Tiff(false).WithOrientation(0)));
    damaged.insert(damaged.end(), three.begin(), three.end());
    EXPECT_EQ(Orientation(With(damaged)), 1);
    // After the frame header or the scan header it is not looked for.
    EXPECT_EQ(Orientation(With(six, Find(0xC0) ? Find(0xC0) + 2 : 0)), 1);
    const size_t sos = Find(0xDA);
    ASSERT_GT(sos, 0u);
    EXPECT_EQ(Orientation(With(six, sos + 2 + (size_t(plain[sos + 2]) << 8 | plain[sos + 3]))), 1);
}

TEST_F(ExifJpeg, DamagedFilesAreUpright)
{
    const Bytes file = With(Segment(0xE1, App1Payload(Tiff(true).WithOrientation(8))));
    ASSERT_EQ(Orientation(file), 8);
    // Cut anywhere within the headers up to the end of the EXIF segment.
    const size_t exifEnd = 2 + 4 + 6 + Tiff(true).WithOrientation(8).size();
    for (size_t size = 0; size < exifEnd; ++size)
        EXPECT_EQ(Orientation(Bytes(file.begin(), file.begin() + long(size))), 1) << size;
    // Segment lengths below 2, and a segment that claims to run past the end of the file.
    Bytes zeroLength = file;
    zeroLength[4] = zeroLength[5] = 0;
    EXPECT_EQ(Orientation(zeroLength), 1);
    Bytes oneLength = file;
    oneLength[4] = 0, oneLength[5] = 1;
    EXPECT_EQ(Orientation(oneLength), 1);
    Bytes longApp0 = plain;
    longApp0[4] = longApp0[5] = 0xFF;
    EXPECT_EQ(Orientation(longApp0), 1);
    // Something other than a marker where one belongs.
    EXPECT_EQ(Orientation(With(Bytes {0x12, 0x34})), 1);
    EXPECT_EQ(Orientation(With(Bytes {0xFF, 0x00})), 1);
    // Not a JPEG file at all, and no file.
    EXPECT_EQ(Orientation(App1Payload(Tiff(true).WithOrientation(8))), 1);
    EXPECT_EQ(JpegFileOrientation(folder.Path("missing.jpg").c_str()), 1);
    EXPECT_EQ(JpegFileOrientation(nullptr), 1);
}

TEST_F(ExifJpeg, NameOutsideTheCodePage)
{
    const Bytes file = With(Segment(0xE1, App1Payload(Tiff(false).WithOrientation(7))));
    EXPECT_EQ(Orientation(file, "Zdj\xC4\x99" "cie \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE5\xA4\x95.jpg"), 7);
}

// ---- Turning pictures upright ----------------------------------------------------------

// A picture from rows of letters, top row first; each pixel is (letter, letter + 1, letter + 2)
// so that a pixel taken apart or shifted by a byte shows.
void Fill(MemoryPicture& picture, const std::vector<std::string>& rows)
{
    ASSERT_TRUE(picture.CreatePixels(int32_t(rows[0].size()), int32_t(rows.size())));
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x) {
            uint8_t* p = &picture.bytes[size_t(picture.height - 1 - y) * size_t(picture.stride) + size_t(x) * 3];
            const char c = rows[size_t(y)][size_t(x)];
            p[0] = uint8_t(c);
            p[1] = uint8_t(c + 1);
            p[2] = uint8_t(c + 2);
        }
}

std::vector<std::string> Letters(const MemoryPicture& picture)
{
    std::vector<std::string> rows;
    for (int32_t y = picture.height - 1; y >= 0; --y) {
        std::string row;
        for (int32_t x = 0; x < picture.width; ++x) {
            const auto p = picture.Pixel(x, y);
            row += (p[1] == uint8_t(p[0] + 1) && p[2] == uint8_t(p[0] + 2)) ? char(p[0]) : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

using Rows = std::vector<std::string>;

TEST(Orientation, EachValueOnAnAsymmetricPicture)
{
    MemoryPicture stored;
    Fill(stored, {"ABC", "DEF"});
    const Rows expected[9] = {{}, {"ABC", "DEF"}, {"CBA", "FED"}, {"FED", "CBA"}, {"DEF", "ABC"},
        {"AD", "BE", "CF"}, {"DA", "EB", "FC"}, {"FC", "EB", "DA"}, {"CF", "BE", "AD"}};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        MemoryPicture upright;
        ASSERT_TRUE(OrientPixels(stored.Pixels(), orientation, upright)) << orientation;
        EXPECT_EQ(Letters(upright), expected[orientation]) << orientation;
        EXPECT_TRUE(upright.RowEndsZero()) << orientation;
        int32_t w, h;
        OrientedSize(orientation, 3, 2, w, h);
        EXPECT_EQ(w, upright.width);
        EXPECT_EQ(h, upright.height);
    }
    // Values outside 1 to 8 leave the picture as it is.
    for (int orientation : {0, 9, -1, 65535}) {
        MemoryPicture same;
        ASSERT_TRUE(OrientPixels(stored.Pixels(), orientation, same));
        EXPECT_EQ(Letters(same), expected[1]);
    }
}

TEST(Orientation, SingleRowsAndColumns)
{
    MemoryPicture row, column;
    Fill(row, {"ABCDE"});
    Fill(column, {"A", "B", "C", "D", "E"});
    const Rows asColumn {"A", "B", "C", "D", "E"}, reversedColumn {"E", "D", "C", "B", "A"};
    const Rows expectedFromRow[9] = {{}, {"ABCDE"}, {"EDCBA"}, {"EDCBA"}, {"ABCDE"}, asColumn, asColumn,
        reversedColumn, reversedColumn};
    const Rows expectedFromColumn[9] = {{}, asColumn, asColumn, reversedColumn, reversedColumn, {"ABCDE"},
        {"EDCBA"}, {"EDCBA"}, {"ABCDE"}};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        MemoryPicture a, b;
        ASSERT_TRUE(OrientPixels(row.Pixels(), orientation, a));
        EXPECT_EQ(Letters(a), expectedFromRow[orientation]) << orientation;
        EXPECT_TRUE(a.RowEndsZero());
        ASSERT_TRUE(OrientPixels(column.Pixels(), orientation, b));
        EXPECT_EQ(Letters(b), expectedFromColumn[orientation]) << orientation;
        EXPECT_TRUE(b.RowEndsZero());
    }
}

// Pixel by pixel, as the orientations are defined (x right, y down on the upright picture),
// against the tiled code on sizes around its tile edges.
TEST(Orientation, LargerPicturesAgreeWithTheDefinition)
{
    for (auto size : {std::pair<int32_t, int32_t> {1, 1}, {63, 65}, {64, 64}, {129, 70}, {1, 130}, {130, 1}}) {
        const int32_t w = size.first, h = size.second;
        MemoryPicture stored;
        ASSERT_TRUE(stored.CreatePixels(w, h));
        for (size_t i = 0; i < stored.bytes.size(); ++i)
            stored.bytes[i] = uint8_t(i * 31 + i / 7);
        for (int32_t y = 0; y < h; ++y) // row ends zero, as the pictures hold them
            for (int32_t i = w * 3; i < stored.stride; ++i)
                stored.bytes[size_t(y) * size_t(stored.stride) + size_t(i)] = 0;
        // Stored pixel (sx, sy), sy counted from the top, seen at upright (x, y).
        auto source = [&](int orientation, int32_t x, int32_t y) {
            switch (orientation) {
            case 2: return std::make_pair(w - 1 - x, y);
            case 3: return std::make_pair(w - 1 - x, h - 1 - y);
            case 4: return std::make_pair(x, h - 1 - y);
            case 5: return std::make_pair(y, x);
            case 6: return std::make_pair(y, h - 1 - x);
            case 7: return std::make_pair(w - 1 - y, h - 1 - x);
            case 8: return std::make_pair(w - 1 - y, x);
            default: return std::make_pair(x, y);
            }
        };
        for (int orientation = 1; orientation <= 8; ++orientation) {
            MemoryPicture upright;
            ASSERT_TRUE(OrientPixels(stored.Pixels(), orientation, upright));
            EXPECT_TRUE(upright.RowEndsZero());
            int mismatches = 0;
            for (int32_t y = 0; y < upright.height; ++y)
                for (int32_t x = 0; x < upright.width; ++x) {
                    const auto from = source(orientation, x, y);
                    if (upright.Pixel(x, upright.height - 1 - y) != stored.Pixel(from.first, h - 1 - from.second))
                        ++mismatches;
                }
            EXPECT_EQ(mismatches, 0) << w << "x" << h << " orientation " << orientation;
        }
    }
}

TEST(Orientation, RefusesWhatDoesNotFit)
{
    MemoryPicture stored, target;
    Fill(stored, {"ABC", "DEF"});
    // A target of the stored size is wrong for a quarter turn, and the other way round.
    ASSERT_TRUE(target.CreatePixels(3, 2));
    EXPECT_FALSE(OrientPixelsInto(stored.Pixels(), 6, target.Pixels()));
    EXPECT_TRUE(OrientPixelsInto(stored.Pixels(), 3, target.Pixels()));
    EXPECT_EQ(Letters(target), (Rows {"FED", "CBA"}));
    ASSERT_TRUE(target.CreatePixels(2, 3));
    EXPECT_FALSE(OrientPixelsInto(stored.Pixels(), 2, target.Pixels()));
    EXPECT_TRUE(OrientPixelsInto(stored.Pixels(), 8, target.Pixels()));
    EXPECT_EQ(Letters(target), (Rows {"CF", "BE", "AD"}));
    // An empty source.
    EXPECT_FALSE(OrientPixels(PixelImage {}, 6, target));
    EXPECT_FALSE(OrientPixelsInto(PixelImage {}, 1, target.Pixels()));
}

} // namespace
