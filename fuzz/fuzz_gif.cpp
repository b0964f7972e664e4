// The GIF loader as a picture object would call it: the header bounds checked before anything
// of the picture's size exists, the first frame decoded (interlaced or not) and drawn on its
// screen over the background.
// Seeds (corpus/gif): the pictures of giflib's source package (pic/), and one cut short.
#include "fuzz/FuzzSupport.h"
#include "image/GifFile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_gif");
    const char* path = file.Hold(data, size);
    CMemoryPicture picture;
    char lastError[256] = "";
    if (LoadGifFile(path, picture, lastError, 0x00336699)) {
        const PixelImage image = picture.Pixels();
        if (!image.bits || image.width <= 0 || image.height <= 0)
            fuzz::Fail("a GIF file loaded into an empty picture");
        fuzz::TouchPixels(image);
    } else if (std::memchr(lastError, '\0', sizeof lastError) == nullptr) {
        fuzz::Fail("the error message is not terminated");
    }
    return 0;
}
