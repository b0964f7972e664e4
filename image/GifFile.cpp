#include "image/GifFile.h"

#include "framework/File.h"
#include "image/AbortFlag.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr size_t kLastErrorSize = 256;
constexpr const char* kAbortedMessage = "GIF decoding stopped";

void SetLastError(char* lastError, const char* text)
{
    if (lastError)
        snprintf(lastError, kLastErrorSize, "%s", text);
}

void SetGifError(char* lastError, const char* what, int error)
{
    if (!lastError)
        return;
    const char* reason = GifErrorString(error);
    snprintf(lastError, kLastErrorSize, "%s: %s", what, reason ? reason : "unknown error");
}

// giflib reads through this: the bytes of the open file.
int ReadFromFile(GifFileType* gif, GifByteType* buffer, int count)
{
    auto* file = static_cast<CFile*>(gif->UserData);
    return count > 0 ? int(file->Read(buffer, size_t(count))) : 0;
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// The frame's colours as picture pixels (blue, green, red), 256 of them: indexes beyond the
// colour table are black, the transparent one the background.
struct Palette {
    uint8_t bgr[256][3] = {};
    int transparent = -1;
};

// Where the frame lies on the screen, cut at the screen's edges.
struct Placement {
    uint32_t screenWidth = 0, screenHeight = 0;
    uint32_t left = 0, top = 0, width = 0, height = 0; // the whole frame, as stored
    uint32_t visibleWidth = 0, visibleHeight = 0;     // the part of it on the screen
};

void FillLine(uint8_t* out, uint32_t width, const uint8_t* background)
{
    for (uint32_t x = 0; x < width; ++x, out += 3)
        std::memcpy(out, background, 3);
}

// One screen line: the background (a whole line of it), with the frame's line (indexes; null
// when the frame has no such line) drawn over it.
void DrawLine(uint8_t* out, const Placement& at, const GifPixelType* frameLine, const Palette& palette,
              const std::vector<uint8_t>& background)
{
    std::memcpy(out, background.data(), background.size());
    if (!frameLine)
        return;
    uint8_t* pixel = out + size_t(at.left) * 3;
    for (uint32_t x = 0; x < at.visibleWidth; ++x, pixel += 3) {
        const int index = frameLine[x];
        if (index != palette.transparent)
            std::memcpy(pixel, palette.bgr[index], 3);
    }
}

// The graphic control extension's transparent colour index, or -1.
int TransparentIndex(const GifByteType* block)
{
    // block[0] is the block's length; then the flags, the delay (2 bytes) and the index.
    if (block && block[0] >= 4 && (block[1] & 1) != 0)
        return block[4];
    return -1;
}

class CGifReader {
public:
    CGifReader(IGifLineSink& sink, char* lastError, uint32_t background) : m_sink(sink), m_lastError(lastError)
    {
        m_background[0] = uint8_t(background >> 16);
        m_background[1] = uint8_t(background >> 8);
        m_background[2] = uint8_t(background);
    }

    bool Read(CFile& file)
    {
        int error = 0;
        GifPtr gif(DGifOpen(&file, ReadFromFile, &error));
        if (!gif) {
            SetGifError(m_lastError, "GIF file refused", error);
            return false;
        }
        if (!FindFirstFrame(gif.get()))
            return false;
        if (!Place(gif.get(), file.GetLength()))
            return false;
        if (g_bAbortImageWork) {
            SetLastError(m_lastError, kAbortedMessage);
            return false;
        }
        return gif->Image.Interlace ? ReadInterlaced(gif.get()) : ReadInOrder(gif.get());
    }

private:
    // Reads the records up to the first frame's descriptor, keeping the transparent colour of
    // the graphic control extension met last.
    bool FindFirstFrame(GifFileType* gif)
    {
        for (;;) {
            if (g_bAbortImageWork) {
                SetLastError(m_lastError, kAbortedMessage);
                return false;
            }
            GifRecordType record;
            if (DGifGetRecordType(gif, &record) == GIF_ERROR) {
                SetGifError(m_lastError, "GIF file refused", gif->Error);
                return false;
            }
            if (record == IMAGE_DESC_RECORD_TYPE) {
                if (DGifGetImageDesc(gif) == GIF_ERROR) {
                    SetGifError(m_lastError, "GIF frame refused", gif->Error);
                    return false;
                }
                return true;
            }
            if (record == TERMINATE_RECORD_TYPE) {
                SetLastError(m_lastError, "GIF file without a picture");
                return false;
            }
            if (record != EXTENSION_RECORD_TYPE)
                continue;
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
                SetGifError(m_lastError, "GIF file refused", gif->Error);
                return false;
            }
            if (code == GRAPHICS_EXT_FUNC_CODE)
                m_palette.transparent = TransparentIndex(block);
            while (block) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                    SetGifError(m_lastError, "GIF file refused", gif->Error);
                    return false;
                }
            }
        }
    }

    // The screen, the frame on it and its colours; the bounds.
    bool Place(GifFileType* gif, int64_t fileLength)
    {
        const GifImageDesc& frame = gif->Image;
        m_at.left = uint32_t(std::max(frame.Left, 0));
        m_at.top = uint32_t(std::max(frame.Top, 0));
        m_at.width = uint32_t(std::max(frame.Width, 0));
        m_at.height = uint32_t(std::max(frame.Height, 0));
        m_at.screenWidth = uint32_t(std::max(gif->SWidth, 0));
        m_at.screenHeight = uint32_t(std::max(gif->SHeight, 0));
        if (m_at.screenWidth == 0 || m_at.screenHeight == 0) {
            m_at.screenWidth = m_at.left + m_at.width;
            m_at.screenHeight = m_at.top + m_at.height;
        }
        char text[kLastErrorSize];
        if (m_at.width == 0 || m_at.height == 0 ||
            PictureBytes(int32_t(m_at.screenWidth), int32_t(m_at.screenHeight)) == 0) {
            snprintf(text, sizeof text, "GIF picture of a size that cannot be shown: %u x %u pixels",
                     unsigned(m_at.screenWidth), unsigned(m_at.screenHeight));
            SetLastError(m_lastError, text);
            return false;
        }
        // A tiny file claiming a huge picture is refused here, before anything of its size exists.
        const int64_t memory = GifDecodeMemory(m_at.screenWidth, m_at.screenHeight, m_at.width, m_at.height);
        if (fileLength >= 0 && memory > kGifMemoryAlwaysAccepted && memory > fileLength * kMaxGifMemoryPerByte) {
            snprintf(text, sizeof text, "GIF data too small for its size: %u x %u pixels in %lld bytes",
                     unsigned(m_at.screenWidth), unsigned(m_at.screenHeight), static_cast<long long>(fileLength));
            SetLastError(m_lastError, text);
            return false;
        }
        m_at.visibleWidth = m_at.left < m_at.screenWidth ? std::min(m_at.width, m_at.screenWidth - m_at.left) : 0;
        m_at.visibleHeight = m_at.top < m_at.screenHeight ? std::min(m_at.height, m_at.screenHeight - m_at.top) : 0;

        const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
        if (!colours || !colours->Colors || colours->ColorCount <= 0) {
            SetLastError(m_lastError, "GIF file without colours");
            return false;
        }
        const int count = std::min(colours->ColorCount, 256);
        for (int i = 0; i < count; ++i) {
            m_palette.bgr[i][0] = colours->Colors[i].Blue;
            m_palette.bgr[i][1] = colours->Colors[i].Green;
            m_palette.bgr[i][2] = colours->Colors[i].Red;
        }
        return true;
    }

    bool Begin()
    {
        if (!TryAssign(m_backgroundLine, 3 * size_t(m_at.screenWidth))) {
            SetLastError(m_lastError, "Not enough memory for the GIF picture");
            return false;
        }
        FillLine(m_backgroundLine.data(), m_at.screenWidth, m_background);
        return m_sink.Begin(m_at.screenWidth, m_at.screenHeight);
    }

    // Hands screen line y to the sink, the frame's line drawn over it where there is one.
    bool HandOver(uint32_t y, const GifPixelType* frameLine)
    {
        const bool onFrame = y >= m_at.top && y - m_at.top < m_at.visibleHeight;
        DrawLine(m_sink.Line(y), m_at, onFrame ? frameLine : nullptr, m_palette, m_backgroundLine);
        return m_sink.LineDone(y);
    }

    // A frame not interlaced: each of its lines is decoded as the screen reaches it; the
    // lines below the screen are never decoded.
    bool ReadInOrder(GifFileType* gif)
    {
        std::vector<GifPixelType> line;
        if (!TryAssign(line, m_at.width)) {
            SetLastError(m_lastError, "Not enough memory for the GIF picture");
            return false;
        }
        // The frame's first line is decoded before the picture is made, so that data refused
        // from its start leaves the target untouched.
        if (m_at.visibleHeight > 0 && DGifGetLine(gif, line.data(), int(m_at.width)) == GIF_ERROR) {
            SetGifError(m_lastError, "GIF picture data refused", gif->Error);
            return false;
        }
        if (!Begin())
            return false;
        bool broken = false;
        for (uint32_t y = 0; y < m_at.screenHeight; ++y) {
            const bool onFrame = y >= m_at.top && y - m_at.top < m_at.visibleHeight;
            if (onFrame && !broken && y > m_at.top) {
                if (g_bAbortImageWork) {
                    SetLastError(m_lastError, kAbortedMessage);
                    return false;
                }
                if (DGifGetLine(gif, line.data(), int(m_at.width)) == GIF_ERROR) {
                    SetGifError(m_lastError, "GIF picture data broken off", gif->Error);
                    broken = true;
                }
            }
            if (!HandOver(y, onFrame && !broken ? line.data() : nullptr))
                return false;
        }
        return true;
    }

    // An interlaced frame: its lines come in four passes (every 8th from 0, every 8th from 4,
    // every 4th from 2, every 2nd from 1), so the whole frame is decoded first.
    bool ReadInterlaced(GifFileType* gif)
    {
        std::vector<GifPixelType> frame;
        std::vector<uint8_t> decoded; // per line of the frame: 1 once it came whole
        if (!TryAssign(frame, size_t(m_at.width) * m_at.height) || !TryAssign(decoded, m_at.height)) {
            SetLastError(m_lastError, "Not enough memory for the GIF picture");
            return false;
        }
        static const uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        bool any = false, broken = false;
        for (int pass = 0; pass < 4 && !broken; ++pass) {
            for (uint32_t row = kStart[pass]; row < m_at.height; row += kStep[pass]) {
                if (g_bAbortImageWork) {
                    SetLastError(m_lastError, kAbortedMessage);
                    return false;
                }
                if (DGifGetLine(gif, frame.data() + size_t(row) * m_at.width, int(m_at.width)) == GIF_ERROR) {
                    if (!any) {
                        SetGifError(m_lastError, "GIF picture data refused", gif->Error);
                        return false;
                    }
                    SetGifError(m_lastError, "GIF picture data broken off", gif->Error);
                    broken = true;
                    break;
                }
                decoded[row] = 1;
                any = true;
            }
        }
        if (!Begin())
            return false;
        for (uint32_t y = 0; y < m_at.screenHeight; ++y) {
            const uint32_t row = y - m_at.top; // wraps above the frame, where it is not used
            const bool onFrame = y >= m_at.top && row < m_at.visibleHeight && decoded[row];
            if (!HandOver(y, onFrame ? frame.data() + size_t(row) * m_at.width : nullptr))
                return false;
        }
        return true;
    }

    IGifLineSink& m_sink;
    char* m_lastError;
    uint8_t m_background[3];
    std::vector<uint8_t> m_backgroundLine; // a screen line of the background colour
    Palette m_palette;
    Placement m_at;
};

} // namespace

int64_t GifDecodeMemory(uint32_t screenWidth, uint32_t screenHeight, uint32_t frameWidth, uint32_t frameHeight)
{
    return int64_t(screenWidth) * screenHeight * 3 + int64_t(frameWidth) * frameHeight;
}

bool ReadGifFile(const char* path, IGifLineSink& sink, char* lastError, uint32_t background)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead)) {
        SetLastError(lastError, "Cannot open the GIF file");
        return false;
    }
    CGifReader reader(sink, lastError, background);
    return reader.Read(file);
}

bool LoadGifFile(const char* path, IPixelTarget& target, char* lastError, uint32_t background)
{
    CPictureLineSink sink(target);
    return ReadGifFile(path, sink, lastError, background);
}
