#include "framework/FileReplace.h"
#include "framework/AnsiText.h"
#include "framework/WideText.h"
#include "library/Library.h"
#include "library/LibraryFile.h"
#include "support/Fixtures.h"
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

// Clears the read-only attribute, so a test can delete or restore the file.
void MakeWritable(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    FILE* fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    return fclose(fp) == 0 && ok;
}

// The two places of the library: the Windows directory's file (its earlier content moved aside
// and back) and the user's own file, which no other test expects: it and everything made
// beside it are removed at the end, and the attributes set by a test are cleared.
class LibraryPlaceTest : public ::testing::Test {
protected:
    LibraryPlaceTest() : m_windows(LibraryPath()), m_user(UserLibraryPath()), m_aside(m_windows) {}
    void SetUp() override
    {
        ASSERT_FALSE(m_windows.empty());
        ASSERT_FALSE(m_user.empty());
        m_userFolder = m_user.substr(0, m_user.find_last_of('\\'));
        ASSERT_FALSE(FileExists(m_userFolder)) << "a per-user library is left from elsewhere: " << m_userFolder;
    }
    void TearDown() override
    {
        for (const std::string& base : {m_windows, m_user})
            for (const char* suffix : {"", ".bak", ".tmp"}) {
                MakeWritable(base + suffix);
                DeleteFileA((base + suffix).c_str());
            }
        RemoveDirectoryA(m_userFolder.c_str());
        DeleteFileA(m_userFolder.c_str()); // a file standing in the folder's place
        const std::string stored = VirtualStorePath();
        DeleteFileA(stored.c_str());
    }
    // Saving as the Settings dialog does: to the file that was read.
    static bool SaveRead(const LibraryReadState& read, const char* picture, std::string* savedTo = nullptr)
    {
        CWallpaperObject playlist("Playing", 0), record(picture, 1);
        return SavePictureLibraryFile(Entries(playlist, record), 1, read, savedTo);
    }
    static LibraryReadState ReadForEditing(size_t* count = nullptr)
    {
        CWallpaperList records;
        LibraryReadState read = ReadLibraryForEditing(records);
        if (count)
            *count = records.size();
        return read;
    }

    // The library with one playlist marked Now Playing holding one picture, as a reader shows it.
    static std::vector<CLibraryEntry> Entries(CWallpaperObject& playlist, CWallpaperObject& picture)
    {
        return {{&playlist, true}, {&picture, false}};
    }
    static bool Write(const std::string& path, const char* picture)
    {
        CWallpaperObject playlist("Playing", 0), record(picture, 1);
        return SaveLibraryFile(path.c_str(), Entries(playlist, record), 1);
    }
    static bool Save(const char* picture, bool oldFileReadToEnd, std::string* savedTo = nullptr)
    {
        CWallpaperObject playlist("Playing", 0), record(picture, 1);
        return SavePictureLibraryFile(Entries(playlist, record), 1, oldFileReadToEnd, savedTo);
    }
    static std::string Shown(const std::string& path)
    {
        CWallpaperList list;
        ReadShowList(path.c_str(), list);
        std::string paths;
        for (const auto& record : list)
            paths += record->m_strPath + ";";
        return paths;
    }
    static std::string ShownByReadLibrary()
    {
        CWallpaperList list;
        ReadLibrary(list);
        std::string paths;
        for (const auto& record : list)
            paths += record->m_strPath + ";";
        return paths;
    }
    bool MakeUserLibrary(const char* picture)
    {
        CreateDirectoryA(m_userFolder.c_str(), nullptr);
        return Write(m_user, picture);
    }
    // No temporary file of a save is left in either place.
    void ExpectNoTemporaryFiles()
    {
        EXPECT_FALSE(FileExists(m_windows + ".tmp"));
        EXPECT_FALSE(FileExists(m_user + ".tmp"));
    }

