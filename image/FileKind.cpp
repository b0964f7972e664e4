#include "image/FileKind.h"

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

} // namespace

PictureFileKind PictureFileKindOf(const char* path)
{
    if (!path)
        return PictureFileKind::unknown;
    const char* extension = std::strrchr(path, '.');
    if (!extension || SameTextIgnoringCase(extension, ".bmp"))
        return PictureFileKind::bitmap;
    if (SameTextIgnoringCase(extension, ".tga"))
        return PictureFileKind::tga;
    if (SameTextIgnoringCase(extension, ".jpg"))
        return PictureFileKind::jpeg;
    return PictureFileKind::unknown;
}
