#include "image/PngFile.h"

#include "framework/File.h"
#include "image/AbortFlag.h"
#include "image/Compositing.h"
#include "image/Exif.h"

#include <spng.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

constexpr size_t kLastErrorSize = 256;

void SetLastError(char* lastError, const char* text)
{
    if (lastError)
        snprintf(lastError, kLastErrorSize, "%s", text);
}

void SetSpngError(char* lastError, const char* what, int error)
{
    if (lastError)
        snprintf(lastError, kLastErrorSize, "%s: %s", what, spng_strerror(error));
}

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using ContextPtr = std::unique_ptr<spng_ctx, ContextDeleter>;

// How a decode ended: every line handed over, a stop (the sink's, the abort flag, or an error
// before the first line: the picture is not usable), or an error after some lines had come
// (the rest is filled with the background).
enum class Outcome { complete, stopped, brokenOff };

// Hands lines first..height-1 of the decoded picture (rgba: 4 x width bytes a line, null for
// background only) to the sink.
bool HandOver(IPngLineSink& sink, const uint8_t* rgba, uint32_t first, uint32_t width, uint32_t height,
              const Background& bg)
{
    for (uint32_t y = first; y < height; ++y) {
        uint8_t* out = sink.Line(y);
        if (rgba)
            CompositeRgbaLine(rgba + size_t(y) * width * 4, out, width, bg);
        else
            FillBackgroundLine(out, width, bg);
        if (!sink.LineDone(y))
            return false;
    }
    return true;
}

// Errors of a file that ends too early, as opposed to damaged data.
bool EndsEarly(int error)
{
    return error == SPNG_IO_EOF || error == SPNG_EOF || error == SPNG_EIDAT_TOO_SHORT;
}

constexpr const char* kAbortedMessage = "PNG decoding stopped";

bool DecodePng(spng_ctx* context, int64_t fileLength, IPngLineSink& sink, char* lastError, const Background& bg)
{
    spng_set_image_limits(context, kMaxPngSide, kMaxPngSide);
    spng_set_chunk_limits(context, kMaxPngChunkBytes, kMaxPngChunkCacheBytes);

    spng_ihdr header;
    if (const int error = spng_get_ihdr(context, &header)) {
        SetSpngError(lastError, "PNG header refused", error);
        return false;
    }
    const uint32_t width = header.width, height = header.height;
    const bool interlaced = header.interlace_method != SPNG_INTERLACE_NONE;
    char text[kLastErrorSize];
    if (PictureBytes(int32_t(width), int32_t(height)) == 0) {
        snprintf(text, sizeof text, "PNG picture too large: %u x %u pixels", unsigned(width), unsigned(height));
        SetLastError(lastError, text);
        return false;
    }
    // A tiny file claiming a huge picture is refused here, before anything of its size exists.
    const int64_t memory = PngDecodeMemory(width, height, interlaced);
    if (fileLength >= 0 && memory > kPngMemoryAlwaysAccepted && memory > fileLength * kMaxPngMemoryPerByte) {
        snprintf(text, sizeof text, "PNG data too small for its size: %u x %u pixels in %lld bytes",
                 unsigned(width), unsigned(height), static_cast<long long>(fileLength));
        SetLastError(lastError, text);
        return false;
    }
    // An opaque 8-bit colour picture, the usual photo and screenshot, is decoded straight into
    // the picture's lines, which only need their red and blue swapped; anything else comes as
    // 8-bit red, green, blue, alpha and is blended over the background.
    spng_trns transparency;
    const bool direct = !interlaced && header.color_type == SPNG_COLOR_TYPE_TRUECOLOR && header.bit_depth == 8 &&
                        spng_get_trns(context, &transparency) != 0;
    const int format = direct ? SPNG_FMT_RGB8 : SPNG_FMT_RGBA8;
    // The decoder reads the chunks before the picture data here.
    if (const int error = spng_decode_image(context, nullptr, 0, format, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE)) {
        SetSpngError(lastError, "PNG file refused", error);
        return false;
    }
    const size_t lineBytes = size_t(width) * (direct ? 3 : 4);
    size_t imageBytes = 0;
    if (spng_decoded_image_size(context, format, &imageBytes) != 0 || imageBytes / height != lineBytes) {
        SetLastError(lastError, "PNG picture size unknown");
        return false;
    }
    // An interlaced file fills its lines in seven passes: the whole picture is kept until the
    // last one. Otherwise one line at a time. Lines never decoded stay transparent.
    std::vector<uint8_t> rgba;
    if (!TryAssign(rgba, interlaced ? imageBytes : direct ? 0 : lineBytes)) {
        SetLastError(lastError, "Not enough memory for the PNG picture");
        return false;
    }
    if (g_bAbortImageWork) {
        SetLastError(lastError, kAbortedMessage);
        return false;
    }
    if (!sink.Begin(width, height))
        return false;

    uint32_t linesDone = 0; // lines handed over (not interlaced) or decoded in some pass
    int error = 0;
    for (;;) {
        if (g_bAbortImageWork) {
            SetLastError(lastError, kAbortedMessage);
            return false;
        }
        spng_row_info row;
        error = spng_get_row_info(context, &row);
        if (error)
            break;
        if (row.row_num >= height) { // never: the decoder keeps within the picture
            error = SPNG_EINTERNAL;
            break;
        }
        uint8_t* line = direct       ? sink.Line(row.row_num)
                        : interlaced ? rgba.data() + size_t(row.row_num) * lineBytes
                                     : rgba.data();
        error = spng_decode_row(context, line, lineBytes);
        if (error != 0 && error != SPNG_EOI)
            break;
        if (direct) {
            for (uint8_t* pixel = line; pixel != line + lineBytes; pixel += 3)
                std::swap(pixel[0], pixel[2]);
            if (!sink.LineDone(row.row_num))
                return false;
        } else if (!interlaced) {
            CompositeRgbaLine(line, sink.Line(row.row_num), width, bg);
            if (!sink.LineDone(row.row_num))
                return false;
        }
        ++linesDone;
        if (error == SPNG_EOI)
            break;
    }
    if (error == SPNG_EOI) {
        // The chunks after the picture data: a damaged checksum of the data just decoded
        // (libspng checks a chunk's checksum once the whole chunk is read) is found here.
        // A file that ends before its end chunk is still whole.
        const int trailing = spng_decode_chunks(context);
        if (trailing != 0 && !EndsEarly(trailing)) {
            SetSpngError(lastError, "PNG file refused after its picture data", trailing);
            return false;
        }
    } else if (linesDone == 0 || !EndsEarly(error)) {
        SetSpngError(lastError, "PNG picture data refused", error);
        return false;
    } else {
        SetSpngError(lastError, "PNG picture data broken off", error);
    }
    if (interlaced)
        return HandOver(sink, rgba.data(), 0, width, height, bg);
    return HandOver(sink, nullptr, error == SPNG_EOI ? height : linesDone, width, height, bg);
}

} // namespace