    std::string m_windows, m_user, m_userFolder;
    LibraryFileAside m_aside;
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

// 16-bit strings of a library file are read as they are (UTF-8 inside the program), whatever the
// ANSI code page; a lone surrogate becomes U+FFFD and the file no longer counts as read whole.
// Written back, only names the code page holds exactly stay 8-bit.
TEST(LibraryAnsi, SixteenBitStringsKeepEveryCharacter)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "expected bytes are those of code page 1252; this system uses " << GetACP();
    // e-acute, euro sign, A-macron (a look-alike 'A' exists in the code page), a smiley, a lone
    // high surrogate, 'x', a lone low surrogate, a zero, 'z'.
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
    EXPECT_FALSE(LoadLibraryFile(name.c_str(), records)) << "lossy: must keep its copy when saved";
    ASSERT_EQ(records.size(), 1u);
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(records[0]->m_strPath, "\xC3\xA9\xE2\x82\xAC\xC4\x80\xE2\x98\xBA" + replacement + "x" + replacement +
                                         std::string(1, '\0') + "z");
    EXPECT_EQ(records[0]->m_strTile, "1");
    EXPECT_EQ(records[0]->m_bNowPlaying, 1);

    // The system's code page decides what stays 8-bit: exact characters only, no look-alikes.
    std::string ansi;
    EXPECT_TRUE(AnsiFromUtf8Exactly("C:\\Caf\xC3\xA9 \xE2\x82\xAC.jpg", ansi));
    EXPECT_EQ(ansi, "C:\\Caf\xE9 \x80.jpg");
    EXPECT_FALSE(AnsiFromUtf8Exactly("\xC4\x80", ansi)) << "A-macron must not become 'A'";
    EXPECT_FALSE(AnsiFromUtf8Exactly("\xEF\xBC\x8F", ansi)) << "a full-width solidus must not become '/'";
    EXPECT_FALSE(AnsiFromUtf8Exactly("\xE5\xA4\x95", ansi));
    EXPECT_FALSE(AnsiFromUtf8Exactly("\xFF", ansi)) << "not UTF-8";
    std::string utf8;
    EXPECT_TRUE(Utf8FromAnsi("\xE9\x80\x9F", utf8));
    EXPECT_EQ(utf8, "\xC3\xA9\xE2\x82\xAC\xC5\xB8");
}

TEST_F(LibraryPlaceTest, UserLibraryIsReadFirstWhenItExists)
{
    ASSERT_TRUE(Write(m_windows, "C:\\windows.bmp"));
    EXPECT_EQ(LibraryPathForReading(), m_windows);
    EXPECT_EQ(ShownByReadLibrary(), "C:\\windows.bmp;");

    ASSERT_TRUE(MakeUserLibrary("C:\\user.bmp"));
    EXPECT_EQ(LibraryPathForReading(), m_user);
    EXPECT_EQ(ShownByReadLibrary(), "C:\\user.bmp;");
    EXPECT_STREQ(g_szLibraryPath, m_windows.c_str());

    // Without the Windows directory's file the user's one is read all the same.
    ASSERT_TRUE(DeleteFileA(m_windows.c_str()));
    EXPECT_EQ(ShownByReadLibrary(), "C:\\user.bmp;");

    // A folder by the file's name is no library.
    ASSERT_TRUE(DeleteFileA(m_user.c_str()));
    ASSERT_TRUE(CreateDirectoryA(m_user.c_str(), nullptr));
    EXPECT_EQ(LibraryPathForReading(), m_windows);
    RemoveDirectoryA(m_user.c_str());
}

TEST_F(LibraryPlaceTest, SavingGoesToTheWindowsDirectoryWhileItCanBeWritten)
{
    std::string savedTo = "stale";
    ASSERT_TRUE(Save("C:\\first.bmp", false, &savedTo)); // no file yet: nothing to keep
    EXPECT_EQ(savedTo, m_windows);
    ASSERT_TRUE(Save("C:\\second.bmp", true, &savedTo));
    EXPECT_EQ(savedTo, m_windows);
    EXPECT_EQ(Shown(m_windows), "C:\\second.bmp;");
    EXPECT_FALSE(FileExists(m_windows + ".bak"));
    EXPECT_FALSE(FileExists(m_userFolder));
    ExpectNoTemporaryFiles();
}

