// The one in-memory picture: a 24-bit DIB section (blue, green, red; rows bottom-up, each
// padded with zero bytes to a multiple of 4) with its DrawDib handle. Every reader decodes
// into it, the scaling operations work on it, the writers write from it. It is also the
// target the portable readers and scalers fill (IPixelTarget): CreatePixels is Create, Pixels
// the view of the section's rows.
#pragma once
#include "framework/Handles.h"
#include "framework/Object.h"
#include "image/FileKind.h"
#include "image/Pixels.h"

#include <windows.h>
#include <vfw.h>

class CPictureImage : public CObject, public IPixelTarget {
public:
    CPictureImage();
    ~CPictureImage() override;
    CPictureImage(const CPictureImage&) = delete;
    CPictureImage& operator=(const CPictureImage&) = delete;

    // A black picture (zero row ends included) with a DrawDib handle. FALSE, and an empty
    // picture, when a side is not positive, the rows would exceed kMaxPictureBytes, or the
    // section cannot be created.
    BOOL Create(int width, int height);
    void Destroy();

    // Reading: the reader is chosen by the file's content, by its extension where it has no
    // signature (image/FileKind.h); kinds without a reader of the program's own go to the
    // system's imaging codecs. A photo's EXIF orientation is applied: the picture comes out
    // upright. Writing: by the extension, ".bmp" (or none) and ".jpg". Paths are UTF-8, of any
    // length.
    BOOL LoadFile(const char* path);
    BOOL SaveFile(const char* path);

    // Bitmap files through the system's loader. ConvertDib takes the colour table, or the three
    // channel masks (red, green, blue) when the header says BI_BITFIELDS.
    BOOL LoadBitmapFile(const char* path);
    BOOL LoadBitmapResource(WORD id);
    BOOL AttachBitmap(HBITMAP bitmap);
    void ConvertDib(const BITMAPINFOHEADER& header, const void* bits, const RGBQUAD* colours);
    BOOL SaveBitmapFile(const char* path);

    // Scaling in place (see image/Scaling.h); Resample sets m_bOutOfMemory when it runs short.
    BOOL Resize(int cx, int cy);
    BOOL Resample(int cx, int cy);
    SIZE FitAspect(int cx, int cy) const;
    // LoadFile, then fitting into a cx x cy box (FitAspect of the box when keepAspect) with
    // Resample or Resize unless the picture already has that size; *scaled gets the scaler's
    // result (FALSE when none ran). A JPEG file is decoded and scaled together, line by line,
    // so the full-size picture never exists; the bytes are the same. A photo stored sideways
    // is fitted as it is stored into the box turned with it, then turned upright, which costs
    // a turn of the small picture only.
    BOOL LoadFitted(const char* path, int cx, int cy, bool keepAspect, bool resample, BOOL* scaled);
    // Turns the picture upright by an EXIF orientation (1 and unknown values: nothing to do).
    // FALSE, with m_bOutOfMemory set, when memory is short.
    BOOL Orient(int orientation);
    // Test hook: called on the scaling thread after each row Resize or Resample finishes.
    static void (*s_pfnScaleRowDone)(int32_t y);

    // Copies a w x h block of src at (xs, ys) to (xd, yd); both blocks must lie inside.
    void CopyBlock(int xd, int yd, int w, int h, const CPictureImage& src, int xs, int ys);
    BOOL Draw(CDC* dc, const RECT* dst = nullptr, const RECT* src = nullptr);
    UINT Realize(CDC* dc);

    bool CreatePixels(int32_t width, int32_t height) override;
    PixelImage Pixels() const override;

    HDRAWDIB m_hDrawDib = nullptr;
    BYTE* m_pBits = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nStride = 0;
    HBITMAP m_hBitmap = nullptr;
    DIBSECTION m_dibSection {};
    char m_szLastError[256] = "";
    // The last Resample (or LoadFitted) ran out of memory: its caller tells the user, from the
    // thread that owns the window ("Out of memory.").
    bool m_bOutOfMemory = false;
    // What transparent pixels of a picture that has them are composited over (0x00BBGGRR):
    // the show's background in the show roles, the desktop's colour for the wallpaper.
    uint32_t m_crTransparent = 0;

private:
    // The picture as the file stores it (no orientation applied).
    BOOL LoadStored(const char* path, PictureFileKind kind);
};
