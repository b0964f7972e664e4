#include "platform/DrawDib.h"

namespace platform {

HDRAWDIB OpenDrawDib()
{
    return ::DrawDibOpen();
}

void CloseDrawDib(HDRAWDIB hdd)
{
    if (hdd)
        ::DrawDibClose(hdd);
}

UINT RealizeDrawDib(HDRAWDIB hdd, HDC hdc)
{
    // Only a palette device has a palette to realize; on any other, realizing changes no
    // colour. Skipping it there also keeps Wine's DrawDib from making a new halftone palette
    // for every picture drawn, which it never deletes (one leaked GDI object per slide).
    if (!hdd || !hdc || !(::GetDeviceCaps(hdc, RASTERCAPS) & RC_PALETTE))
        return 0;
    return ::DrawDibRealize(hdd, hdc, FALSE);
}

BOOL DrawDibPicture(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
                    const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT flags)
{
    if (!hdd)
        return FALSE;
    return ::DrawDibDraw(hdd, hdc, xDst, yDst, dxDst, dyDst, const_cast<BITMAPINFOHEADER*>(header),
                         const_cast<void*>(bits), xSrc, ySrc, dxSrc, dySrc, flags);
}

BOOL BeginDrawDib(HDRAWDIB hdd, HDC hdc, const BITMAPINFOHEADER* header, int dxSrc, int dySrc)
{
    if (!hdd)
        return FALSE;
    return ::DrawDibBegin(hdd, hdc, -1, -1, const_cast<BITMAPINFOHEADER*>(header), dxSrc, dySrc, 0);
}

BOOL EndDrawDib(HDRAWDIB hdd)
{
    return hdd ? ::DrawDibEnd(hdd) : FALSE;
}

} // namespace platform
