// Helpers of the fuzz targets: the readers take paths, so every input is handed over as a
// file in memory (memfd) reached through /proc/self/fd, read by the program's own code.
#pragma once
#include "image/FittedLoad.h"
#include "image/Pixels.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

// One in-memory file per process, rewritten for each input.
class MemoryFile {
public:
    explicit MemoryFile(const char* name)
    {
        m_fd = memfd_create(name, 0);
        if (m_fd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemoryFile() { close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // The file now holds exactly these bytes; returns its path.
    const char* Hold(const uint8_t* data, size_t size)
    {
        if (ftruncate(m_fd, 0) != 0 || (size && pwrite(m_fd, data, size, 0) != ssize_t(size))) {
            std::perror("memfd write");
            std::abort();
        }
        return m_path.c_str();
    }

private:
    int m_fd = -1;
    std::string m_path;
};

// Reads little-endian numbers off the front of an input; past its end everything is zero.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t U8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t U16() { return uint16_t(U8() | U8() << 8); }
    uint32_t U32() { return U16() | uint32_t(U16()) << 16; }
    const uint8_t* Rest() const { return m_data + m_pos; }
    size_t Left() const { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// A finding that no sanitizer would report (a broken promise of the code under test).
[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// A picture the readers fill; every row, padding included, is touched once so that a reader
// that left rows uninitialised or wrote past a row shows up under the sanitizers.
inline uint64_t TouchPixels(const PixelImage& image)
{
    uint64_t sum = 0;
    for (int32_t y = 0; image.bits && y < image.height; ++y) {
        const uint8_t* row = image.Row(y);
        for (int32_t i = 0; i < image.stride; ++i)
            sum += row[i];
    }
    return sum;
}

// The same input fitted into a small box as a wallpaper's preparation loads it (load takes the
// request and the target): read line by line into the scaler, it must load exactly when the
// whole load did.
template <class Load> void CheckFittedLoad(bool wholeLoaded, Load load)
{
    CMemoryPicture fitted;
    const FitRequest request {64, 48, true, ScaleMethod::resample};
    const FittedLoad result = load(request, fitted);
    if (result.streamed && result.loaded != wholeLoaded)
        Fail(wholeLoaded ? "the fitted load failed where the whole load worked"
                         : "the fitted load worked where the whole load failed");
    if (result.loaded)
        TouchPixels(fitted.Pixels());
}

} // namespace fuzz
