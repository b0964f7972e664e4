#include "image/WebpFile.h"

#include "framework/File.h"
#include "image/AbortFlag.h"
#include "image/Compositing.h"
#include "image/Exif.h"

#include <WebpBudget.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr size_t kLastErrorSize = 256;
constexpr const char* kAbortedMessage = "WebP decoding stopped";

void SetLastError(char* lastError, const char* text)
{
    if (lastError)
        snprintf(lastError, kLastErrorSize, "%s", text);
}

// A decoder status in words.
const char* StatusText(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OK:
        return "no error";
    case VP8_STATUS_OUT_OF_MEMORY:
        return "not enough memory";
    case VP8_STATUS_INVALID_PARAM:
        return "sizes that do not agree";
    case VP8_STATUS_BITSTREAM_ERROR:
        return "damaged data";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "a feature this reader lacks";
    case VP8_STATUS_SUSPENDED:
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return "the file ends early";
    case VP8_STATUS_USER_ABORT:
        return "stopped";
    }
    return "unknown error";
}

void SetStatusError(char* lastError, const char* what, VP8StatusCode status)
{
    if (lastError)
        snprintf(lastError, kLastErrorSize, "%s: %s", what, StatusText(status));
}

// The whole file in memory. False (with the reason) when it cannot be opened or read, or is
// larger than kMaxWebpFileBytes. Read in pieces so that the abort flag is seen.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes, char* lastError)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead)) {
        SetLastError(lastError, "Cannot open the WebP file");
        return false;
    }
    const int64_t length = file.GetLength();
    if (length < 0) {
        SetLastError(lastError, "Cannot read the WebP file");
        return false;
    }
    if (length > kMaxWebpFileBytes) {
        char text[kLastErrorSize];
        snprintf(text, sizeof text, "WebP file too large: %lld bytes", static_cast<long long>(length));
        SetLastError(lastError, text);
        return false;
    }
    if (!TryAssign(bytes, size_t(length))) {
        SetLastError(lastError, "Not enough memory for the WebP file");
        return false;
    }
    constexpr size_t kPiece = size_t(1) << 20;
    size_t got = 0;
    try {
        while (got < bytes.size()) {
            if (g_bAbortImageWork) {
                SetLastError(lastError, kAbortedMessage);
                return false;
            }
            const size_t read = file.Read(bytes.data() + got, std::min(kPiece, bytes.size() - got));
            if (read == 0)
                break; // the file became shorter since its length was taken
            got += read;
        }
    } catch (const CFileException&) {
        SetLastError(lastError, "Cannot read the WebP file");
        return false;
    }
    bytes.resize(got);
    return true;
}

// Keeps libwebp's allocations on this thread within a number of bytes while it lives.
class BudgetScope {
public:
    explicit BudgetScope(int64_t bytes)
    {
        const uint64_t wanted = bytes > 0 ? uint64_t(bytes) : 0;
        WebpBudgetBegin(size_t(std::min<uint64_t>(wanted, std::numeric_limits<size_t>::max())));
    }
    ~BudgetScope() { End(); }
    BudgetScope(const BudgetScope&) = delete;
    BudgetScope& operator=(const BudgetScope&) = delete;
    // Closes the budget; true when the library asked for more than it held.
    bool End()
    {
        if (!m_open)
            return m_refused;
        m_open = false;
        m_refused = WebpBudgetEnd() != 0;
        return m_refused;
    }

private:
    bool m_open = true;
    bool m_refused = false;
};

struct DecoderDeleter {
    void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};
struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

// Hands decoded lines to the sink, calling Begin before the first one.
class LineFeeder {
public:
    LineFeeder(IJpegLineSink& sink, uint32_t width, uint32_t height, const Background& bg)
        : m_sink(sink), m_width(width), m_height(height), m_bg(bg) {}

    uint32_t Done() const { return m_done; }

    // Lines m_done..end-1 from the RGBA picture (null: the background). False when the sink
    // stopped the read or the abort flag is up (then lastError says so).
    bool Feed(const uint8_t* rgba, size_t stride, uint32_t end, char* lastError)
    {
        if (end > m_height)
            end = m_height;
        for (; m_done < end; ++m_done) {
            if (g_bAbortImageWork) {
                SetLastError(lastError, kAbortedMessage);
                return false;
            }
            if (!m_begun) {
                if (!m_sink.Begin(m_width, m_height))
                    return false;
                m_begun = true;
            }
            uint8_t* out = m_sink.Line(m_done);
            if (rgba)
                CompositeRgbaLine(rgba + size_t(m_done) * stride, out, m_width, m_bg);
            else
                FillBackgroundLine(out, m_width, m_bg);
            if (!m_sink.LineDone(m_done))
                return false;
        }
        return true;
    }

private:
    IJpegLineSink& m_sink;
    uint32_t m_width, m_height;
    Background m_bg;
    uint32_t m_done = 0;
    bool m_begun = false;
};

// The memory a decode may take: what the file's size allows.
int64_t Allowance(int64_t fileBytes)
{
    return std::max(kWebpMemoryAlwaysAccepted, fileBytes * kMaxWebpMemoryPerByte);
}

