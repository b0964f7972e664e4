// The picture object over its DIB section: creation, bitmap files through the system's
// loader, dispatch by extension, drawing, the out-of-memory message of Resample, and files
// whose names the ANSI code page cannot hold or whose paths pass 260 characters.
#include "BitmapCases.h"
#include "image/AbortFlag.h"
#include "image/Bitmap.h"
#include "image/Orientation.h"
#include "image/PictureImage.h"
#include "image/WebpFile.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"
#include "unit/WidePictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

using namespace testing_support;

namespace {

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Unpadded(const CPictureImage& p)
{
    std::vector<uint8_t> bytes;
    for (int y = 0; y < p.m_nHeight; ++y)
        bytes.insert(bytes.end(), p.m_pBits + y * p.m_nStride, p.m_pBits + y * p.m_nStride + 3 * p.m_nWidth);
    return bytes;
}

// A picture that is sound: pixels, a section header that matches, zero row ends.
::testing::AssertionResult IsSound(const CPictureImage& p)
{
    if (!p.m_pBits || p.m_nWidth <= 0 || p.m_nHeight <= 0 || p.m_nStride != StrideFor(p.m_nWidth))
        return ::testing::AssertionFailure() << "no sound pixel array";
    const BITMAPINFOHEADER& h = p.m_dibSection.dsBmih;
    if (h.biWidth != p.m_nWidth || h.biHeight != p.m_nHeight || h.biBitCount != 24 || h.biCompression != BI_RGB ||
        p.m_dibSection.dsBm.bmBits != p.m_pBits)
        return ::testing::AssertionFailure() << "the section header does not match";
    for (int y = 0; y < p.m_nHeight; ++y)
        for (int i = 3 * p.m_nWidth; i < p.m_nStride; ++i)
            if (p.m_pBits[y * p.m_nStride + i])
                return ::testing::AssertionFailure() << "row end " << y << " not zero";
    return ::testing::AssertionSuccess();
}

class PictureImageTest : public ::testing::Test {
protected:
    void TearDown() override { g_bAbortImageWork = 0; }
    const std::string dir = ScratchDir("picture-image");
    const BitmapCase twoByTwo = BitmapCases()[3]; // 24-bit, 2 x 2
};

TEST_F(PictureImageTest, CreateGivesABlackSectionOfTheDescribedLayout)
{
    CPictureImage p;
    for (int width = 1; width <= 8; ++width) {
        ASSERT_TRUE(p.Create(width, 3));
        EXPECT_TRUE(IsSound(p)) << "width " << width;
        EXPECT_EQ(p.m_nStride, (3 * width + 3) / 4 * 4);
        EXPECT_EQ(p.m_dibSection.dsBmih.biSize, 40u);
        EXPECT_EQ(p.m_dibSection.dsBmih.biPlanes, 1);
        EXPECT_NE(p.m_hDrawDib, nullptr);
        for (int i = 0; i < p.m_nStride * 3; ++i)
            ASSERT_EQ(p.m_pBits[i], 0);
    }
    EXPECT_FALSE(p.Create(20000, 20000)); // 1.2 GB: beyond the limit
    EXPECT_EQ(p.m_pBits, nullptr);
    EXPECT_EQ(p.m_hBitmap, nullptr);
    EXPECT_FALSE(p.Create(4, -4));
    EXPECT_FALSE(p.Create(0, 4));
    ASSERT_TRUE(p.Create(2, 2));
    p.Destroy();
    EXPECT_EQ(p.m_pBits, nullptr);
    EXPECT_EQ(p.m_hDrawDib, nullptr);
    EXPECT_EQ(p.m_nWidth + p.m_nHeight + p.m_nStride, 0);
}

TEST_F(PictureImageTest, EveryDepthLoadsThroughTheSystemLoaderAndConvertDib)
{
    int n = 0;
    for (const BitmapCase& c : BitmapCases()) {
        const std::string path = dir + "\\case" + std::to_string(n++) + ".bmp";
        WriteFile(path, BitmapFileBytes(c));
        CPictureImage p;
        ASSERT_TRUE(p.LoadFile(path.c_str())) << c.name;
        EXPECT_TRUE(IsSound(p)) << c.name;
        EXPECT_EQ(Unpadded(p), c.expected) << c.name << " from a file";

        // The same header and table handed over directly.
        BITMAPINFOHEADER header {};
        header.biSize = 40;
        header.biWidth = c.width;
        header.biHeight = c.height;
        header.biPlanes = 1;
        header.biBitCount = c.bits;
        header.biCompression = c.compression;
        header.biClrUsed = c.clrUsed;
        std::vector<RGBQUAD> table(c.table.size());
        std::memcpy(table.data(), c.table.data(), table.size() * 4);
        CPictureImage q;
        q.ConvertDib(header, c.rows.data(), table.empty() ? nullptr : table.data());
        EXPECT_EQ(Unpadded(q), c.expected) << c.name << " through ConvertDib";
    }
}

TEST_F(PictureImageTest, EveryHeaderSizeWithEveryDepthItTakesLoadsExactly)
{
    int n = 0;
    for (uint32_t size : BitmapHeaderSizes())
        for (const BitmapCase& c : BitmapCases())
            for (uint32_t gap : {0u, 6u}) {
                if (!FitsHeader(c, size))
                    continue;
                const std::string path = dir + "\\header" + std::to_string(n++) + ".bmp";
                WriteFile(path, BitmapFileBytes(c, size, gap));
                CPictureImage p;
                ASSERT_TRUE(p.LoadFile(path.c_str())) << c.name << ", header " << size << ", gap " << gap;
                EXPECT_TRUE(IsSound(p)) << c.name << ", header " << size;
                EXPECT_EQ(Unpadded(p), c.expected) << c.name << ", header " << size << ", gap " << gap;
            }
}

// The libjpeg-turbo source package's bitmaps as they are, and stored again under every header
// and as 32 bits with and without masks, load as the portable reader reads them.
TEST_F(PictureImageTest, BitmapsOtherPeopleMadeLoadAsThePortableReaderReadsThem)
{
    const std::string folder = MURLAVO_TEST_IMAGES;
    int read = 0;
    for (const char* name : {"nightshot_iso_100.bmp", "vgl_5674_0098.bmp", "vgl_6434_0018a.bmp", "vgl_6548_0026a.bmp"}) {
        const std::string original = folder + "\\" + name;
        if (!FileExists(original))
            continue;
        CMemoryPicture reference;
        ASSERT_TRUE(LoadBitmapPixels(original.c_str(), reference)) << name;
        CPictureImage p;
        ASSERT_TRUE(p.LoadFile(original.c_str())) << name;
        const PixelImage r = reference.Pixels();
        ASSERT_EQ(p.m_nWidth, r.width);
        ASSERT_EQ(p.m_nHeight, r.height);
        EXPECT_EQ(std::memcmp(p.m_pBits, r.bits, size_t(r.stride) * r.height), 0) << name;

        BitmapCase wide {name, r.width, r.height, 32, 0, 0, {}, {}, Unpadded(p)};
        for (size_t i = 0; i < wide.expected.size(); i += 3)
            wide.rows.insert(wide.rows.end(), {wide.expected[i], wide.expected[i + 1], wide.expected[i + 2], 0x5A});
        BitmapCase masked = wide; // red and blue swapped through the masks
        masked.compression = BI_BITFIELDS;
        masked.table = {0x0000FF, 0x00FF00, 0xFF0000};
        for (size_t i = 0; i < masked.expected.size(); i += 3)
            std::swap(masked.expected[i], masked.expected[i + 2]);
        BitmapCase plain = wide; // 24 bits again, rows padded
        plain.bits = 24;
        plain.rows.assign(r.bits, r.bits + size_t(r.stride) * r.height);
        for (uint32_t size : BitmapHeaderSizes())
            for (const BitmapCase* variant : {&plain, &wide, &masked}) {
                if (!FitsHeader(*variant, size))
                    continue;
                const std::string path = dir + "\\again.bmp";
                WriteFile(path, BitmapFileBytes(*variant, size));
                CPictureImage q;
                ASSERT_TRUE(q.LoadFile(path.c_str())) << name << ", header " << size;
                EXPECT_EQ(Unpadded(q), variant->expected)
                    << name << ", header " << size << ", " << variant->bits << " bits " << variant->compression;
            }
        ++read;
    }
    if (read == 0)
        GTEST_SKIP() << "the libjpeg-turbo test pictures are not in " << folder;
}

TEST_F(PictureImageTest, TheContentChoosesTheReaderAndTheExtensionWhereThereIsNoSignature)
{
    // A bitmap loads under any name: its signature says what it is.
    const std::string bitmap = BitmapFileBytes(twoByTwo);
    ::CreateDirectoryA((dir + "\\my.pics").c_str(), nullptr);
    for (const char* name : {"\\pic.BMP", "\\photo", "\\pic.jpeg", "\\pic.gif", "\\my.pics\\photo"})
        WriteFile(dir + name, bitmap);
    CPictureImage p;
    for (const char* name : {"\\pic.BMP", "\\photo", "\\pic.jpeg", "\\pic.gif", "\\my.pics\\photo"}) {
        ASSERT_TRUE(p.Create(1, 1));
        ASSERT_TRUE(p.LoadFile((dir + name).c_str())) << name;
        EXPECT_EQ(Unpadded(p), twoByTwo.expected) << name;
    }
    // A JPEG likewise, under each of its extensions, none, or another kind's.
    ASSERT_TRUE(p.SaveFile((dir + "\\source.jpg").c_str()));
    const std::string jpeg = ReadWholeFile(dir + "\\source.jpg");
    for (const char* name : {"\\a.jpeg", "\\a.JPE", "\\a.jfif", "\\a-jpeg", "\\a.bmp", "\\a.tga"}) {
        WriteFile(dir + name, jpeg);
        CPictureImage q;
        EXPECT_TRUE(q.LoadFile((dir + name).c_str())) << name;
        EXPECT_EQ(q.m_nWidth, 2) << name;
    }
    // Without a signature, a name of no kind fails at once and leaves the picture as it was.
    const BYTE* bits = p.m_pBits;
    WriteFile(dir + "\\notes.txt", "not a picture at all");
    EXPECT_FALSE(p.LoadFile((dir + "\\notes.txt").c_str()));
    EXPECT_EQ(p.m_pBits, bits);
    EXPECT_EQ(Unpadded(p), twoByTwo.expected);
    EXPECT_FALSE(p.LoadFile((dir + "\\missing.bmp").c_str()));

    // Writing still goes by the extension.
    EXPECT_TRUE(p.SaveFile((dir + "\\out").c_str()));
    EXPECT_EQ(ReadWholeFile(dir + "\\out").size(), 54u + 16u);
    EXPECT_FALSE(p.SaveFile((dir + "\\out.png").c_str()));
    EXPECT_FALSE(p.SaveFile((dir + "\\out.tga").c_str()));
    EXPECT_FALSE(FileExists(dir + "\\out.png"));
    EXPECT_FALSE(FileExists(dir + "\\out.tga"));
}

TEST_F(PictureImageTest, SavedBitmapLoadsBackWithTheSectionsHeader)
{
    CPictureImage p;
    ASSERT_TRUE(p.Create(5, 3));
    for (int i = 0; i < p.m_nStride * 3; ++i)
        if (i % p.m_nStride < 15)
            p.m_pBits[i] = BYTE(i * 7);
    const std::string path = dir + "\\saved.bmp";
    ASSERT_TRUE(p.SaveBitmapFile(path.c_str()));
    const std::string file = ReadWholeFile(path);
    ASSERT_EQ(file.size(), 54u + 48u);
    BITMAPINFOHEADER written;
    std::memcpy(&written, file.data() + 14, 40);
    EXPECT_EQ(written.biSizeImage, p.m_dibSection.dsBmih.biSizeImage);
    EXPECT_EQ(std::memcmp(file.data() + 54, p.m_pBits, 48), 0);

    CPictureImage q;
    ASSERT_TRUE(q.LoadFile(path.c_str()));
    EXPECT_EQ(Unpadded(q), Unpadded(p));
}

// Run-length data for 8 bits: each piece is a count and a colour index, or 0 and a command.
TEST_F(PictureImageTest, RunLengthBitmapsLoadThroughTheSystemLoader)
{
    // Bottom row: two pixels of colour 1, end of line; top row: colours 3 and 0, end of bitmap.
    const BitmapCase c = RunLength(BI_RLE8, 2, 2, {2, 1, 0, 0, 1, 3, 1, 0, 0, 1});
    const std::string path = dir + "\\rle.bmp";
    WriteFile(path, BitmapFileBytes(c));
    CPictureImage p;
    ASSERT_TRUE(p.LoadFile(path.c_str()));
    EXPECT_EQ(Unpadded(p), (std::vector<uint8_t> {200, 210, 220, 200, 210, 220, 255, 0, 0, 10, 20, 30}));
}

TEST_F(PictureImageTest, RunLengthBitmapTooShortForItsSizeIsRefusedAndAFlatOneLoads)
{
    const std::string path = dir + "\\rle-size.bmp";
    WriteFile(path, BitmapFileBytes(RunLength(BI_RLE8, 4096, 4096, {0, 1}))); // 2 bytes for 16 megapixels
    CPictureImage p;
    EXPECT_FALSE(p.LoadFile(path.c_str()));
    EXPECT_EQ(p.m_pBits, nullptr);

    // 2100 x 2100 (above the size that always passes) in runs of colour 3, rows ended.
    std::vector<uint8_t> runs;
    for (int y = 0; y < 2100; ++y) {
        for (int x = 0; x < 2100; x += 255)
            runs.insert(runs.end(), {uint8_t(std::min(255, 2100 - x)), 3});
        runs.insert(runs.end(), {0, 0});
    }
    runs.insert(runs.end(), {0, 1});
    WriteFile(path, BitmapFileBytes(RunLength(BI_RLE8, 2100, 2100, runs)));
    ASSERT_TRUE(p.LoadFile(path.c_str()));
    ASSERT_TRUE(IsSound(p));
    for (int y : {0, 1049, 2099})
        for (int x : {0, 1000, 2099})
            EXPECT_EQ(p.m_pBits[y * p.m_nStride + 3 * x], 255) << x << ", " << y; // blue 255 of colour 3
}

TEST_F(PictureImageTest, HostileBitmapFilesFailOrGiveASoundPicture)
{
    std::vector<std::string> files = HostileBitmapFiles();
    files.push_back(BitmapFileBytes(RunLength(BI_RLE8, 2, 2, {200, 1, 0, 2, 255, 255, 7, 7}))); // runs off the picture
    files.push_back(BitmapFileBytes(RunLength(BI_RLE8, 4, 4, std::vector<uint8_t>(8000, 0))));  // only line ends
    std::vector<uint8_t> deltas;
    for (int i = 0; i < 4096; ++i)
        deltas.insert(deltas.end(), {0, 2, 0, 0}); // moves that go nowhere, and no end
    files.push_back(BitmapFileBytes(RunLength(BI_RLE8, 4, 4, deltas)));
    BitmapCase masks = BitmapCases()[6]; // 16-bit with every mask zero
    masks.table = {0, 0, 0};
    files.push_back(BitmapFileBytes(masks));

    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = dir + "\\hostile" + std::to_string(i) + ".bmp";
        WriteFile(path, files[i]);
        CPictureImage p;
        if (p.LoadFile(path.c_str()))
            EXPECT_TRUE(IsSound(p)) << "file " << i;
        else
            EXPECT_EQ(p.m_pBits, nullptr) << "file " << i;
    }
}

