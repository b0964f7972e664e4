// JPEG reading and writing with libjpeg (portable).
#pragma once
#include "image/Pixels.h"

// Colour, greyscale (loaded as a grey picture) and CMYK/YCCK files (converted to colour).
// On failure false; after a library error lastError (256 characters, may be null) holds the
// library's message, after an unsupported file one of our own. The target is untouched when
// the file cannot be opened or read far enough to know the picture's size. The target's
// CreatePixels must not throw.
bool LoadJpegFile(const char* path, IPixelTarget& target, char* lastError);

// Writes the picture as a baseline JPEG file of quality 85, top row first. False when the
// file cannot be opened or written (the file is closed; what was written stays).
bool SaveJpegFile(const char* path, const PixelImage& picture);

// Progressive files with more scans than this fail instead of keeping the decoder busy for
// minutes (real files have about ten).
constexpr int kMaxJpegScans = 500;
