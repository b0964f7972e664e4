#include "image/JpegFile.h"

#include "framework/File.h"
#include "image/AbortFlag.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

constexpr size_t kLastErrorSize = 256;

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The library's error manager, extended by the point to jump back to on a fatal error and the
// place for its message. error_exit must not return, so it jumps.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf recovery;
    char* lastError; // kLastErrorSize characters, or null
};

void SetLastError(char* lastError, const char* text)
{
    if (lastError)
        snprintf(lastError, kLastErrorSize, "%s", text);
}

void OnJpegError(j_common_ptr cinfo)
{
    auto* errors = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    SetLastError(errors->lastError, text);
    longjmp(errors->recovery, 1);
}

constexpr const char* kAbortedMessage = "JPEG decoding stopped";

// The progress monitor with what it needs to hold the scans' work to its budget.
struct JpegProgress {
    jpeg_progress_mgr pub;
    int lastScan = 0;         // the scan whose blocks were counted last
    int64_t blockScans = 0;   // blocks visited by the scans so far
    int64_t budget = INT64_MAX;
};

// Called by the decoder while it takes in a progressive file's scans (all of them are read
// before the first line comes out) and for every line it hands over: the show window stops a
// decode on its worker thread by raising the abort flag, which stays raised for the caller.
void LimitScans(j_common_ptr cinfo)
{
    auto* decoder = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* errors = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (g_bAbortImageWork) {
        SetLastError(errors->lastError, kAbortedMessage);
        longjmp(errors->recovery, 1);
    }
    if (decoder->input_scan_number > kMaxJpegScans) {
        char text[kLastErrorSize];
        snprintf(text, sizeof text, "JPEG file has too many scans (more than %d)", kMaxJpegScans);
        SetLastError(errors->lastError, text);
        longjmp(errors->recovery, 1);
    }
    // A new scan: its blocks count once, when its header has been read.
    auto* progress = reinterpret_cast<JpegProgress*>(cinfo->progress);
    if (decoder->input_scan_number != progress->lastScan) {
        progress->lastScan = decoder->input_scan_number;
        for (int i = 0; i < decoder->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i)
            if (const jpeg_component_info* component = decoder->cur_comp_info[i])
                progress->blockScans += int64_t(component->width_in_blocks) * component->height_in_blocks;
        if (progress->blockScans > progress->budget) {
            SetLastError(errors->lastError, "JPEG file has too many scans for its size");
            longjmp(errors->recovery, 1);
        }
    }
}

// Whether the compressed data after the headers (dataBytes, -1 when unknown) can hold the
// picture the frame header claims; see kMaxJpegPixelsPerByte.
bool DataCanHold(const jpeg_decompress_struct& cinfo, int64_t dataBytes)
{
    if (dataBytes < 0)
        return true;
    const int64_t pixels = int64_t(cinfo.image_width) * cinfo.image_height;
    const int64_t perByte = cinfo.arith_code ? kMaxArithmeticJpegPixelsPerByte : kMaxJpegPixelsPerByte;
    return pixels <= kJpegPixelsAlwaysAccepted || pixels <= dataBytes * perByte;
}

// The 8 x 8 blocks of every component, as the decoder lays them out (rounded up to whole
// sampling units); known once the first scan's header is read.
int64_t CoefficientBlocks(const jpeg_decompress_struct& cinfo)
{
    int64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& component = cinfo.comp_info[c];
        const int64_t h = component.h_samp_factor, v = component.v_samp_factor;
        blocks += (int64_t(component.width_in_blocks) + h) * (int64_t(component.height_in_blocks) + v);
    }
    return blocks;
}

// Whether the decode stays within kMaxJpegMemoryPerByte: the picture, and the coefficients of
// a file of several scans (kept whole by the decoder until the last scan is in).
bool MemoryFits(const jpeg_decompress_struct& cinfo, int64_t dataBytes)
{
    if (dataBytes < 0)
        return true;
    int64_t bytes = int64_t(cinfo.image_width) * cinfo.image_height * 3;
    if (jpeg_has_multiple_scans(const_cast<jpeg_decompress_struct*>(&cinfo)))
        bytes += CoefficientBlocks(cinfo) * int64_t(sizeof(JBLOCK));
    return bytes <= kJpegMemoryAlwaysAccepted || bytes <= dataBytes * kMaxJpegMemoryPerByte;
}

int ComponentsOf(J_COLOR_SPACE space)
{
    switch (space) {
    case JCS_GRAYSCALE: return 1;
    case JCS_RGB: return 3;
    case JCS_CMYK: return 4; // also what the library makes of YCCK files
    default: return 0;
    }
}

uint8_t Scale(unsigned a, unsigned b)
{
    return static_cast<uint8_t>((a * b + 127) / 255);
}

// One decoded greyscale or CMYK line into one picture row (blue, green, red).
void ConvertLine(const JSAMPLE* in, uint8_t* out, uint32_t width, J_COLOR_SPACE space, bool adobe)
{
    if (space == JCS_GRAYSCALE) {
        for (uint32_t x = 0; x < width; ++x, out += 3)
            out[0] = out[1] = out[2] = in[x];
        return;
    }
    // Files with an Adobe marker (nearly all CMYK files) store the inks inverted:
    // 255 means no ink.
    for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!adobe) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = Scale(y, k);
        out[1] = Scale(m, k);
        out[2] = Scale(c, k);
    }
}

