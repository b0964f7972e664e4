// Pictures as the portable readers, writers and scalers see them (no <windows.h>):
// 3 bytes per pixel in the order blue, green, red; row 0 is the bottom row; each row is
// padded with zero bytes to a multiple of 4.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

// The largest pixel array a picture may have. Hostile files must not drive the program into
// multi-gigabyte allocations; no real photo comes near it (about 350 megapixels).
constexpr int64_t kMaxPictureBytes = int64_t(1) << 30;

// Bytes per row of a 24-bit picture of this width.
inline int32_t StrideFor(int32_t width)
{
    return static_cast<int32_t>(((int64_t(width) * 24 + 31) / 8) & ~int64_t(3));
}

// Bytes of the pixel array of a width x height picture; 0 when either side is not positive
// or the array would exceed kMaxPictureBytes.
inline int64_t PictureBytes(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || width > kMaxPictureBytes / 3)
        return 0;
    const int64_t bytes = int64_t(StrideFor(width)) * height;
    return bytes <= kMaxPictureBytes ? bytes : 0;
}

// A colour channel of bits bits (0 to 32) with value v as 8 bits: round(v x 255 / (2^bits - 1)),
// so that 0 stays 0 and the largest value becomes 255 at any width. A channel of no bits is 0.
// The quotient is never exactly halfway (2^bits - 1 and 255 are odd), so no tie rule is needed.
inline uint8_t ScaleChannelTo8(uint32_t value, int bits)
{
    if (bits <= 0 || bits > 32)
        return 0;
    const uint64_t largest = (uint64_t(1) << bits) - 1;
    const uint64_t v = value < largest ? value : largest;
    return static_cast<uint8_t>((v * 510 + largest) / (2 * largest));
}

// Makes buffer count default values; false when memory is short or count is beyond any
// vector. For the readers' buffers of a size a file decides.
template <class T> bool TryAssign(std::vector<T>& buffer, size_t count)
{
    try {
        buffer.assign(count, T());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// A view of a picture's pixels.
struct PixelImage {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;

    uint8_t* Row(int32_t y) const { return bits + int64_t(y) * stride; }
};

// Something a reader can (re)create at a size and then fill: the DIB-section picture object
// on Windows, a plain memory picture in the portable code and its tests.
class IPixelTarget {
public:
    virtual ~IPixelTarget() = default;
    // Replaces the picture by a black one of this size (zeroed, row ends included).
    // False when the size is not positive, exceeds kMaxPictureBytes, or memory is short;
    // the target is then empty.
    virtual bool CreatePixels(int32_t width, int32_t height) = 0;
    virtual PixelImage Pixels() const = 0;
};

// A picture in plain memory: the temporaries of the scaling code, tests and the benchmark.
class CMemoryPicture : public IPixelTarget {
public:
    CMemoryPicture() = default;
    ~CMemoryPicture() override;
    CMemoryPicture(const CMemoryPicture&) = delete;
    CMemoryPicture& operator=(const CMemoryPicture&) = delete;

    bool CreatePixels(int32_t width, int32_t height) override;
    PixelImage Pixels() const override { return m_image; }
    void Destroy();

private:
    PixelImage m_image;
};
