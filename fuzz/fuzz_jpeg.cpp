// The JPEG loader as the picture object calls it: headers, the size checks made before
// anything of the picture's size exists, decoding and the colour conversions.
#include "fuzz/FuzzSupport.h"
#include "image/JpegFile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_jpeg");
    const char* path = file.Hold(data, size);
    CMemoryPicture picture;
    char lastError[256] = "";
    if (LoadJpegFile(path, picture, lastError)) {
        const PixelImage image = picture.Pixels();
        if (!image.bits || image.width <= 0 || image.height <= 0)
            fuzz::Fail("a JPEG file loaded into an empty picture");
        fuzz::TouchPixels(image);
    } else if (std::memchr(lastError, '\0', sizeof lastError) == nullptr) {
        fuzz::Fail("the error message is not terminated");
    }
    return 0;
}