TEST_F(PictureImageTest, AttachBitmapWantsADibSectionAndAlwaysTakesTheHandle)
{
    CPictureImage p;
    EXPECT_FALSE(p.AttachBitmap(nullptr));
    CClientDC screen(nullptr);
    HBITMAP device = ::CreateCompatibleBitmap(screen.GetSafeHdc(), 4, 4);
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(p.AttachBitmap(device));
    EXPECT_EQ(::GetObjectType(device), 0u); // deleted

    ASSERT_TRUE(p.LoadBitmapResource(200));
    EXPECT_EQ(Unpadded(p), (std::vector<uint8_t> {255, 0, 0, 0, 0, 255}));
    EXPECT_FALSE(p.LoadBitmapResource(201));
}

TEST_F(PictureImageTest, CopyBlockAndDraw)
{
    CPictureImage src, p;
    ASSERT_TRUE(src.Create(3, 2));
    for (int i = 0; i < 9; ++i)
        src.m_pBits[src.m_nStride + i] = BYTE(10 * (i + 1)); // top row: 3 pixels
    ASSERT_TRUE(p.Create(4, 3));
    p.CopyBlock(1, 2, 2, 1, src, 1, 1); // the top row's last two pixels to the top right
    EXPECT_EQ(std::memcmp(p.m_pBits + 2 * p.m_nStride + 3, src.m_pBits + src.m_nStride + 3, 6), 0);
    EXPECT_EQ(p.m_pBits[2 * p.m_nStride + 2], 0);

    // Drawn at the top-left corner at its own size into a white 10 x 10 surface.
    CMemoryDC dc(nullptr);
    BITMAPINFO info {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 10, -10, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* surface = nullptr;
    CBitmapHandle target(::CreateDIBSection(dc.GetSafeHdc(), &info, DIB_RGB_COLORS, &surface, nullptr, 0));
    ASSERT_TRUE(target);
    std::memset(surface, 0xFF, 400);
    CSelectObject select(dc.GetSafeHdc(), target.Get());
    EXPECT_TRUE(p.Draw(&dc));
    auto pixel = [&](int x, int y) { return static_cast<uint32_t*>(surface)[10 * y + x] & 0xFFFFFF; };
    EXPECT_EQ(pixel(0, 0), 0u);
    EXPECT_EQ(pixel(1, 0), 0x3C3228u) << std::hex << pixel(1, 0); // blue 40, green 50, red 60 of src
    EXPECT_EQ(pixel(3, 2), 0u);
    EXPECT_EQ(pixel(4, 0), 0xFFFFFFu);
    EXPECT_EQ(pixel(0, 3), 0xFFFFFFu);

    CPictureImage empty;
    EXPECT_FALSE(empty.Draw(&dc));
    EXPECT_EQ(empty.Realize(&dc), 0u);
}

// Presses OK on every message box of this process and keeps their texts.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : m_thread([this] { Watch(); }) {}
    ~MessageBoxWatcher() { Texts(); }
    std::vector<std::string> Texts()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_texts;
    }

