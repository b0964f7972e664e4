#include "framework/File.h"

std::FILE* OpenFileStream(const char* path, const char* mode)
{
    return path && mode ? std::fopen(path, mode) : nullptr;
}
