#include "image/FittedLoad.h"

#include "image/GifFile.h"
#include "image/JpegFile.h"
#include "image/PngFile.h"
#include "image/TgaFile.h"
#include "image/WebpFile.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

std::atomic<int32_t> g_nFittingThreads {0};

namespace {

bool OverlapDecoding()
{
    const int32_t wanted = g_nFittingThreads.load(std::memory_order_relaxed);
    return wanted == 0 ? std::thread::hardware_concurrency() >= 2 : wanted >= 2;
}

// Decoded lines on their way from the decoder (the caller's thread) to the scaler (a thread of
// its own): a few line buffers that the decoder fills and the scaler empties in turn, so that
// decoding the next lines overlaps filtering the last ones on a second core. The scaler sees
// the same lines in the same order as without it, so the output is the same.
class CLineHandOver {
public:
    CLineHandOver(CStreamScaler& scaler, size_t lineBytes) : m_scaler(scaler)
    {
        for (auto& line : m_lines)
            line.assign(lineBytes, 0);
        m_thread = std::thread([this] { Consume(); });
    }
    ~CLineHandOver() { End(); }
    CLineHandOver(const CLineHandOver&) = delete;
    CLineHandOver& operator=(const CLineHandOver&) = delete;

    // The buffer for the next decoded line: waits while every buffer is still to be scaled.
    uint8_t* Line()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_filled - m_scaled < kLines; });
        return m_lines[m_filled % kLines].data();
    }
    // That line is complete. False once the scaler has stopped (an abort, a row too many).
    bool LineDone()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_filled;
        }
        m_changed.notify_all();
        return !m_failed.load();
    }
    // No more lines: waits for the scaler to take the last one. True when it took every line.
    bool End()
    {
        if (m_thread.joinable()) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_ended = true;
            }
            m_changed.notify_all();
            m_thread.join();
        }
        return !m_failed.load();
    }

private:
    static constexpr size_t kLines = 16;

    void Consume()
    {
        for (;;) {
            size_t next;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return m_scaled < m_filled || m_ended; });
                if (m_scaled == m_filled)
                    return; // ended, every line taken
                next = m_scaled;
            }
            // A failed scaler takes no more lines, but still frees them for the decoder, which
            // learns of the failure at its next LineDone.
            if (!m_failed.load()) {
                std::memcpy(m_scaler.NextRow(), m_lines[next % kLines].data(), m_lines[next % kLines].size());
                if (!m_scaler.RowDone())
                    m_failed = true;
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_scaled;
            }
            m_changed.notify_all();
        }
    }

    CStreamScaler& m_scaler;
    std::vector<uint8_t> m_lines[kLines];
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_filled = 0; // lines the decoder has completed
    size_t m_scaled = 0; // lines the scaler has taken
    bool m_ended = false;
    std::atomic<bool> m_failed {false};
    std::thread m_thread;
};

// Decides at the headers whether the lines are scaled as they come or kept whole.
class CFittingLineSink : public IJpegLineSink {
public:
    enum class Mode { before, whole, streamed, noScaler };

    CFittingLineSink(const FitRequest& request, IPixelTarget& target, IScaleObserver* observer)
        : m_request(request), m_target(target), m_scaler(target, observer)
    {
    }

    bool Begin(uint32_t width, uint32_t height) override
    {
        PictureSize size;
        if (ScalesTo(m_request, int32_t(width), int32_t(height), size) && size.cx >= 1 && size.cy >= 1) {
            m_mode = m_scaler.Start(int32_t(width), int32_t(height), size.cx, size.cy, m_request.method) ? Mode::streamed
                                                                                                       : Mode::noScaler;
            if (m_mode == Mode::streamed && OverlapDecoding()) {
                try {
                    m_handOver = std::make_unique<CLineHandOver>(m_scaler, 3 * size_t(width));
                } catch (const std::exception&) {
                    m_handOver.reset(); // no thread or no memory for it: the lines go as before
                }
            }
            return m_mode == Mode::streamed;
        }
        // Kept at its own size: the lines go straight into the picture's rows.
        m_mode = Mode::whole;
        if (!m_target.CreatePixels(int32_t(width), int32_t(height)))
            return false;
        m_picture = m_target.Pixels();
        return m_picture.bits && uint32_t(m_picture.width) == width && uint32_t(m_picture.height) == height;
    }

