// The PNG loader as a picture object would call it: the header bounds checked before anything
// of the picture's size exists, decoding every colour type, blending over the background; then
// read line by line into the scaler as a fitted wallpaper is.
// Seeds (corpus/png): pictures of the PNG test suite by Willem van Schaik, free to copy and
// distribute, as libpng's source package ships them (contrib/pngsuite), and one cut short.
#include "fuzz/FuzzSupport.h"
#include "image/PngFile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_png");
    const char* path = file.Hold(data, size);
    CMemoryPicture picture;
    char lastError[256] = "";
    const bool loaded = LoadPngFile(path, picture, lastError, 0x00336699);
    if (loaded) {
        const PixelImage image = picture.Pixels();
        if (!image.bits || image.width <= 0 || image.height <= 0)
            fuzz::Fail("a PNG file loaded into an empty picture");
        fuzz::TouchPixels(image);
    } else if (std::memchr(lastError, '\0', sizeof lastError) == nullptr) {
        fuzz::Fail("the error message is not terminated");
    }
    picture.Destroy();
    fuzz::CheckFittedLoad(loaded, [&](const FitRequest& request, CMemoryPicture& fitted) {
        return LoadPngFileFitted(path, request, fitted, lastError, 0x00336699);
    });
    return 0;
}
