// Times turning a 6000 x 4000 picture upright for each EXIF orientation (portable code, one
// thread). "fresh" creates the upright picture for every run (OrientPixels, as a load does;
// the first touch of its 72 MB included), "into" writes into pixels that exist already
// (OrientPixelsInto), which is the pixel work alone.
//   murlavo_orient_bench [runs]   (default 5; the median is printed)
#include "image/Orientation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int32_t width = 6000, height = 4000;
    CMemoryPicture source;
    if (!source.CreatePixels(width, height))
        return 1;
    const PixelImage s = source.Pixels();
    for (int32_t y = 0; y < height; ++y)
        for (int32_t i = 0; i < width * 3; ++i)
            s.Row(y)[i] = uint8_t(i * 7 + y);
    CMemoryPicture same, swapped;
    if (!same.CreatePixels(width, height) || !swapped.CreatePixels(height, width))
        return 1;
    std::printf("orientation  fresh ms  into ms   (%dx%d, median of %d)\n", width, height, runs);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        std::vector<double> fresh, into;
        const PixelImage target = OrientationSwapsSides(orientation) ? swapped.Pixels() : same.Pixels();
        for (int run = 0; run < runs; ++run) {
            auto start = std::chrono::steady_clock::now();
            CMemoryPicture upright;
            if (!OrientPixels(s, orientation, upright))
                return 1;
            fresh.push_back(Milliseconds(start));
            start = std::chrono::steady_clock::now();
            if (!OrientPixelsInto(s, orientation, target))
                return 1;
            into.push_back(Milliseconds(start));
        }
        std::printf("%11d  %8.1f  %7.1f\n", orientation, Median(fresh), Median(into));
    }
    return 0;
}
