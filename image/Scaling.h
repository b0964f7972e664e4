// Fitting pictures into a box and scaling them (portable).
//
// Both scaling operations replace the picture in place and poll g_bAbortImageWork before each
// row they produce. The results are defined to the byte: nearest neighbour with
// corner-aligned sampling, and a two-pass Mitchell-Netravali filter with 8-bit fixed-point
// weights, each output pixel's weights summing to exactly one (flat areas stay flat).
#pragma once
#include "image/Pixels.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct PictureSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

// The largest size with the proportions of a width x height picture inside a cx x cy box.
// An empty picture gives 0 x 0.
PictureSize FitAspect(int32_t width, int32_t height, int32_t cx, int32_t cy);

// The Mitchell-Netravali cubic with B = C = 1/3; zero from |t| = 2 on.
double MitchellFilter(double t);

// The fixed-point one of the filter weights: a weight of kWeightUnit takes a source byte whole.
constexpr int32_t kWeightUnit = 256;

// One filter tap: a source pixel and its weight (the real weight x kWeightUnit, truncated; the
// heaviest tap of a list also carries what the truncation of the whole list dropped).
struct Contribution {
    int32_t pixel;
    int32_t weight;
};

// The taps of every output pixel along one axis, list after list: the taps of output pixel i
// are taps[first[i]] up to (not including) taps[first[i + 1]], in increasing source position,
// zero weights included. The weights of each list sum to exactly kWeightUnit, however many
// taps it has.
struct ContributionTable {
    std::vector<size_t> first;
    std::vector<Contribution> taps;

    int32_t Count(int32_t i) const { return static_cast<int32_t>(first[i + 1] - first[i]); }
    const Contribution* List(int32_t i) const { return taps.data() + first[i]; }
};

// Told about what happens inside a scaling run; every function may be left as it is.
class IScaleObserver {
public:
    virtual ~IScaleObserver() = default;
    // Memory ran short; called once for each message the user is to be shown.
    virtual void OutOfMemory() {}
    // Resize finished output row y; Resample finished source row y of its horizontal pass.
    virtual void RowDone(int32_t /*y*/) {}
};

// The taps that map n source pixels onto m output pixels, output pixel i centred on source
// position i / scale (no half-pixel offset). Source positions outside the picture are
// reflected at both ends and then clamped into 0..n-1. When shrinking, the kernel is
// stretched by 1 / scale. Each weight is truncated toward zero and what the list lost that way
// is added to its heaviest tap (the first of equals), so that every list sums to kWeightUnit.
// A very strong shrink (beyond about 228 for the Mitchell kernel) truncates every weight to 0:
// the heaviest tap then takes the whole unit. False (after observer->OutOfMemory()) when memory
// is short.
bool BuildContributions(int32_t n, int32_t m, float scale, float support, double (*kernel)(double),
                        ContributionTable& table, IScaleObserver* observer = nullptr);

// Nearest-neighbour scaling to cx x cy. Abort: false, picture unchanged, flag cleared.
// Out of memory: false, the picture unchanged or, when it could not be recreated, empty.
bool ResizePicture(IPixelTarget& picture, int32_t cx, int32_t cy, IScaleObserver* observer = nullptr);

// Two-pass filtered scaling to cx x cy, horizontal pass first. Abort: false, flag left set;
// the picture is unchanged when the abort came in the horizontal pass. Out of memory: false
// after observer->OutOfMemory() (twice when a tap table failed). A target size that is not
// positive, or an empty picture, gives false at once.
bool ResamplePicture(IPixelTarget& picture, int32_t cx, int32_t cy, IScaleObserver* observer = nullptr);
