#include "image/Pixels.h"

#include <cstdlib>

CMemoryPicture::~CMemoryPicture()
{
    Destroy();
}

bool CMemoryPicture::CreatePixels(int32_t width, int32_t height)
{
    Destroy();
    const int64_t bytes = PictureBytes(width, height);
    if (bytes == 0)
        return false;
    // calloc: a black picture with zero row ends, and no exception when memory is short.
    auto* bits = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1));
    if (!bits)
        return false;
    m_image = PixelImage {bits, width, height, StrideFor(width)};
    return true;
}

void CMemoryPicture::Destroy()
{
    std::free(m_image.bits);
    m_image = PixelImage {};
}
