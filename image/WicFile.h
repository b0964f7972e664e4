// Pictures of the kinds the program has no reader of its own for (TIFF, HEIC, AVIF, JPEG XL,
// camera raw...), through the system's imaging codecs (Windows only). What the system has no
// codec for is refused like any unreadable picture.
#pragma once
#include "image/Pixels.h"

#include <cstdint>

// Decodes the first frame of the file into target, transparent pixels composited over
// background (0x00BBGGRR). The picture's size is checked against kMaxPictureBytes before
// anything is made. lastError (256 characters, may be null) gets a message on failure. COM is
// started on the calling thread for the call when it is not already.
bool LoadWicFile(const char* path, IPixelTarget& target, uint32_t background, char* lastError);
