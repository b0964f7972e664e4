// GIF reading with giflib (portable).
#pragma once
#include "image/JpegFile.h"
#include "image/Pixels.h"

#include <cstdint>

// The first frame of a GIF file, still or animated, drawn on the file's whole logical screen.
// What the frame does not cover, and its transparent pixels (the transparent colour of the
// graphic control extension just before it), are the background colour (0x00BBGGRR, as a
// COLORREF); the screen's own background colour index is not used, as browsers do not use it.
// A frame that reaches past the screen is cut at its edges; a screen of no width or height
// takes the first frame's right and bottom edges. A colour index beyond the frame's colour
// table is black. A file without any colour table is refused.
// On failure false; lastError (256 characters, may be null) holds the reason. The target is
// untouched when the file cannot be opened or its headers are refused. A file that ends after
// at least one line of its frame loads: the lines it lacks are the background colour, and
// lastError tells why. The target's CreatePixels must not throw.
bool LoadGifFile(const char* path, IPixelTarget& target, char* lastError, uint32_t background);

// The lines of the screen, top line first, as for ReadJpegFile (the same sink: Begin, then
// Line and LineDone for every line in order). A frame that is not interlaced is decoded line
// by line as the lines are handed over; an interlaced one (its lines come in four passes) is
// decoded whole first, at one byte a pixel. No function of the sink may throw.
using IGifLineSink = IJpegLineSink;
bool ReadGifFile(const char* path, IGifLineSink& sink, char* lastError, uint32_t background);

// Bounds held before anything of the picture's size is allocated, in the same terms as the
// PNG reader's:
// - the screen within kMaxPictureBytes;
// - the work of a decode, counted in bytes: the screen at 3 bytes a pixel plus the frame at
//   one byte a pixel (an interlaced frame is kept whole at that size; any frame's pixels are
//   each decoded once) at most kMaxGifMemoryPerByte per byte of the file, or
//   kGifMemoryAlwaysAccepted for a small picture. GIF's LZW codes are at least 3 bits and
//   each stands for at most 4096 pixels, but an encoder that clears its table when it is
//   full, as giflib's does, spends about a byte per 1,300 pixels of a flat picture at best
//   (7.4 million pixels in 5.6 KB), 5,200 bytes of work a byte; photos and drawings take far
//   less than 10 pixels a byte. So the bound lets through every real file up to about 16
//   megapixels however flat, every file of up to 1,000 pixels a byte however large, and
//   refuses the forged ones: no file of up to 64 KB makes the loader take more than 256 MB.
constexpr int64_t kMaxGifMemoryPerByte = 4096;
constexpr int64_t kGifMemoryAlwaysAccepted = int64_t(64) << 20;

// The work GifDecodeMemory counts for a screen and a frame of these sizes.
int64_t GifDecodeMemory(uint32_t screenWidth, uint32_t screenHeight, uint32_t frameWidth, uint32_t frameHeight);
