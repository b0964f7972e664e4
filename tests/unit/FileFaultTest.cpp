// The writes that hold user data fail at every step in turn (create, each write, flush, close,
// replace): the previous file stays whole and readable, no temporary file is left, and the
// write reports failure.
#include "FileFaultProbe.h"
#include "FormatTestSupport.h"
#include "framework/FileReplace.h"
#include "image/Bitmap.h"
#include "library/LibraryFile.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

bool Exists(const std::string& path)
{
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return true;
    }
    return false;
}

// A library of `count` pictures in one playlist; long paths make the archive flush its 4 KB
// buffer several times, so that the save takes several writes.
std::vector<CWallpaperObject> Library(int count, const std::string& folder)
{
    std::vector<CWallpaperObject> records;
    records.emplace_back("Playlist " + folder, 0);
    for (int i = 0; i < count; ++i)
        records.emplace_back("C:\\" + folder + "\\" + std::string(60, 'p') + std::to_string(i) + ".bmp", 1);
    return records;
}

bool Save(const std::string& path, std::vector<CWallpaperObject>& records)
{
    std::vector<CLibraryEntry> entries;
    for (auto& r : records)
        entries.push_back({&r, &r == &records.front()});
    return SaveLibraryFile(path.c_str(), entries, 1);
}

TEST(FileFaults, LibrarySaveFailingAtAnyStepKeepsTheOldLibrary)
{
    ScratchFolder scratch;
    const std::string path = scratch.Path("library.ini");
    auto old = Library(3, "old");
    ASSERT_TRUE(Save(path, old));
    const std::vector<uint8_t> oldBytes = ReadWholeFile(path);

    auto fresh = Library(200, "new");
    std::vector<FileStep> steps;
    {
        FileFaultProbe record;
        ASSERT_TRUE(Save(path, fresh));
        steps = record.Steps();
    }
    EXPECT_TRUE(FileFaultProbe::HasEveryKind(steps));
    EXPECT_GE(std::count(steps.begin(), steps.end(), FileStep::write), 4);
    const std::vector<uint8_t> newBytes = ReadWholeFile(path);
    ASSERT_TRUE(Save(path, old));

    for (size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE(std::string("failing step ") + std::to_string(k) + ": " + StepName(steps[k]));
        {
            FileFaultProbe fail {int(k)};
            EXPECT_FALSE(Save(path, fresh));
        }
        EXPECT_EQ(ReadWholeFile(path), oldBytes);
        CWallpaperList records;
        EXPECT_TRUE(LoadLibraryFile(path.c_str(), records));
        ASSERT_EQ(records.size(), 4u);
        EXPECT_EQ(records[1]->m_strPath, old[1].m_strPath);
        EXPECT_FALSE(Exists(path + ".tmp"));
    }
    // With the faults gone the same save goes through.
    ASSERT_TRUE(Save(path, fresh));
    EXPECT_EQ(ReadWholeFile(path), newBytes);
}

// The wallpaper as the show window writes it: the bitmap goes to a temporary file beside the
// wallpaper, which replaces the old one only when complete (the temporary file is deleted on
// failure).
bool WriteWallpaper(const PixelImage& picture, const std::string& path)
{
    const std::string temp = path + ".tmp";
    if (!SaveBitmapPixels(temp.c_str(), picture, 0)) {
        std::remove(temp.c_str());
        return false;
    }
    return ReplaceFileAtomically(temp.c_str(), path.c_str());
}

TEST(FileFaults, WallpaperWriteFailingAtAnyStepKeepsTheOldWallpaper)
{
    ScratchFolder scratch;
    const std::string path = scratch.Path("wallpaper.bmp");
    CMemoryPicture before, after;
    ASSERT_TRUE(before.CreatePixels(5, 3));
    ASSERT_TRUE(after.CreatePixels(40, 30));
    before.Pixels().bits[0] = 0x42;
    ASSERT_TRUE(WriteWallpaper(before.Pixels(), path));
    const std::vector<uint8_t> oldBytes = ReadWholeFile(path);

    std::vector<FileStep> steps;
    {
        FileFaultProbe record;
        ASSERT_TRUE(WriteWallpaper(after.Pixels(), path));
        steps = record.Steps();
    }
    EXPECT_TRUE(FileFaultProbe::HasEveryKind(steps));
    ASSERT_TRUE(WriteWallpaper(before.Pixels(), path));

    for (size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE(std::string("failing step ") + std::to_string(k) + ": " + StepName(steps[k]));
        {
            FileFaultProbe fail {int(k)};
            EXPECT_FALSE(WriteWallpaper(after.Pixels(), path));
        }
        EXPECT_EQ(ReadWholeFile(path), oldBytes);
        BitmapFileLayout layout;
        EXPECT_TRUE(ReadBitmapFileLayout(path.c_str(), layout));
        EXPECT_EQ(layout.header.width, 5);
        EXPECT_FALSE(Exists(path + ".tmp"));
    }
}

} // namespace
