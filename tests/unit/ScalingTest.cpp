// Fitting and scaling: the exact numbers, the abort flag, out-of-memory, and the fast loops
// against a straightforward reference implementation of the rules.
#include "image/AbortFlag.h"
#include "image/Scaling.h"
#include "image/ScalingRows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// ---- Reference: the rules written out as plainly as possible ----------------------------

double RefMitchell(double t)
{
    const double a = std::fabs(t);
    if (a < 1)
        return (7.0 * (a * a * a) + -12.0 * (a * a) + 16.0 / 3.0) * (1.0 / 6.0);
    if (a < 2)
        return (-7.0 / 3.0 * (a * a * a) + 12.0 * (a * a) + -20.0 * a + 32.0 / 3.0) * (1.0 / 6.0);
    return 0;
}

// Taps as stated: reflected, not yet clamped; truncated weights, with what the truncation lost
// added to the tap of the largest real weight (the first of equals).
std::vector<std::vector<Contribution>> RefContributions(int n, int m, float scale)
{
    const float support = 2.0f;
    std::vector<std::vector<Contribution>> lists(m);
    for (int i = 0; i < m; ++i) {
        const float centre = float(double(i) / scale);
        double width = support, fscale = 1;
        if (scale < 1) {
            width = float(support / scale);
            fscale = float(1 / scale);
        }
        const int left = int(std::ceil(double(i) / scale - width));
        const int right = int(std::floor(double(centre) + width));
        double heaviest = -1;
        size_t peak = 0;
        int sum = 0;
        for (int j = left; j <= right; ++j) {
            const double weight = RefMitchell((double(centre) - j) / fscale) / fscale;
            const int pixel = j < 0 ? -j : j >= n ? 2 * n - j - 1 : j;
            if (weight > heaviest) {
                heaviest = weight;
                peak = lists[i].size();
            }
            lists[i].push_back({pixel, int(weight * 256)});
            sum += int(weight * 256);
        }
        lists[i][peak].weight += 256 - sum;
    }
    return lists;
}

int RefClamp(int v, int low, int high)
{
    return v < low ? low : v > high ? high : v;
}

struct Picture : CMemoryPicture {
    uint8_t* At(int x, int y) const { return Pixels().Row(y) + 3 * x; }
};

void Fill(Picture& p, int w, int h, std::mt19937& random)
{
    ASSERT_TRUE(p.CreatePixels(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x)
            p.Pixels().Row(y)[x] = uint8_t(random());
}

void Copy(const Picture& from, Picture& to)
{
    const PixelImage f = from.Pixels();
    ASSERT_TRUE(to.CreatePixels(f.width, f.height));
    std::memcpy(to.Pixels().bits, f.bits, size_t(f.stride) * f.height);
}

bool SameBytes(const PixelImage& a, const PixelImage& b)
{
    return a.width == b.width && a.height == b.height && a.stride == b.stride &&
           std::memcmp(a.bits, b.bits, size_t(a.stride) * a.height) == 0;
}

void RefResize(const Picture& src, int cx, int cy, Picture& out)
{
    const int w = src.Pixels().width, h = src.Pixels().height;
    ASSERT_TRUE(out.CreatePixels(cx, cy));
    const float xStep = cx == 1 ? 0.0f : float(double(w - 1) / (cx - 1));
    const float yStep = cy == 1 ? 0.0f : float(double(h - 1) / (cy - 1));
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            const int sx = RefClamp(int(x * double(xStep)), 0, w - 1);
            const int sy = RefClamp(int(y * double(yStep)), 0, h - 1);
            std::memcpy(out.At(x, y), src.At(sx, sy), 3);
        }
}

