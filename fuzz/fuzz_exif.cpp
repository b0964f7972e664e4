// The EXIF orientation readers: the TIFF-structured data alone (as PNG and WebP carry it),
// as a JPEG APP1 payload, and the JPEG segment walk of JpegFileOrientation on the input as a
// file. An input that is EXIF data is also put into a JPEG file of its own, whose orientation
// must then be exactly the data's.
#include "fuzz/FuzzSupport.h"
#include "image/Exif.h"

#include <cstring>
#include <string>

namespace {

void CheckRange(int orientation)
{
    if (orientation < 1 || orientation > 8)
        fuzz::Fail("an orientation outside 1 to 8");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_exif");
    const int tiff = ExifOrientation(data, size);
    CheckRange(tiff);
    CheckRange(ExifApp1Orientation(data, size));
    CheckRange(JpegFileOrientation(file.Hold(data, size)));

    // SOI, APP1 "Exif\0\0" + data, a frame header: the file reader must agree with the
    // buffer reader whenever the data fits one segment.
    if (size <= 65535 - 2 - 6) {
        std::string jpeg("\xFF\xD8\xFF\xE1", 4);
        const size_t length = size + 2 + 6;
        jpeg += char(length >> 8);
        jpeg += char(length & 0xFF);
        jpeg.append("Exif\0\0", 6);
        jpeg.append(reinterpret_cast<const char*>(data), size);
        jpeg.append("\xFF\xC0\x00\x0B\x08\x00\x01\x00\x01\x01\x01\x11\x00\xFF\xD9", 15);
        const int fromFile = JpegFileOrientation(
            file.Hold(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size()));
        if (fromFile != tiff)
            fuzz::Fail("the JPEG file's orientation differs from its EXIF data's");
    }
    return 0;
}
