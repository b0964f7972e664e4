#include "image/ScalingStream.h"

#include "image/AbortFlag.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Bytes after a row's pixels that the vector row loop may read (it reads 4 bytes per pixel).
constexpr size_t kSpareBytes = 4;

bool AbortRequested()
{
    return g_bAbortImageWork.load(std::memory_order_relaxed) != 0;
}

int32_t Clamp(int64_t value, int32_t low, int32_t high)
{
    return static_cast<int32_t>(value < low ? low : value > high ? high : value);
}

} // namespace

CStreamScaler::CStreamScaler(IPixelTarget& target, IScaleObserver* observer) : m_target(target), m_observer(observer)
{
}

CStreamScaler::~CStreamScaler() = default;

bool CStreamScaler::Start(int32_t width, int32_t height, int32_t cx, int32_t cy, ScaleMethod method)
{
    using namespace scaling_rows;
    // Sizes checked before any table of the output's size is built.
    if (width < 1 || height < 1 || PictureBytes(width, 1) == 0 || PictureBytes(cx, cy) == 0)
        return false;
    m_method = method;
    m_width = width;
    m_height = height;
    m_nextRow = height - 1;
    m_nextOutput = cy - 1;
    m_aborted = false;
    try {
        m_line.assign(3 * size_t(width) + kSpareBytes, 0);
        if (method == ScaleMethod::resize) {
            // The steps and columns of ResizePicture.
            const float xStep = cx > 1 ? static_cast<float>(double(width - 1) / (cx - 1)) : 0.0f;
            m_yStep = cy > 1 ? static_cast<float>(double(height - 1) / (cy - 1)) : 0.0f;
            m_columns.resize(size_t(cx));
            for (int32_t x = 0; x < cx; ++x)
                m_columns[x] = 3 * Clamp(static_cast<int64_t>(double(x) * xStep), 0, width - 1);
        } else {
            // The tables of ResamplePicture.
            const float ry = static_cast<float>(double(cy) / height);
            const float rx = static_cast<float>(double(cx) / width);
            ContributionTable yTable;
            if (!BuildContributions(width, cx, rx, 2.0f, MitchellFilter, m_xTable) ||
                !BuildContributions(height, cy, ry, 2.0f, MitchellFilter, yTable))
                return false;

            // Output row y reads source rows m_lowest[y] .. highest[y], and is written as soon
            // as m_lowest[y] has arrived. By then the rows that arrived since the earliest row
            // still held, the lowest row of any output row written before or with it, span the
            // ring: that span, over all output rows, is the ring's size.
            m_lowest.resize(size_t(cy));
            std::vector<int32_t> highest(static_cast<size_t>(cy));
            for (int32_t y = 0; y < cy; ++y) {
                const Contribution* taps = yTable.List(y);
                int32_t low = height - 1, high = 0;
                for (int32_t k = 0; k < yTable.Count(y); ++k) {
                    low = std::min(low, taps[k].pixel);
                    high = std::max(high, taps[k].pixel);
                }
                m_lowest[y] = low;
                highest[y] = high;
            }
            m_ringRows = 1;
            int32_t arrivedDownTo = height - 1;
            for (int32_t y = cy - 1; y >= 0; --y) {
                arrivedDownTo = std::min(arrivedDownTo, m_lowest[y]);
                m_ringRows = std::max(m_ringRows, highest[y] - arrivedDownTo + 1);
            }
            m_lowestUpTo.resize(size_t(cy));
            m_highestUpTo.resize(size_t(cy));
            for (int32_t y = 0; y < cy; ++y) {
                m_lowestUpTo[y] = y > 0 ? std::min(m_lowestUpTo[y - 1], m_lowest[y]) : m_lowest[y];
                m_highestUpTo[y] = y > 0 ? std::max(m_highestUpTo[y - 1], highest[y]) : highest[y];
            }
            m_ringTable = yTable;
            for (Contribution& tap : m_ringTable.taps)
                tap.pixel %= m_ringRows;
            if (!m_ring.CreatePixels(cx, m_ringRows))
                return false;
            m_rowFilter.reset(new RowFilter(m_xTable, cx));
            m_columnFilter.reset(new ColumnFilter(m_ringTable, cy, m_ring.Pixels()));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!m_target.CreatePixels(cx, cy))
        return false;
    m_out = m_target.Pixels();
    return m_out.bits != nullptr;
}

bool CStreamScaler::Abort()
{
    m_aborted = true;
    if (m_method == ScaleMethod::resize)
        g_bAbortImageWork.store(0); // as ResizePicture: the caller goes on with its picture
    return false;
}

bool CStreamScaler::RowDone()
{
    if (m_aborted || m_nextRow < 0)
        return false;
    const int32_t row = m_nextRow--;
    return m_method == ScaleMethod::resize ? ResizeRow(row) : ResampleRow(row);
}

bool CStreamScaler::ResizeRow(int32_t row)
{
    // Output rows sample source rows in the same order as they arrive; this row is the source
    // of every output row still to come whose sample lies at it or above.
    const uint8_t* s = m_line.data();
    const int32_t cx = m_out.width;
    for (; m_nextOutput >= 0; --m_nextOutput) {
        const int32_t y = m_nextOutput;
        if (Clamp(static_cast<int64_t>(double(y) * m_yStep), 0, m_height - 1) < row)
            break;
        if (AbortRequested())
            return Abort();
        uint8_t* d = m_out.Row(y);
        for (int32_t x = 0; x < cx; ++x, d += 3)
            std::memcpy(d, s + m_columns[x], 3);
        if (m_observer)
            m_observer->RowDone(y);
    }
    return true;
}

bool CStreamScaler::ResampleRow(int32_t row)
{
    if (AbortRequested())
        return Abort();
    const int32_t next = m_nextOutput;
    if (next >= 0 && row >= m_lowestUpTo[next] && row <= m_highestUpTo[next]) {
        m_rowFilter->Run(m_line.data(), m_width, true, m_ring.Pixels().Row(row % m_ringRows));
        if (m_observer)
            m_observer->RowDone(row);
    }
    for (; m_nextOutput >= 0 && m_lowest[m_nextOutput] >= row; --m_nextOutput) {
        if (AbortRequested())
            return Abort();
        m_columnFilter->Run(m_nextOutput, m_out.Row(m_nextOutput));
    }
    return true;
}

bool CStreamScaler::Finish()
{
    if (m_aborted)
        return false;
    if (AbortRequested())
        return Abort();
    return m_nextRow < 0 && m_nextOutput < 0;
}
