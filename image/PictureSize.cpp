#include "image/PictureSize.h"

#include "framework/File.h"
#include "image/Exif.h"
#include "image/FileKind.h"
#include "image/Orientation.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
struct StreamCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Enough for the size of every format read from its header.
constexpr size_t kHeaderBytes = 32;
// JPEG segments looked at before the frame header, at most.
constexpr int kMaxJpegSegments = 256;

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le24(const uint8_t* p) { return Le16(p) | uint32_t(p[2]) << 16; }
uint32_t Le32(const uint8_t* p) { return Le24(p) | uint32_t(p[3]) << 24; }
uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

bool Give(int64_t w, int64_t h, int32_t& width, int32_t& height)
{
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX)
        return false;
    width = int32_t(w);
    height = int32_t(h);
    return true;
}

bool WebpSize(const uint8_t* d, size_t size, int32_t& width, int32_t& height)
{
    if (size < 30)
        return false;
    const uint8_t* chunk = d + 12;
    if (std::memcmp(chunk, "VP8X", 4) == 0)
        return Give(int64_t(Le24(chunk + 12)) + 1, int64_t(Le24(chunk + 15)) + 1, width, height);
    if (std::memcmp(chunk, "VP8L", 4) == 0) {
        if (chunk[8] != 0x2F)
            return false;
        const uint32_t bits = Le32(chunk + 9);
        return Give(int64_t(bits & 0x3FFF) + 1, int64_t((bits >> 14) & 0x3FFF) + 1, width, height);
    }
    if (std::memcmp(chunk, "VP8 ", 4) == 0) {
        const uint8_t* frame = chunk + 8;
        if (frame[3] != 0x9D || frame[4] != 0x01 || frame[5] != 0x2A)
            return false;
        return Give(Le16(frame + 6) & 0x3FFF, Le16(frame + 8) & 0x3FFF, width, height);
    }
    return false;
}

bool JpegSize(std::FILE* fp, int32_t& width, int32_t& height)
{
    uint8_t head[8];
    if (std::fread(head, 1, 2, fp) != 2 || head[0] != 0xFF || head[1] != 0xD8)
        return false;
    for (int segment = 0; segment < kMaxJpegSegments; ++segment) {
        int code;
        do
            code = std::fgetc(fp);
        while (code == 0xFF);
        if (code == EOF || code == 0)
            return false;
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD8))
            continue; // markers without a length
        if (code == 0xD9 || code == 0xDA)
            return false; // the end, or a scan, before any frame header
        if (std::fread(head, 1, 2, fp) != 2)
            return false;
        const uint32_t length = Be16(head);
        if (length < 2)
            return false;
        const bool frame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (frame) {
            if (length < 7 || std::fread(head, 1, 5, fp) != 5)
                return false;
            return Give(Be16(head + 3), Be16(head + 1), width, height);
        }
        if (std::fseek(fp, long(length - 2), SEEK_CUR) != 0)
            return false;
        // The next marker must start with 0xFF; the loop above skips fill bytes only.
        const int next = std::fgetc(fp);
        if (next != 0xFF)
            return false;
    }
    return false;
}
} // namespace

bool PictureSizeFromHeader(const uint8_t* d, size_t size, const char* path, int32_t& width, int32_t& height)
{
    if (!d)
        return false;
    switch (PictureFileKindOfSignature(d, size) != PictureFileKind::unknown ? PictureFileKindOfSignature(d, size)
                                                                            : PictureFileKindOf(path ? path : "")) {
    case PictureFileKind::bitmap: {
        if (size < 26)
            return false;
        const uint32_t header = Le32(d + 14);
        if (header == 12) // the old core header: 16-bit sides
            return Give(Le16(d + 18), Le16(d + 20), width, height);
        const int64_t h = int32_t(Le32(d + 22));
        return Give(int32_t(Le32(d + 18)), h < 0 ? -h : h, width, height);
    }
    case PictureFileKind::png:
        if (size < 24 || std::memcmp(d + 12, "IHDR", 4) != 0)
            return false;
        return Give(Be32(d + 16), Be32(d + 20), width, height);
    case PictureFileKind::gif:
        if (size < 10)
            return false;
        return Give(Le16(d + 6), Le16(d + 8), width, height);
    case PictureFileKind::webp:
        return WebpSize(d, size, width, height);
    case PictureFileKind::tga:
        if (size < 18)
            return false;
        return Give(Le16(d + 12), Le16(d + 14), width, height);
    default:
        return false;
    }
}

bool ReadPictureFileSize(const char* path, int32_t& width, int32_t& height)
{
    if (!path)
        return false;
    const std::unique_ptr<std::FILE, StreamCloser> file(OpenFileStream(path, "rb"));
    if (!file)
        return false;
    uint8_t head[kHeaderBytes];
    const size_t got = std::fread(head, 1, sizeof head, file.get());
    if (PictureFileKindOfSignature(head, got) != PictureFileKind::jpeg)
        return PictureSizeFromHeader(head, got, path, width, height);
    int32_t w = 0, h = 0;
    if (std::fseek(file.get(), 0, SEEK_SET) != 0 || !JpegSize(file.get(), w, h))
        return false;
    OrientedSize(JpegFileOrientation(path), w, h, width, height);
    return true;
}
