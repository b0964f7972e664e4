#include "library/FolderRecord.h"

#include <cctype>

namespace {
bool EndsWith(const std::string& text, const char* tail, size_t length)
{
    return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}
} // namespace

FolderScope FolderScopeOf(const std::string& recordPath)
{
    // At least one character of folder before the separator.
    if (recordPath.size() > 3 && EndsWith(recordPath, "\\**", 3))
        return FolderScope::withSubFolders;
    if (recordPath.size() > 2 && EndsWith(recordPath, "\\*", 2))
        return FolderScope::thisFolder;
    return FolderScope::none;
}

std::string FolderOfRecord(const std::string& recordPath)
{
    switch (FolderScopeOf(recordPath)) {
    case FolderScope::withSubFolders:
        return recordPath.substr(0, recordPath.size() - 3);
    case FolderScope::thisFolder:
        return recordPath.substr(0, recordPath.size() - 2);
    default:
        return recordPath;
    }
}

std::string FolderRecordPath(const std::string& folder, bool withSubFolders)
{
    std::string path = folder;
    while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path + (withSubFolders ? "\\**" : "\\*");
}

bool IsPictureFileName(const std::string& name)
{
    const size_t dot = name.find_last_of(".\\/");
    if (dot == std::string::npos || name[dot] != '.')
        return false;
    std::string extension;
    for (size_t i = dot + 1; i < name.size(); ++i)
        extension += static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    for (const char* known : {"bmp", "dib", "jpg", "jpeg", "jpe", "jfif", "png", "gif", "webp", "tga", "tif", "tiff"})
        if (extension == known)
            return true;
    return false;
}
