#include "image/TgaFile.h"
#include "framework/File.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <memory>
#include <new>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

constexpr int64_t kFooterSize = 26;
constexpr int64_t kExtensionAreaSize = 495;
constexpr int kColorCorrectionEntries = 1024;
constexpr char kSignature[] = "TRUEVISION-XFILE.";

// 64-bit positions: the offsets in a TGA file are unsigned 32-bit numbers, beyond what a
// 32-bit long can hold on Windows.
bool SeekTo(FILE* file, int64_t position)
{
    if (position < 0)
        return false;
#ifdef _WIN32
    return _fseeki64(file, position, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

int64_t FileSize(FILE* file)
{
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return -1;
    const int64_t size = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const int64_t size = ftello(file);
#endif
    rewind(file);
    return size;
}

// A region of the file that can be read in full: positions past the end of the file count as
// unreachable, so nothing is allocated or read for them.
bool SeekToRegion(FILE* file, int64_t fileSize, int64_t offset, int64_t length)
{
    return offset + length <= fileSize && SeekTo(file, offset);
}

// Little-endian number readers. Bytes past the end of the file read as zero; the caller
// checks feof() where a short field matters.
uint8_t ReadU8(FILE* file)
{
    const int c = getc(file);
    return c == EOF ? 0 : static_cast<uint8_t>(c);
}

uint16_t ReadU16(FILE* file)
{
    const uint16_t low = ReadU8(file);
    return static_cast<uint16_t>(low | ReadU8(file) << 8);
}

uint32_t ReadU32(FILE* file)
{
    const uint32_t low = ReadU16(file);
    return low | uint32_t(ReadU16(file)) << 16;
}

// A zero-terminated text field of the extension area: the stored size includes the
// terminator, which is forced even when the file leaves it out.
template <size_t N>
void ReadText(FILE* file, char (&text)[N])
{
    for (size_t i = 0; i < N; ++i)
        text[i] = static_cast<char>(ReadU8(file));
    text[N - 1] = '\0';
}

unsigned long AsLong(uint32_t offset)
{
    return static_cast<unsigned long>(offset);
}

int BytesPerPixel(const TgaHeader& header)
{
    return (header.pixelDepth + 7) / 8;
}

int ColourMapEntryBytes(const TgaHeader& header)
{
    return (header.colorMapEntrySize + 7) / 8;
}

bool IsRunLength(const TgaHeader& header)
{
    return header.imageType >= 9;
}

// A 16-bit pixel or colour-map entry (x RRRRR GGGGG BBBBB, little-endian; the top bit, an
// attribute, is ignored) as blue, green, red.
void FromFifteenBits(const uint8_t* p, uint8_t* bgr)
{
    static const struct Levels {
        uint8_t of[32];
        Levels()
        {
            for (uint32_t v = 0; v < 32; ++v)
                of[v] = ScaleChannelTo8(v, 5);
        }
    } levels;
    const uint32_t value = p[0] | uint32_t(p[1]) << 8;
    bgr[0] = levels.of[value & 31];
    bgr[1] = levels.of[(value >> 5) & 31];
    bgr[2] = levels.of[(value >> 10) & 31];
}

// Whether the file holds at least the smallest amount of pixel data a picture of this size
// needs, so a tiny file cannot make the reader allocate a huge picture it can never fill.
// This is the reader's memory limit: a run-length packet of 2 to 5 bytes gives at most 128
// pixels, so a file of 64 KB makes a picture of at most 4 megapixels (12 MB; 2 megapixels at
// 24 and 32 bits). The colour map lies before the pixel data, so it must be in the file too.
// Image types the reader cannot decode get no picture at all: an 18-byte header could
// otherwise have a picture of up to kMaxPictureBytes made and zeroed only to fail.
bool PixelDataMayFit(const TgaHeader& header)
{
    if (!TgaPixelsDecodable(header))
        return false;
    const int64_t available = header.fileSize - header.dataOffset;
    const int64_t pixels = int64_t(header.width) * header.height;
    const int bpp = BytesPerPixel(header);
    if (IsRunLength(header))
        return available >= (pixels + 127) / 128 * (1 + bpp);
    return available >= pixels * bpp;
}

} // namespace

int ReadTgaExtension(FILE* file, TgaHeader& header)
{
    if (!SeekToRegion(file, header.fileSize, header.extensionOffset, kExtensionAreaSize)) {
        printf("Error seeking to Extended TGA Area, offset = 0x%08lx\n", AsLong(header.extensionOffset));
        return -1;
    }
    header.extensionSize = ReadU16(file);
    ReadText(file, header.authorName);
    for (auto& line : header.authorComments)
        ReadText(file, line);
    for (auto& value : header.dateTime)
        value = ReadU16(file);
    ReadText(file, header.jobName);
    for (auto& value : header.jobTime)
        value = ReadU16(file);
    ReadText(file, header.softwareId);
    header.softwareVersion = ReadU16(file);
    header.softwareLetter = static_cast<char>(ReadU8(file));
    header.keyColor = ReadU32(file);
    header.aspectNumerator = ReadU16(file);
    header.aspectDenominator = ReadU16(file);
    header.gammaNumerator = ReadU16(file);
    header.gammaDenominator = ReadU16(file);
    header.colorCorrectionOffset = ReadU32(file);
    header.postageStampOffset = ReadU32(file);
    header.scanLineOffset = ReadU32(file);
    header.attributesType = ReadU8(file);

    if (header.colorCorrectionOffset != 0) {
        if (!SeekToRegion(file, header.fileSize, header.colorCorrectionOffset, kColorCorrectionEntries * 2)) {
            printf("Error seeking to Color Correction Table, offset = 0x%08lx\n", AsLong(header.colorCorrectionOffset));
        } else {
            try {
                header.colorCorrectionTable.resize(kColorCorrectionEntries);
                for (auto& value : header.colorCorrectionTable)
                    value = ReadU16(file);
            } catch (const std::bad_alloc&) {
                puts("Unable to allocate Color Correction Table");
            }
        }
    }
    if (header.postageStampOffset != 0) {
        if (SeekToRegion(file, header.fileSize, header.postageStampOffset, 2)) {
            header.stampWidth = ReadU8(file);
            header.stampHeight = ReadU8(file);
        } else {
            printf("Error seeking to Postage Stamp, offset = 0x%08lx\n", AsLong(header.postageStampOffset));
        }
    }
    if (header.scanLineOffset != 0) {
        if (!SeekToRegion(file, header.fileSize, header.scanLineOffset, int64_t(header.height) * 4)) {
            printf("Error seeking to Scan Line Table, offset = 0x%08lx\n", AsLong(header.scanLineOffset));
        } else {
            try {
                header.scanLineTable.resize(header.height);
                for (auto& value : header.scanLineTable)
                    value = ReadU32(file);
            } catch (const std::bad_alloc&) {
                puts("Unable to allocate Scan Line Table");
            }
        }
    }
    return 0;
}

int ReadTgaHeader(const char* path, TgaHeader& header)
{
    header = TgaHeader();
    FilePtr file(OpenFileStream(path, "rb"));
    if (!file)
        return 0;
    header.fileSize = FileSize(file.get());
    if (header.fileSize < 0)
        return 0;

    FILE* f = file.get();
    header.idLength = ReadU8(f);
    header.colorMapType = ReadU8(f);
    header.imageType = ReadU8(f);
    header.colorMapFirst = ReadU16(f);
    header.colorMapLength = ReadU16(f);
    header.colorMapEntrySize = ReadU8(f);
    header.xOrigin = ReadU16(f);
    header.yOrigin = ReadU16(f);
    header.width = ReadU16(f);
    header.height = ReadU16(f);
    header.pixelDepth = ReadU8(f);
    header.descriptor = ReadU8(f);
    if (fread(header.imageId, 1, header.idLength, f) != header.idLength || feof(f) || ferror(f))
        return 0; // the header or the image id runs past the end of the file

    // The pixel data follows the colour map, whatever the colour-map type says.
    header.dataOffset = 18u + header.idLength + uint32_t(header.colorMapLength) * ColourMapEntryBytes(header);

    if (header.fileSize < kFooterSize || !SeekTo(f, header.fileSize - kFooterSize)) {
        puts("Error seeking to end of file for possible extension data");
    } else {
        header.extensionOffset = ReadU32(f);
        header.developerOffset = ReadU32(f);
        if (!fgets(header.signature, sizeof header.signature, f))
            header.signature[0] = '\0';
        const bool newStyle = strcmp(header.signature, kSignature) == 0;
        if (!newStyle) {
            header.extensionOffset = 0;
            header.developerOffset = 0;
            if (header.imageType >= 1 && header.imageType <= 3) {
                const int64_t expected = 18 + header.idLength +
                    int64_t(header.colorMapLength) * ColourMapEntryBytes(header) +
                    int64_t(header.width) * header.height * ((header.pixelDepth + 7) / 8);
                if (expected != header.fileSize) {
                    puts("Image File Format Error");
                    printf("  Uncompressed File Size Should Be %" PRId64 " Bytes\n", expected);
                }
            }
        }
        if (header.extensionOffset != 0)
            ReadTgaExtension(f, header);
        if (header.developerOffset != 0) {
            puts("Developer Area Specified:");
            if (SeekToRegion(f, header.fileSize, header.developerOffset, 2))
                header.developerTagCount = ReadU16(f);
        }
    }
    // Nothing in the program uses the tables; they live only while the header is read.
    header.scanLineTable = {};
    header.colorCorrectionTable = {};
    return 1;
}

int DecodeTgaRleRow(uint8_t* row, size_t length, int bpp, FILE* file, TgaRleState& state)
{
    if (bpp < 1 || bpp > 4 || length % bpp != 0)
        return -1;
    const size_t pixelBytes = static_cast<size_t>(bpp);
    size_t done = 0;
    while (done < length) {
        const size_t wanted = length - done;
        if (state.inRun) {
            const size_t count = std::min(static_cast<size_t>(state.left), wanted / pixelBytes);
            for (size_t i = 0; i < count; ++i, done += pixelBytes)
                memcpy(row + done, state.packet, pixelBytes);
            state.left -= static_cast<int>(count);
            state.inRun = state.left > 0;
        } else if (state.inRaw) {
            const size_t bytes = std::min(static_cast<size_t>(state.left) * pixelBytes, wanted);
            memcpy(row + done, state.packet + state.position, bytes);
            done += bytes;
            state.position += static_cast<int>(bytes);
            state.left -= static_cast<int>(bytes / pixelBytes);
            state.inRaw = state.left > 0;
        } else {
            const int packetHeader = getc(file);
            if (packetHeader == EOF)
                return -1;
            const int count = (packetHeader & 0x7F) + 1;
            if (packetHeader & 0x80) {
                if (fread(state.packet, 1, pixelBytes, file) != pixelBytes)
                    return -1;
                state.inRun = true;
            } else {
                const size_t bytes = count * pixelBytes;
                if (fread(state.packet, 1, bytes, file) != bytes)
                    return -1;
                state.inRaw = true;
                state.position = 0;
            }
            state.left = count;
        }
    }
    return 0;
}

bool TgaPixelsDecodable(const TgaHeader& header)
{
    switch (header.imageType) {
    case 1:
    case 9:
        return header.colorMapType == 1 && header.colorMapLength > 0 &&
               (header.pixelDepth == 8 || header.pixelDepth == 16) &&
               (header.colorMapEntrySize == 15 || header.colorMapEntrySize == 16 ||
                header.colorMapEntrySize == 24 || header.colorMapEntrySize == 32);
    case 2:
    case 10:
        return header.pixelDepth == 15 || header.pixelDepth == 16 || header.pixelDepth == 24 ||
               header.pixelDepth == 32;
    case 3:
    case 11:
        return header.pixelDepth == 8;
    default:
        return false;
    }
}

namespace {

// One line of the file (bpp bytes a pixel) as a picture line (blue, green, red).
void ConvertLine(const uint8_t* line, uint8_t* out, const TgaHeader& header, int bpp, const std::vector<uint8_t>& map,
                 bool rightToLeft)
{
    const bool mapped = !map.empty();
    const int32_t width = header.width;
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* source = line + size_t(x) * bpp;
        uint8_t* bgr = out + 3 * size_t(rightToLeft ? width - 1 - x : x);
        if (mapped) {
            // An index outside the map (a damaged file) gives black, as in bitmaps.
            const uint32_t index = bpp == 1 ? source[0] : source[0] | uint32_t(source[1]) << 8;
            if (index >= header.colorMapFirst && index - header.colorMapFirst < header.colorMapLength)
                memcpy(bgr, &map[3 * (index - header.colorMapFirst)], 3);
            else
                memset(bgr, 0, 3);
        } else if (bpp == 1) {
            memset(bgr, source[0], 3); // grey
        } else if (bpp == 2) {
            FromFifteenBits(source, bgr);
        } else {
            memcpy(bgr, source, 3); // a fourth (attribute) byte is dropped
        }
    }
}

// Reads the pixel data into picture, in the file's order, or, without one, hands the lines to
// sink top first.
bool ReadTga(const char* path, const TgaHeader& header, IJpegLineSink* sink, const PixelImage* picture)
{
    if (!TgaPixelsDecodable(header) || header.dataOffset > header.fileSize)
        return false;
    FilePtr file(OpenFileStream(path, "rb"));
    if (!file)
        return false;

    // The colour map as blue, green, red; it lies in the file (checked above), so its size is
    // bounded by the file's.
    const bool mapped = header.imageType == 1 || header.imageType == 9;
    std::vector<uint8_t> map;
    if (mapped) {
        const size_t entryBytes = size_t(ColourMapEntryBytes(header));
        std::vector<uint8_t> entries(header.colorMapLength * entryBytes);
        if (!SeekTo(file.get(), 18 + header.idLength) ||
            fread(entries.data(), 1, entries.size(), file.get()) != entries.size())
            return false;
        map.resize(3 * size_t(header.colorMapLength));
        for (size_t i = 0; i < header.colorMapLength; ++i) {
            const uint8_t* entry = entries.data() + i * entryBytes;
            if (entryBytes == 2)
                FromFifteenBits(entry, &map[3 * i]);
            else
                memcpy(&map[3 * i], entry, 3); // blue, green, red; a fourth (attribute) byte is dropped
        }
    }
    if (!SeekTo(file.get(), header.dataOffset))
        return false;

    const int bpp = BytesPerPixel(header);
    const uint32_t height = header.height;
    const size_t rowBytes = size_t(header.width) * bpp;
    // Descriptor bit 5: the first row in the file is the top row; bit 4: pixels run right to left.
    const bool topDown = (header.descriptor & 0x20) != 0;
    const bool rightToLeft = (header.descriptor & 0x10) != 0;
    const bool runLength = IsRunLength(header);
    TgaRleState rle;
    if (picture) {
        std::vector<uint8_t> line(rowBytes);
        for (uint32_t i = 0; i < height; ++i) {
            if (runLength ? DecodeTgaRleRow(line.data(), rowBytes, bpp, file.get(), rle) != 0
                          : fread(line.data(), 1, rowBytes, file.get()) != rowBytes)
                return false;
            ConvertLine(line.data(), picture->Row(int32_t(topDown ? height - 1 - i : i)), header, bpp, map, rightToLeft);
        }
        return true;
    }
    // The lines go out top first. A file stored top first is read in order; an uncompressed one
    // stored bottom first is read from its last line back; a run-length one stored bottom first
    // (its lines can only be found by decoding those before) is decoded whole first, at the
    // file's bytes a pixel.
    std::vector<uint8_t> lines;
    const bool whole = runLength && !topDown;
    if (!TryAssign(lines, whole ? rowBytes * height : rowBytes))
        return false;
    if (whole)
        for (uint32_t i = 0; i < height; ++i)
            if (DecodeTgaRleRow(lines.data() + rowBytes * (height - 1 - i), rowBytes, bpp, file.get(), rle) != 0)
                return false;
    if (!sink->Begin(header.width, height))
        return false;
    for (uint32_t i = 0; i < height; ++i) {
        const uint8_t* line = lines.data();
        if (whole) {
            line += rowBytes * i;
        } else if (runLength) {
            if (DecodeTgaRleRow(lines.data(), rowBytes, bpp, file.get(), rle) != 0)
                return false;
        } else {
            if ((!topDown && !SeekTo(file.get(), header.dataOffset + int64_t(rowBytes) * (height - 1 - i))) ||
                fread(lines.data(), 1, rowBytes, file.get()) != rowBytes)
                return false;
        }
        ConvertLine(line, sink->Line(i), header, bpp, map, rightToLeft);
        if (!sink->LineDone(i))
            return false;
    }
    return true;
}

} // namespace

bool ReadTgaPixels(const char* path, const TgaHeader& header, const PixelImage& picture)
{
    if (!picture.bits || picture.width != header.width || picture.height != header.height)
        return false;
    return ReadTga(path, header, nullptr, &picture);
}

bool ReadTgaFile(const char* path, IJpegLineSink& sink)
{
    TgaHeader header;
    if (!ReadTgaHeader(path, header) || !PixelDataMayFit(header))
        return false;
    return ReadTga(path, header, &sink, nullptr);
}

bool LoadTgaFile(const char* path, IPixelTarget& target)
{
    TgaHeader header;
    if (!ReadTgaHeader(path, header))
        return false;
    if (!PixelDataMayFit(header))
        return false;
    if (!target.CreatePixels(header.width, header.height))
        return false;
    return ReadTgaPixels(path, header, target.Pixels());
}
