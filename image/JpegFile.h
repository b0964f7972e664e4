// JPEG reading and writing with libjpeg (portable).
#pragma once
#include "image/Pixels.h"

// Colour, greyscale (loaded as a grey picture) and CMYK/YCCK files (converted to colour).
// On failure false; after a library error lastError (256 characters, may be null) holds the
// library's message, after an unsupported file one of our own. The target is untouched when
// the file cannot be opened or read far enough to know the picture's size. The target's
// CreatePixels must not throw.
bool LoadJpegFile(const char* path, IPixelTarget& target, char* lastError);

// Takes the lines of a JPEG file as the decoder hands them over, top line first, so that a
// caller can use each line and let it go instead of holding the whole picture. No function
// may throw.
class IJpegLineSink {
public:
    virtual ~IJpegLineSink() = default;
    // The picture's size, once the headers are read and before any line is decoded. False
    // stops the read.
    virtual bool Begin(uint32_t width, uint32_t height) = 0;
    // Where line index (0: the top line) is to be decoded: 3 x width bytes, blue, green, red.
    virtual uint8_t* Line(uint32_t index) = 0;
    // That line is complete. False stops the read.
    virtual bool LineDone(uint32_t index) = 0;
};

// A sink that puts the lines straight into the rows of a whole picture, made at Begin (the
// first line is the top row, the last row of the bottom-up picture). The whole-picture loads
// of every reader that hands over lines use it.
class CPictureLineSink : public IJpegLineSink {
public:
    explicit CPictureLineSink(IPixelTarget& target) : m_target(target) {}
    bool Begin(uint32_t width, uint32_t height) override
    {
        if (!m_target.CreatePixels(int32_t(width), int32_t(height)))
            return false;
        m_picture = m_target.Pixels();
        return m_picture.bits && uint32_t(m_picture.width) == width && uint32_t(m_picture.height) == height;
    }
    uint8_t* Line(uint32_t index) override { return m_picture.Row(int32_t(uint32_t(m_picture.height) - 1 - index)); }
    bool LineDone(uint32_t) override { return true; }

private:
    IPixelTarget& m_target;
    PixelImage m_picture;
};

// LoadJpegFile with the lines handed to sink (LoadJpegFile's sink writes them into the
// picture's rows). The same checks, messages and abort handling; false after the sink stopped
// the read.
bool ReadJpegFile(const char* path, IJpegLineSink& sink, char* lastError);

// Writes the picture as a baseline JPEG file of quality 85, top row first. False when the
// file cannot be opened or written (the file is closed; what was written stays).
bool SaveJpegFile(const char* path, const PixelImage& picture);

// Progressive files with more scans than this fail instead of keeping the decoder busy for
// minutes (real files have about ten).
constexpr int kMaxJpegScans = 500;

// A Huffman-coded file spends at least one bit on every 8 x 8 block of each component in its
// first (DC) scan, progressive or not, optimised tables or not, so it cannot hold more than
// 512 pixels per byte of compressed data (1024 with the oddest legal sampling factors, 4x1
// with 1x4). Measured with cjpeg (libjpeg-turbo 2.1.5), pixels per byte after the headers:
//   photos and noise (120x96 to 1816x1192, quality 5 to 100, baseline, optimised, progressive,
//   greyscale, 4:2:0, 4:4:4, 4:1:1, restart markers)                       0.5 to 138
//   smooth gradient 2048x2048                                               3.7 to 188
//   flat 4096x4096 colour: baseline 64, optimised 171, progressive 170,
//   greyscale progressive 255, greyscale with a single DC scan 511 (8192x8192: 511.5)
// Files denser than kMaxJpegPixelsPerByte (4 times the densest usual file, twice the oddest)
// are refused before anything of the picture's size is allocated, unless the picture is at
// most kJpegPixelsAlwaysAccepted pixels, which cost little however short the file. A file cut
// short keeps loading (the library fills the missing part) as long as it stays within the
// bound. Arithmetic-coded files (rare: few programs write or show them) spend a small
// fraction of a bit on a flat block (measured: photos 2 to 43 pixels per byte, a smooth
// gradient 5668, flat 4096x4096 in 5 bytes of data), so for them no bound separates every
// real file from a forged one; they get a looser one, kMaxArithmeticJpegPixelsPerByte, that
// keeps photos and gradients and still caps what a few hundred bytes can make us allocate
// (about 10 megapixels for the 629-byte file that claimed 18000 x 18000). A huge flat
// arithmetic-coded picture is refused.
constexpr int64_t kMaxJpegPixelsPerByte = 2048;
constexpr int64_t kMaxArithmeticJpegPixelsPerByte = 16384;
constexpr int64_t kJpegPixelsAlwaysAccepted = int64_t(4) << 20;

// Memory and time for any file, whatever its coding: a decode may take the picture (3 bytes a
// pixel) plus, for a file of several scans, the decoder's coefficients of the whole picture
// (128 bytes per 8 x 8 block of each component), together at most kMaxJpegMemoryPerByte bytes
// per byte of compressed data, or kJpegMemoryAlwaysAccepted for a small picture. So no file of
// up to 64 KB makes the loader take more than 256 MB. The densest real files measured above
// need about 2600 bytes per byte (greyscale progressive, 511 pixels a byte at 5 bytes a pixel).
constexpr int64_t kMaxJpegMemoryPerByte = 4096;
constexpr int64_t kJpegMemoryAlwaysAccepted = int64_t(64) << 20;
// Each scan of a progressive file visits every block of its components, however few bytes it
// has: scans times blocks is held to kMaxJpegBlockScansPerByte per byte of data, or
// kJpegBlockScansAlwaysAccepted. Measured natively (libjpeg-turbo 2.1.5): 192 scans over
// 6600 x 6600 grey pixels, 130 million block visits from a 64 KB file, take 0.86 s; this
// bound keeps such a file within about 100 million. Real progressive files have about ten
// scans and spend far more than a bit per block, so they stay far within it.
constexpr int64_t kMaxJpegBlockScansPerByte = 1024;
constexpr int64_t kJpegBlockScansAlwaysAccepted = int64_t(100) << 20;