void RefResample(const Picture& src, int cx, int cy, Picture& out)
{
    const int w = src.Pixels().width, h = src.Pixels().height;
    const float ry = float(double(cy) / h), rx = float(double(cx) / w);
    Picture t, row, column;
    ASSERT_TRUE(t.CreatePixels(cx, h));
    ASSERT_TRUE(row.CreatePixels(w, 1));
    const auto xs = RefContributions(w, cx, rx);
    for (int y = 0; y < h; ++y) {
        std::memcpy(row.At(0, 0), src.At(0, y), 3 * size_t(w));
        for (int x = 0; x < cx; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (const Contribution& tap : xs[x])
                    sum += tap.weight * row.At(RefClamp(tap.pixel, 0, w - 1), 0)[c];
                t.At(x, y)[c] = uint8_t(RefClamp(sum / 256, 0, 255));
            }
    }
    const auto ys = RefContributions(h, cy, ry);
    ASSERT_TRUE(out.CreatePixels(cx, cy));
    ASSERT_TRUE(column.CreatePixels(1, h));
    for (int x = 0; x < cx; ++x) {
        for (int y = 0; y < h; ++y)
            std::memcpy(column.At(0, y), t.At(x, y), 3);
        for (int y = 0; y < cy; ++y)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (const Contribution& tap : ys[y])
                    sum += tap.weight * column.At(0, RefClamp(tap.pixel, 0, h - 1))[c];
                out.At(x, y)[c] = uint8_t(RefClamp(sum / 256, 0, 255));
            }
    }
}

// A 2 x 1 picture whose two pixels have all three bytes set to a and b, resampled to 4 x 1.
std::vector<int> ResampleTwo(uint8_t a, uint8_t b)
{
    Picture p;
    EXPECT_TRUE(p.CreatePixels(2, 1));
    std::memset(p.At(0, 0), a, 3);
    std::memset(p.At(1, 0), b, 3);
    EXPECT_TRUE(ResamplePicture(p, 4, 1));
    std::vector<int> out;
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(p.At(x, 0)[0], p.At(x, 0)[2]);
        out.push_back(p.At(x, 0)[1]);
    }
    return out;
}

class AbortAtRow : public IScaleObserver {
public:
    explicit AbortAtRow(int row) : m_row(row) {}
    void RowDone(int32_t y) override
    {
        if (y == m_row)
            g_bAbortImageWork = 1;
    }
    void OutOfMemory() override { ++messages; }
    int messages = 0;

private:
    int m_row;
};

class ScalingTest : public ::testing::Test {
protected:
    void TearDown() override { g_bAbortImageWork = 0; }
    std::mt19937 random {20240607};
};

// ---- Tests ---------------------------------------------------------------------------------

TEST_F(ScalingTest, FitAspectKeepsTheProportionsInsideTheBox)
{
    auto fit = [](int w, int h, int cx, int cy) {
        const PictureSize s = FitAspect(w, h, cx, cy);
        return std::make_pair(s.cx, s.cy);
    };
    EXPECT_EQ(fit(800, 600, 1024, 768), std::make_pair(1024, 768)); // equal ratios: second rule
    EXPECT_EQ(fit(600, 800, 1024, 768), std::make_pair(576, 768));
    EXPECT_EQ(fit(1000, 100, 1024, 768), std::make_pair(1024, 102));
    EXPECT_EQ(fit(0, 0, 1024, 768), std::make_pair(0, 0));
}

TEST_F(ScalingTest, MitchellKernelValues)
{
    EXPECT_DOUBLE_EQ(MitchellFilter(0), 8.0 / 9.0);
    EXPECT_NEAR(MitchellFilter(1), 1.0 / 18.0, 1e-12);
    EXPECT_DOUBLE_EQ(MitchellFilter(-1.5), MitchellFilter(1.5));
    EXPECT_NEAR(MitchellFilter(1.5), -0.0347222, 1e-6);
    EXPECT_EQ(MitchellFilter(2), 0.0);
    EXPECT_EQ(MitchellFilter(-7), 0.0);
}

