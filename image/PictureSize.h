// The size of the picture in a file, read from its headers only (portable): for choosing which
// monitor a picture suits before it is decoded. Only the first bytes of the file are read
// (for JPEG, the segment headers before the frame header and its EXIF orientation).
#pragma once
#include <cstddef>
#include <cstdint>

// The picture's size as it will be shown (a JPEG's EXIF orientation applied) for bitmap, JPEG,
// PNG, GIF (its logical screen), WebP and TGA files. False for other kinds, files that cannot be
// read and headers that are damaged or give a side that is not positive.
bool ReadPictureFileSize(const char* path, int32_t& width, int32_t& height);

// The same from the first bytes of a file (for the formats whose size stands in them: all but
// JPEG, whose headers may be long), the file's name deciding only for TGA. Never reads past
// size.
bool PictureSizeFromHeader(const uint8_t* data, size_t size, const char* path, int32_t& width, int32_t& height);