// setjmp lives here. Nothing in this function has a destructor, so a jump back from the
// library's frames skips no clean-up; everything the library allocated is released by
// jpeg_destroy_decompress. fileLength is -1 when unknown.
bool DecodeJpeg(CFile& file, int64_t fileLength, IJpegLineSink& sink, char* lastError)
{
    jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    JpegProgress progress;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnJpegError;
    errors.lastError = lastError;
    if (setjmp(errors.recovery)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    progress.pub.progress_monitor = LimitScans;
    cinfo.progress = &progress.pub;
    jpeg_stdio_src(&cinfo, file.Stream());
    jpeg_read_header(&cinfo, TRUE);

    const J_COLOR_SPACE space = cinfo.out_color_space;
    const int components = ComponentsOf(space);
    char text[kLastErrorSize];
    if (components == 0) {
        snprintf(text, sizeof text, "Unsupported JPEG colour space %d with %d components",
                 int(cinfo.jpeg_color_space), cinfo.num_components);
        SetLastError(lastError, text);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Checked before the decoder allocates its own buffers for the whole picture.
    if (int64_t(cinfo.image_width) * cinfo.image_height * 3 > kMaxPictureBytes) {
        snprintf(text, sizeof text, "JPEG picture too large: %u x %u pixels",
                 unsigned(cinfo.image_width), unsigned(cinfo.image_height));
        SetLastError(lastError, text);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // The header ends where the first scan's data begins: the bytes the source has taken from
    // the file, less those it still holds. A tiny file claiming a huge size is refused here,
    // before the picture and the decoder's buffers for the whole picture exist.
    const int64_t position = file.GetPosition();
    const int64_t dataBytes = fileLength >= 0 && position >= 0
                                  ? fileLength - (position - int64_t(cinfo.src->bytes_in_buffer))
                                  : -1;
    if (!DataCanHold(cinfo, dataBytes) || !MemoryFits(cinfo, dataBytes)) {
        snprintf(text, sizeof text, "JPEG data too small for its size: %u x %u pixels in %lld bytes",
                 unsigned(cinfo.image_width), unsigned(cinfo.image_height), static_cast<long long>(dataBytes));
        SetLastError(lastError, text);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (dataBytes >= 0)
        progress.budget = std::max(kJpegBlockScansAlwaysAccepted, dataBytes * kMaxJpegBlockScansPerByte);
    // Colour pixels come out of the library's own colour conversion in the picture's byte
    // order (the same values as its default RGB output), straight into the picture rows.
    if (space == JCS_RGB)
        cinfo.out_color_space = JCS_EXT_BGR;
    // The decoder's own buffers (a progressive file keeps every coefficient of the picture)
    // stay within the picture limit too: a tiny file claiming a huge size fails at once
    // instead of taking gigabytes.
    cinfo.mem->max_memory_to_use = static_cast<long>(kMaxPictureBytes);
    jpeg_start_decompress(&cinfo);
    if (g_bAbortImageWork) { // raised before the picture is made
        SetLastError(lastError, kAbortedMessage);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const uint32_t width = cinfo.output_width;
    const uint32_t height = cinfo.output_height;
    if (cinfo.output_components != components || !sink.Begin(width, height)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                 width * components, 1);
    const bool adobe = cinfo.saw_Adobe_marker != 0;
    while (cinfo.output_scanline < height) {
        const uint32_t index = cinfo.output_scanline;
        uint8_t* out = sink.Line(index);
        JSAMPROW decoded = space == JCS_RGB ? out : line[0];
        if (jpeg_read_scanlines(&cinfo, &decoded, 1) != 1) {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
        if (space != JCS_RGB)
            ConvertLine(line[0], out, width, space, adobe);
        if (!sink.LineDone(index)) {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// setjmp lives here too, under the same rule as in DecodeJpeg. line holds 3 x width bytes.
bool EncodeJpeg(FILE* file, const PixelImage& picture, uint8_t* line)
{
    jpeg_compress_struct cinfo;
    JpegErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnJpegError;
    errors.lastError = nullptr;
    if (setjmp(errors.recovery)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW rows[1] = {line};
    while (cinfo.next_scanline < cinfo.image_height) {
        // Top row first: the picture's rows run bottom-up.
        const uint8_t* source = picture.Row(picture.height - int32_t(cinfo.next_scanline) - 1);
        for (int32_t x = 0; x < picture.width; ++x) {
            line[3 * x] = source[3 * x + 2];
            line[3 * x + 1] = source[3 * x + 1];
            line[3 * x + 2] = source[3 * x];
        }
        if (jpeg_write_scanlines(&cinfo, rows, 1) != 1) {
            jpeg_destroy_compress(&cinfo);
            return false;
        }
    }
    jpeg_finish_compress(&cinfo); // flushes the file; a failed write ends in OnJpegError
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

bool ReadJpegFile(const char* path, IJpegLineSink& sink, char* lastError)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    return DecodeJpeg(file, file.GetLength(), sink, lastError);
}

bool LoadJpegFile(const char* path, IPixelTarget& target, char* lastError)
{
    CPictureLineSink sink(target);
    return ReadJpegFile(path, sink, lastError);
}

bool SaveJpegFile(const char* path, const PixelImage& picture)
{
    if (!picture.bits || picture.width <= 0 || picture.height <= 0 || picture.stride < 3 * int64_t(picture.width))
        return false;
    std::vector<uint8_t> line;
    try {
        line.resize(size_t(picture.width) * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    FilePtr file(OpenFileStream(path, "wb"));
    if (!file)
        return false;
    const bool written = EncodeJpeg(file.get(), picture, line.data());
    const bool closed = fclose(file.release()) == 0;
    return written && closed;
}