private:
    static BOOL CALLBACK Found(HWND hwnd, LPARAM param)
    {
        DWORD process = 0;
        char cls[32] = "";
        ::GetWindowThreadProcessId(hwnd, &process);
        ::GetClassNameA(hwnd, cls, sizeof cls);
        if (process == ::GetCurrentProcessId() && !std::strcmp(cls, "#32770") && ::IsWindowVisible(hwnd))
            *reinterpret_cast<HWND*>(param) = hwnd;
        return TRUE;
    }
    static BOOL CALLBACK Child(HWND hwnd, LPARAM param)
    {
        char text[256] = "";
        ::GetWindowTextA(hwnd, text, sizeof text);
        if (!std::strcmp(text, "Out of memory."))
            *reinterpret_cast<std::string*>(param) = text;
        return TRUE;
    }
    void Watch()
    {
        while (!m_stop) {
            HWND box = nullptr;
            ::EnumWindows(Found, reinterpret_cast<LPARAM>(&box));
            if (box) {
                std::string text;
                ::EnumChildWindows(box, Child, reinterpret_cast<LPARAM>(&text));
                m_texts.push_back(text);
                ::SendMessageA(box, WM_COMMAND, IDOK, 0);
                ::Sleep(100);
            }
            ::Sleep(20);
        }
    }
    std::atomic<bool> m_stop {false};
    std::vector<std::string> m_texts;
    std::thread m_thread;
};

