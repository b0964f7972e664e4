// The WebP loader as a picture object would call it: the header bounds checked before anything
// of the picture's size exists, lossy, lossless, alpha and the first frame of animations
// blended over the background; the same read line by line into the scaler as a fitted
// wallpaper is; and the orientation read from the same file.
// Seeds (corpus/webp): libwebp's own test picture (examples/test.webp in its source package,
// under libwebp's BSD licence), small pictures of every kind made with Debian's webp tools
// (tests/data/webp), one cut short and one with an orientation chunk.
#include "fuzz/FuzzSupport.h"
#include "image/WebpFile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_webp");
    const char* path = file.Hold(data, size);
    CMemoryPicture picture;
    char lastError[256] = "";
    const bool loaded = LoadWebpFile(path, picture, lastError, 0x00336699);
    if (loaded) {
        const PixelImage image = picture.Pixels();
        if (!image.bits || image.width <= 0 || image.height <= 0)
            fuzz::Fail("a WebP file loaded into an empty picture");
        fuzz::TouchPixels(image);
    } else if (std::memchr(lastError, '\0', sizeof lastError) == nullptr) {
        fuzz::Fail("the error message is not terminated");
    }
    picture.Destroy();
    fuzz::CheckFittedLoad(loaded, [&](const FitRequest& request, CMemoryPicture& fitted) {
        return LoadWebpFileFitted(path, request, fitted, lastError, 0x00336699);
    });
    const int orientation = WebpFileOrientation(path);
    if (orientation < 1 || orientation > 8)
        fuzz::Fail("an orientation outside 1 to 8");
    return 0;
}