// A still picture, decoded incrementally: the file is given to the decoder in growing
// pieces, the abort flag is looked at between them, and the lines finished so far go to the
// sink. libwebp decodes into our RGBA buffer.
bool DecodeStill(const std::vector<uint8_t>& file, uint32_t width, uint32_t height, int64_t libraryBudget,
                 IJpegLineSink& sink, char* lastError, const Background& bg)
{
    const size_t stride = size_t(width) * 4;
    std::vector<uint8_t> rgba;
    if (!TryAssign(rgba, stride * height)) {
        SetLastError(lastError, "Not enough memory for the WebP picture");
        return false;
    }
    if (g_bAbortImageWork) {
        SetLastError(lastError, kAbortedMessage);
        return false;
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        SetLastError(lastError, "WebP decoder unusable");
        return false;
    }
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rgba.data();
    config.output.u.RGBA.stride = int(stride);
    config.output.u.RGBA.size = rgba.size();

    BudgetScope budget(libraryBudget);
    const std::unique_ptr<WebPIDecoder, DecoderDeleter> decoder(WebPIDecode(nullptr, 0, &config));
    if (!decoder) {
        SetLastError(lastError, "Not enough memory for the WebP decoder");
        return false;
    }
    LineFeeder feeder(sink, width, height, bg);
    // Pieces of at least 64 KB, growing with what was given, so that a large file takes a few
    // dozen calls: each call may parse the headers again until they are complete.
    constexpr size_t kFirstPiece = size_t(64) << 10;
    size_t given = 0;
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    while (given < file.size()) {
        if (g_bAbortImageWork) {
            SetLastError(lastError, kAbortedMessage);
            return false;
        }
        given += std::min(file.size() - given, std::max(kFirstPiece, given / 8));
        status = WebPIUpdate(decoder.get(), file.data(), given);
        if (status == VP8_STATUS_NOT_ENOUGH_DATA)
            status = VP8_STATUS_SUSPENDED; // the same: more data is wanted
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
            break;
        int lastLine = 0;
        if (WebPIDecGetRGB(decoder.get(), &lastLine, nullptr, nullptr, nullptr) && lastLine > 0 &&
            !feeder.Feed(rgba.data(), stride, uint32_t(lastLine), lastError))
            return false;
        if (status == VP8_STATUS_OK)
            break;
    }
    const bool overBudget = budget.End();
    if (status == VP8_STATUS_OK) {
        if (feeder.Done() != height) { // never: a finished decode has every line
            SetLastError(lastError, "WebP picture incomplete");
            return false;
        }
        return true;
    }
    if (overBudget) {
        SetLastError(lastError, "WebP file needs more memory than its size allows");
        return false;
    }
    if (status != VP8_STATUS_SUSPENDED) {
        SetStatusError(lastError, "WebP picture data refused", status);
        return false;
    }
    // The file ended before the picture did.
    if (feeder.Done() == 0) {
        SetLastError(lastError, "WebP file ends before its picture data");
        return false;
    }
    if (!feeder.Feed(nullptr, 0, height, lastError))
        return false;
    SetLastError(lastError, "WebP picture data broken off: the file ends early");
    return true;
}

// The first frame of an animation on its canvas, which libwebp's animation decoder composes.
bool DecodeAnimation(const std::vector<uint8_t>& file, uint32_t width, uint32_t height, int64_t libraryBudget,
                     IJpegLineSink& sink, char* lastError, const Background& bg)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        SetLastError(lastError, "WebP decoder unusable");
        return false;
    }
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    WebPData data;
    data.bytes = file.data();
    data.size = file.size();

    BudgetScope budget(libraryBudget);
    const std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(WebPAnimDecoderNew(&data, &options));
    if (!decoder) {
        SetLastError(lastError, budget.End() ? "WebP file needs more memory than its size allows"
                                             : "WebP animation refused: damaged or cut short");
        return false;
    }
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) || info.canvas_width != width || info.canvas_height != height) {
        SetLastError(lastError, "WebP animation refused: its sizes do not agree");
        return false;
    }
    if (g_bAbortImageWork) {
        SetLastError(lastError, kAbortedMessage);
        return false;
    }
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) {
        SetLastError(lastError, budget.End() ? "WebP file needs more memory than its size allows"
                                             : "WebP animation refused: its first frame is damaged");
        return false;
    }
    budget.End();
    LineFeeder feeder(sink, width, height, bg);
    return feeder.Feed(canvas, size_t(width) * 4, height, lastError);
}

} // namespace

int64_t WebpDecodeMemory(uint32_t width, uint32_t height, WebpLayout layout)
{
    if (width > kMaxWebpSide || height > kMaxWebpSide) // beyond the format: more than anything allows
        return std::numeric_limits<int64_t>::max();
    const int64_t pixels = int64_t(width) * height;
    int64_t perPixel = 4; // the RGBA picture (an animation's current canvas)
    if (layout != WebpLayout::lossy)
        perPixel += 6;
    if (layout == WebpLayout::animation)
        perPixel += 4;
    const int64_t picture = std::max<int64_t>(PictureBytes(int32_t(width), int32_t(height)), pixels * 3);
    return picture + pixels * perPixel + int64_t(width) * 256;
}

