#include "unit/FormatTestSupport.h"

#include "image/AbortFlag.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#define DupFd _dup
#define Dup2Fd _dup2
#define FileNo _fileno
#define CloseFd _close
#else
#include <unistd.h>
#define DupFd dup
#define Dup2Fd dup2
#define FileNo fileno
#define CloseFd close
#endif

namespace fs = std::filesystem;

bool MemoryPicture::CreatePixels(int32_t w, int32_t h)
{
    ++creations;
    bytes.clear();
    width = height = stride = 0;
    if (w <= 0 || h <= 0 || int64_t(StrideFor(w)) * h > kMaxPictureBytes)
        return false;
    bytes.assign(size_t(StrideFor(w)) * h, 0);
    width = w;
    height = h;
    stride = StrideFor(w);
    return true;
}

PixelImage MemoryPicture::Pixels() const
{
    PixelImage view;
    view.bits = bytes.empty() ? nullptr : const_cast<uint8_t*>(bytes.data());
    view.width = width;
    view.height = height;
    view.stride = stride;
    return view;
}

std::array<uint8_t, 3> MemoryPicture::Pixel(int32_t x, int32_t y) const
{
    const uint8_t* p = &bytes.at(size_t(y) * stride + 3 * size_t(x));
    return {p[0], p[1], p[2]};
}

bool MemoryPicture::RowEndsZero() const
{
    for (int32_t y = 0; y < height; ++y)
        for (int32_t i = 3 * width; i < stride; ++i)
            if (bytes[size_t(y) * stride + i] != 0)
                return false;
    return true;
}

ScratchFolder::ScratchFolder()
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = fs::temp_directory_path() / ("murlavo-formats-" + std::to_string(random()));
        if (fs::create_directory(folder)) {
            m_folder = folder.string();
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

std::string ScratchFolder::Path(const std::string& name) const
{
    return (fs::path(m_folder) / name).string();
}

std::string TestImagePath(const std::string& name)
{
#ifdef MURLAVO_TEST_IMAGES
    std::error_code missing;
    if (fs::is_directory(MURLAVO_TEST_IMAGES, missing))
        return (fs::path(MURLAVO_TEST_IMAGES) / name).string();
#endif
    (void)name;
    return {};
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

StdoutCapture::StdoutCapture(const std::string& path) : m_path(path)
{
    fflush(stdout);
    FILE* sink = fopen(path.c_str(), "wb");
    if (!sink)
        throw std::runtime_error("cannot create " + path);
    m_saved = DupFd(FileNo(stdout));
    Dup2Fd(FileNo(sink), FileNo(stdout));
    fclose(sink);
}

StdoutCapture::~StdoutCapture()
{
    Finish();
}

std::string StdoutCapture::Finish()
{
    if (m_saved < 0)
        return {};
    fflush(stdout);
    Dup2Fd(m_saved, FileNo(stdout));
    CloseFd(m_saved);
    m_saved = -1;
    std::string text;
    for (uint8_t c : ReadWholeFile(m_path))
        if (c != '\r')
            text += static_cast<char>(c);
    return text;
}

void ExpectSamePicture(const MemoryPicture& got, const MemoryPicture& want, const std::string& name)
{
    ASSERT_EQ(got.width, want.width) << name;
    ASSERT_EQ(got.height, want.height) << name;
    for (int32_t y = 0; y < got.height; ++y)
        for (int32_t x = 0; x < got.width; ++x)
            ASSERT_EQ(got.Pixel(x, y), want.Pixel(x, y)) << name << " at " << x << ", " << y << " from the bottom";
    EXPECT_TRUE(got.RowEndsZero()) << name;
}

void ReaderTest::TearDown()
{
    g_bAbortImageWork = 0;
}

std::string ReaderTest::Write(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::string path = scratch.Path(name);
    WriteWholeFile(path, bytes);
    return path;
}
