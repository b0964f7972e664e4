#include "library/Library.h"
#include "library/LibraryFile.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// Moves whatever library file the Windows directory held aside, and back at the end.
struct LibraryFileAside {
    explicit LibraryFileAside(const std::string& path)
        : m_path(path), m_aside(path + ".aside"), m_moved(MoveFileExA(path.c_str(), m_aside.c_str(), MOVEFILE_REPLACE_EXISTING))
    {
    }
    ~LibraryFileAside()
    {
        DeleteFileA(m_path.c_str());
        if (m_moved)
            MoveFileExA(m_aside.c_str(), m_path.c_str(), 0);
    }
    std::string m_path, m_aside;
    BOOL m_moved;
};

} // namespace

TEST(ReadLibrary, ReadsMurlavoIniInTheWindowsDirectory)
{
    char dir[MAX_PATH];
    UINT length = GetWindowsDirectoryA(dir, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::string path = std::string(dir, length) + "\\Murlavo.ini";
    LibraryFileAside aside(path);

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