TEST_F(ScalingTest, ContributionsMatchTheRulesForManySizes)
{
    ContributionTable table;
    ASSERT_TRUE(BuildContributions(2, 4, 2.0f, 2.0f, MitchellFilter, table));
    ASSERT_EQ(table.Count(0), 5);
    // 256 x (0, 1/18, 8/9, 1/18, 0) truncates to 0, 14, 227, 14, 0: the lost 1 goes to the centre.
    const int pixels0[] = {1, 1, 0, 1, 1}, weights0[] = {0, 14, 228, 14, 0};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(table.List(0)[k].pixel, pixels0[k]);
        EXPECT_EQ(table.List(0)[k].weight, weights0[k]);
    }
    ASSERT_EQ(table.Count(1), 4);
    const int weights1[] = {-8, 136, 136, -8}; // already sums to 256
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(table.List(1)[k].weight, weights1[k]);

    for (int n : {1, 2, 3, 7, 100, 1001, 6000})
        for (int m : {1, 2, 5, 64, 333, 1920}) {
            const float scale = float(double(m) / n);
            ASSERT_TRUE(BuildContributions(n, m, scale, 2.0f, MitchellFilter, table));
            const auto ref = RefContributions(n, m, scale);
            for (int i = 0; i < m; ++i) {
                ASSERT_EQ(table.Count(i), int(ref[i].size())) << n << "->" << m << " at " << i;
                int sum = 0;
                for (int k = 0; k < table.Count(i); ++k) {
                    EXPECT_EQ(table.List(i)[k].pixel, RefClamp(ref[i][k].pixel, 0, n - 1));
                    EXPECT_EQ(table.List(i)[k].weight, ref[i][k].weight);
                    sum += table.List(i)[k].weight;
                }
                EXPECT_EQ(sum, kWeightUnit) << n << "->" << m << " at " << i;
            }
        }
}

TEST_F(ScalingTest, ResizeTakesCornersAndCopiesAtTheSameSize)
{
    Picture p, same;
    Fill(p, 7, 5, random);
    Copy(p, same);
    ASSERT_TRUE(ResizePicture(same, 7, 5));
    EXPECT_TRUE(SameBytes(same.Pixels(), p.Pixels()));

    uint8_t bottomLeft[3];
    std::memcpy(bottomLeft, p.At(0, 0), 3);
    ASSERT_TRUE(ResizePicture(p, 1, 1));
    EXPECT_EQ(std::memcmp(p.At(0, 0), bottomLeft, 3), 0);
    EXPECT_EQ(p.Pixels().Row(0)[3], 0); // row end stays zero
}

TEST_F(ScalingTest, ResampleGivesTheDefinedBytes)
{
    EXPECT_EQ(ResampleTwo(200, 200), (std::vector<int> {200, 200, 200, 200}));
    // The row's lists (pixel 0, pixel 1 after reflection): (228, 28), (136, 120), (14, 242),
    // (-16, 272); each byte is 255 x the weight of pixel 1 / 256, truncated and clamped. The
    // one-row vertical pass then takes every byte whole.
    EXPECT_EQ(ResampleTwo(0, 255), (std::vector<int> {27, 119, 241, 255}));

    // A source one pixel wide: every tap lands on pixel 0.
    ContributionTable table;
    ASSERT_TRUE(BuildContributions(1, 3, 3.0f, 2.0f, MitchellFilter, table));
    for (const Contribution& tap : table.taps)
        EXPECT_EQ(tap.pixel, 0);
    Picture p;
    ASSERT_TRUE(p.CreatePixels(1, 1));
    std::memset(p.At(0, 0), 100, 3);
    ASSERT_TRUE(ResamplePicture(p, 3, 1));
    for (int x = 0; x < 3; ++x)
        EXPECT_EQ(p.At(x, 0)[1], 100) << x;
}

TEST_F(ScalingTest, FastScalingMatchesTheReferenceOnRandomPictures)
{
    const int sizes[][4] = {
        {1, 1, 5, 3},    {7, 5, 3, 2},    {13, 11, 29, 17}, {33, 1, 8, 9},     {1, 17, 4, 4},
        {16, 8, 5, 20},  {100, 60, 37, 23}, {41, 97, 97, 41}, {250, 3, 7, 1},  {257, 5, 1, 1},
        {64, 64, 64, 64}, {12, 4, 12, 9}, {203, 151, 64, 48}, {31, 29, 257, 3},
    };
    for (const auto& s : sizes) {
        Picture src, fast, ref;
        Fill(src, s[0], s[1], random);
        Copy(src, fast);
        RefResample(src, s[2], s[3], ref);
        ASSERT_TRUE(ResamplePicture(fast, s[2], s[3]));
        EXPECT_TRUE(SameBytes(fast.Pixels(), ref.Pixels())) << "Resample " << s[0] << "x" << s[1] << " -> " << s[2]
                                                            << "x" << s[3];
        Copy(src, fast);
        RefResize(src, s[2], s[3], ref);
        ASSERT_TRUE(ResizePicture(fast, s[2], s[3]));
        EXPECT_TRUE(SameBytes(fast.Pixels(), ref.Pixels())) << "Resize " << s[0] << "x" << s[1] << " -> " << s[2]
                                                            << "x" << s[3];
    }
}