TEST_F(LibraryPlaceTest, ReadOnlyWindowsLibraryMovesTheSaveToTheUserLibraryForGood)
{
    ASSERT_TRUE(Write(m_windows, "C:\\old.bmp"));
    const std::string oldBytes = ReadWholeFile(m_windows);
    ASSERT_TRUE(SetFileAttributesA(m_windows.c_str(), FILE_ATTRIBUTE_READONLY));

    std::string savedTo;
    ASSERT_TRUE(Save("C:\\new.bmp", true, &savedTo));
    EXPECT_EQ(savedTo, m_user);
    EXPECT_EQ(ReadWholeFile(m_windows), oldBytes);
    EXPECT_EQ(Shown(m_user), "C:\\new.bmp;");
    EXPECT_EQ(ShownByReadLibrary(), "C:\\new.bmp;");
    ExpectNoTemporaryFiles();

    // The Windows directory can be written again: the user's library stays the library.
    MakeWritable(m_windows);
    ASSERT_TRUE(Save("C:\\later.bmp", true, &savedTo));
    EXPECT_EQ(savedTo, m_user);
    EXPECT_EQ(ReadWholeFile(m_windows), oldBytes);
    EXPECT_EQ(ShownByReadLibrary(), "C:\\later.bmp;");
    EXPECT_FALSE(FileExists(m_windows + ".bak"));
    ExpectNoTemporaryFiles();
}

