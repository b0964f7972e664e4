#include "framework/File.h"
#include "framework/WideText.h"

std::FILE* OpenFileStream(const char* path, const char* mode)
{
    if (!path || !mode)
        return nullptr;
    return ::_wfopen(FilePath(path).c_str(), Wide(mode).c_str());
}
