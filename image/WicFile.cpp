#include "image/WicFile.h"

#include "framework/WideText.h"
#include "image/AbortFlag.h"

#include <windows.h>
#include <wincodec.h>

#include <cstdio>
#include <vector>

namespace {

void SetError(char* lastError, const char* text)
{
    if (lastError)
        std::snprintf(lastError, 256, "%s", text);
}

// Releases a COM interface at the end of its scope.
template <class T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr()
    {
        if (m_p)
            m_p->Release();
    }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    T** Put() { return &m_p; }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }

private:
    T* m_p = nullptr;
};

// COM for the duration of a call, on a thread that may or may not have it already.
class CComScope {
public:
    CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~CComScope()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;
    // S_OK, S_FALSE (already started alike) or RPC_E_CHANGED_MODE (started as an apartment):
    // usable in each case.
    bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_hr;
};

uint8_t Over(uint32_t value, uint32_t alpha, uint32_t background)
{
    // value is premultiplied by alpha: value + background x (1 - alpha), rounded.
    return static_cast<uint8_t>(value + (background * (255 - alpha) + 127) / 255);
}

} // namespace

bool LoadWicFile(const char* path, IPixelTarget& target, uint32_t background, char* lastError)
{
    CComScope com;
    if (!com.Usable()) {
        SetError(lastError, "the system's imaging codecs are not available");
        return false;
    }
    CComPtr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.Put())))) {
        SetError(lastError, "the system's imaging codecs are not available");
        return false;
    }
    CComPtr<IWICBitmapDecoder> decoder;
    CComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(factory->CreateDecoderFromFilename(FilePath(path).c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.Put()))
        || FAILED(decoder->GetFrame(0, frame.Put()))) {
        SetError(lastError, "no codec of the system reads this picture");
        return false;
    }
    UINT width = 0, height = 0;
    if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 || width > INT32_MAX
        || height > INT32_MAX || PictureBytes(int32_t(width), int32_t(height)) == 0
        || int64_t(width) * 4 > INT32_MAX) {
        SetError(lastError, "the picture is too large");
        return false;
    }
    // Premultiplied blue, green, red, alpha: every source form converts to it, and the
    // background goes in with one multiplication.
    CComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.Put()))
        || FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                        0.0, WICBitmapPaletteTypeCustom))) {
        SetError(lastError, "the picture's pixel format cannot be converted");
        return false;
    }
    if (!target.CreatePixels(int32_t(width), int32_t(height))) {
        SetError(lastError, "not enough memory for the picture");
        return false;
    }
    const PixelImage picture = target.Pixels();
    const uint32_t blue = (background >> 16) & 0xFF, green = (background >> 8) & 0xFF, red = background & 0xFF;
    std::vector<uint8_t> line(size_t(width) * 4);
    for (UINT y = 0; y < height; ++y) {
        if (g_bAbortImageWork) {
            SetError(lastError, "decoding stopped");
            return false;
        }
        const WICRect row {0, INT(y), INT(width), 1};
        if (FAILED(converter->CopyPixels(&row, width * 4, UINT(line.size()), line.data()))) {
            SetError(lastError, "the picture's data is damaged");
            return false;
        }
        uint8_t* out = picture.Row(int32_t(height - 1 - y)); // the top line is the last row
        for (UINT x = 0; x < width; ++x) {
            const uint8_t* in = &line[size_t(x) * 4];
            out[3 * x] = Over(in[0], in[3], blue);
            out[3 * x + 1] = Over(in[1], in[3], green);
            out[3 * x + 2] = Over(in[2], in[3], red);
        }
    }
    return true;
}
