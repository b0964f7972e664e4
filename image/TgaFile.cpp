#include "image/TgaFile.h"

bool LoadTgaFile(const char*, IPixelTarget&)
{
    return false;
}
