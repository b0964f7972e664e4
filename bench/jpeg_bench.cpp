// Decoding speed of LoadJpegFile on a 6000 x 4000 photo-like JPEG of quality 90, which the
// benchmark writes itself with libjpeg. Usage: jpeg_bench FILE.jpg [RUNS]
// Prints the timings, and "best_fresh_ms=N" and "best_reused_ms=N" lines for scripts.
#include "image/JpegFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

class BenchPicture : public IPixelTarget {
public:
    bool CreatePixels(int32_t width, int32_t height) override
    {
        m_view = PixelImage();
        if (width <= 0 || height <= 0 || int64_t(StrideFor(width)) * height > kMaxPictureBytes)
            return false;
        m_bytes.assign(size_t(StrideFor(width)) * height, 0);
        m_view.bits = m_bytes.data();
        m_view.width = width;
        m_view.height = height;
        m_view.stride = StrideFor(width);
        return true;
    }
    PixelImage Pixels() const override { return m_view; }

private:
    std::vector<uint8_t> m_bytes;
    PixelImage m_view;
};

// Smooth gradients with some texture and noise, so the file looks like a photo to the coder.
bool WritePhoto(const char* path)
{
    FILE* file = fopen(path, "wb");
    if (!file)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(kWidth) * 3);
    uint32_t seed = 12345;
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = int(seed >> 27) - 16;
            const int texture = ((x / 7 + y / 5) % 13) * 3;
            row[3 * x] = JSAMPLE(std::clamp(x * 255 / kWidth + noise + texture, 0, 255));
            row[3 * x + 1] = JSAMPLE(std::clamp(y * 255 / kHeight + noise, 0, 255));
            row[3 * x + 2] = JSAMPLE(std::clamp(128 + (x - y) / 64 + noise - texture, 0, 255));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: jpeg_bench FILE.jpg [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    if (!WritePhoto(argv[1])) {
        fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    // Fresh: a new picture per decode, as the program loads pictures (its pages are mapped and
    // zeroed inside the measurement). Reused: one picture for all decodes, so the time is the
    // decoder's alone.
    BenchPicture reused;
    for (const bool reuse : {false, true}) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            BenchPicture fresh;
            BenchPicture& picture = reuse ? reused : fresh;
            char lastError[256] = "";
            const auto start = std::chrono::steady_clock::now();
            const bool loaded = LoadJpegFile(argv[1], picture, lastError);
            const auto end = std::chrono::steady_clock::now();
            if (!loaded || picture.Pixels().width != kWidth || picture.Pixels().height != kHeight) {
                fprintf(stderr, "decoding failed: %s\n", lastError);
                return 1;
            }
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(times.begin(), times.end());
        const char* mode = reuse ? "reused" : "fresh";
        printf("LoadJpegFile %dx%d quality 90, %s picture: best %.1f ms, median %.1f ms over %d runs\n", kWidth,
               kHeight, mode, times.front(), times[times.size() / 2], runs);
        printf("best_%s_ms=%.1f\n", mode, times.front());
    }
    return 0;
}
