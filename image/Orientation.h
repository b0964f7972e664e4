// Turning a picture upright by its EXIF orientation (portable). Values as in image/Exif.h:
// 2 mirror left-right, 3 rotate 180 degrees, 4 mirror top-bottom, 5 transpose, 6 rotate 90
// degrees clockwise, 7 transverse, 8 rotate 90 degrees counter-clockwise; 1, and any value
// outside 1 to 8, leave the picture as it is.
#pragma once
#include "image/Pixels.h"

// True for 5 to 8: the upright picture is as wide as the stored one is high.
bool OrientationSwapsSides(int orientation);

// The size of the upright picture of a width x height stored picture.
void OrientedSize(int orientation, int32_t width, int32_t height, int32_t& orientedWidth,
    int32_t& orientedHeight);

// Makes the target the upright picture of source: creates it at OrientedSize and fills it.
// False when source is empty or the target cannot be created (the target is then empty).
// source must not be the target's own pixels.
bool OrientPixels(const PixelImage& source, int orientation, IPixelTarget& target);

// The same into pixels that exist already (a picture of OrientedSize, not overlapping
// source); the row ends of target are left as they are. False, with nothing written, when
// the sizes do not fit.
bool OrientPixelsInto(const PixelImage& source, int orientation, const PixelImage& target);
