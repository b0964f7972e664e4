// The inner loops of Resample (portable). Each loop exists in a plain form and, where the
// processor has SSE2, in a vector form that gives the same bytes; the tests hold the two
// against each other.
//
// The sums are 32-bit whatever the number of taps: a list's weights sum to kWeightUnit, and its
// negative weights (the kernel's small negative lobes, truncated toward zero) add only a few
// percent of it, so a sum stays within a few times 255 x kWeightUnit.
#pragma once
#include "image/Pixels.h"
#include "image/Scaling.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scaling_rows {

// Two taps of one list with their weights packed as 16-bit halves (first tap low), the
// operand layout of a multiply-add of 16-bit pairs. An odd list ends with a zero-weight tap.
struct TapPair {
    int32_t offset0; // byte offset of the first tap's pixel (row: byte offset of its row)
    int32_t offset1;
    int32_t weights;
};

// The pairs of every list of a table: list i is pairs[first[i]] .. pairs[first[i + 1]] - 1.
struct PairedTaps {
    std::vector<size_t> first;
    std::vector<TapPair> pairs;
};

// Pairs the taps of a table, each tap's pixel index times unit bytes. False when a weight
// does not fit 16 bits or an offset does not fit 32 bits (the plain loops then do the work).
// Throws std::bad_alloc.
bool PairTaps(const ContributionTable& table, int32_t count, int64_t unit, PairedTaps& paired);

// Horizontal pass of one row: output pixel x of dst sums the taps of list x over src.
void FilterRowPlain(const uint8_t* src, uint8_t* dst, int32_t cx, const ContributionTable& table);

// Vertical pass of one output row: byte i of dst sums the taps of one list over byte i of
// the source rows they name, for i in begin .. end - 1.
void FilterColumnsPlain(const PixelImage& src, uint8_t* dst, int32_t begin, int32_t end, const Contribution* taps,
                        int32_t count);

// The horizontal pass row by row, with the vector loop where it applies.
class RowFilter {
public:
    // Throws std::bad_alloc.
    RowFilter(const ContributionTable& table, int32_t cx);
    // Filters one source row of width pixels into cx output pixels. spare: the row may be read
    // one byte beyond its pixels (it has padding, or another row follows).
    void Run(const uint8_t* src, int32_t width, bool spare, uint8_t* dst);

private:
    const ContributionTable& m_table;
    int32_t m_cx;
    PairedTaps m_paired;
    bool m_vector;
    std::vector<uint8_t> m_copy;
};

// The vertical pass output row by output row, with the vector loop where it applies.
class ColumnFilter {
public:
    // Throws std::bad_alloc.
    ColumnFilter(const ContributionTable& table, int32_t cy, const PixelImage& src);
    // Output row y (3 x the source width bytes).
    void Run(int32_t y, uint8_t* dst);

private:
    const ContributionTable& m_table;
    PixelImage m_src;
    PairedTaps m_paired;
    bool m_vector;
};

#if defined(__SSE2__)
constexpr bool kHaveVectorLoops = true;
// As FilterRowPlain, with pixel offsets (unit 3). src must allow a 4-byte read at the last
// pixel: one byte beyond 3 x width.
void FilterRowVector(const uint8_t* src, uint8_t* dst, int32_t cx, const PairedTaps& taps);
// As FilterColumnsPlain over the whole row of width bytes, with row offsets (unit stride).
void FilterColumnsVector(const uint8_t* src, uint8_t* dst, int32_t bytes, const TapPair* pairs, size_t count);
#else
constexpr bool kHaveVectorLoops = false;
#endif

} // namespace scaling_rows
