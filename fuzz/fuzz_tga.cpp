// The TGA reader: header, footer, extension area and its tables, uncompressed and run-length
// pixel data, through LoadTgaFile as the picture object calls it, and read line by line
// into the scaler as a fitted wallpaper is.
#include "fuzz/FuzzSupport.h"
#include "image/TgaFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_tga");
    const char* path = file.Hold(data, size);
    CMemoryPicture picture;
    const bool loaded = LoadTgaFile(path, picture);
    if (loaded) {
        const PixelImage image = picture.Pixels();
        if (!image.bits || image.width <= 0 || image.height <= 0)
            fuzz::Fail("a TGA file loaded into an empty picture");
        fuzz::TouchPixels(image);
    }
    picture.Destroy();
    fuzz::CheckFittedLoad(loaded, [&](const FitRequest& request, CMemoryPicture& fitted) {
        return LoadTgaFileFitted(path, request, fitted);
    });
    return 0;
}