TEST_F(LibraryPlaceTest, FileThatDidNotReadToItsEndIsKeptAsBak)
{
    const std::string foreign = "[Another program]\r\nsetting=1\r\n";
    ASSERT_TRUE(WriteBytes(m_windows, foreign));
    CWallpaperList records;
    ASSERT_FALSE(LoadLibraryFile(LibraryPathForReading().c_str(), records));
    ASSERT_TRUE(Save("C:\\new.bmp", false));
    EXPECT_EQ(ReadWholeFile(m_windows + ".bak"), foreign);
    EXPECT_EQ(Shown(m_windows), "C:\\new.bmp;");

    // A file that reads fine is replaced without a copy: the older copy stays as it was.
    ASSERT_TRUE(Save("C:\\newer.bmp", true));
    EXPECT_EQ(ReadWholeFile(m_windows + ".bak"), foreign);

    // A newer unreadable file replaces the older copy, read-only as it was.
    const std::string broken = ReadWholeFile(m_windows).substr(0, 30);
    ASSERT_TRUE(WriteBytes(m_windows, broken));
    ASSERT_TRUE(SetFileAttributesA((m_windows + ".bak").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(Save("C:\\newest.bmp", false));
    EXPECT_EQ(ReadWholeFile(m_windows + ".bak"), broken);
    EXPECT_EQ(Shown(m_windows), "C:\\newest.bmp;");

    // The user's library gets its copy beside it.
    ASSERT_TRUE(CreateDirectoryA(m_userFolder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(m_user, foreign));
    std::string savedTo;
    ASSERT_TRUE(Save("C:\\user.bmp", false, &savedTo));
    EXPECT_EQ(savedTo, m_user);
    EXPECT_EQ(ReadWholeFile(m_user + ".bak"), foreign);
    EXPECT_EQ(ReadWholeFile(m_windows + ".bak"), broken);
    ExpectNoTemporaryFiles();
}

TEST_F(LibraryPlaceTest, NoBakWithoutAnOldFileOrWhenTheSaveMovesElsewhere)
{
    ASSERT_TRUE(Save("C:\\first.bmp", false));
    EXPECT_FALSE(FileExists(m_windows + ".bak"));

    // The unreadable Windows-directory file is not replaced, so it needs no copy.
    ASSERT_TRUE(WriteBytes(m_windows, "junk"));
    ASSERT_TRUE(SetFileAttributesA(m_windows.c_str(), FILE_ATTRIBUTE_READONLY));
    std::string savedTo;
    ASSERT_TRUE(Save("C:\\new.bmp", false, &savedTo));
    EXPECT_EQ(savedTo, m_user);
    EXPECT_EQ(ReadWholeFile(m_windows), "junk");
    EXPECT_FALSE(FileExists(m_windows + ".bak"));
    EXPECT_FALSE(FileExists(m_user + ".bak"));
}

TEST_F(LibraryPlaceTest, FailedSavesKeepTheOldLibraryWhole)
{
    ASSERT_TRUE(Write(m_windows, "C:\\old.bmp"));
    const std::string oldBytes = ReadWholeFile(m_windows);
    std::string savedTo = "stale";
    {
        SCOPED_TRACE("the Windows-directory file held open: a passing failure moves nothing");
        HeldFile reader(m_windows, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_NE(reader.h, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(Save("C:\\new.bmp", true, &savedTo));
        EXPECT_EQ(savedTo, "");
        reader.Close();
        EXPECT_EQ(ReadWholeFile(m_windows), oldBytes);
        EXPECT_FALSE(FileExists(m_userFolder));
        ExpectNoTemporaryFiles();
    }
    {
        SCOPED_TRACE("no copy of an unreadable file can be kept: it is not replaced");
        ASSERT_TRUE(CreateDirectoryA((m_windows + ".bak").c_str(), nullptr));
        EXPECT_FALSE(Save("C:\\new.bmp", false));
        RemoveDirectoryA((m_windows + ".bak").c_str());
        EXPECT_EQ(ReadWholeFile(m_windows), oldBytes);
        EXPECT_FALSE(FileExists(m_userFolder));
        ExpectNoTemporaryFiles();
    }
    {
        SCOPED_TRACE("both places refuse: a read-only file, a file where the user's folder goes");
        ASSERT_TRUE(SetFileAttributesA(m_windows.c_str(), FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(WriteBytes(m_userFolder, "not a folder"));
        EXPECT_FALSE(Save("C:\\new.bmp", true));
        EXPECT_EQ(ReadWholeFile(m_windows), oldBytes);
        EXPECT_EQ(ReadWholeFile(m_userFolder), "not a folder");
        ExpectNoTemporaryFiles();
        ASSERT_TRUE(DeleteFileA(m_userFolder.c_str()));
        MakeWritable(m_windows);
    }
    {
        SCOPED_TRACE("the user's library held open");
        ASSERT_TRUE(MakeUserLibrary("C:\\user.bmp"));
        const std::string userBytes = ReadWholeFile(m_user);
        HeldFile reader(m_user, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_NE(reader.h, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(Save("C:\\new.bmp", true));
        reader.Close();
        EXPECT_EQ(ReadWholeFile(m_user), userBytes);
        EXPECT_EQ(ReadWholeFile(m_windows), oldBytes);
        ExpectNoTemporaryFiles();
    }
    {
        SCOPED_TRACE("the user's library made read-only: it is not given up for the Windows directory");
        const std::string userBytes = ReadWholeFile(m_user);
        ASSERT_TRUE(SetFileAttributesA(m_user.c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(Save("C:\\new.bmp", true));
        EXPECT_EQ(ReadWholeFile(m_user), userBytes);
        EXPECT_EQ(ReadWholeFile(m_windows), oldBytes);
        ExpectNoTemporaryFiles();
    }
}

// A library another program holds open is not taken for an empty one, and is never replaced.
TEST_F(LibraryPlaceTest, LibraryThatCannotBeOpenedIsToldAndNeverReplaced)
{
    ASSERT_TRUE(Write(m_windows, "C:\\held.bmp"));
    const std::string before = ReadWholeFile(m_windows);
    HeldFile held(m_windows, 0);
    ASSERT_NE(held.h, INVALID_HANDLE_VALUE);
    size_t count = 1;
    const LibraryReadState read = ReadForEditing(&count);
    EXPECT_TRUE(read.unreadable);
    EXPECT_FALSE(read.error.empty());
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(SaveRead(read, "C:\\empty.bmp"));
    held.Close();
    EXPECT_EQ(ReadWholeFile(m_windows), before);
    EXPECT_FALSE(FileExists(m_windows + ".bak"));
    EXPECT_FALSE(FileExists(m_user));
    ExpectNoTemporaryFiles();

    // Readable again, it is read as usual.
    const LibraryReadState again = ReadForEditing(&count);
    EXPECT_FALSE(again.unreadable);
    EXPECT_TRUE(again.readToEnd);
    EXPECT_EQ(count, 2u);
}

// What changed on disk while the dialog was open is kept as ".bak" before it is replaced: the
// file read changed, or a user's library appeared meanwhile (then that one is written, as every
// reader reads it from then on).
TEST_F(LibraryPlaceTest, AFileChangedSinceItWasReadIsKeptAsBak)
{
    ASSERT_TRUE(Write(m_windows, "C:\\first.bmp"));
    LibraryReadState read = ReadForEditing();
    ASSERT_TRUE(read.readToEnd);
    ASSERT_TRUE(Write(m_windows, "C:\\someone.else.bmp")); // the size changes
    const std::string theirs = ReadWholeFile(m_windows);
    std::string savedTo;
    ASSERT_TRUE(SaveRead(read, "C:\\mine.bmp", &savedTo));
    EXPECT_EQ(savedTo, m_windows);
    EXPECT_EQ(Shown(m_windows), "C:\\mine.bmp;");
    EXPECT_EQ(ReadWholeFile(m_windows + ".bak"), theirs);

    // Unchanged since it was read: no copy.
    ASSERT_TRUE(DeleteFileA((m_windows + ".bak").c_str()));
    read = ReadForEditing();
    ASSERT_TRUE(SaveRead(read, "C:\\again.bmp"));
    EXPECT_FALSE(FileExists(m_windows + ".bak"));

    // A user's library made by another instance meanwhile.
    read = ReadForEditing();
    ASSERT_EQ(read.path, m_windows);
    ASSERT_TRUE(MakeUserLibrary("C:\\other.instance.bmp"));
    const std::string other = ReadWholeFile(m_user);
    ASSERT_TRUE(SaveRead(read, "C:\\latest.bmp", &savedTo));
    EXPECT_EQ(savedTo, m_user);
    EXPECT_EQ(ShownByReadLibrary(), "C:\\latest.bmp;");
    EXPECT_EQ(ReadWholeFile(m_user + ".bak"), other);
    ExpectNoTemporaryFiles();
}

// The copy an older build's writes were redirected to is found when it is the newer library;
// saving it makes the user's library and leaves the copy as it was.
TEST_F(LibraryPlaceTest, VirtualStoreCopyIsReadAndSavedAsTheUsersLibrary)
{
    const std::string stored = VirtualStorePath();
    ASSERT_FALSE(stored.empty());
    EXPECT_NE(stored.find("\\VirtualStore\\"), std::string::npos);
    ASSERT_TRUE(Write(m_windows, "C:\\windows.bmp"));
    // Folders made as the system makes them; left in place (empty) afterwards.
    for (size_t slash = stored.find('\\', 3); slash != std::string::npos; slash = stored.find('\\', slash + 1))
        CreateDirectoryA(stored.substr(0, slash).c_str(), nullptr);
    ASSERT_TRUE(Write(stored, "C:\\redirected.bmp"));
    // Older than the Windows directory's file: not used.
    FILETIME old {0x10000000, 0x01000000};
    {
        HANDLE h = CreateFileA(stored.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SetFileTime(h, nullptr, nullptr, &old);
        CloseHandle(h);
    }
    EXPECT_EQ(LibraryPathForReading(), m_windows);
    // Newer: it is the library.
    ASSERT_TRUE(Write(stored, "C:\\redirected.bmp"));
    EXPECT_EQ(LibraryPathForReading(), stored);
    EXPECT_EQ(ShownByReadLibrary(), "C:\\redirected.bmp;");
    const std::string copy = ReadWholeFile(stored);
    std::string savedTo;
    ASSERT_TRUE(SaveRead(ReadForEditing(), "C:\\saved.bmp", &savedTo));
    EXPECT_EQ(savedTo, m_user);
    EXPECT_EQ(ShownByReadLibrary(), "C:\\saved.bmp;");
    EXPECT_EQ(ReadWholeFile(stored), copy);
    EXPECT_EQ(Shown(m_windows), "C:\\windows.bmp;");
}

// Replacing the library keeps what the file carried besides its bytes.
TEST_F(LibraryReplaceTest, ReplacingKeepsTheFilesAttributes)
{
    ASSERT_TRUE(SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(SaveNew());
    EXPECT_EQ(ShownPaths(), "C:\\new.bmp;");
    EXPECT_TRUE(GetFileAttributesA(m_path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(FileExists(m_path + ".tmp"));
    EXPECT_FALSE(FileExists(m_path + ".replaced"));
    SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Removes a folder and everything in it, by wide "\\?\" paths (names of any length and
// characters, which the ANSI clean-up of the scratch folders cannot reach).
void RemoveTreeW(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTreeW(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// A library file in a folder named in characters the ANSI code page lacks, and one 300
// characters deep: written, replaced in one step and read back with every name intact.
TEST(LibraryNames, UnicodeAndLongPathsSaveReplaceAndReadBack)
{
    const std::wstring base = L"\\\\?\\" + Wide(ScratchDir("library-names"));
    RemoveTreeW(base);
    ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
    const std::wstring unicodeFolder = base + L"\\\u5199\u771F \U0001F305";  // 写真 🌅
    ASSERT_TRUE(CreateDirectoryW(unicodeFolder.c_str(), nullptr));
    std::wstring longFolder = base;
    while (longFolder.size() < 4 + 300)
        longFolder += L"\\" + std::wstring(40, L'd');
    for (size_t at = base.size() + 1; at <= longFolder.size(); ++at)
        if (at == longFolder.size() || longFolder[at] == L'\\')
            CreateDirectoryW(longFolder.substr(0, at).c_str(), nullptr);

    for (const std::wstring& folder : {unicodeFolder, longFolder}) {
        const std::string path = Utf8(folder.substr(4)) + "\\Murlavo.ini"; // as the program holds it: no prefix
        SCOPED_TRACE(path);
        ASSERT_GT(path.size(), 20u);
        const std::string picture = Utf8(folder.substr(4)) + "\\\xE5\xA4\x95\xE7\x84\xBC\xE3\x81\x91.jpg";
        CWallpaperObject playlist("\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE2\x9C\xA8", 0), record(picture, 1); // Фото ✨
        const std::vector<CLibraryEntry> entries = {{&playlist, true}, {&record, false}};
        ASSERT_TRUE(SaveLibraryFile(path.c_str(), entries, 1));
        ASSERT_TRUE(SaveLibraryFile(path.c_str(), entries, 0)); // over the existing file: ReplaceFile
        EXPECT_EQ(GetFileAttributesW(FilePath(path + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
        CWallpaperList records;
        ASSERT_TRUE(LoadLibraryFile(path.c_str(), records));
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0]->m_strPath, playlist.m_strPath);
        EXPECT_EQ(records[1]->m_strPath, picture);
        EXPECT_EQ(records[1]->m_bResample, 1);
        const LibraryFileStamp stamp = StampOfFile(path);
        EXPECT_TRUE(stamp.exists);
        EXPECT_GT(stamp.size, 0u);
    }
    RemoveTreeW(base);
}