// The picture object shows no message (it may run on a worker thread, under a screen saver):
// it records the shortage for its caller to tell.
TEST_F(PictureImageTest, ResampleRecordsWhenMemoryRunsShortButNotWhenAborted)
{
    CPictureImage p;
    ASSERT_TRUE(p.Create(2, 2));
    {
        MessageBoxWatcher watcher;
        EXPECT_FALSE(p.Resample(200000000, 2)); // the intermediate picture exceeds the limit
        EXPECT_TRUE(watcher.Texts().empty());
        EXPECT_TRUE(p.m_bOutOfMemory);
    }
    EXPECT_TRUE(IsSound(p));
    EXPECT_EQ(p.m_nWidth, 2);

    ASSERT_TRUE(p.Create(2, 1));
    std::memset(p.m_pBits, 200, 6);
    ASSERT_TRUE(p.Resample(4, 1));
    EXPECT_FALSE(p.m_bOutOfMemory);
    EXPECT_EQ(Unpadded(p), std::vector<uint8_t>(12, 200)); // a flat picture stays flat
    p.m_pBits[0] = 7;
    ASSERT_TRUE(p.Resize(1, 1));
    EXPECT_EQ(Unpadded(p), (std::vector<uint8_t> {7, 200, 200}));
    EXPECT_EQ(p.FitAspect(10, 20).cx, 10);

    g_bAbortImageWork = 1;
    MessageBoxWatcher watcher;
    EXPECT_FALSE(p.Resample(5, 5));
    EXPECT_TRUE(watcher.Texts().empty());
    EXPECT_FALSE(p.m_bOutOfMemory);
    EXPECT_EQ(g_bAbortImageWork, 1);
    EXPECT_EQ(p.m_nWidth, 1);
}

