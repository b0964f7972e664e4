#include "image/JpegFile.h"

bool LoadJpegFile(const char*, IPixelTarget&, char*)
{
    return false;
}

bool SaveJpegFile(const char*, const PixelImage&)
{
    return false;
}
