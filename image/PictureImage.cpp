#include "image/PictureImage.h"

#include "framework/WideText.h"
#include "image/Bitmap.h"
#include "image/Exif.h"
#include "image/FileKind.h"
#include "image/FittedLoad.h"
#include "image/GifFile.h"
#include "image/JpegFile.h"
#include "image/Orientation.h"
#include "image/PngFile.h"
#include "image/Scaling.h"
#include "image/TgaFile.h"
#include "image/WebpFile.h"
#include "image/WicFile.h"
#include "platform/DrawDib.h"

#include <cstring>
#include <string>
#include <vector>

static_assert(sizeof(DibColour) == sizeof(RGBQUAD), "colour-table entries are 4 bytes");

namespace {

// Passes the rows the scaling finishes to the test hook; records when memory ran short
// (Resample only), for the caller to tell the user on its own thread.
class CScaleObserver : public IScaleObserver {
public:
    explicit CScaleObserver(bool* outOfMemory = nullptr) : m_pOutOfMemory(outOfMemory) {}
    void OutOfMemory() override
    {
        if (m_pOutOfMemory)
            *m_pOutOfMemory = true;
    }
    void RowDone(int32_t y) override
    {
        if (CPictureImage::s_pfnScaleRowDone)
            CPictureImage::s_pfnScaleRowDone(y);
    }

private:
    bool* m_pOutOfMemory;
};

DibHeader ToDibHeader(const BITMAPINFOHEADER& header)
{
    DibHeader dib;
    dib.width = header.biWidth;
    dib.height = header.biHeight;
    dib.bitCount = header.biBitCount;
    dib.compression = header.biCompression;
    dib.clrUsed = header.biClrUsed;
    return dib;
}

// The path in its short (8.3) form without the long-path prefix, for the functions limited to
// MAX_PATH characters; empty when the volume keeps no short names or the short form is still
// too long.
std::wstring ShortPathName(const char* path)
{
    const std::wstring full = FilePath(path);
    std::wstring name(full.size() + 1, L'\0'); // never longer than the long form
    const DWORD length = ::GetShortPathNameW(full.c_str(), &name[0], DWORD(name.size()));
    if (length == 0 || length >= name.size())
        return std::wstring();
    name.resize(length);
    if (name.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        name = L"\\\\" + name.substr(8);
    else if (name.compare(0, 4, L"\\\\?\\") == 0)
        name.erase(0, 4);
    return name.size() < MAX_PATH ? name : std::wstring();
}

} // namespace

void (*CPictureImage::s_pfnScaleRowDone)(int32_t) = nullptr;

CPictureImage::CPictureImage() = default;

CPictureImage::~CPictureImage()
{
    Destroy();
}

BOOL CPictureImage::Create(int width, int height)
{
    Destroy();
    if (PictureBytes(width, height) == 0)
        return FALSE;
    CClientDC screen(nullptr);
    BITMAPINFO info {};
    BITMAPINFOHEADER& header = info.bmiHeader;
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    CBitmapHandle section(::CreateDIBSection(screen.GetSafeHdc(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || !bits || ::GetObjectA(section.Get(), sizeof m_dibSection, &m_dibSection) != sizeof m_dibSection) {
        m_dibSection = DIBSECTION {};
        return FALSE;
    }
    m_hBitmap = section.Release();
    m_pBits = static_cast<BYTE*>(bits);
    m_nWidth = width;
    m_nHeight = height;
    m_nStride = StrideFor(width);
    // The section's memory comes from the system already zeroed: clearing it again would only
    // touch every page of a large picture before any work is done.
    m_hDrawDib = platform::OpenDrawDib();
    return TRUE;
}

void CPictureImage::Destroy()
{
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
    platform::CloseDrawDib(m_hDrawDib);
    m_hDrawDib = nullptr;
    m_hBitmap = nullptr;
    m_pBits = nullptr;
    m_nWidth = m_nHeight = m_nStride = 0;
    m_dibSection = DIBSECTION {};
}

bool CPictureImage::CreatePixels(int32_t width, int32_t height)
{
    return Create(width, height) != FALSE;
}

PixelImage CPictureImage::Pixels() const
{
    return PixelImage {m_pBits, m_nWidth, m_nHeight, m_nStride};
}

namespace {

// The EXIF orientation of a file of this kind; 1 (upright) when it has none.
int OrientationOf(const char* path, PictureFileKind kind)
{
    switch (kind) {
    case PictureFileKind::jpeg:
        return JpegFileOrientation(path);
    case PictureFileKind::png:
        return PngFileOrientation(path);
    case PictureFileKind::webp:
        return WebpFileOrientation(path);
    default:
        return kOrientationUpright;
    }
}

} // namespace

BOOL CPictureImage::LoadFile(const char* path)
{
    const PictureFileKind kind = PictureFileKindOfFile(path);
    m_bOutOfMemory = false;
    return LoadStored(path, kind) && Orient(OrientationOf(path, kind)) ? TRUE : FALSE;
}

BOOL CPictureImage::Orient(int orientation)
{
    if (orientation <= kOrientationUpright || orientation > 8 || !m_pBits)
        return TRUE;
    CMemoryPicture upright;
    if (!OrientPixels(Pixels(), orientation, upright)) {
        m_bOutOfMemory = true;
        return FALSE;
    }
    const PixelImage turned = upright.Pixels();
    if (!Create(turned.width, turned.height)) {
        m_bOutOfMemory = true;
        return FALSE;
    }
    for (int32_t y = 0; y < turned.height; ++y)
        std::memcpy(m_pBits + int64_t(y) * m_nStride, turned.Row(y), 3 * size_t(turned.width));
    return TRUE;
}

BOOL CPictureImage::LoadStored(const char* path, PictureFileKind kind)
{
    switch (kind) {
    case PictureFileKind::bitmap:
        return LoadBitmapFile(path);
    case PictureFileKind::tga:
        return LoadTgaFile(path, *this) ? TRUE : FALSE;
    case PictureFileKind::jpeg:
        return LoadJpegFile(path, *this, m_szLastError) ? TRUE : FALSE;
    case PictureFileKind::png:
        return LoadPngFile(path, *this, m_szLastError, m_crTransparent) ? TRUE : FALSE;
    case PictureFileKind::gif:
        return LoadGifFile(path, *this, m_szLastError, m_crTransparent) ? TRUE : FALSE;
    case PictureFileKind::webp:
        return LoadWebpFile(path, *this, m_szLastError, m_crTransparent) ? TRUE : FALSE;
    default:
        // No reader of our own: whatever the system can decode.
        return LoadWicFile(path, *this, m_crTransparent, m_szLastError) ? TRUE : FALSE;
    }
}

BOOL CPictureImage::SaveFile(const char* path)
{
    switch (PictureFileKindOf(path)) {
    case PictureFileKind::bitmap:
        return SaveBitmapFile(path);
    case PictureFileKind::jpeg:
        return m_pBits && SaveJpegFile(path, Pixels()) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

BOOL CPictureImage::LoadBitmapFile(const char* path)
{
    // The system's loader trusts the headers and reads wherever they point: it only gets
    // files that hold what their headers announce. Of those it gets the bottom-up ones under
    // the 40-, 108- and 124-byte headers, which it reads exactly, and the run-length encoded
    // ones. The rest are read here: rows stored top-down (not loaded reliably), the old core
    // header (Wine's loader gives 8-bit ones wrong colours) and the 52- and 56-byte headers
    // (refused by Wine's loader).
    BitmapFileLayout layout;
    if (!ReadBitmapFileLayout(path, layout))
        return FALSE;
    const uint32_t size = layout.headerSize;
    const bool systemReadsIt = layout.header.height > 0 && (size == 40 || size == 108 || size == 124);
    if (!systemReadsIt)
        return LoadBitmapPixels(path, *this) ? TRUE : FALSE;
    // The system's loader takes no path of MAX_PATH characters or more, not even with the
    // long-path prefix. The program's own reader gives the same pixels for all it takes but
    // run-length data; that goes to the loader under the path's short (8.3) form, where the
    // volume keeps short names.
    std::wstring name = Wide(path);
    if (name.size() >= MAX_PATH) {
        const bool runLength = layout.header.compression == kDibRle8 || layout.header.compression == kDibRle4;
        if (!runLength)
            return LoadBitmapPixels(path, *this) ? TRUE : FALSE;
        name = ShortPathName(path);
        if (name.empty())
            return FALSE;
    }
    return AttachBitmap(static_cast<HBITMAP>(
        ::LoadImageW(nullptr, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE)));
}

BOOL CPictureImage::LoadBitmapResource(WORD id)
{
    return AttachBitmap(static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

BOOL CPictureImage::AttachBitmap(HBITMAP bitmap)
{
    if (!bitmap)
        return FALSE;
    const CBitmapHandle owner(bitmap);
    DIBSECTION section {};
    if (::GetObjectA(bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
        return FALSE; // not a DIB section
    const DibHeader header = ToDibHeader(section.dsBmih);

    // The colour table, as far as the system gives it; missing entries are black.
    std::vector<DibColour> colours(DibColourCount(header));
    UINT received = 0;
    if (!colours.empty()) {
        CMemoryDC dc(nullptr);
        CSelectObject select(dc.GetSafeHdc(), bitmap);
        received = ::GetDIBColorTable(dc.GetSafeHdc(), 0, UINT(colours.size()), reinterpret_cast<RGBQUAD*>(colours.data()));
    }
    uint32_t masks[3] = {section.dsBitfields[0], section.dsBitfields[1], section.dsBitfields[2]};
    const bool bitfields = section.dsBmih.biCompression == BI_BITFIELDS;
    return ConvertDibPixels(header, section.dsBm.bmBits, colours.data(), received, bitfields ? masks : nullptr, *this)
               ? TRUE
               : FALSE;
}

void CPictureImage::ConvertDib(const BITMAPINFOHEADER& header, const void* bits, const RGBQUAD* colours)
{
    const DibHeader dib = ToDibHeader(header);
    uint32_t masks[3] = {};
    const bool bitfields = header.biCompression == BI_BITFIELDS && colours;
    if (bitfields)
        std::memcpy(masks, colours, sizeof masks);
    std::vector<DibColour> table;
    if (colours && !bitfields) {
        table.resize(DibColourCount(dib));
        std::memcpy(table.data(), colours, table.size() * sizeof(DibColour));
    }
    ConvertDibPixels(dib, bits, table.data(), uint32_t(table.size()), bitfields ? masks : nullptr, *this);
}

BOOL CPictureImage::SaveBitmapFile(const char* path)
{
    return SaveBitmapPixels(path, Pixels(), m_dibSection.dsBmih.biSizeImage) ? TRUE : FALSE;
}

BOOL CPictureImage::Resize(int cx, int cy)
{
    CScaleObserver observer;
    return ResizePicture(*this, cx, cy, &observer) ? TRUE : FALSE;
}

BOOL CPictureImage::Resample(int cx, int cy)
{
    m_bOutOfMemory = false;
    CScaleObserver observer(&m_bOutOfMemory);
    return ResamplePicture(*this, cx, cy, &observer) ? TRUE : FALSE;
}

BOOL CPictureImage::LoadFitted(const char* path, int cx, int cy, bool keepAspect, bool resample, BOOL* scaled)
{
    *scaled = FALSE;
    m_bOutOfMemory = false;
    const PictureFileKind kind = PictureFileKindOfFile(path);
    // A picture stored on its side is fitted as stored into the box turned the same way.
    const int orientation = OrientationOf(path, kind);
    const bool turned = OrientationSwapsSides(orientation);
    const FitRequest request {turned ? cy : cx, turned ? cx : cy, keepAspect,
                              resample ? ScaleMethod::resample : ScaleMethod::resize};
    // Readers that hand over their lines fit the picture as it comes. Memory short here is not
    // recorded: when the streamed scaling cannot be set up, the whole-picture path below runs
    // and records it as it always did.
    CScaleObserver observer;
    const FittedLoad result = LoadFileFitted(kind, path, request, *this, m_szLastError, m_crTransparent, &observer);
    if (result.streamed) {
        *scaled = result.scaled ? TRUE : FALSE;
        return result.loaded && Orient(orientation) ? TRUE : FALSE;
    }
    // Other kinds are read whole by their readers (the system's loader among them).
    if (!LoadStored(path, kind))
        return FALSE;
    PictureSize size;
    if (ScalesTo(request, m_nWidth, m_nHeight, size))
        *scaled = resample ? Resample(size.cx, size.cy) : Resize(size.cx, size.cy);
    return Orient(orientation);
}

SIZE CPictureImage::FitAspect(int cx, int cy) const
{
    const PictureSize size = ::FitAspect(m_nWidth, m_nHeight, cx, cy);
    return SIZE {size.cx, size.cy};
}

void CPictureImage::CopyBlock(int xd, int yd, int w, int h, const CPictureImage& src, int xs, int ys)
{
    for (int i = 0; i < h; ++i)
        std::memmove(m_pBits + size_t(yd + i) * m_nStride + 3 * size_t(xd),
                     src.m_pBits + size_t(ys + i) * src.m_nStride + 3 * size_t(xs), 3 * size_t(w));
}

BOOL CPictureImage::Draw(CDC* dc, const RECT* dst, const RECT* src)
{
    // No destination: at the top-left corner, at the picture's own size.
    const RECT topLeft = {0, 0, -1, -1};
    const RECT& to = dst ? *dst : topLeft;
    const RECT whole = {0, 0, m_nWidth, m_nHeight};
    const RECT& from = src ? *src : whole;
    const HDC hdc = dc ? dc->GetSafeHdc() : nullptr;
    platform::RealizeDrawDib(m_hDrawDib, hdc);
    return platform::DrawDibPicture(m_hDrawDib, hdc, to.left, to.top, to.right - to.left, to.bottom - to.top,
                                    &m_dibSection.dsBmih, m_pBits, from.left, from.top, from.right - from.left,
                                    from.bottom - from.top, 0);
}

UINT CPictureImage::Realize(CDC* dc)
{
    return platform::RealizeDrawDib(m_hDrawDib, dc ? dc->GetSafeHdc() : nullptr);
}
