// WebP reading with libwebp (portable).
#pragma once
#include "image/JpegFile.h"
#include "image/Pixels.h"

#include <cstddef>
#include <cstdint>

// Lossy and lossless pictures, with or without alpha, and animations, of which the first frame
// is shown as it appears on the animation's canvas (the areas of the canvas it leaves empty are
// transparent). Transparent pixels are blended over background (0x00BBGGRR, as a COLORREF)
// into the picture's blue, green, red rows, rounded as the PNG reader does. Colour profiles are
// not applied. The file is read into memory whole (at most kMaxWebpFileBytes) and decoded into
// a whole RGBA picture, as libwebp's decoding functions work; lines are handed over as the
// decoder finishes them.
// On failure false; lastError (256 characters, may be null) holds the reason. The target is
// untouched unless at least one line was decoded. A still picture whose file ends after at
// least one line of its picture data loads: the lines it lacks are the background colour, and
// lastError tells why. A still picture that ends before that, and an animation cut short
// anywhere, are refused. The target's CreatePixels must not throw.
bool LoadWebpFile(const char* path, IPixelTarget& target, char* lastError, uint32_t background);

// The lines of a WebP file, top line first, as for ReadJpegFile (the same sink: Begin, then
// Line and LineDone for every line in order). No function of the sink may throw.
bool ReadWebpFile(const char* path, IJpegLineSink& sink, char* lastError, uint32_t background);

// The orientation of a WebP file (UTF-8 path) from the first EXIF chunk of an extended
// (VP8X) file whose header says it has EXIF data, as libwebp's demuxer takes it. The payload
// starts with its TIFF header; one that starts with "Exif\0\0" first, as some writers put it,
// is taken too. Reads the chunk headers and at most the first kMaxWebpExifBytes of that chunk,
// never the picture data. 1 when the file cannot be opened or read, is not a WebP file, or has
// no usable EXIF orientation.
int WebpFileOrientation(const char* path);

// Bounds held before anything of the picture's size is allocated:
// - the file at most kMaxWebpFileBytes (it is held in memory while it is decoded);
// - each side at most kMaxWebpSide pixels (the format's own limit), and the picture within
//   kMaxPictureBytes;
// - the memory a decode takes, counted by WebpDecodeMemory: the file itself; the picture at
//   3 bytes a pixel; the decoded RGBA picture (4 bytes a pixel); what the decoder keeps of the
//   whole picture: nothing for a lossy picture without alpha, 6 bytes a pixel for a lossless
//   one (its own ARGB copy, 4, and its transform images, under 1) or a lossy one with alpha
//   (the alpha plane, 1, and up to 5 while that plane is decoded losslessly); for an animation
//   also the second canvas libwebp keeps (4); and 256 bytes per pixel of width for the
//   decoders' rows. That is at most kMaxWebpMemoryPerByte bytes per byte of the file, or
//   kWebpMemoryAlwaysAccepted for a small picture: no file of up to 64 KB makes the loader
//   take more than 256 MB, the same bound as the JPEG and PNG readers'.
// Beyond the count, everything libwebp allocates while it decodes (its Huffman tables, whose
// number only the picture data tells, included) is capped to what is left of the same figure,
// so a file that asks for more is refused whatever its headers said.
// How dense files get (pixels per byte of file), made with cwebp 1.2.4:
//   photos 119 x 96 to 2048 x 2048, lossy at quality 50 to 95                 1 to 44
//   the same, lossless                                                        0.6 to 6.9
//   photos blown up 24 times (3072 x 2300, very smooth): lossy 37 to 150, lossless 4 to 9.5
//   screenshots and diagrams up to 3013 x 1561: lossy 11 to 84, lossless      30 to 78
//   smooth gradient 4096 x 4096: lossy 200 to 410, lossless 2290
//   flat 4096 x 4096: lossy 550 to 560 (with alpha 540), lossless 23800
// The bound lets through up to about 580 pixels a byte for a lossy picture without alpha (7
// bytes a pixel), 315 for a lossless one or one with alpha (13), 240 for an animation (17):
// every photo, screenshot and drawing, and flat lossy pictures of any size. It refuses large
// lossless gradients and flat pictures (and flat ones with alpha) beyond the always-accepted
// share, about 5 megapixels (2048 x 2048 loads).
constexpr uint32_t kMaxWebpSide = 16383;
constexpr int64_t kMaxWebpFileBytes = int64_t(256) << 20;
constexpr int64_t kMaxWebpMemoryPerByte = 4096;
constexpr int64_t kWebpMemoryAlwaysAccepted = int64_t(64) << 20;
// The EXIF chunk is read up to this many bytes (its first directory comes first).
constexpr size_t kMaxWebpExifBytes = 65536;

// How a file is coded, as far as the memory of its decode goes.
enum class WebpLayout {
    lossy,     // a lossy still picture without alpha
    whole,     // a lossless still picture or a lossy one with alpha
    animation, // an animation (its frames of either kind)
};

// The memory LoadWebpFile counts for a width x height picture of that layout, the file's own
// bytes not included (the figure the bounds above hold to); the largest int64_t for a side
// beyond kMaxWebpSide.
int64_t WebpDecodeMemory(uint32_t width, uint32_t height, WebpLayout layout);
