// The streamed, fitted JPEG load of the wallpaper and slide preparation: the decoder's lines go
// through the scaler without the whole picture. Input: 5 bytes of request (flags: bit 0 keep
// the proportions, bit 1 resample; then the box's width and height, 16 bits each, used modulo
// 1024 plus 1), then the JPEG file.
#include "fuzz/FuzzSupport.h"
#include "image/FittedLoad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_jpeg_fitted");
    fuzz::Bytes in(data, size);
    const uint8_t flags = in.U8();
    FitRequest request;
    request.cx = in.U16() % 1024 + 1;
    request.cy = in.U16() % 1024 + 1;
    request.keepAspect = (flags & 1) != 0;
    request.method = (flags & 2) ? ScaleMethod::resample : ScaleMethod::resize;
    const char* path = file.Hold(in.Rest(), in.Left());

    CMemoryPicture picture;
    char lastError[256] = "";
    const FittedLoad result = LoadJpegFileFitted(path, request, picture, lastError);
    if (result.scaled && !result.loaded)
        fuzz::Fail("scaled without being loaded");
    if (result.loaded) {
        const PixelImage image = picture.Pixels();
        if (!image.bits)
            fuzz::Fail("a fitted load succeeded into an empty picture");
        // Fitting, with or without the proportions, never leaves the box.
        if (result.scaled && (image.width > request.cx || image.height > request.cy))
            fuzz::Fail("a scaled picture is larger than its box");
        fuzz::TouchPixels(image);
    }
    return 0;
}
