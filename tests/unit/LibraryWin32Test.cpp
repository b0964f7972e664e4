#include "library/Library.h"
#include "library/LibraryFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace testing_support;

namespace {

// Puts back whatever library file the Windows directory held before the test.
class LibraryFileGuard {
public:
    explicit LibraryFileGuard(const std::string& path) : m_path(path), m_existed(FileExists(path))
    {
        if (m_existed)
            m_bytes = ReadWholeFile(path);
    }
    ~LibraryFileGuard()
    {
        DeleteFileA(m_path.c_str());
        if (std::FILE* fp = m_existed ? std::fopen(m_path.c_str(), "wb") : nullptr) {
            std::fwrite(m_bytes.data(), 1, m_bytes.size(), fp);
            std::fclose(fp);
        }
    }

private:
    std::string m_path;
    bool m_existed;
    std::string m_bytes;
};

} // namespace

TEST(ReadLibrary, ReadsMurlavoIniInTheWindowsDirectory)
{
    char dir[MAX_PATH];
    UINT length = GetWindowsDirectoryA(dir, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::string path = std::string(dir, length) + "\\Murlavo.ini";
    LibraryFileGuard guard(path);

    CWallpaperObject other("Other", 0), skipped("C:\\skipped.bmp", 1);
    CWallpaperObject playing("Playing", 0), first("C:\\first.jpg", 1), second("C:\\second.tga", 1);
    ASSERT_TRUE(SaveLibraryFile(path.c_str(),
        {{&other, false}, {&skipped, false}, {&playing, true}, {&first, false}, {&second, false}}, 0));

    CWallpaperList list;
    ReadLibrary(list);
    EXPECT_STREQ(g_szLibraryPath, path.c_str());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->m_strPath, "C:\\first.jpg");
    EXPECT_EQ(list[1]->m_strPath, "C:\\second.tga");
    EXPECT_EQ(list[1]->m_bResample, 1);

    // Without the file the list stays as it was.
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    ReadLibrary(list);
    EXPECT_EQ(list.size(), 2u);
}