// The preparation's load-and-fit: a JPEG file is scaled as it is decoded, into a section of the
// fitted size, with the bytes of loading it whole and scaling it; other files take the whole
// path. A section that is not needed at full size is never made.
TEST_F(PictureImageTest, LoadFittedGivesTheBytesOfLoadingAndScaling)
{
    const std::string jpeg = dir + "\\fit.jpg", bitmap = dir + "\\fit.bmp";
    ASSERT_TRUE(WritePatternPicture(jpeg, 301, 203, 4));
    ASSERT_TRUE(WritePatternPicture(bitmap, 301, 203, 4));
    struct Box {
        int cx, cy;
        bool keepAspect;
    };
    for (const Box& box : {Box {160, 120, true}, Box {160, 120, false}, Box {640, 480, true}, Box {301, 203, false}})
        for (bool resample : {false, true})
            for (const std::string& path : {jpeg, bitmap}) {
                SCOPED_TRACE(path + " into " + std::to_string(box.cx) + "x" + std::to_string(box.cy) +
                             (resample ? " resampled" : " resized") + (box.keepAspect ? " keeping proportions" : ""));
                CPictureImage whole, fitted;
                ASSERT_TRUE(whole.LoadFile(path.c_str()));
                int cx = box.cx, cy = box.cy;
                if (box.keepAspect) {
                    const SIZE size = whole.FitAspect(cx, cy);
                    cx = size.cx;
                    cy = size.cy;
                }
                BOOL wholeScaled = FALSE, scaled = TRUE;
                if (whole.m_nWidth != cx || whole.m_nHeight != cy)
                    wholeScaled = resample ? whole.Resample(cx, cy) : whole.Resize(cx, cy);
                ASSERT_TRUE(fitted.LoadFitted(path.c_str(), box.cx, box.cy, box.keepAspect, resample, &scaled));
                EXPECT_EQ(scaled, wholeScaled);
                EXPECT_TRUE(IsSound(fitted));
                EXPECT_EQ(fitted.m_nWidth, cx);
                EXPECT_EQ(fitted.m_nHeight, cy);
                EXPECT_EQ(Unpadded(fitted), Unpadded(whole));
            }

    // A file that cannot be read fails as LoadFile fails.
    CPictureImage missing;
    BOOL scaled = TRUE;
    EXPECT_FALSE(missing.LoadFitted((dir + "\\none.jpg").c_str(), 100, 100, true, true, &scaled));
    EXPECT_FALSE(scaled);
}

// Every kind of picture file, each stored under a plain name, and the same files copied to a
// folder whose name the ANSI code page (1252 here) cannot hold or to one more than 260
// characters deep: loaded from there, each gives exactly the pixels of its plain copy.
class PictureNamesTest : public PictureImageTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AnsiCodePageLacksTheNames()) << "the test needs an ANSI code page without these names";
        root = dir + "\\names";
        DeleteWideTree(root);
        ASSERT_TRUE(MakeWideFolder(root));
        const std::string plain = dir + "\\plain";
        DeleteWideTree(plain);
        ASSERT_TRUE(MakeWideFolder(plain));
        // The bitmap readers: the system's loader (bottom-up 40-byte header; run-length data),
        // the program's own (a 56-byte header, which Wine's loader refuses).
        files = {{plain + "\\system.bmp", ".bmp"}, {plain + "\\rle.bmp", ".bmp"}, {plain + "\\own.bmp", ".bmp"},
                 {plain + "\\photo.jpg", ".jpg"}, {plain + "\\art.tga", ".tga"}};
        ASSERT_TRUE(WritePatternPicture(files[0].first, 61, 43, 1));
        WriteFile(files[1].first, BitmapFileBytes(RunLength(BI_RLE8, 2, 2, {2, 1, 0, 0, 1, 3, 1, 0, 0, 1})));
        WriteFile(files[2].first, BitmapFileBytes(twoByTwo, 56));
        ASSERT_TRUE(WritePatternPicture(files[3].first, 64, 48, 2));
        ASSERT_TRUE(WritePatternPicture(files[4].first, 33, 17, 3));
    }
    void TearDown() override
    {
        DeleteWideTree(root);
        PictureImageTest::TearDown();
    }

    // Copies every file into the folder under the given base name and loads both copies.
    void ExpectEveryFileLoadsFrom(const std::string& folder, const std::string& name)
    {
        int n = 0;
        for (const auto& file : files) {
            const std::string copy = folder + "\\" + name + std::to_string(n++) + file.second;
            SCOPED_TRACE(file.first);
            ASSERT_TRUE(CopyFileTo(file.first, copy));
            CPictureImage original, p;
            ASSERT_TRUE(original.LoadFile(file.first.c_str()));
            ASSERT_TRUE(p.LoadFile(copy.c_str()));
            EXPECT_EQ(p.m_nWidth, original.m_nWidth);
            EXPECT_EQ(p.m_nHeight, original.m_nHeight);
            EXPECT_EQ(Unpadded(p), Unpadded(original));
            // Fitted as the preparation does it (a JPEG file is scaled as it is decoded).
            CPictureImage fitted;
            BOOL scaled = FALSE;
            ASSERT_TRUE(fitted.LoadFitted(copy.c_str(), 20, 20, true, true, &scaled));
            EXPECT_TRUE(scaled);
            EXPECT_EQ(std::max(fitted.m_nWidth, fitted.m_nHeight), 20);
        }
    }

    std::string root;
    std::vector<std::pair<std::string, const char*>> files; // path, extension
};

TEST_F(PictureNamesTest, PicturesInAFolderNamedInJapaneseWithAnEmojiLoad)
{
    const std::string folder = root + "\\" + kJapaneseFolder;
    ASSERT_TRUE(MakeWideFolder(folder));
    ExpectEveryFileLoadsFrom(folder, kSunsetName);
    ExpectEveryFileLoadsFrom(folder, std::string(kPolishFolder) + " " + kRussianFolder);
}

