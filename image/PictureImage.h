// The one in-memory picture: a 24-bit DIB section (blue, green, red; rows bottom-up, each
// padded with zero bytes to a multiple of 4) with its DrawDib handle. Every reader decodes
// into it, the scaling operations work on it, the writers write from it.
#pragma once
#include "framework/Handles.h"
#include "framework/Object.h"

#include <windows.h>
#include <vfw.h>

class CPictureImage : public CObject {
public:
    CPictureImage();
    ~CPictureImage() override;
    CPictureImage(const CPictureImage&) = delete;
    CPictureImage& operator=(const CPictureImage&) = delete;

    BOOL Create(int width, int height);
    void Destroy();

    // Reader or writer chosen by the extension: none or ".bmp" bitmap, ".tga", ".jpg".
    BOOL LoadFile(const char* path);
    BOOL SaveFile(const char* path);

    BOOL LoadBitmapFile(const char* path);
    BOOL LoadBitmapResource(WORD id);
    BOOL AttachBitmap(HBITMAP bitmap);
    void ConvertDib(const BITMAPINFOHEADER& header, const void* bits, const RGBQUAD* colours);
    BOOL SaveBitmapFile(const char* path);

    BOOL Resize(int cx, int cy);
    BOOL Resample(int cx, int cy);
    SIZE FitAspect(int cx, int cy) const;

    void CopyBlock(int xd, int yd, int w, int h, const CPictureImage& src, int xs, int ys);
    BOOL Draw(CDC* dc, const RECT* dst = nullptr, const RECT* src = nullptr);
    UINT Realize(CDC* dc);

    HDRAWDIB m_hDrawDib = nullptr;
    BYTE* m_pBits = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nStride = 0;
    HBITMAP m_hBitmap = nullptr;
    DIBSECTION m_dibSection {};
    char m_szLastError[256] = "";
};
