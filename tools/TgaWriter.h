// An uncompressed 24-bit TGA writer (bottom-left origin) for the demo's sample pictures and the
// tests' fixtures: the program reads TGA files but never writes them.
#pragma once
#include "image/Pixels.h"

#include <cstdio>

inline bool WriteTgaFile(const char* path, const PixelImage& picture)
{
    std::FILE* fp = std::fopen(path, "wb");
    if (!fp)
        return false;
    unsigned char header[18] = {0, 0, 2};
    header[12] = static_cast<unsigned char>(picture.width);
    header[13] = static_cast<unsigned char>(picture.width >> 8);
    header[14] = static_cast<unsigned char>(picture.height);
    header[15] = static_cast<unsigned char>(picture.height >> 8);
    header[16] = 24;
    bool ok = std::fwrite(header, 1, sizeof header, fp) == sizeof header;
    for (int y = 0; ok && y < picture.height; ++y)
        ok = std::fwrite(picture.Row(y), 3, picture.width, fp) == size_t(picture.width);
    return std::fclose(fp) == 0 && ok;
}
