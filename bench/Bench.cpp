// Times the picture pipeline on a synthetic 6000 x 4000 picture: Resize and Resample to
// 1920 x 1080 and 2560 x 1440, and writing a 24-bit bitmap file. Reports the median of
// several runs and the peak memory (resident set) of each operation.
//
//   murlavo_bench [--runs N] [--dir FOLDER] [--only TEXT] [--write-input FILE.bmp]
//
// --only runs the operations whose names contain TEXT (for profiling one of them).
// --write-input only writes the synthetic picture as a bitmap file (the input of the
// comparison in bench/run.sh) and ends.
#include "image/Bitmap.h"
#include "image/Pixels.h"
#include "image/Scaling.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

// Smooth gradients with a little noise, like a photograph: the filter's clamping stays rare.
bool MakeSource(CMemoryPicture& picture)
{
    if (!picture.CreatePixels(kWidth, kHeight))
        return false;
    const PixelImage image = picture.Pixels();
    uint32_t state = 12345;
    for (int32_t y = 0; y < image.height; ++y) {
        uint8_t* p = image.Row(y);
        for (int32_t x = 0; x < image.width; ++x, p += 3) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = int(state & 15) - 8;
            p[0] = static_cast<uint8_t>(std::clamp(x * 200 / kWidth + 20 + noise, 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(y * 200 / kHeight + 20 + noise, 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp((x + y) % 400 / 2 + 20 + noise, 0, 255));
        }
    }
    return true;
}

bool CopyPicture(const PixelImage& from, CMemoryPicture& to)
{
    if (!to.CreatePixels(from.width, from.height))
        return false;
    std::memcpy(to.Pixels().bits, from.bits, size_t(from.stride) * size_t(from.height));
    return true;
}

// A memory figure of the process in MiB (Linux): "VmHWM:" the peak resident set since the
// last ResetPeakMemory, "VmRSS:" the resident set now. -1 when unknown.
double MemoryMiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::atof(line.c_str() + std::strlen(field)) / 1024.0;
    }
    return -1;
}

void ResetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

struct Result {
    std::string name;
    double medianMs;
    double minMs;
    double maxMs;
    double peakMiB;  // of the whole process
    double extraMiB; // above what the process held when the operation started
};

// Runs the operation on a fresh copy of the source picture; only the operation is timed.
bool Measure(const std::string& name, const std::string& only, int runs, const PixelImage& source,
             const std::function<bool(CMemoryPicture&)>& op, std::vector<Result>& results)
{
    if (name.find(only) == std::string::npos)
        return true;
    std::vector<double> times;
    double peak = 0, extra = 0;
    for (int run = 0; run < runs; ++run) {
        CMemoryPicture picture;
        if (!CopyPicture(source, picture))
            return false;
        ResetPeakMemory();
        const double before = MemoryMiB("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        const bool ok = op(picture);
        const auto end = std::chrono::steady_clock::now();
        if (!ok) {
            std::fprintf(stderr, "%s failed\n", name.c_str());
            return false;
        }
        peak = std::max(peak, MemoryMiB("VmHWM:"));
        extra = std::max(extra, MemoryMiB("VmHWM:") - before);
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    results.push_back({name, times[times.size() / 2], times.front(), times.back(), peak, extra});
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 7;
    std::string dir = "/tmp";
    const char* inputFile = nullptr;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--dir") && i + 1 < argc)
            dir = argv[++i];
        else if (!std::strcmp(argv[i], "--only") && i + 1 < argc)
            only = argv[++i];
        else if (!std::strcmp(argv[i], "--write-input") && i + 1 < argc)
            inputFile = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--dir FOLDER] [--only TEXT] [--write-input FILE.bmp]\n", argv[0]);
            return 2;
        }
    }

#if defined(__GLIBC__)
    // Every large block straight from the system and back, as on Windows: no freed pages kept
    // in the heap for the next operation, so each one pays for the memory it uses.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    CMemoryPicture source;
    if (!MakeSource(source)) {
        std::fprintf(stderr, "cannot make the %dx%d source picture\n", kWidth, kHeight);
        return 1;
    }
    const PixelImage src = source.Pixels();
    if (inputFile)
        return SaveBitmapPixels(inputFile, src, 0) ? 0 : 1;

    const std::string outFile = dir + "/murlavo-bench-out.bmp";
    std::vector<Result> results;
    bool ok = true;
    for (const auto& size : {PictureSize {1920, 1080}, PictureSize {2560, 1440}}) {
        const std::string suffix = " " + std::to_string(size.cx) + "x" + std::to_string(size.cy);
        ok = ok && Measure("Resize" + suffix, only, runs, src,
                           [&](CMemoryPicture& p) { return ResizePicture(p, size.cx, size.cy); }, results);
        ok = ok && Measure("Resample" + suffix, only, runs, src,
                           [&](CMemoryPicture& p) { return ResamplePicture(p, size.cx, size.cy); }, results);
    }
    ok = ok && Measure("SaveBitmapFile 6000x4000", only, runs, src,
                       [&](CMemoryPicture& p) { return SaveBitmapPixels(outFile.c_str(), p.Pixels(), 0); }, results);
    std::remove(outFile.c_str());

    std::printf("source %dx%d, %d runs each; the process holds the source and a working copy of it (%.0f MiB each)\n",
                kWidth, kHeight, runs, double(src.stride) * src.height / (1024.0 * 1024.0));
    std::printf("%-26s %10s %10s %10s %10s %10s\n", "operation", "median ms", "min ms", "max ms", "peak MiB", "extra MiB");
    for (const Result& r : results)
        std::printf("%-26s %10.1f %10.1f %10.1f %10.0f %10.0f\n", r.name.c_str(), r.medianMs, r.minMs, r.maxMs,
                    r.peakMiB, r.extraMiB);
    return ok ? 0 : 1;
}
