// PNG reading with libspng (portable).
#pragma once
#include "image/JpegFile.h"
#include "image/Pixels.h"

#include <cstddef>

// Every colour type and bit depth (grey, palette, colour, each with or without alpha or a
// transparent colour; 1 to 16 bits a sample; interlaced or not) comes out at 8 bits a sample,
// 16-bit samples keeping their high byte as libspng's 8-bit RGBA output does. Transparent
// pixels are blended over background (0x00BBGGRR, as a COLORREF) into the picture's blue,
// green, red rows. Gamma, chromaticities, sRGB, ICC profiles and significant bits are not
// applied: the stored samples are shown as they are.
// On failure false; lastError (256 characters, may be null) holds the reason. The target is
// untouched when the file cannot be opened or its header is refused. A file that ends after
// at least one line of its picture data loads: the lines it lacks are the background colour,
// and lastError tells why. Damaged data (a wrong checksum, a broken deflate stream) is refused,
// also when found after the last line. The target's CreatePixels must not throw.
bool LoadPngFile(const char* path, IPixelTarget& target, char* lastError, uint32_t background);

// The lines of a PNG file, top line first, as for ReadJpegFile (the same sink: Begin, then
// Line and LineDone for every line in order). An interlaced file is decoded whole first and
// then handed over line by line. No function of the sink may throw.
using IPngLineSink = IJpegLineSink;
bool ReadPngFile(const char* path, IPngLineSink& sink, char* lastError, uint32_t background);

// Bounds held before anything of the picture's size is allocated:
// - each side at most kMaxPngSide pixels, and the picture within kMaxPictureBytes;
// - the memory a decode takes (the picture at 3 bytes a pixel; for an interlaced file also the
//   whole decoded picture at 4 bytes a pixel, since its passes come in any order; the
//   decoder's rows at up to 32 bytes a pixel of one row) at most kMaxPngMemoryPerByte bytes
//   per byte of the file, or kPngMemoryAlwaysAccepted for a small picture. Deflate cannot
//   shrink data more than 1032 to 1, so the densest real file, a flat 1-bit picture, holds
//   about 8000 pixels a byte; a flat 8-bit colour picture about 340. The bound lets through
//   everything up to about 1300 pixels a byte (photos and drawings are far below 10) and
//   refuses a decompression bomb: no file of up to 64 KB makes the loader take more than
//   256 MB, the same bound as the JPEG reader's;
// - ancillary chunks (text, ICC profiles) each at most kMaxPngChunkBytes once inflated, all
//   of them kept at most kMaxPngChunkCacheBytes; libspng's own limit of 1000 chunks.
// Corrupt critical chunks (bad checksum) are refused; ancillary ones with a bad checksum are
// skipped, as libspng does by default.
constexpr uint32_t kMaxPngSide = uint32_t(1) << 24;
constexpr int64_t kMaxPngMemoryPerByte = 4096;
constexpr int64_t kPngMemoryAlwaysAccepted = int64_t(64) << 20;
constexpr size_t kMaxPngChunkBytes = size_t(8) << 20;
constexpr size_t kMaxPngChunkCacheBytes = size_t(16) << 20;

// The memory LoadPngFile would take for a width x height picture, interlaced or not
// (the figure the bounds above hold to).
int64_t PngDecodeMemory(uint32_t width, uint32_t height, bool interlaced);

// The EXIF orientation of a PNG file (UTF-8 path): from its eXIf chunk when one comes before
// the picture data (among the first 1000 chunks), whole, with a correct checksum and at most
// 64 KB; its data is EXIF from the TIFF header on, or with JPEG's "Exif\0\0" before it. Reads
// only the chunk headers up to there and that chunk. 1 (upright) for anything else.
int PngFileOrientation(const char* path);