bool ReadWebpFile(const char* path, IJpegLineSink& sink, char* lastError, uint32_t background)
{
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file, lastError))
        return false;
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(file.data(), file.size(), &features);
    if (status != VP8_STATUS_OK) {
        SetLastError(lastError, status == VP8_STATUS_NOT_ENOUGH_DATA ? "WebP file ends within its headers"
                                                                     : "Not a WebP file, or its headers are damaged");
        return false;
    }
    char text[kLastErrorSize];
    const uint32_t width = uint32_t(features.width), height = uint32_t(features.height);
    if (features.width <= 0 || features.height <= 0 || width > kMaxWebpSide || height > kMaxWebpSide ||
        PictureBytes(features.width, features.height) == 0) {
        snprintf(text, sizeof text, "WebP picture size refused: %d x %d pixels", features.width, features.height);
        SetLastError(lastError, text);
        return false;
    }
    const WebpLayout layout = features.has_animation ? WebpLayout::animation
                              : features.format == 1 && !features.has_alpha ? WebpLayout::lossy
                                                                            : WebpLayout::whole;
    // A small file claiming a huge picture is refused here, before anything of its size exists.
    const int64_t fileBytes = int64_t(file.size());
    const int64_t memory = WebpDecodeMemory(width, height, layout) + fileBytes;
    const int64_t allowance = Allowance(fileBytes);
    if (memory > allowance) {
        snprintf(text, sizeof text, "WebP data too small for its size: %u x %u pixels in %lld bytes",
                 unsigned(width), unsigned(height), static_cast<long long>(fileBytes));
        SetLastError(lastError, text);
        return false;
    }
    if (g_bAbortImageWork) {
        SetLastError(lastError, kAbortedMessage);
        return false;
    }
    // What is ours (the file, the picture, a still picture's RGBA buffer) leaves the rest of
    // the allowance to the library.
    const int64_t pixels = int64_t(width) * height;
    int64_t ours = fileBytes + PictureBytes(features.width, features.height);
    if (layout != WebpLayout::animation)
        ours += pixels * 4;
    const Background bg(background);
    if (layout == WebpLayout::animation)
        return DecodeAnimation(file, width, height, allowance - ours, sink, lastError, bg);
    return DecodeStill(file, width, height, allowance - ours, sink, lastError, bg);
}

bool LoadWebpFile(const char* path, IPixelTarget& target, char* lastError, uint32_t background)
{
    CPictureLineSink sink(target);
    return ReadWebpFile(path, sink, lastError, background);
}

namespace {

uint32_t Little32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Chunks walked before giving up: an animation has one a frame; a file of more is not one we
// look through for its orientation.
constexpr int kMaxChunks = 100000;
constexpr uint8_t kExifFlag = 0x08; // in the first byte of the VP8X chunk's payload
constexpr uint32_t kVp8xPayload = 10;

// The orientation in the file's EXIF chunk; reads raise CFileException.
int ReadOrientation(CFile& file)
{
    uint8_t head[12];
    if (file.Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WEBP", 4) != 0)
        return kOrientationUpright;
    // The chunks lie within the RIFF chunk, whose size counts from byte 8.
    const uint64_t end = 8 + uint64_t(Little32(head + 4));
    // The first chunk must be VP8X with the EXIF flag: a simple file has no metadata, and
    // libwebp's demuxer ignores an EXIF chunk the header does not announce.
    uint8_t vp8x[8 + kVp8xPayload];
    if (end < 12 + sizeof vp8x || file.Read(vp8x, sizeof vp8x) != sizeof vp8x || std::memcmp(vp8x, "VP8X", 4) != 0 ||
        Little32(vp8x + 4) != kVp8xPayload || (vp8x[8] & kExifFlag) == 0)
        return kOrientationUpright;
    uint64_t position = 12 + sizeof vp8x;
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        if (position > end || end - position < 8 || !file.Seek(int64_t(position)) || file.Read(head, 8) != 8)
            return kOrientationUpright;
        const uint64_t size = Little32(head + 4);
        if (size > end - position - 8)
            return kOrientationUpright; // a chunk that runs past the RIFF chunk
        if (std::memcmp(head, "EXIF", 4) == 0) {
            // The first directory, which holds the orientation, comes first.
            const size_t take = size_t(std::min<uint64_t>(size, kMaxWebpExifBytes));
            std::vector<uint8_t> exif;
            if (!TryAssign(exif, take) || file.Read(exif.data(), take) != take)
                return kOrientationUpright;
            if (take >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0)
                return ExifApp1Orientation(exif.data(), take);
            return ExifOrientation(exif.data(), take);
        }
        position += 8 + size + (size & 1); // chunks are padded to an even size
    }
    return kOrientationUpright;
}

} // namespace

int WebpFileOrientation(const char* path)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead))
        return kOrientationUpright;
    try {
        return ReadOrientation(file);
    } catch (const CFileException&) {
        return kOrientationUpright;
    }
}
