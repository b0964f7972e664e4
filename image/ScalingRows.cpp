#include "image/ScalingRows.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scaling_rows {

namespace {

// An accumulated byte: the sum / 256 truncated toward zero, clamped to 0..255.
uint8_t ToByte(int32_t sum)
{
    if (sum < 0)
        return 0;
    return sum >= 256 * 256 ? 255 : static_cast<uint8_t>(sum >> 8);
}

bool Fits16(int32_t value)
{
    return value >= -32768 && value <= 32767;
}

} // namespace

bool PairTaps(const ContributionTable& table, int32_t count, int64_t unit, PairedTaps& paired)
{
    paired.first.assign(1, 0);
    paired.pairs.clear();
    paired.first.reserve(size_t(count) + 1);
    paired.pairs.reserve(table.taps.size() / 2 + size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        const Contribution* taps = table.List(i);
        const int32_t n = table.Count(i);
        for (int32_t k = 0; k < n; k += 2) {
            const Contribution a = taps[k];
            const Contribution b = k + 1 < n ? taps[k + 1] : Contribution {0, 0};
            const int64_t offset0 = a.pixel * unit, offset1 = b.pixel * unit;
            if (!Fits16(a.weight) || !Fits16(b.weight) || offset0 > INT32_MAX || offset1 > INT32_MAX)
                return false;
            const uint32_t weights = uint32_t(uint16_t(a.weight)) | uint32_t(uint16_t(b.weight)) << 16;
            paired.pairs.push_back({int32_t(offset0), int32_t(offset1), int32_t(weights)});
        }
        paired.first.push_back(paired.pairs.size());
    }
    return true;
}

void FilterRowPlain(const uint8_t* src, uint8_t* dst, int32_t cx, const ContributionTable& table)
{
    for (int32_t x = 0; x < cx; ++x, dst += 3) {
        const Contribution* tap = table.List(x);
        const Contribution* end = tap + table.Count(x);
        int32_t blue = 0, green = 0, red = 0;
        for (; tap != end; ++tap) {
            const uint8_t* s = src + 3 * tap->pixel;
            blue += tap->weight * s[0];
            green += tap->weight * s[1];
            red += tap->weight * s[2];
        }
        dst[0] = ToByte(blue);
        dst[1] = ToByte(green);
        dst[2] = ToByte(red);
    }
}

void FilterColumnsPlain(const PixelImage& src, uint8_t* dst, int32_t begin, int32_t end, const Contribution* taps,
                        int32_t count)
{
    for (int32_t i = begin; i < end; ++i) {
        int32_t sum = 0;
        for (int32_t k = 0; k < count; ++k)
            sum += taps[k].weight * src.Row(taps[k].pixel)[i];
        dst[i] = ToByte(sum);
    }
}

#if defined(__SSE2__)

namespace {

__m128i Load32(const uint8_t* p)
{
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

// Four 32-bit sums to bytes: shift by 8, then the saturating packs clamp to 0..255.
__m128i SumsToBytes(__m128i a, __m128i b, __m128i c, __m128i d)
{
    const __m128i ab = _mm_packs_epi32(_mm_srai_epi32(a, 8), _mm_srai_epi32(b, 8));
    const __m128i cd = _mm_packs_epi32(_mm_srai_epi32(c, 8), _mm_srai_epi32(d, 8));
    return _mm_packus_epi16(ab, cd);
}

} // namespace

void FilterRowVector(const uint8_t* src, uint8_t* dst, int32_t cx, const PairedTaps& taps)
{
    const __m128i zero = _mm_setzero_si128();
    const TapPair* pair = taps.pairs.data();
    for (int32_t x = 0; x < cx; ++x, dst += 3) {
        const TapPair* end = taps.pairs.data() + taps.first[x + 1];
        __m128i sum = zero;
        for (; pair != end; ++pair) {
            // Blue, green, red and the next byte of both pixels, interleaved as 16-bit
            // pairs and multiplied by the two weights: sums for blue, green, red, unused.
            const __m128i both = _mm_unpacklo_epi8(Load32(src + pair->offset0), Load32(src + pair->offset1));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi8(both, zero), _mm_set1_epi32(pair->weights)));
        }
        const int32_t bytes = _mm_cvtsi128_si32(SumsToBytes(sum, zero, zero, zero));
        std::memcpy(dst, &bytes, 3);
    }
}

void FilterColumnsVector(const uint8_t* src, uint8_t* dst, int32_t bytes, const TapPair* pairs, size_t count)
{
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
        for (size_t k = 0; k < count; ++k) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + pairs[k].offset0 + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + pairs[k].offset1 + i));
            const __m128i w = _mm_set1_epi32(pairs[k].weights);
            const __m128i lo = _mm_unpacklo_epi8(a, b);
            const __m128i hi = _mm_unpackhi_epi8(a, b);
            s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w));
            s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w));
            s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), SumsToBytes(s0, s1, s2, s3));
    }
    for (; i < bytes; ++i) {
        int32_t sum = 0;
        for (size_t k = 0; k < count; ++k) {
            const int32_t w0 = int16_t(pairs[k].weights & 0xFFFF), w1 = int16_t(uint32_t(pairs[k].weights) >> 16);
            sum += w0 * src[pairs[k].offset0 + i] + w1 * src[pairs[k].offset1 + i];
        }
        dst[i] = ToByte(sum);
    }
}

#endif

RowFilter::RowFilter(const ContributionTable& table, int32_t cx)
    : m_table(table), m_cx(cx), m_vector(kHaveVectorLoops && PairTaps(table, cx, 3, m_paired))
{
}

void RowFilter::Run(const uint8_t* src, int32_t width, bool spare, uint8_t* dst)
{
#if defined(__SSE2__)
    if (m_vector) {
        if (!spare) { // the loop reads 4 bytes of the last pixel
            m_copy.assign(src, src + 3 * size_t(width));
            m_copy.push_back(0);
            src = m_copy.data();
        }
        FilterRowVector(src, dst, m_cx, m_paired);
        return;
    }
#endif
    (void)width;
    (void)spare;
    FilterRowPlain(src, dst, m_cx, m_table);
}

ColumnFilter::ColumnFilter(const ContributionTable& table, int32_t cy, const PixelImage& src)
    : m_table(table), m_src(src), m_vector(kHaveVectorLoops && PairTaps(table, cy, src.stride, m_paired))
{
}

void ColumnFilter::Run(int32_t y, uint8_t* dst)
{
    const int32_t bytes = 3 * m_src.width;
#if defined(__SSE2__)
    if (m_vector) {
        const size_t first = m_paired.first[y];
        FilterColumnsVector(m_src.bits, dst, bytes, m_paired.pairs.data() + first, m_paired.first[y + 1] - first);
        return;
    }
#endif
    FilterColumnsPlain(m_src, dst, 0, bytes, m_table.List(y), m_table.Count(y));
}

} // namespace scaling_rows
