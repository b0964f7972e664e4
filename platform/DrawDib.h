// DrawDib drawing services: the operations the program calls, each a thin function.
// Pictures handed over are always 24-bit, bottom-up, rows padded to 4 bytes, no palette.
#pragma once
#include <windows.h>
#include <vfw.h>

namespace platform {

// A drawing handle, or null when the service is unavailable.
HDRAWDIB OpenDrawDib();
void CloseDrawDib(HDRAWDIB hdd);
// Realises the handle's palette as foreground palette on a palette device (none elsewhere);
// the number of entries that changed.
UINT RealizeDrawDib(HDRAWDIB hdd, HDC hdc);
// Draws the source rectangle into the destination one (width/height -1: source size).
BOOL DrawDibPicture(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
                    const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT flags);
// Prepares a series of equal draws at the source size, and ends it.
BOOL BeginDrawDib(HDRAWDIB hdd, HDC hdc, const BITMAPINFOHEADER* header, int dxSrc, int dySrc);
BOOL EndDrawDib(HDRAWDIB hdd);

} // namespace platform
