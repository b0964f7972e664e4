// The header-only size reader: the first bytes alone (with a TGA name, so files without a
// signature are read as TGA headers) and the input as a file, whose JPEG segment walk it
// also covers. A size given is always positive, and the file reader agrees with the header
// reader for everything but JPEG.
#include "fuzz/FuzzSupport.h"
#include "image/FileKind.h"
#include "image/PictureSize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_picturesize");
    int32_t w = 0, h = 0;
    const bool fromHeader = PictureSizeFromHeader(data, size, "x.tga", w, h);
    if (fromHeader && (w <= 0 || h <= 0))
        fuzz::Fail("a size that is not positive from the header");
    int32_t fw = 0, fh = 0;
    const bool fromFile = ReadPictureFileSize(file.Hold(data, size), fw, fh);
    if (fromFile && (fw <= 0 || fh <= 0))
        fuzz::Fail("a size that is not positive from the file");
    // The memory file has no extension: without a signature it is no TGA there.
    const PictureFileKind kind = PictureFileKindOfSignature(data, size);
    if (kind != PictureFileKind::jpeg && kind != PictureFileKind::unknown
        && (fromFile != fromHeader || (fromFile && (fw != w || fh != h))))
        fuzz::Fail("the file reader and the header reader differ");
    return 0;
}
