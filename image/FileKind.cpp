#include "image/FileKind.h"

#include "framework/File.h"

#include <cstring>

namespace {

bool SameTextIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        const char ca = *a >= 'A' && *a <= 'Z' ? char(*a - 'A' + 'a') : *a;
        const char cb = *b >= 'A' && *b <= 'Z' ? char(*b - 'A' + 'a') : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
}

bool StartsWith(const uint8_t* bytes, size_t size, const char* signature, size_t length, size_t at = 0)
{
    return size >= at + length && std::memcmp(bytes + at, signature, length) == 0;
}

} // namespace

PictureFileKind PictureFileKindOf(const char* path)
{
    if (!path)
        return PictureFileKind::unknown;
    const char* extension = std::strrchr(path, '.');
    if (!extension || SameTextIgnoringCase(extension, ".bmp"))
        return PictureFileKind::bitmap;
    struct Extension {
        const char* text;
        PictureFileKind kind;
    };
    static const Extension kExtensions[] = {
        {".tga", PictureFileKind::tga},   {".jpg", PictureFileKind::jpeg},  {".jpeg", PictureFileKind::jpeg},
        {".jpe", PictureFileKind::jpeg},  {".jfif", PictureFileKind::jpeg}, {".png", PictureFileKind::png},
        {".gif", PictureFileKind::gif},   {".webp", PictureFileKind::webp}, {".tif", PictureFileKind::tiff},
        {".tiff", PictureFileKind::tiff},
    };
    for (const Extension& known : kExtensions)
        if (SameTextIgnoringCase(extension, known.text))
            return known.kind;
    return PictureFileKind::unknown;
}

PictureFileKind PictureFileKindOfSignature(const uint8_t* bytes, size_t size)
{
    if (!bytes)
        return PictureFileKind::unknown;
    if (StartsWith(bytes, size, "BM", 2))
        return PictureFileKind::bitmap;
    if (StartsWith(bytes, size, "\xFF\xD8\xFF", 3))
        return PictureFileKind::jpeg;
    if (StartsWith(bytes, size, "\x89PNG\r\n\x1A\n", 8))
        return PictureFileKind::png;
    if (StartsWith(bytes, size, "GIF87a", 6) || StartsWith(bytes, size, "GIF89a", 6))
        return PictureFileKind::gif;
    if (StartsWith(bytes, size, "RIFF", 4) && StartsWith(bytes, size, "WEBP", 4, 8))
        return PictureFileKind::webp;
    if (StartsWith(bytes, size, "II*\0", 4) || StartsWith(bytes, size, "MM\0*", 4))
        return PictureFileKind::tiff;
    return PictureFileKind::unknown;
}

PictureFileKind PictureFileKindOfFile(const char* path)
{
    const PictureFileKind byName = PictureFileKindOf(path);
    uint8_t head[kSignatureBytes];
    size_t got = 0;
    if (std::FILE* file = path ? OpenFileStream(path, "rb") : nullptr) {
        got = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    const PictureFileKind byContent = PictureFileKindOfSignature(head, got);
    return byContent != PictureFileKind::unknown ? byContent : byName;
}
