#include "image/FittedLoad.h"

#include "image/JpegFile.h"

namespace {

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
            return m_scaler.NextRow();
        // The first line is the top row, the last row of the bottom-up picture.
        return m_picture.Row(int32_t(uint32_t(m_picture.height) - 1 - index));
    }

    bool LineDone(uint32_t) override { return m_mode != Mode::streamed || m_scaler.RowDone(); }

    Mode GetMode() const { return m_mode; }
    bool FinishScaling() { return m_scaler.Finish(); }

private:
    const FitRequest& m_request;
    IPixelTarget& m_target;
    CStreamScaler m_scaler;
    PixelImage m_picture;
    Mode m_mode = Mode::before;
};

} // namespace

bool ScalesTo(const FitRequest& request, int32_t width, int32_t height, PictureSize& size)
{
    size = {request.cx, request.cy};
    if (request.cx != 0 && request.keepAspect)
        size = FitAspect(width, height, request.cx, request.cy);
    return size.cx != 0 && (width != size.cx || height != size.cy);
}

FittedLoad LoadJpegFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                              IScaleObserver* observer)
{
    FittedLoad result;
    CFittingLineSink sink(request, target, observer);
    const bool read = ReadJpegFile(path, sink, lastError);
    switch (sink.GetMode()) {
    case CFittingLineSink::Mode::noScaler:
        return result; // not streamed: the caller takes the whole-picture path
    case CFittingLineSink::Mode::streamed:
        result.streamed = true;
        // A file that failed, or a stop seen by the decoder, ends as a failed load would; a
        // stop seen by the scaler after the last line ends as a stopped scaling would.
        result.loaded = read;
        result.scaled = read && sink.FinishScaling();
        if (read && !result.scaled)
            result.loaded = false;
        return result;
    default:
        result.streamed = true;
        result.loaded = read;
        return result;
    }
}
