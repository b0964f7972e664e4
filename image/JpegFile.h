// JPEG reading and writing with libjpeg (portable).
#pragma once
#include "image/Pixels.h"

// Decodes the file into the target. On a library error, false with the library's message in
// lastError (256 characters).
bool LoadJpegFile(const char* path, IPixelTarget& target, char* lastError);
// Writes the picture as a baseline JPEG file of quality 85, top row first.
bool SaveJpegFile(const char* path, const PixelImage& picture);
