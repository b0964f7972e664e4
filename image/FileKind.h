// Which reader or writer a picture file belongs to (portable): by the signature of its first
// bytes where the format has one, else by its extension.
#pragma once
#include <cstddef>
#include <cstdint>

enum class PictureFileKind { bitmap, tga, jpeg, png, gif, webp, tiff, unknown };

// By extension: the text from the last "." of the whole path to its end, compared without
// regard to case. No "." or ".bmp" is a bitmap file, ".tga" a TGA file, ".jpg", ".jpeg", ".jpe"
// and ".jfif" JPEG, ".png" PNG, ".gif" GIF, ".webp" WebP, ".tif" and ".tiff" TIFF; anything else
// (or a "." that lies in a folder name) unknown. Writers go by this alone.
PictureFileKind PictureFileKindOf(const char* path);

// By the first bytes of a file: "BM" a bitmap, FF D8 FF JPEG, the PNG signature, "GIF87a" or
// "GIF89a", "RIFF" with "WEBP" at byte 8, "II*\0" or "MM\0*" TIFF; unknown otherwise (TGA has no
// signature). kSignatureBytes is enough for every one.
constexpr size_t kSignatureBytes = 12;
PictureFileKind PictureFileKindOfSignature(const uint8_t* bytes, size_t size);

// The reader of a file: its signature's kind when it has one (a PNG named ".jpg" is read as
// PNG), else its extension's (TGA; and a file too short or unreadable, which that reader then
// refuses as before).
PictureFileKind PictureFileKindOfFile(const char* path);
