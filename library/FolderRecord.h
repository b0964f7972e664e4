// A folder in the library: a picture record whose path is a folder followed by "\*" (the
// pictures of that folder) or "\**" (also those of its sub-folders). The record's options
// (tiling, aspect, resampling) apply to every picture found. A program that does not know
// folders tries to load "C:\Pictures\*" as a picture, fails and skips it. (Portable.)
#pragma once
#include <string>

enum class FolderScope { none, thisFolder, withSubFolders };

// The scope a record path stands for: "…\*" this folder, "…\**" with sub-folders, anything
// else (a picture's path, an empty path, a bare "*") none.
FolderScope FolderScopeOf(const std::string& recordPath);
// "C:\Pictures\**" -> "C:\Pictures"; a path that is no folder record comes back as it is.
std::string FolderOfRecord(const std::string& recordPath);
// "C:\Pictures" (with or without a trailing backslash), true -> "C:\Pictures\**".
std::string FolderRecordPath(const std::string& folder, bool withSubFolders);

// Whether a file's name ends in the extension of a picture the program reads (compared
// without regard to case): .bmp .dib .jpg .jpeg .jpe .jfif .png .gif .webp .tga .tif .tiff.
// Folders are walked by name: a file is opened only when it is shown.
bool IsPictureFileName(const std::string& name);
