// Which reader a picture file goes to: its signature first, its extension for TGA and as the
// tie-breaker.
#include "image/FileKind.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

PictureFileKind OfBytes(const std::string& bytes)
{
    return PictureFileKindOfSignature(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class FileKindOfFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("murlavo-kind-" + std::to_string(std::random_device {}()));
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    fs::path m_dir;
};

const std::string kPng("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
const std::string kJpeg("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11);

} // namespace

TEST(FileKind, ExtensionsOfEveryKindIgnoringCase)
{
    for (const char* name : {"a.jpg", "a.JPEG", "a.jpe", "a.Jfif"})
        EXPECT_EQ(PictureFileKindOf(name), PictureFileKind::jpeg) << name;
    EXPECT_EQ(PictureFileKindOf("a.PNG"), PictureFileKind::png);
    EXPECT_EQ(PictureFileKindOf("a.gif"), PictureFileKind::gif);
    EXPECT_EQ(PictureFileKindOf("a.WebP"), PictureFileKind::webp);
    EXPECT_EQ(PictureFileKindOf("a.tif"), PictureFileKind::tiff);
    EXPECT_EQ(PictureFileKindOf("a.tiff"), PictureFileKind::tiff);
    EXPECT_EQ(PictureFileKindOf("a.jpgx"), PictureFileKind::unknown);
    EXPECT_EQ(PictureFileKindOf(nullptr), PictureFileKind::unknown);
}

TEST(FileKind, SignaturesNeedTheirWholeMark)
{
    EXPECT_EQ(OfBytes("BM\x36\0"), PictureFileKind::bitmap);
    EXPECT_EQ(OfBytes(kJpeg), PictureFileKind::jpeg);
    EXPECT_EQ(OfBytes(kPng), PictureFileKind::png);
    EXPECT_EQ(OfBytes("GIF89a\x01\0"), PictureFileKind::gif);
    EXPECT_EQ(OfBytes("GIF87a"), PictureFileKind::gif);
    EXPECT_EQ(OfBytes(std::string("RIFF\x24\0\0\0WEBPVP8 ", 16)), PictureFileKind::webp);
    EXPECT_EQ(OfBytes(std::string("II*\0\x08\0\0\0", 8)), PictureFileKind::tiff);
    EXPECT_EQ(OfBytes(std::string("MM\0*\0\0\0\x08", 8)), PictureFileKind::tiff);
    // Cut short, or almost: no kind.
    EXPECT_EQ(OfBytes(kPng.substr(0, 7)), PictureFileKind::unknown);
    EXPECT_EQ(OfBytes("\xFF\xD8"), PictureFileKind::unknown);
    EXPECT_EQ(OfBytes("GIF88a"), PictureFileKind::unknown);
    EXPECT_EQ(OfBytes(std::string("RIFF\x24\0\0\0WAVE", 12)), PictureFileKind::unknown);
    EXPECT_EQ(OfBytes(std::string("RIFF\x24\0\0\0WEB", 11)), PictureFileKind::unknown);
    EXPECT_EQ(OfBytes("B"), PictureFileKind::unknown);
    EXPECT_EQ(OfBytes(""), PictureFileKind::unknown);
    EXPECT_EQ(PictureFileKindOfSignature(nullptr, 4), PictureFileKind::unknown);
    // A TGA header (no signature) never looks like one: its second byte is 0 or 1.
    EXPECT_EQ(OfBytes(std::string("\0\0\x02\0\0\0\0\0\0\0\0\0", 12)), PictureFileKind::unknown);
}

TEST_F(FileKindOfFileTest, ContentDecidesAndTheExtensionOnlyWithoutASignature)
{
    EXPECT_EQ(PictureFileKindOfFile(Write("png-named.jpg", kPng).c_str()), PictureFileKind::png);
    EXPECT_EQ(PictureFileKindOfFile(Write("jpeg-named.bmp", kJpeg).c_str()), PictureFileKind::jpeg);
    EXPECT_EQ(PictureFileKindOfFile(Write("no-extension", kJpeg).c_str()), PictureFileKind::jpeg);
    EXPECT_EQ(PictureFileKindOfFile(Write("photo.jpeg", kJpeg).c_str()), PictureFileKind::jpeg);
    // No signature: the extension's kind, whose reader then judges the file as before.
    EXPECT_EQ(PictureFileKindOfFile(Write("pic.tga", std::string("\0\0\x02\0\0\0\0\0\0\0\0\0", 12)).c_str()),
              PictureFileKind::tga);
    EXPECT_EQ(PictureFileKindOfFile(Write("short.jpg", "\xFF").c_str()), PictureFileKind::jpeg);
    EXPECT_EQ(PictureFileKindOfFile(Write("empty", "").c_str()), PictureFileKind::bitmap);
    EXPECT_EQ(PictureFileKindOfFile((m_dir / "missing.png").string().c_str()), PictureFileKind::png);
    EXPECT_EQ(PictureFileKindOfFile(nullptr), PictureFileKind::unknown);
}
