#include "image/Exif.h"

#include "framework/File.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTypeShort = 3;
constexpr size_t kTiffHeaderSize = 8;
constexpr size_t kEntrySize = 12;
constexpr char kExifPrefix[] = "Exif\0"; // with the terminator: "Exif\0\0"
constexpr size_t kExifPrefixSize = 6;

// Numbers in the byte order the TIFF header names; callers check the bounds.
class TiffReader {
public:
    TiffReader(const uint8_t* data, bool bigEndian) : m_data(data), m_bigEndian(bigEndian) {}
    uint16_t U16(size_t at) const
    {
        const uint8_t* p = m_data + at;
        return m_bigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t U32(size_t at) const
    {
        return m_bigEndian ? uint32_t(U16(at)) << 16 | U16(at + 2) : uint32_t(U16(at + 2)) << 16 | U16(at);
    }

private:
    const uint8_t* m_data;
    bool m_bigEndian;
};

} // namespace

int ExifOrientation(const uint8_t* data, size_t size)
{
    if (!data || size < kTiffHeaderSize)
        return kOrientationUpright;
    bool bigEndian;
    if (std::memcmp(data, "II*\0", 4) == 0)
        bigEndian = false;
    else if (std::memcmp(data, "MM\0*", 4) == 0)
        bigEndian = true;
    else
        return kOrientationUpright;
    const TiffReader tiff(data, bigEndian);

    // IFD0: a count, that many 12-byte entries, the offset of the next directory. The whole
    // directory must lie within the buffer and after the header; the entries are not
    // required to be sorted, and the first orientation entry counts. The next directories
    // hold the thumbnail's tags and are never followed.
    const uint32_t ifd = tiff.U32(4);
    if (ifd < kTiffHeaderSize || ifd > size || size - ifd < 2)
        return kOrientationUpright;
    const size_t count = tiff.U16(ifd);
    const size_t room = size - ifd - 2;
    if (room < 4 || count > (room - 4) / kEntrySize)
        return kOrientationUpright;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = ifd + 2 + i * kEntrySize;
        if (tiff.U16(entry) != kTagOrientation)
            continue;
        // One SHORT, held in the first two bytes of the entry's value field.
        if (tiff.U16(entry + 2) != kTypeShort || tiff.U32(entry + 4) != 1)
            return kOrientationUpright;
        const uint16_t value = tiff.U16(entry + 8);
        return value >= 1 && value <= 8 ? value : kOrientationUpright;
    }
    return kOrientationUpright;
}

int ExifApp1Orientation(const uint8_t* data, size_t size)
{
    if (!data || size < kExifPrefixSize || std::memcmp(data, kExifPrefix, kExifPrefixSize) != 0)
        return kOrientationUpright;
    return ExifOrientation(data + kExifPrefixSize, size - kExifPrefixSize);
}

namespace {

struct StreamCloser {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
};

// Segments before the first frame header: APP0, APP1 (EXIF, XMP), a few APP2 (ICC profile),
// tables, comments; a few dozen in real files. More than this is not a file we want to walk.
constexpr int kMaxSegments = 1000;
// Fill bytes before a marker: writers put none or a few; a file of nothing else ends the walk.
constexpr int kMaxFillBytes = 65536;

bool ReadExactly(std::FILE* fp, uint8_t* buffer, size_t count)
{
    return std::fread(buffer, 1, count, fp) == count;
}

// Markers that start the compressed picture (SOF0 to SOF15 without DHT, JPG and DAC; SOS),
// and the end of the file: the orientation comes before them or not at all.
bool EndsHeaders(uint8_t marker)
{
    if (marker >= 0xC0 && marker <= 0xCF)
        return marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    return marker == 0xDA || marker == 0xD9;
}

// Markers without a length: TEM, RST0 to RST7 (and a stray SOI).
bool StandsAlone(uint8_t marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

} // namespace

int JpegFileOrientation(const char* path)
{
    if (!path)
        return kOrientationUpright;
    const std::unique_ptr<std::FILE, StreamCloser> file(OpenFileStream(path, "rb"));
    std::FILE* fp = file.get();
    uint8_t head[4];
    if (!fp || !ReadExactly(fp, head, 2) || head[0] != 0xFF || head[1] != 0xD8)
        return kOrientationUpright;
    for (int segment = 0; segment < kMaxSegments; ++segment) {
        // A marker: 0xFF, any number of 0xFF fill bytes, the marker's code.
        if (!ReadExactly(fp, head, 1) || head[0] != 0xFF)
            return kOrientationUpright;
        int code;
        int fill = 0;
        while ((code = std::fgetc(fp)) == 0xFF && ++fill < kMaxFillBytes) {
        }
        if (code == EOF || code == 0 || code == 0xFF)
            return kOrientationUpright;
        const uint8_t marker = uint8_t(code);
        if (EndsHeaders(marker))
            return kOrientationUpright;
        if (StandsAlone(marker))
            continue;
        if (!ReadExactly(fp, head, 2))
            return kOrientationUpright;
        const size_t length = size_t(head[0]) << 8 | head[1];
        if (length < 2)
            return kOrientationUpright;
        const size_t payload = length - 2; // at most 65533 bytes
        if (marker == 0xE1 && payload >= kExifPrefixSize) {
            uint8_t prefix[kExifPrefixSize];
            if (!ReadExactly(fp, prefix, kExifPrefixSize))
                return kOrientationUpright;
            if (std::memcmp(prefix, kExifPrefix, kExifPrefixSize) == 0) {
                // The first EXIF segment is the one that counts, whatever it holds.
                const size_t tiffSize = payload - kExifPrefixSize;
                const std::unique_ptr<uint8_t[]> tiff(new (std::nothrow) uint8_t[tiffSize ? tiffSize : 1]);
                if (!tiff || !ReadExactly(fp, tiff.get(), tiffSize))
                    return kOrientationUpright;
                return ExifOrientation(tiff.get(), tiffSize);
            }
            // Another APP1 (XMP): skip the rest of it.
            if (std::fseek(fp, long(payload - kExifPrefixSize), SEEK_CUR) != 0)
                return kOrientationUpright;
            continue;
        }
        if (std::fseek(fp, long(payload), SEEK_CUR) != 0)
            return kOrientationUpright;
    }
    return kOrientationUpright;
}
