// The signature sniffer that chooses a picture's reader, over the first bytes of any file.
#include "image/FileKind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PictureFileKindOfSignature(data, size);
    PictureFileKindOfSignature(data, size < kSignatureBytes ? size : kSignatureBytes);
    return 0;
}