// Beyond the system loader's reach: the program's own reader, and for run-length data the
// loader under the short (8.3) path, which Wine's volumes keep.
TEST_F(PictureNamesTest, PicturesThreeHundredCharactersDeepLoad)
{
    const std::string folder = MakeDeepFolder(root, 300);
    ASSERT_FALSE(folder.empty());
    ExpectEveryFileLoadsFrom(folder, kSunsetName);
}

} // namespace

namespace {

// A 2 x 2 uncompressed RGB TIFF, top row red, green; bottom row blue, white.
std::string TinyTiff()
{
    std::string t("II*\0\x08\0\0\0", 8);
    auto u16 = [&t](unsigned v) { t += char(v & 0xFF); t += char(v >> 8); };
    auto u32 = [&t, &u16](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    auto entry = [&](unsigned tag, unsigned type, uint32_t count, uint32_t value) {
        u16(tag), u16(type), u32(count), u32(value);
    };
    const unsigned entries = 9;
    const uint32_t bitsAt = 8 + 2 + entries * 12 + 4, pixelsAt = bitsAt + 6;
    u16(entries);
    entry(256, 3, 1, 2);        // width
    entry(257, 3, 1, 2);        // height
    entry(258, 3, 3, bitsAt);   // 8, 8, 8 bits
    entry(259, 3, 1, 1);        // no compression
    entry(262, 3, 1, 2);        // RGB
    entry(273, 4, 1, pixelsAt); // the one strip
    entry(277, 3, 1, 3);        // samples per pixel
    entry(278, 3, 1, 2);        // rows per strip
    entry(279, 4, 1, 12);       // strip bytes
    u32(0);
    u16(8), u16(8), u16(8);
    t += std::string("\xFF\0\0\0\xFF\0\0\0\xFF\xFF\xFF\xFF", 12);
    return t;
}

} // namespace

// Kinds without a reader of our own go to the system's codecs: a TIFF loads with its pixels;
// a kind no codec knows is refused and leaves the picture as it was.
TEST_F(PictureImageTest, KindsWithoutAReaderOfOurOwnGoToTheSystemsCodecs)
{
    for (const char* name : {"\\tiny.tif", "\\tiny-tiff.dat"}) {
        WriteFile(dir + name, TinyTiff());
        CPictureImage p;
        ASSERT_TRUE(p.LoadFile((dir + name).c_str())) << name << ": " << p.m_szLastError;
        ASSERT_EQ(p.m_nWidth, 2);
        ASSERT_EQ(p.m_nHeight, 2);
        // Bottom-up, blue green red: the bottom row (blue, white) first.
        const std::string bottom(reinterpret_cast<const char*>(p.m_pBits), 6);
        const std::string top(reinterpret_cast<const char*>(p.m_pBits + p.m_nStride), 6);
        EXPECT_EQ(bottom, std::string("\xFF\0\0\xFF\xFF\xFF", 6)) << name;
        EXPECT_EQ(top, std::string("\0\0\xFF\0\xFF\0", 6)) << name;
    }
    // An ISO media file (the box layout of HEIC and AVIF) that no codec here reads.
    WriteFile(dir + "\\photo.heic", std::string("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24) + std::string(64, '\0'));
    CPictureImage p;
    ASSERT_TRUE(p.Create(3, 1));
    const BYTE* bits = p.m_pBits;
    EXPECT_FALSE(p.LoadFile((dir + "\\photo.heic").c_str()));
    EXPECT_EQ(p.m_pBits, bits);
    EXPECT_EQ(p.m_nWidth, 3);
    EXPECT_STRNE(p.m_szLastError, "");
}

namespace {

// The JPEG file with an EXIF segment holding this orientation inserted after its SOI.
std::string WithOrientation(const std::string& jpeg, int orientation)
{
    std::string exif("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
    exif += char(orientation);
    exif += std::string(7, '\0'); // the rest of the value, then no next directory
    const size_t length = exif.size() + 2;
    std::string app1("\xFF\xE1", 2);
    app1 += char(length >> 8);
    app1 += char(length & 0xFF);
    return jpeg.substr(0, 2) + app1 + exif + jpeg.substr(2);
}

std::string Pixels(const CPictureImage& p)
{
    std::string out;
    for (int y = 0; y < p.m_nHeight; ++y)
        out.append(reinterpret_cast<const char*>(p.m_pBits + size_t(y) * p.m_nStride), 3 * size_t(p.m_nWidth));
    return out;
}

} // namespace

// Photos that carry their orientation come out upright, loaded whole and fitted, on every
// path: what the stored picture gives turned by the orientation.
TEST_F(PictureImageTest, ExifOrientationTurnsPhotosUprightLoadedAndFitted)
{
    // 40 x 24, not symmetric in any direction.
    CPictureImage source;
    ASSERT_TRUE(source.Create(40, 24));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            BYTE* p = source.m_pBits + y * source.m_nStride + 3 * x;
            p[0] = BYTE(x * 6), p[1] = BYTE(y * 10), p[2] = BYTE((x < 10 && y > 16) ? 255 : 0);
        }
    ASSERT_TRUE(source.SaveFile((dir + "\\plain.jpg").c_str()));
    const std::string jpeg = ReadWholeFile(dir + "\\plain.jpg");
    CPictureImage stored;
    ASSERT_TRUE(stored.LoadFile((dir + "\\plain.jpg").c_str()));

    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string path = dir + "\\turned.jpg";
        WriteFile(path, WithOrientation(jpeg, orientation));
        CMemoryPicture expected;
        ASSERT_TRUE(OrientPixels(stored.Pixels(), orientation, expected));
        CPictureImage loaded;
        ASSERT_TRUE(loaded.LoadFile(path.c_str()));
        ASSERT_EQ(loaded.m_nWidth, expected.Pixels().width);
        ASSERT_EQ(loaded.m_nHeight, expected.Pixels().height);
        CPictureImage wanted;
        ASSERT_TRUE(wanted.Create(expected.Pixels().width, expected.Pixels().height));
        for (int y = 0; y < wanted.m_nHeight; ++y)
            memcpy(wanted.m_pBits + y * wanted.m_nStride, expected.Pixels().Row(y), 3 * size_t(wanted.m_nWidth));
        EXPECT_EQ(Pixels(loaded), Pixels(wanted));

        // Fitted into a 20 x 20 box keeping the proportions: the upright shape, 20 wide when
        // upright is landscape, 20 high when it is portrait; the stored picture fitted into
        // the turned box, then turned.
        for (bool resample : {false, true}) {
            CPictureImage fitted, plainFitted;
            BOOL scaled = FALSE;
            ASSERT_TRUE(fitted.LoadFitted(path.c_str(), 20, 20, true, resample, &scaled));
            EXPECT_TRUE(scaled);
            const bool turned = OrientationSwapsSides(orientation);
            EXPECT_EQ(fitted.m_nWidth, turned ? 12 : 20);
            EXPECT_EQ(fitted.m_nHeight, turned ? 20 : 12);
            ASSERT_TRUE(plainFitted.LoadFitted((dir + "\\plain.jpg").c_str(), 20, 20, true, resample, &scaled));
            CMemoryPicture turnedPlain;
            ASSERT_TRUE(OrientPixels(plainFitted.Pixels(), orientation, turnedPlain));
            CPictureImage wantedFitted;
            ASSERT_TRUE(wantedFitted.Create(turnedPlain.Pixels().width, turnedPlain.Pixels().height));
            for (int y = 0; y < wantedFitted.m_nHeight; ++y)
                memcpy(wantedFitted.m_pBits + y * wantedFitted.m_nStride, turnedPlain.Pixels().Row(y),
                       3 * size_t(wantedFitted.m_nWidth));
            EXPECT_EQ(Pixels(fitted), Pixels(wantedFitted));
        }
    }
    // A damaged EXIF segment: upright as stored.
    std::string damaged = WithOrientation(jpeg, 6);
    damaged[4 + 2 + 6 + 4] = '\x7F'; // IFD0 offset far past the segment
    WriteFile(dir + "\\damaged.jpg", damaged);
    CPictureImage asStored;
    ASSERT_TRUE(asStored.LoadFile((dir + "\\damaged.jpg").c_str()));
    EXPECT_EQ(Pixels(asStored), Pixels(stored));
}

namespace {

uint32_t Crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

std::string BigEndian32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Chunk(const std::string& type, const std::string& data)
{
    return BigEndian32(uint32_t(data.size())) + type + data + BigEndian32(Crc32(type + data));
}

// Fitted into cx x cy (the proportions not kept) with either scaler, the file gives the bytes
// of loading it whole and scaling, its transparent pixels over colour.
void ExpectFittedAsLoadedAndScaled(const std::string& path, int cx, int cy, COLORREF colour)
{
    for (bool resample : {false, true}) {
        SCOPED_TRACE(resample ? "resampled" : "resized");
        CPictureImage fitted, whole;
        fitted.m_crTransparent = whole.m_crTransparent = colour;
        BOOL scaled = FALSE;
        ASSERT_TRUE(fitted.LoadFitted(path.c_str(), cx, cy, false, resample, &scaled));
        EXPECT_TRUE(scaled);
        ASSERT_TRUE(whole.LoadFile(path.c_str()));
        ASSERT_TRUE(resample ? whole.Resample(cx, cy) : whole.Resize(cx, cy));
        ASSERT_EQ(fitted.m_nWidth, cx);
        EXPECT_EQ(Pixels(fitted), Pixels(whole));
    }
}

// An RGBA PNG of one row: an opaque red pixel, a half-transparent green one, a transparent
// blue one; its data in a stored (uncompressed) deflate block.
std::string TinyPng()
{
    const std::string row = std::string("\0", 1) + std::string("\xFF\0\0\xFF" "\0\xFF\0\x80" "\0\0\xFF\0", 12);
    std::string zlib("\x78\x01\x01", 3);
    zlib += char(row.size()), zlib += char(0), zlib += char(~row.size()), zlib += char(0xFF);
    zlib += row;
    uint32_t a = 1, b = 0; // Adler-32
    for (unsigned char c : row)
        a = (a + c) % 65521, b = (b + a) % 65521;
    zlib += BigEndian32((b << 16) | a);
    const std::string header = BigEndian32(3) + BigEndian32(1) + std::string("\x08\x06\0\0\0", 5);
    return std::string("\x89PNG\r\n\x1A\n", 8) + Chunk("IHDR", header) + Chunk("IDAT", zlib) + Chunk("IEND", "");
}

} // namespace

// A PNG, whatever its name, loads with its transparent pixels over the colour the picture is
// to be seen against; fitted, it gives the bytes of loading and scaling.
TEST_F(PictureImageTest, PngTransparencyTakesTheBackgroundColour)
{
    for (const char* name : {"\\tiny.png", "\\tiny-named.jpg"}) {
        WriteFile(dir + name, TinyPng());
        CPictureImage p;
        p.m_crTransparent = 0x00204060; // red 0x60, green 0x40, blue 0x20
        ASSERT_TRUE(p.LoadFile((dir + name).c_str())) << name << ": " << p.m_szLastError;
        ASSERT_EQ(p.m_nWidth, 3);
        ASSERT_EQ(p.m_nHeight, 1);
        // Blue, green, red: red; green 0x80 over the background; the background.
        const std::string pixels(reinterpret_cast<const char*>(p.m_pBits), 9);
        EXPECT_EQ(pixels.substr(0, 3), std::string("\0\0\xFF", 3)) << name;
        EXPECT_EQ(pixels.substr(6, 3), std::string("\x20\x40\x60", 3)) << name;
        EXPECT_NEAR(uint8_t(pixels[4]), (0xFF * 0x80 + 0x40 * 0x7F) / 255, 1) << name;
        EXPECT_NEAR(uint8_t(pixels[3]), (0x20 * 0x7F) / 255, 1) << name;
    }
    ExpectFittedAsLoadedAndScaled(dir + "\\tiny.png", 12, 4, 0x00204060);
}

// A GIF of a 2 x 2 screen whose first frame, one line, is a red pixel and a transparent one.
TEST_F(PictureImageTest, GifFirstFrameLiesOnItsScreenOverTheBackground)
{
    const std::string gif = std::string("GIF89a\x02\0\x02\0\x80\0\0" "\xFF\0\0" "\0\xFF\0", 19) +
                            std::string("\x21\xF9\x04\x01\0\0\x01\0", 8) +   // transparent index 1
                            std::string("\x2C\0\0\0\0\x02\0\x01\0\0", 10) +  // 2 x 1 at the top left
                            std::string("\x02\x02\x44\x0A\0\x3B", 6);        // clear, 0, 1, end
    WriteFile(dir + "\\tiny.gif", gif);
    CPictureImage p;
    p.m_crTransparent = 0x00204060;
    ASSERT_TRUE(p.LoadFile((dir + "\\tiny.gif").c_str())) << p.m_szLastError;
    ASSERT_EQ(p.m_nWidth, 2);
    ASSERT_EQ(p.m_nHeight, 2);
    // Bottom-up: the bottom line is all background, the top one red, then the background.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.m_pBits), 6), std::string("\x20\x40\x60\x20\x40\x60", 6));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.m_pBits + p.m_nStride), 6),
              std::string("\0\0\xFF\x20\x40\x60", 6));
    ExpectFittedAsLoadedAndScaled(dir + "\\tiny.gif", 9, 7, 0x00204060);
}

// A PNG's eXIf chunk turns it as a JPEG's EXIF segment does, loaded whole and fitted.
TEST_F(PictureImageTest, PngExifOrientationTurnsThePicture)
{
    const std::string exif("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 26); // 6: turn right
    std::string png = TinyPng();
    png.insert(33, Chunk("eXIf", exif)); // after the header chunk
    WriteFile(dir + "\\turned.png", png);
    CPictureImage p;
    ASSERT_TRUE(p.LoadFile((dir + "\\turned.png").c_str())) << p.m_szLastError;
    ASSERT_EQ(p.m_nWidth, 1);
    ASSERT_EQ(p.m_nHeight, 3);
    // Turned right, the first stored pixel (red) is at the top: the last row of the picture.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.m_pBits + 2 * p.m_nStride), 3), std::string("\0\0\xFF", 3));
    BOOL scaled = FALSE;
    CPictureImage fitted;
    ASSERT_TRUE(fitted.LoadFitted((dir + "\\turned.png").c_str(), 2, 6, false, false, &scaled));
    EXPECT_EQ(fitted.m_nWidth, 2);
    EXPECT_EQ(fitted.m_nHeight, 6);
}

// A WebP, whatever its name, loads as its reader reads it, over the colour the picture is to
// be seen against; fitted, it gives the bytes of loading and scaling; its EXIF chunk turns it.
TEST_F(PictureImageTest, WebpPicturesLoadOverTheBackgroundAndTurnUpright)
{
    const std::string data = MURLAVO_WEBP_TEST_DATA;
    const std::string alpha = data + "/alpha-lossless.webp";
    CMemoryPicture want;
    char lastError[256] = "";
    ASSERT_TRUE(LoadWebpFile(alpha.c_str(), want, lastError, 0x00204060)) << lastError;
    WriteFile(dir + "\\alpha-named.jpg", ReadFile(alpha));
    for (const std::string& path : {alpha, dir + "\\alpha-named.jpg"}) {
        CPictureImage p;
        p.m_crTransparent = 0x00204060;
        ASSERT_TRUE(p.LoadFile(path.c_str())) << path << ": " << p.m_szLastError;
        ASSERT_EQ(p.m_nWidth, want.Pixels().width);
        ASSERT_EQ(p.m_nHeight, want.Pixels().height);
        for (int y = 0; y < p.m_nHeight; ++y)
            ASSERT_EQ(std::memcmp(p.m_pBits + y * p.m_nStride, want.Pixels().Row(y), 3 * size_t(p.m_nWidth)), 0) << y;
    }
    ExpectFittedAsLoadedAndScaled(alpha, 50, 30, 0x00204060);

    // Stored 48 x 32 with orientation 6: shown 32 x 48, loaded whole and fitted.
    CPictureImage turned, fitted;
    ASSERT_TRUE(turned.LoadFile((data + "/oriented.webp").c_str())) << turned.m_szLastError;
    EXPECT_EQ(turned.m_nWidth, 32);
    EXPECT_EQ(turned.m_nHeight, 48);
    BOOL scaled = FALSE;
    ASSERT_TRUE(fitted.LoadFitted((data + "/oriented.webp").c_str(), 64, 96, true, true, &scaled));
    EXPECT_EQ(fitted.m_nWidth, 64);
    EXPECT_EQ(fitted.m_nHeight, 96);
}