int64_t PngDecodeMemory(uint32_t width, uint32_t height, bool interlaced)
{
    const int64_t pixels = int64_t(width) * height;
    return pixels * 3 + (interlaced ? pixels * 4 : 0) + int64_t(width) * 32;
}

bool ReadPngFile(const char* path, IPngLineSink& sink, char* lastError, uint32_t background)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead)) {
        SetLastError(lastError, "Cannot open the PNG file");
        return false;
    }
    ContextPtr context(spng_ctx_new(0));
    if (!context || spng_set_png_file(context.get(), file.Stream()) != 0) {
        SetLastError(lastError, "Not enough memory for the PNG decoder");
        return false;
    }
    return DecodePng(context.get(), file.GetLength(), sink, lastError, Background(background));
}

bool LoadPngFile(const char* path, IPixelTarget& target, char* lastError, uint32_t background)
{
    CPictureLineSink sink(target);
    return ReadPngFile(path, sink, lastError, background);
}

int PngFileOrientation(const char* path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return kOrientationUpright;
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t head[8];
    if (file.Read(head, 8) != 8 || std::memcmp(head, kSignature, 8) != 0)
        return kOrientationUpright;
    constexpr uint32_t kMaxExifBytes = 64 * 1024;
    int64_t position = 8;
    // As many chunks as libspng reads at most; real files have a few before their data.
    for (int chunks = 0; chunks < 1000; ++chunks) {
        if (file.Read(head, 8) != 8)
            return kOrientationUpright;
        const uint32_t length = uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3];
        if (length > 0x7FFFFFFFu || std::memcmp(head + 4, "IDAT", 4) == 0 || std::memcmp(head + 4, "IEND", 4) == 0)
            return kOrientationUpright;
        if (std::memcmp(head + 4, "eXIf", 4) == 0) {
            if (length > kMaxExifBytes)
                return kOrientationUpright;
            std::vector<uint8_t> chunk(4 + size_t(length) + 4);
            std::memcpy(chunk.data(), head + 4, 4);
            if (file.Read(chunk.data() + 4, length + 4) != length + 4)
                return kOrientationUpright;
            const uint8_t* stored = chunk.data() + 4 + length;
            const uint32_t checksum =
                uint32_t(stored[0]) << 24 | uint32_t(stored[1]) << 16 | uint32_t(stored[2]) << 8 | stored[3];
            if (crc32(0, chunk.data(), uInt(4 + length)) != checksum)
                return kOrientationUpright;
            // Some writers keep the "Exif\0\0" that starts the JPEG segment.
            const uint8_t* exif = chunk.data() + 4;
            return length >= 6 && std::memcmp(exif, "Exif\0\0", 6) == 0 ? ExifApp1Orientation(exif, length)
                                                                           : ExifOrientation(exif, length);
        }
        // Over the chunk's data and checksum to the next chunk's header.
        position += 8 + int64_t(length) + 4;
        if (!file.Seek(position))
            return kOrientationUpright;
    }
    return kOrientationUpright;
}