TEST_F(ScalingTest, PlainAndVectorLoopsAgree)
{
    if (!scaling_rows::kHaveVectorLoops)
        GTEST_SKIP() << "no vector loops on this processor";
#if defined(__SSE2__)
    using namespace scaling_rows;
    for (const auto& s : {std::make_pair(97, 31), std::make_pair(40, 123), std::make_pair(5, 5)}) {
        const int n = s.first, m = s.second;
        Picture src, plain, vector;
        Fill(src, n, n, random);
        ContributionTable table;
        ASSERT_TRUE(BuildContributions(n, m, float(double(m) / n), 2.0f, MitchellFilter, table));
        // Rows: the picture's padding gives the vector loop its spare byte.
        ASSERT_TRUE(plain.CreatePixels(m, n));
        ASSERT_TRUE(vector.CreatePixels(m, n));
        PairedTaps pixels;
        ASSERT_TRUE(PairTaps(table, m, 3, pixels));
        for (int y = 0; y < n - 1; ++y) {
            FilterRowPlain(src.Pixels().Row(y), plain.Pixels().Row(y), m, table);
            FilterRowVector(src.Pixels().Row(y), vector.Pixels().Row(y), m, pixels);
        }
        // Columns: output row y of a picture n wide from the taps over the source rows.
        PairedTaps rows;
        ASSERT_TRUE(PairTaps(table, m, src.Pixels().stride, rows));
        for (int y = 0; y < m && y < n; ++y) {
            FilterColumnsPlain(src.Pixels(), plain.At(0, y), 0, 3 * std::min(n, m), table.List(y), table.Count(y));
            FilterColumnsVector(src.Pixels().bits, vector.At(0, y), 3 * std::min(n, m),
                                rows.pairs.data() + rows.first[y], rows.first[y + 1] - rows.first[y]);
        }
        EXPECT_TRUE(SameBytes(plain.Pixels(), vector.Pixels())) << n << " -> " << m;
    }
#endif
}

TEST_F(ScalingTest, AbortStopsResizeAndLowersTheFlag)
{
    Picture p, before;
    Fill(p, 40, 30, random);
    Copy(p, before);
    AbortAtRow observer(3);
    EXPECT_FALSE(ResizePicture(p, 80, 60, &observer));
    EXPECT_TRUE(SameBytes(p.Pixels(), before.Pixels()));
    EXPECT_EQ(g_bAbortImageWork, 0);
}

TEST_F(ScalingTest, AbortInTheHorizontalPassLeavesResampleUnchangedAndTheFlagRaised)
{
    Picture p, before;
    Fill(p, 40, 30, random);
    Copy(p, before);
    AbortAtRow observer(3);
    EXPECT_FALSE(ResamplePicture(p, 80, 60, &observer));
    EXPECT_TRUE(SameBytes(p.Pixels(), before.Pixels()));
    EXPECT_EQ(g_bAbortImageWork, 1);
    EXPECT_EQ(observer.messages, 0);

    // Raised before the work starts: nothing is done either.
    EXPECT_FALSE(ResamplePicture(p, 10, 10));
    EXPECT_TRUE(SameBytes(p.Pixels(), before.Pixels()));
    EXPECT_EQ(g_bAbortImageWork, 1);
}

TEST_F(ScalingTest, PicturesBeyondTheSizeLimitAreOutOfMemory)
{
    Picture p, before;
    Fill(p, 2, 2, random);
    Copy(p, before);
    AbortAtRow observer(-1);
    // The intermediate picture, 200000000 x 2, would exceed kMaxPictureBytes.
    EXPECT_FALSE(ResamplePicture(p, 200000000, 2, &observer));
    EXPECT_EQ(observer.messages, 1);
    EXPECT_FALSE(ResizePicture(p, 200000000, 2, &observer));
    EXPECT_EQ(observer.messages, 1); // Resize fails without a message
    EXPECT_TRUE(SameBytes(p.Pixels(), before.Pixels()));
    // A size that is not positive is refused at once, without a message.
    EXPECT_FALSE(ResamplePicture(p, 0, 5, &observer));
    EXPECT_EQ(observer.messages, 1);
}

} // namespace
