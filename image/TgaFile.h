// Truevision TGA reader (portable).
#pragma once
#include "image/Pixels.h"

// Reads a TGA file of type 2 or 10 at 24 or 32 bits into the target. False on any failure.
bool LoadTgaFile(const char* path, IPixelTarget& target);
