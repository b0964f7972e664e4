// Helpers of the file-format tests: a plain memory picture, a scratch folder, whole-file
// reads and writes, and capture of what the code writes to standard output.
#pragma once
#include "image/Pixels.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A picture in plain memory that keeps the IPixelTarget contract and counts its creations.
class MemoryPicture : public IPixelTarget {
public:
    bool CreatePixels(int32_t width, int32_t height) override;
    PixelImage Pixels() const override;

    // Blue, green, red of pixel (x, y), y counted from the bottom row.
    std::array<uint8_t, 3> Pixel(int32_t x, int32_t y) const;
    // The zero bytes after the last pixel of every row are still zero.
    bool RowEndsZero() const;

    std::vector<uint8_t> bytes;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    int creations = 0;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string Path(const std::string& name) const;

private:
    std::string m_folder;
};

// A picture file other people made (the libjpeg-turbo source package's testimages folder), or
// an empty string when that folder is not there.
std::string TestImagePath(const std::string& name);

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Redirects standard output (the C stream and its descriptor) into a file until Finish,
// which returns what was written with carriage returns removed.
class StdoutCapture {
public:
    explicit StdoutCapture(const std::string& path);
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    std::string Finish();

private:
    std::string m_path;
    int m_saved = -1;
};

// The two pictures have the same size and pixels (the first difference is reported with
// name), and got's row ends are zero.
void ExpectSamePicture(const MemoryPicture& got, const MemoryPicture& want, const std::string& name);

// The fixture of a file reader's tests: files written into a scratch folder, the reader's
// error text, and a stop request (g_bAbortImageWork) withdrawn after each test.
class ReaderTest : public ::testing::Test {
protected:
    void TearDown() override;
    // Writes the file under this name in the scratch folder; returns its path.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes);

    ScratchFolder scratch;
    char lastError[256] = "";
};
