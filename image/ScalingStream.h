// Resize and Resample over a picture whose rows arrive one at a time, top row first (the order
// a decoder hands them over), without ever holding the whole source picture (portable).
//
// The result is the same, byte for byte, as loading the whole picture and calling
// ResizePicture or ResamplePicture on it: the same tap tables, the same row loops. Only the
// order of the work differs. Resample filters each arriving row horizontally into a small ring
// of filtered rows and writes every output row as soon as the ring holds all the rows its
// vertical taps name; Resize copies the sampled pixels of each arriving row straight into the
// output rows that sample it.
#pragma once
#include "image/Pixels.h"
#include "image/Scaling.h"
#include "image/ScalingRows.h"

#include <cstdint>
#include <memory>
#include <vector>

enum class ScaleMethod { resize, resample };

class CStreamScaler {
public:
    // The output goes to target, which Start recreates at the output size. observer gets
    // RowDone as the whole-picture scalers give it: Resample for every source row it filters,
    // Resize for every output row; the observer's OutOfMemory is never called (Start reports
    // the shortage, the caller decides what to tell).
    explicit CStreamScaler(IPixelTarget& target, IScaleObserver* observer = nullptr);
    ~CStreamScaler();
    CStreamScaler(const CStreamScaler&) = delete;
    CStreamScaler& operator=(const CStreamScaler&) = delete;

    // Sets up scaling a width x height source to cx x cy and creates the target at cx x cy.
    // False when a size is not positive or memory is short (the target may then be empty).
    bool Start(int32_t width, int32_t height, int32_t cx, int32_t cy, ScaleMethod method);

    // Where the next source row is to be written: 3 x width bytes (blue, green, red), followed
    // by spare bytes the filter may read. Valid until the next call of RowDone.
    uint8_t* NextRow() { return m_line.data(); }

    // The row in NextRow() is complete (source rows come top row first). False when the abort
    // flag stopped the work, or more rows came than the source has. An abort leaves the flag as
    // the whole-picture scaler would: raised for Resample, lowered again for Resize.
    bool RowDone();

    // After the last row: true when every output row has been written and no abort came.
    bool Finish();

private:
    bool Abort();
    bool ResizeRow(int32_t row);
    bool ResampleRow(int32_t row);

    IPixelTarget& m_target;
    IScaleObserver* m_observer;
    PixelImage m_out;
    ScaleMethod m_method = ScaleMethod::resize;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_nextRow = -1;    // the source row (counted from the bottom) that arrives next
    int32_t m_nextOutput = -1; // the output row written next; they go from the top row down
    bool m_aborted = false;
    std::vector<uint8_t> m_line;

    // Resize: the byte offset of each output column's source pixel, and the row step.
    std::vector<int32_t> m_columns;
    float m_yStep = 0.0f;

    // Resample: the horizontal taps; the vertical taps with each source row replaced by its
    // slot in the ring; the range of source rows each output row reads, and the ranges
    // that the output rows 0..y read together (rows outside them are not needed any more).
    ContributionTable m_xTable;
    ContributionTable m_ringTable;
    std::vector<int32_t> m_lowest;
    std::vector<int32_t> m_lowestUpTo;
    std::vector<int32_t> m_highestUpTo;
    int32_t m_ringRows = 0;
    CMemoryPicture m_ring; // the filtered rows, source row r in ring row r % m_ringRows
    std::unique_ptr<scaling_rows::RowFilter> m_rowFilter;
    std::unique_ptr<scaling_rows::ColumnFilter> m_columnFilter;
};
