// Which reader or writer a picture file belongs to, by its extension (portable).
#pragma once

enum class PictureFileKind { bitmap, tga, jpeg, unknown };

// The extension is the text from the last "." of the whole path to its end, compared without
// regard to case: no "." or ".bmp" is a bitmap file, ".tga" a TGA file, ".jpg" a JPEG file,
// anything else (".jpeg" included, or a "." that lies in a folder name) unknown.
PictureFileKind PictureFileKindOf(const char* path);
