#include "image/Scaling.h"

#include "image/AbortFlag.h"
#include "image/ScalingRows.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

bool AbortRequested()
{
    return g_bAbortImageWork.load(std::memory_order_relaxed) != 0;
}

int32_t Clamp(int64_t value, int32_t low, int32_t high)
{
    return static_cast<int32_t>(value < low ? low : value > high ? high : value);
}

} // namespace

PictureSize FitAspect(int32_t width, int32_t height, int32_t cx, int32_t cy)
{
    if (width <= 0 || height <= 0)
        return {};
    const double rx = double(cx) / width;
    const double ry = double(cy) / height;
    if (rx < ry)
        return {cx, static_cast<int32_t>(double(height) * double(static_cast<float>(rx)))};
    return {static_cast<int32_t>(double(width) * ry), cy};
}

double MitchellFilter(double t)
{
    const double tt = t * t;
    const double a = t < 0 ? -t : t;
    if (a < 1.0)
        return (7.0 * (a * tt) + -12.0 * tt + 16.0 / 3.0) * (1.0 / 6.0);
    if (a < 2.0)
        return (-7.0 / 3.0 * (a * tt) + 12.0 * tt + -20.0 * a + 32.0 / 3.0) * (1.0 / 6.0);
    return 0.0;
}

bool BuildContributions(int32_t n, int32_t m, float scale, float support, double (*kernel)(double),
                        ContributionTable& table, IScaleObserver* observer)
{
    table = ContributionTable {};
    if (n < 1 || m < 1 || !(scale > 0.0f))
        return false;
    try {
        // Shrinking stretches the kernel over 1 / scale source pixels.
        const bool shrinking = scale < 1.0f;
        const float width = shrinking ? support / scale : support;
        const float fscale = shrinking ? 1.0f / scale : 1.0f;
        table.first.reserve(size_t(m) + 1);
        table.first.push_back(0);
        for (int32_t i = 0; i < m; ++i) {
            const double quotient = double(i) / scale;
            const float centre = static_cast<float>(quotient);
            const int64_t left = static_cast<int64_t>(std::ceil(quotient - width));
            const int64_t right = static_cast<int64_t>(std::floor(double(centre) + width));
            const size_t begin = table.taps.size();
            size_t peak = begin;
            double peakWeight = 0.0;
            int32_t sum = 0;
            for (int64_t j = left; j <= right; ++j) {
                const double distance = double(centre) - double(j);
                const double weight = shrinking ? kernel(distance / fscale) / fscale : kernel(distance);
                const int64_t reflected = j < 0 ? -j : j >= n ? 2 * int64_t(n) - j - 1 : j;
                const int32_t fixed = static_cast<int32_t>(weight * kWeightUnit);
                if (table.taps.size() == begin || weight > peakWeight) {
                    peak = table.taps.size();
                    peakWeight = weight;
                }
                sum += fixed;
                table.taps.push_back({Clamp(reflected, 0, n - 1), fixed});
            }
            // Each weight was truncated, so the list sums to a little less than the unit (to
            // nothing at all once a weight is below 1/256 of one, from a shrink of about 228
            // on); a flat area would come out darker the more it shrinks. What truncation
            // dropped goes to the heaviest tap, the one nearest the centre, so the list sums
            // to exactly the unit and flat areas stay flat at any scale.
            if (table.taps.size() > begin)
                table.taps[peak].weight += kWeightUnit - sum;
            table.first.push_back(table.taps.size());
        }
        return true;
    } catch (const std::bad_alloc&) {
        table = ContributionTable {};
        if (observer)
            observer->OutOfMemory();
        return false;
    }
}

bool ResizePicture(IPixelTarget& picture, int32_t cx, int32_t cy, IScaleObserver* observer)
{
    const PixelImage src = picture.Pixels();
    if (!src.bits)
        return false;
    CMemoryPicture temp;
    if (!temp.CreatePixels(cx, cy))
        return false;
    const PixelImage dst = temp.Pixels();

    // Corner-aligned sampling: the first and last output pixels take the first and last
    // source pixels. The steps are single precision, the products double.
    const float xStep = cx > 1 ? static_cast<float>(double(src.width - 1) / (cx - 1)) : 0.0f;
    const float yStep = cy > 1 ? static_cast<float>(double(src.height - 1) / (cy - 1)) : 0.0f;
    std::vector<int32_t> columns;
    try {
        columns.resize(size_t(cx));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int32_t x = 0; x < cx; ++x)
        columns[x] = 3 * Clamp(static_cast<int64_t>(double(x) * xStep), 0, src.width - 1);

    for (int32_t y = 0; y < cy && !AbortRequested(); ++y) {
        const uint8_t* s = src.Row(Clamp(static_cast<int64_t>(double(y) * yStep), 0, src.height - 1));
        uint8_t* d = dst.Row(y);
        for (int32_t x = 0; x < cx; ++x, d += 3)
            std::memcpy(d, s + columns[x], 3);
        if (observer)
            observer->RowDone(y);
    }
    if (AbortRequested()) {
        g_bAbortImageWork.store(0);
        return false;
    }
    if (!picture.CreatePixels(cx, cy))
        return false;
    std::memcpy(picture.Pixels().bits, dst.bits, size_t(dst.stride) * size_t(cy));
    return true;
}

bool ResamplePicture(IPixelTarget& picture, int32_t cx, int32_t cy, IScaleObserver* observer)
{
    using namespace scaling_rows;
    const PixelImage src = picture.Pixels();
    if (!src.bits || cx < 1 || cy < 1)
        return false;
    auto outOfMemory = [observer] {
        if (observer)
            observer->OutOfMemory();
        return false;
    };
    const int32_t height = src.height;
    const float ry = static_cast<float>(double(cy) / height);
    const float rx = static_cast<float>(double(cx) / src.width);

    try {
        // Horizontal pass: every source row into the intermediate picture, cx x height.
        CMemoryPicture intermediate;
        if (!intermediate.CreatePixels(cx, height))
            return outOfMemory();
        const PixelImage mid = intermediate.Pixels();
        {
            ContributionTable table;
            if (!BuildContributions(src.width, cx, rx, 2.0f, MitchellFilter, table, observer))
                return outOfMemory();
            RowFilter filter(table, cx);
            for (int32_t y = 0; y < height && !AbortRequested(); ++y) {
                filter.Run(src.Row(y), src.width, y + 1 < height || src.stride > 3 * src.width, mid.Row(y));
                if (observer)
                    observer->RowDone(y);
            }
            if (AbortRequested())
                return false;
        }

        // Vertical pass: the columns of the intermediate picture into the picture itself.
        ContributionTable table;
        if (!BuildContributions(height, cy, ry, 2.0f, MitchellFilter, table, observer))
            return outOfMemory();
        ColumnFilter filter(table, cy, mid);
        if (!picture.CreatePixels(cx, cy))
            return outOfMemory();
        const PixelImage dst = picture.Pixels();
        for (int32_t y = 0; y < cy && !AbortRequested(); ++y)
            filter.Run(y, dst.Row(y));
        return !AbortRequested();
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}
