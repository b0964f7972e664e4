// The orientation a picture was stored with, as its EXIF data records it (portable: plain
// memory and C stdio). Only what the program uses is read: the orientation tag of the first
// directory (IFD0). Damaged data never reads outside the buffer given and costs time in
// proportion to that buffer at most; anything missing or damaged reads as upright.
#pragma once
#include <cstddef>
#include <cstdint>

// Orientation values: how the stored picture must be turned to show upright.
//   1 upright              5 transposed (mirrored along the top-left diagonal)
//   2 mirrored left-right  6 rotated 90 degrees clockwise to show
//   3 rotated 180 degrees  7 transversed (mirrored along the top-right diagonal)
//   4 mirrored top-bottom  8 rotated 90 degrees counter-clockwise to show
constexpr int kOrientationUpright = 1;

// The orientation in EXIF data that starts with its TIFF header ("II*\0" or "MM\0*"): the
// payload of a PNG eXIf chunk and a WebP EXIF chunk, and of a JPEG APP1 segment after its
// "Exif\0\0". 1 for anything missing, out of range (not 1 to 8), of the wrong type or count,
// or in a directory that lies partly outside the buffer.
int ExifOrientation(const uint8_t* data, size_t size);

// The same for the payload of a JPEG APP1 segment (after its length): "Exif\0\0", then the
// TIFF header. 1 when the payload does not start that way.
int ExifApp1Orientation(const uint8_t* data, size_t size);

// The orientation of a JPEG file (UTF-8 path), read from its first EXIF APP1 segment among
// the segments before the first frame or scan header. Reads only those segments' headers and
// that APP1 (at most 64 KB), never the picture data. 1 when the file cannot be opened or
// read, is not a JPEG file, or has no usable EXIF orientation.
int JpegFileOrientation(const char* path);
