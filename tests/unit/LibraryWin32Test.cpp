#include "framework/FileReplace.h"
#include "library/Library.h"
#include "library/LibraryFile.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

using namespace testing_support;

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

// A file handle the test holds, closed at the end of the scope.
struct HeldFile {
    HeldFile(const std::string& path, DWORD share)
        : h(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HeldFile() { Close(); }
    void Close()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
    HANDLE h;
};

// Saving into a scratch folder: the library there, and the records of two versions of it.
class LibraryReplaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = ScratchDir("library-replace") + "\\Murlavo.ini";
        ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), {{&m_old, true}, {&m_oldPicture, false}}, 1));
        m_oldBytes = ReadWholeFile(m_path);
        ASSERT_FALSE(m_oldBytes.empty());
    }
    bool SaveNew() { return SaveLibraryFile(m_path.c_str(), {{&m_new, true}, {&m_newPicture, false}}, 1); }
    std::string ShownPaths()
    {
        CWallpaperList list;
        ReadShowList(m_path.c_str(), list);
        std::string paths;
        for (const auto& record : list)
            paths += record->m_strPath + ";";
        return paths;
    }

    std::string m_path, m_oldBytes;
    CWallpaperObject m_old {"Old", 0}, m_oldPicture {"C:\\old.bmp", 1};
    CWallpaperObject m_new {"New", 0}, m_newPicture {"C:\\new.bmp", 1};
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

TEST_F(LibraryReplaceTest, SavingReplacesTheExistingLibrary)
{
    EXPECT_EQ(ShownPaths(), "C:\\old.bmp;");
    ASSERT_TRUE(SaveNew());
    EXPECT_EQ(ShownPaths(), "C:\\new.bmp;");
    EXPECT_FALSE(FileExists(m_path + ".tmp"));
}

TEST_F(LibraryReplaceTest, LibraryHeldWithoutShareDeleteStaysWhole)
{
    HeldFile reader(m_path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(reader.h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveNew());
    reader.Close();
    EXPECT_EQ(ReadWholeFile(m_path), m_oldBytes);
    EXPECT_FALSE(FileExists(m_path + ".tmp"));

    // Once it is let go, saving works again.
    ASSERT_TRUE(SaveNew());
    EXPECT_EQ(ShownPaths(), "C:\\new.bmp;");
}

TEST_F(LibraryReplaceTest, NewFileHeldByAnotherProgramLeavesTheOldOneWhole)
{
    // As a virus scanner would: the new file is held open, without FILE_SHARE_DELETE, past the
    // replacement's patience. It can be written but not moved (nor deleted while held).
    const std::string temp = m_path + ".tmp";
    FILE* fp = fopen(temp.c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    HeldFile scanner(temp, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(scanner.h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveNew());
    EXPECT_EQ(ReadWholeFile(m_path), m_oldBytes);
    EXPECT_EQ(ShownPaths(), "C:\\old.bmp;");

    scanner.Close();
    ASSERT_TRUE(SaveNew());
    EXPECT_EQ(ShownPaths(), "C:\\new.bmp;");
    EXPECT_FALSE(FileExists(temp));
}

TEST_F(LibraryReplaceTest, FolderInTheLibrarysPlaceStays)
{
    ASSERT_TRUE(DeleteFileA(m_path.c_str()));
    ASSERT_TRUE(CreateDirectoryA(m_path.c_str(), nullptr));
    const std::string inside = m_path + "\\inside.txt";
    {
        FILE* fp = fopen(inside.c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        fputs("kept", fp);
        fclose(fp);
    }
    EXPECT_FALSE(SaveNew());
    EXPECT_EQ(ReadWholeFile(inside), "kept");
    EXPECT_FALSE(FileExists(m_path + ".tmp"));
    DeleteFileA(inside.c_str());
    RemoveDirectoryA(m_path.c_str());
}

// 16-bit strings of a library file become the bytes of the system's ANSI code page.
TEST(LibraryAnsi, SixteenBitStringsReadInTheAnsiCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "expected bytes are those of code page 1252; this system uses " << GetACP();
    CPINFO info {};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    const std::string lacking(1, static_cast<char>(info.DefaultChar[0]));

    // e-acute, euro sign, A-macron (a look-alike 'A' exists, but only exact characters count),
    // a smiley, a lone high surrogate, 'x', a lone low surrogate, a zero, 'z'.
    const uint16_t path[] = {0xE9, 0x20AC, 0x100, 0x263A, 0xD800, 'x', 0xDC00, 0, 'z'};
    std::string file("\x01\x00\x00\x00\xFF\xFF\x02\x00\x10\x00" "CWallpaperObject", 26);
    file += "\xFF\xFE\xFF";
    file += static_cast<char>(sizeof path / sizeof path[0]);
    for (uint16_t c : path) {
        file += static_cast<char>(c & 0xFF);
        file += static_cast<char>(c >> 8);
    }
    file += std::string("\x01" "1" "\x01\x00\x00\x00" "\x01\x00\x00\x00" "\x01\x00\x00\x00" "\x00\x00\x00\x00", 18);

    const std::string name = ScratchDir("library-ansi") + "\\Murlavo.ini";
    FILE* fp = fopen(name.c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    fwrite(file.data(), 1, file.size(), fp);
    fclose(fp);

    CWallpaperList records;
    ASSERT_TRUE(LoadLibraryFile(name.c_str(), records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->m_strPath, "\xE9\x80" + lacking + lacking + lacking + "x" + lacking + std::string(1, '\0') + "z");
    EXPECT_EQ(records[0]->m_strTile, "1");
    EXPECT_EQ(records[0]->m_bNowPlaying, 1);
}