    uint8_t* Line(uint32_t index) override
    {
        if (m_mode == Mode::streamed)
            return m_handOver ? m_handOver->Line() : m_scaler.NextRow();
        // The first line is the top row, the last row of the bottom-up picture.
        return m_picture.Row(int32_t(uint32_t(m_picture.height) - 1 - index));
    }

    bool LineDone(uint32_t) override
    {
        if (m_mode != Mode::streamed)
            return true;
        return m_handOver ? m_handOver->LineDone() : m_scaler.RowDone();
    }

    Mode GetMode() const { return m_mode; }
    // After the decoder's last line: the scaler's thread takes what is left first.
    bool EndLines() { return !m_handOver || m_handOver->End(); }
    bool FinishScaling() { return m_scaler.Finish(); }

private:
    const FitRequest& m_request;
    IPixelTarget& m_target;
    CStreamScaler m_scaler;
    PixelImage m_picture;
    Mode m_mode = Mode::before;
    std::unique_ptr<CLineHandOver> m_handOver; // with a second core
};

} // namespace

bool ScalesTo(const FitRequest& request, int32_t width, int32_t height, PictureSize& size)
{
    size = {request.cx, request.cy};
    if (request.cx != 0 && request.keepAspect)
        size = FitAspect(width, height, request.cx, request.cy);
    return size.cx != 0 && (width != size.cx || height != size.cy);
}

namespace {

// Any reader that hands over its lines as the JPEG reader does, fitted.
template <class Read>
FittedLoad LoadFitted(const FitRequest& request, IPixelTarget& target, IScaleObserver* observer, Read read)
{
    FittedLoad result;
    CFittingLineSink sink(request, target, observer);
    bool readWhole = read(sink);
    if (!sink.EndLines())
        readWhole = false; // the scaler stopped, which without a second core stops the decoder at once
    switch (sink.GetMode()) {
    case CFittingLineSink::Mode::noScaler:
        return result; // not streamed: the caller takes the whole-picture path
    case CFittingLineSink::Mode::streamed:
        result.streamed = true;
        // A file that failed, or a stop seen by the decoder, ends as a failed load would; a
        // stop seen by the scaler after the last line ends as a stopped scaling would.
        result.loaded = readWhole;
        result.scaled = readWhole && sink.FinishScaling();
        if (readWhole && !result.scaled)
            result.loaded = false;
        return result;
    default:
        result.streamed = true;
        result.loaded = readWhole;
        return result;
    }
}

} // namespace

FittedLoad LoadJpegFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                              IScaleObserver* observer)
{
    return LoadFitted(request, target, observer,
                      [&](CFittingLineSink& sink) { return ReadJpegFile(path, sink, lastError); });
}

FittedLoad LoadPngFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                             uint32_t background, IScaleObserver* observer)
{
    return LoadFitted(request, target, observer,
                      [&](CFittingLineSink& sink) { return ReadPngFile(path, sink, lastError, background); });
}

FittedLoad LoadGifFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                             uint32_t background, IScaleObserver* observer)
{
    return LoadFitted(request, target, observer,
                      [&](CFittingLineSink& sink) { return ReadGifFile(path, sink, lastError, background); });
}

FittedLoad LoadWebpFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                              uint32_t background, IScaleObserver* observer)
{
    return LoadFitted(request, target, observer,
                      [&](CFittingLineSink& sink) { return ReadWebpFile(path, sink, lastError, background); });
}

FittedLoad LoadTgaFileFitted(const char* path, const FitRequest& request, IPixelTarget& target,
                             IScaleObserver* observer)
{
    return LoadFitted(request, target, observer, [&](CFittingLineSink& sink) { return ReadTgaFile(path, sink); });
}

FittedLoad LoadFileFitted(PictureFileKind kind, const char* path, const FitRequest& request, IPixelTarget& target,
                          char* lastError, uint32_t background, IScaleObserver* observer)
{
    switch (kind) {
    case PictureFileKind::jpeg:
        return LoadJpegFileFitted(path, request, target, lastError, observer);
    case PictureFileKind::png:
        return LoadPngFileFitted(path, request, target, lastError, background, observer);
    case PictureFileKind::gif:
        return LoadGifFileFitted(path, request, target, lastError, background, observer);
    case PictureFileKind::webp:
        return LoadWebpFileFitted(path, request, target, lastError, background, observer);
    case PictureFileKind::tga:
        return LoadTgaFileFitted(path, request, target, observer);
    default:
        return FittedLoad {};
    }
}
