// Folders of pictures walked on a real disk (library/PictureFolders.h): this folder or also its
// sub-folders, Explorer's order, Unicode and long paths, the index (a folder whose time did not
// change is not read; one that changed is), loops through links, files that are not stored
// locally, a missing folder, the bounds, cancelling, a damaged index file.
//
// Under Wine: a folder's last-write time is the Unix directory's modification time, which
// changes when an entry is added, removed or renamed (checked below, where it matters). Wine 8
// cannot make a junction (FSCTL_SET_REPARSE_POINT fails) and its CreateSymbolicLinkW does
// nothing, but it shows a symbolic link of the Unix file system as a folder with
// FILE_ATTRIBUTE_REPARSE_POINT: the real loop is made with /bin/ln there. It keeps neither
// FILE_ATTRIBUTE_OFFLINE nor the placeholders' attributes: those come through the walk's
// test seam.
#include "framework/Handles.h"
#include "framework/WideText.h"
#include "library/FolderIndexFile.h"
#include "library/PictureFolders.h"
#include "support/TestSupport.h"
#include "unit/WideFiles.h"

#include <windows.h>
#include <shlwapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <functional>
#include <cstring>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

constexpr DWORD kRecallOnDataAccess = 0x00400000;
constexpr DWORD kRecallOnOpen = 0x00040000;

bool IsWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// ---- links ---------------------------------------------------------------------------------

// The Unix path Wine gives a Windows path; empty elsewhere.
std::string UnixPath(const std::string& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return {};
    char* unix = toUnix(Wide(path).c_str());
    if (!unix)
        return {};
    std::string out = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

// Runs a program of the Unix system under Wine (which starts it as a Unix process; the handle
// Wine returns does not wait for it, so the caller waits for what it does, and runs it only
// when there is something to do).
bool RunUnix(const std::vector<std::string>& arguments)
{
    std::wstring line;
    for (const auto& argument : arguments)
        line += (line.empty() ? L"\"" : L" \"") + Wide(argument) + L"\"";
    for (const wchar_t* program : {L"Z:\\bin\\" , L"Z:\\usr\\bin\\"}) {
        const std::wstring exe = program + Wide(arguments[0].substr(arguments[0].find_last_of('/') + 1));
        STARTUPINFOW startup {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process {};
        if (::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            ::WaitForSingleObject(process.hProcess, 10000);
            ::CloseHandle(process.hThread);
            ::CloseHandle(process.hProcess);
            return true;
        }
    }
    return false;
}

bool WaitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 200; ++i) {
        if (condition())
            return true;
        ::Sleep(50);
    }
    return condition();
}

DWORD Attributes(const std::string& path)
{
    return ::GetFileAttributesW(FilePath(path).c_str());
}

bool IsFolderLink(const std::string& path)
{
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A junction's reparse data (the mount-point form of REPARSE_DATA_BUFFER, which only the
// driver kit's headers declare).
struct MountPointData {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset, substituteLength, printOffset, printLength;
    wchar_t path[1024];
};

// `link` becomes a junction to `target` (Windows), or a Unix symbolic link to it (Wine);
// false when neither can be made.
bool MakeFolderLink(const std::string& link, const std::string& target)
{
    if (MakeWideFolder(link)) {
        CFileHandle handle(::CreateFileW(FilePath(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        const std::wstring substitute = L"\\??\\" + Wide(target), print = Wide(target);
        MountPointData data {};
        data.tag = IO_REPARSE_TAG_MOUNT_POINT;
        data.substituteLength = WORD(substitute.size() * 2);
        data.printOffset = WORD(data.substituteLength + 2);
        data.printLength = WORD(print.size() * 2);
        std::memcpy(data.path, substitute.c_str(), substitute.size() * 2);
        std::memcpy(data.path + substitute.size() + 1, print.c_str(), print.size() * 2);
        data.dataLength = WORD(8 + data.printOffset + data.printLength + 2);
        DWORD returned = 0;
        if (handle &&
            ::DeviceIoControl(handle.Get(), FSCTL_SET_REPARSE_POINT, &data, 8 + data.dataLength, nullptr, 0, &returned,
                nullptr) &&
            IsFolderLink(link))
            return true;
        handle.Reset();
        ::RemoveDirectoryW(FilePath(link).c_str());
    }
    if (!IsWine())
        return false;
    const std::string unixTarget = UnixPath(target), unixLink = UnixPath(link);
    if (unixTarget.empty() || unixLink.empty() || !RunUnix({"/bin/ln", "-s", unixTarget, unixLink}))
        return false;
    return WaitFor([&] { return IsFolderLink(link); });
}

bool RemoveFolderLink(const std::string& link)
{
    if (!IsWine())
        return ::RemoveDirectoryW(FilePath(link).c_str()) != FALSE; // the junction, not its target
    // Wine's RemoveDirectoryW and DeleteFileW remove no Unix link.
    const std::string unixLink = UnixPath(link);
    return !unixLink.empty() && RunUnix({"/bin/rm", "-f", unixLink}) &&
           WaitFor([&] { return Attributes(link) == INVALID_FILE_ATTRIBUTES; });
}

// ---- the tree ------------------------------------------------------------------------------

// Removes a folder with all it holds; links are removed, never followed.
void DeleteTree(const std::string& path)
{
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(FilePath(path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Utf8(found.cFileName);
            if (name == "." || name == "..")
                continue;
            const std::string full = path + "\\" + name;
            const DWORD link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
            if ((found.dwFileAttributes & link) == link) {
                RemoveFolderLink(full);
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(full);
            } else {
                ::SetFileAttributesW(FilePath(full).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(FilePath(full).c_str());
            }
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(FilePath(path).c_str());
}

uint64_t LastWrite(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data {};
    if (!::GetFileAttributesExW(FilePath(path).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

bool SetLastWrite(const std::string& path, uint64_t ticks)
{
    CFileHandle handle(::CreateFileW(FilePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
        nullptr));
    FILETIME time {DWORD(ticks), DWORD(ticks >> 32)};
    return handle && ::SetFileTime(handle.Get(), nullptr, nullptr, &time);
}

// 1 January 2020, in FILETIME's 100 ns units: long enough ago for the index to trust.
constexpr uint64_t kOldTime = 132223104000000000ull;
constexpr uint64_t kHour = 36000000000ull;

// Sets every folder of the tree (links not followed) to an old last-write time.
void AgeFolders(const std::string& path)
{
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(FilePath(path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Utf8(found.cFileName);
            if (name != "." && name != ".." && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                AgeFolders(path + "\\" + name);
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    SetLastWrite(path, kOldTime);
}

struct FolderId {
    uint32_t volume = 0;
    uint64_t index = 0;
};

FolderId IdOf(const std::string& path)
{
    CFileHandle handle(::CreateFileW(FilePath(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
        nullptr));
    BY_HANDLE_FILE_INFORMATION info {};
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &info))
        return {};
    return {info.dwVolumeSerialNumber, uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

// What the seams do in a test: attributes given to entries by name, identities of folders.
struct SeamState {
    std::vector<std::pair<std::string, uint32_t>> attributes; // name ending the path, attributes added
    std::vector<std::pair<std::string, FolderId>> identities; // path, identity it gets
    std::vector<std::string> identitiesAsked;
};
SeamState g_seams;

void EntrySeam(const std::string& path, uint32_t& attributes)
{
    for (const auto& given : g_seams.attributes)
        if (path.size() >= given.first.size() &&
            path.compare(path.size() - given.first.size(), given.first.size(), given.first) == 0)
            attributes |= given.second;
}

void IdentitySeam(const std::string& path, uint32_t& volume, uint64_t& fileIndex)
{
    g_seams.identitiesAsked.push_back(path);
    for (const auto& given : g_seams.identities)
        if (path == given.first) {
            volume = given.second.volume;
            fileIndex = given.second.index;
        }
}

// Removes the test's tree. Under Wine with /bin/rm: a Unix link whose target was removed
// first is no longer shown by Wine, so the folder holding it could not be removed.
void DeleteTestTree(const std::string& path)
{
    // Not for nothing: the Unix program may start late, and must not remove the next tree.
    if (Attributes(path) == INVALID_FILE_ATTRIBUTES)
        return;
    const std::string unixPath = IsWine() ? UnixPath(path) : std::string();
    if (unixPath.size() > 20 && unixPath.find("/murlavo-tests/") != std::string::npos) {
        RunUnix({"/bin/rm", "-rf", unixPath});
        WaitFor([&] { return Attributes(path) == INVALID_FILE_ATTRIBUTES; });
    }
    DeleteTree(path);
}

class PictureFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = L"";
        ::GetTempPathW(MAX_PATH, temp);
        const std::string tests = Utf8(temp) + "murlavo-tests";
        MakeWideFolder(tests);
        m_root = tests + "\\picture-folders";
        DeleteTestTree(m_root);
        ASSERT_TRUE(MakeWideFolder(m_root));
        m_indexPath = tests + "\\picture-folders-index\\Folder index.dat";
        DeleteTree(tests + "\\picture-folders-index");
        g_seams = SeamState();
    }
    void TearDown() override
    {
        folder_walk_testing::SetEntryHook(nullptr);
        folder_walk_testing::SetIdentityHook(nullptr);
        DeleteTestTree(m_root);
        DeleteTree(m_indexPath.substr(0, m_indexPath.find_last_of('\\')));
    }

    std::string Path(const std::string& relative) const { return relative.empty() ? m_root : m_root + "\\" + relative; }

    // Files and the folders above them, relative to the root.
    void Make(std::initializer_list<std::string> files)
    {
        for (const auto& file : files) {
            size_t slash = 0;
            while ((slash = file.find('\\', slash)) != std::string::npos)
                ASSERT_TRUE(MakeWideFolder(Path(file.substr(0, slash++))));
            if (file.back() == '\\')
                continue;
            ASSERT_TRUE(MakeWideFile(Path(file))) << file;
        }
    }

    // The pictures' paths relative to the root.
    std::vector<std::string> Relative(const FolderListing& listing) const
    {
        std::vector<std::string> out;
        for (const auto& path : listing.pictures) {
            EXPECT_EQ(path.compare(0, m_root.size() + 1, m_root + "\\"), 0) << path;
            out.push_back(path.substr(m_root.size() + 1));
        }
        return out;
    }

    std::vector<std::string> List(CFolderIndex& index, bool withSubFolders = true, const FolderWalkLimits& limits = {})
    {
        const FolderListing listing = index.List(m_root, withSubFolders, limits);
        EXPECT_TRUE(listing.available) << listing.reason;
        EXPECT_FALSE(listing.truncated);
        return Relative(listing);
    }

    // How many folders a call reads from the disk.
    template <class Call> size_t FoldersReadBy(Call call)
    {
        const size_t before = folder_walk_testing::FoldersRead();
        call();
        return folder_walk_testing::FoldersRead() - before;
    }

    std::string m_root;
    std::string m_indexPath;
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(PictureFoldersTest, ThisFolderOrAlsoItsSubFolders)
{
    Make({"b.jpg", "a.PNG", "notes.txt", "c.jpeg.bak", "sub\\c.jpg", "sub\\deeper\\d.gif", "sub\\deeper\\e.tif",
        "empty\\", "z.webp"});
    CFolderIndex index("");
    EXPECT_EQ(List(index, false), (Names {"a.PNG", "b.jpg", "z.webp"}));
    EXPECT_EQ(List(index, true), (Names {"a.PNG", "b.jpg", "z.webp", "sub\\c.jpg", "sub\\deeper\\d.gif",
                                     "sub\\deeper\\e.tif"}));
}

TEST_F(PictureFoldersTest, NamesInExplorersOrderOwnPicturesFirst)
{
    Make({"10.jpg", "2.jpg", "1.jpg", "B.jpg", "a.jpg", "img 10.png", "img 2.png", "10\\x.jpg", "9\\x.jpg",
        "Beta\\x.jpg", "alpha\\x.jpg"});
    CFolderIndex index("");
    EXPECT_EQ(List(index), (Names {"1.jpg", "2.jpg", "10.jpg", "a.jpg", "B.jpg", "img 2.png", "img 10.png", "9\\x.jpg",
                               "10\\x.jpg", "alpha\\x.jpg", "Beta\\x.jpg"}));
}

TEST_F(PictureFoldersTest, TheOrderIsStrCmpLogicalWsWhateverTheNames)
{
    // The walk sorts with a quick order and lets StrCmpLogicalW check it: names where the two
    // disagree (punctuation, leading zeros, letters beyond ASCII) come out as StrCmpLogicalW
    // sorts them all the same.
    const std::vector<std::string> names {"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0010.jpg", "img_0003.JPG", "IMG-0004.jpg",
        "IMG 0005.jpg", "IMG0006.jpg", "a1.jpg", "a01.jpg", "a001.jpg", "a10.jpg", "a2b.jpg", "A2c.jpg", "a2-b.jpg",
        "co-op.jpg", "coop.jpg", "co'op.jpg", "_x.jpg", "~x.jpg", "(1).jpg", "[2].jpg", "Ärger.jpg", "Zebra.jpg",
        "zebra 2.jpg", "Écrin.jpg", "éclair.jpg", "夕焼け.jpg", "Москва.jpg", "99999999999999999999.jpg",
        "100000000000000000000.jpg", "x.jpg", "X1.jpg", "x.1.jpg", "x..jpg"};
    for (const auto& name : names)
        Make({name});
    std::vector<std::wstring> wide;
    for (const auto& name : names)
        wide.push_back(Wide(name));
    std::sort(wide.begin(), wide.end(), [](const std::wstring& a, const std::wstring& b) {
        const int order = ::StrCmpLogicalW(a.c_str(), b.c_str());
        return order != 0 ? order < 0 : a < b;
    });
    Names expected;
    for (const auto& name : wide)
        expected.push_back(Utf8(name));
    CFolderIndex index("");
    EXPECT_EQ(List(index), expected);
    // And the usual names alone, which the quick order sorts right by itself.
    DeleteTestTree(m_root);
    ASSERT_TRUE(MakeWideFolder(m_root));
    Make({"DSC_0100.JPG", "DSC_0099.JPG", "20240101_120000.jpg", "20231231_235959.jpg", "Photo 10.png", "photo 9.png"});
    EXPECT_EQ(List(index), (Names {"20231231_235959.jpg", "20240101_120000.jpg", "DSC_0099.JPG", "DSC_0100.JPG",
                               "photo 9.png", "Photo 10.png"}));
}

TEST_F(PictureFoldersTest, UnicodeNamesComeBackAsPathsThatOpen)
{
    const std::string folder = std::string(kJapaneseFolder) + "\\";
    Make({kSunset, kLodz, folder + kMoscow, folder + kCafe, std::string(kCyrillicName) + "\\" + kSunset});
    CFolderIndex index("");
    const FolderListing listing = index.List(m_root, true);
    ASSERT_TRUE(listing.available);
    EXPECT_EQ(Relative(listing).size(), 5u);
    for (const auto& path : listing.pictures)
        EXPECT_NE(Attributes(path), INVALID_FILE_ATTRIBUTES) << path;
    EXPECT_TRUE(std::find(listing.pictures.begin(), listing.pictures.end(), Path(folder + kMoscow)) !=
                listing.pictures.end());
    EXPECT_TRUE(std::find(listing.pictures.begin(), listing.pictures.end(), Path(kSunset)) != listing.pictures.end());
}

TEST_F(PictureFoldersTest, PathsLongerThan260Characters)
{
    const std::string longName(120, 'L');
    const std::string relative = longName + "\\" + longName + "\\" + longName;
    Make({relative + "\\" + kSunset, relative + "\\deeper\\b.jpg"});
    ASSERT_GT(Path(relative).size(), 300u);
    CFolderIndex index(m_indexPath);
    const FolderListing listing = index.List(Path(longName), true);
    ASSERT_TRUE(listing.available) << listing.reason;
    ASSERT_EQ(listing.pictures.size(), 2u);
    EXPECT_EQ(listing.pictures[0], Path(relative + "\\" + kSunset));
    for (const auto& path : listing.pictures)
        EXPECT_NE(Attributes(path), INVALID_FILE_ATTRIBUTES) << path;
    // The long folder itself, and its index.
    EXPECT_EQ(index.List(Path(relative), false).pictures.size(), 1u);
    EXPECT_TRUE(index.Save());
    AgeFolders(m_root);
    CFolderIndex again(m_indexPath);
    EXPECT_EQ(again.List(Path(longName), true).pictures, listing.pictures);
}

TEST_F(PictureFoldersTest, PathsAreMadeFull)
{
    Make({"a\\1.jpg", "b\\2.jpg"});
    CFolderIndex index("");
    std::string slashes = m_root + "/b/../a/";
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    EXPECT_EQ(index.List(slashes, false).pictures, std::vector<std::string> {Path("a\\1.jpg")});
    // "C:" is the drive's root, not its current folder.
    wchar_t current[MAX_PATH] = L"";
    ::GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(::SetCurrentDirectoryW(FilePath(Path("a")).c_str()));
    const FolderListing drive = index.List(m_root.substr(0, 2), false);
    ::SetCurrentDirectoryW(current);
    EXPECT_TRUE(drive.available);
    for (const auto& path : drive.pictures)
        EXPECT_EQ(path.find(m_root), std::string::npos) << path;
}

TEST_F(PictureFoldersTest, HiddenAndSystemEntriesAreLeftOut)
{
    Make({"shown.jpg", "hidden.jpg", "system.jpg", "secret\\x.jpg", "x.jpg\\inside.png"});
    ASSERT_TRUE(::SetFileAttributesW(FilePath(Path("hidden.jpg")).c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::SetFileAttributesW(FilePath(Path("system.jpg")).c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(::SetFileAttributesW(FilePath(Path("secret")).c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(Attributes(Path("secret")) & FILE_ATTRIBUTE_HIDDEN);
    CFolderIndex index("");
    // "x.jpg" is a folder: walked as one, not taken for a picture.
    EXPECT_EQ(List(index), (Names {"shown.jpg", "x.jpg\\inside.png"}));
    // A folder hidden after it was indexed: its parent's time stays, it is left out all the same.
    Make({"later\\y.jpg"});
    AgeFolders(m_root);
    EXPECT_EQ(List(index), (Names {"shown.jpg", "later\\y.jpg", "x.jpg\\inside.png"}));
    ASSERT_TRUE(::SetFileAttributesW(FilePath(Path("later")).c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(List(index), (Names {"shown.jpg", "x.jpg\\inside.png"}));
    // A picture is looked at before it is opened.
    EXPECT_TRUE(IsStoredLocally(Path("shown.jpg")));
    EXPECT_FALSE(IsStoredLocally(Path("gone.jpg")));
}

TEST_F(PictureFoldersTest, FilesNotStoredLocallyAreLeftOut)
{
    Make({"local.jpg", "tape.jpg", "cloud.jpg", "cloud-open.jpg", "cloud folder\\x.jpg", "folder\\y.jpg"});
    // Wine does not keep FILE_ATTRIBUTE_OFFLINE; Windows does.
    const bool offlineKept = ::SetFileAttributesW(FilePath(Path("tape.jpg")).c_str(), FILE_ATTRIBUTE_OFFLINE) &&
                             (Attributes(Path("tape.jpg")) & FILE_ATTRIBUTE_OFFLINE);
    if (!offlineKept)
        g_seams.attributes.push_back({"\\tape.jpg", FILE_ATTRIBUTE_OFFLINE});
    g_seams.attributes.push_back({"\\cloud.jpg", kRecallOnDataAccess});
    g_seams.attributes.push_back({"\\cloud-open.jpg", kRecallOnOpen});
    g_seams.attributes.push_back({"\\cloud folder", kRecallOnOpen | FILE_ATTRIBUTE_REPARSE_POINT});
    folder_walk_testing::SetEntryHook(EntrySeam);
    CFolderIndex index("");
    EXPECT_EQ(List(index), (Names {"local.jpg", "folder\\y.jpg"})) << (offlineKept ? "" : "(offline through the seam)");
}

TEST_F(PictureFoldersTest, AFolderThatDidNotChangeIsTakenFromTheIndex)
{
    Make({"a.jpg", "one\\b.jpg", "one\\two\\c.jpg", "three\\d.jpg"});
    AgeFolders(m_root);
    CFolderIndex index("");
    Names first;
    EXPECT_EQ(FoldersReadBy([&] { first = List(index); }), 4u);
    Names second;
    EXPECT_EQ(FoldersReadBy([&] { second = List(index); }), 0u);
    EXPECT_EQ(second, first);
    // Its path written otherwise is the same folder.
    std::string upper = m_root;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return char(::toupper(c)); });
    FolderListing listing;
    EXPECT_EQ(FoldersReadBy([&] { listing = index.List(upper + "\\", true); }), 0u);
    EXPECT_EQ(listing.pictures.size(), 4u);
    ASSERT_FALSE(listing.pictures.empty());
    EXPECT_EQ(listing.pictures[0], upper + "\\a.jpg");

    // The index is what answers: a file added behind a folder's time that is put back is not
    // seen...
    const std::string two = Path("one\\two");
    const uint64_t before = LastWrite(two);
    Make({"one\\two\\new.jpg"});
    ASSERT_TRUE(SetLastWrite(two, before));
    EXPECT_EQ(FoldersReadBy([&] { second = List(index); }), 0u);
    EXPECT_EQ(second, first);
    // ... until the time differs.
    ASSERT_TRUE(SetLastWrite(two, before + kHour));
    EXPECT_EQ(FoldersReadBy([&] { second = List(index); }), 1u);
    EXPECT_EQ(second, (Names {"a.jpg", "one\\b.jpg", "one\\two\\c.jpg", "one\\two\\new.jpg", "three\\d.jpg"}));
}

TEST_F(PictureFoldersTest, AFolderWrittenJustNowIsReadAgain)
{
    // Its time may not move for an entry added within the same tick of the clock.
    Make({"a.jpg"});
    CFolderIndex index("");
    EXPECT_EQ(FoldersReadBy([&] { List(index); }), 1u);
    EXPECT_EQ(FoldersReadBy([&] { List(index); }), 1u);
}

TEST_F(PictureFoldersTest, AnAddedFileIsFoundWithTheIndex)
{
    Make({"1.jpg", "sub\\3.jpg"});
    AgeFolders(m_root);
    CFolderIndex index(m_indexPath);
    EXPECT_EQ(List(index), (Names {"1.jpg", "sub\\3.jpg"}));
    ASSERT_TRUE(index.Save());

    // The folder's time moves when an entry is added (under Wine too)...
    const uint64_t before = LastWrite(m_root);
    Make({"2.jpg"});
    const uint64_t after = LastWrite(m_root);
    ASSERT_NE(after, before) << "the folder's last-write time did not change when a file was added";
    // ... and that is how the index knows: with the time set an hour on (so not "just now"),
    // the folder is read again, by this index and by a fresh one from the file.
    ASSERT_TRUE(SetLastWrite(m_root, before + kHour));
    EXPECT_EQ(FoldersReadBy([&] { EXPECT_EQ(List(index), (Names {"1.jpg", "2.jpg", "sub\\3.jpg"})); }), 1u);
    CFolderIndex fresh(m_indexPath);
    EXPECT_EQ(FoldersReadBy([&] { EXPECT_EQ(List(fresh), (Names {"1.jpg", "2.jpg", "sub\\3.jpg"})); }), 1u);
}

TEST_F(PictureFoldersTest, ARemovedOrRenamedFileIsGoneWithTheIndex)
{
    Make({"1.jpg", "2.jpg", "sub\\3.jpg", "sub\\4.jpg"});
    AgeFolders(m_root);
    CFolderIndex index("");
    EXPECT_EQ(List(index), (Names {"1.jpg", "2.jpg", "sub\\3.jpg", "sub\\4.jpg"}));

    const uint64_t before = LastWrite(Path("sub"));
    ASSERT_TRUE(::DeleteFileW(FilePath(Path("sub\\3.jpg")).c_str()));
    ASSERT_NE(LastWrite(Path("sub")), before) << "the folder's time did not change when a file was removed";
    ASSERT_TRUE(SetLastWrite(Path("sub"), before + kHour));
    EXPECT_EQ(List(index), (Names {"1.jpg", "2.jpg", "sub\\4.jpg"}));

    const uint64_t rootBefore = LastWrite(m_root);
    ASSERT_TRUE(::MoveFileW(FilePath(Path("1.jpg")).c_str(), FilePath(Path("30.jpg")).c_str()));
    ASSERT_NE(LastWrite(m_root), rootBefore) << "the folder's time did not change when a file was renamed";
    ASSERT_TRUE(SetLastWrite(m_root, rootBefore + kHour));
    EXPECT_EQ(List(index), (Names {"2.jpg", "30.jpg", "sub\\4.jpg"}));
}

TEST_F(PictureFoldersTest, NestedFoldersAddedAndRemovedDeepDown)
{
    Make({"a\\1.jpg", "a\\b\\2.jpg", "a\\b\\c\\3.jpg", "a\\b\\c\\d\\4.jpg", "a\\b\\c\\d\\e\\5.jpg"});
    AgeFolders(m_root);
    CFolderIndex index("");
    EXPECT_EQ(List(index).size(), 5u);

    // A new folder deep down: its parent's time moves, the new folder is read.
    const uint64_t before = LastWrite(Path("a\\b\\c"));
    Make({"a\\b\\c\\new\\6.jpg"});
    ASSERT_NE(LastWrite(Path("a\\b\\c")), before);
    AgeFolders(m_root);
    ASSERT_TRUE(SetLastWrite(Path("a\\b\\c"), before + kHour));
    Names names;
    EXPECT_EQ(FoldersReadBy([&] { names = List(index); }), 2u);
    EXPECT_EQ(names, (Names {"a\\1.jpg", "a\\b\\2.jpg", "a\\b\\c\\3.jpg", "a\\b\\c\\d\\4.jpg",
                         "a\\b\\c\\d\\e\\5.jpg", "a\\b\\c\\new\\6.jpg"}));

    // A folder removed with what it held.
    DeleteTree(Path("a\\b\\c\\d"));
    ASSERT_TRUE(SetLastWrite(Path("a\\b\\c"), before + 2 * kHour));
    EXPECT_EQ(List(index), (Names {"a\\1.jpg", "a\\b\\2.jpg", "a\\b\\c\\3.jpg", "a\\b\\c\\new\\6.jpg"}));
}

TEST_F(PictureFoldersTest, ALoopThroughALinkIsWalkedOnce)
{
    Make({"1.jpg", "a\\2.jpg", "b\\3.jpg"});
    if (!MakeFolderLink(Path("a\\up"), m_root) || !MakeFolderLink(Path("b\\again"), Path("a")))
        GTEST_SKIP() << "this system can make neither a junction nor a symbolic link";
    AgeFolders(m_root);
    CFolderIndex index(m_indexPath);
    // "a\up" is the root again, "b\again" is "a", seen before: each picture once.
    const Names expected {"1.jpg", "a\\2.jpg", "b\\3.jpg"};
    EXPECT_EQ(List(index), expected);
    EXPECT_EQ(List(index), expected);
    ASSERT_TRUE(index.Save());
    CFolderIndex fresh(m_indexPath);
    EXPECT_EQ(List(fresh), expected);
    // A link listed as the folder itself is followed.
    const FolderListing through = fresh.List(Path("b\\again"), true);
    EXPECT_EQ(through.pictures, (std::vector<std::string> {Path("b\\again\\2.jpg"), Path("b\\again\\up\\1.jpg"),
                                    Path("b\\again\\up\\b\\3.jpg")}));
}

TEST_F(PictureFoldersTest, TheLoopGuardThroughTheSeam)
{
    // What a junction to an ancestor and one to a folder seen before look like to the walk:
    // a folder that is a reparse point and whose identity is one met already.
    Make({"1.jpg", "a\\2.jpg", "a\\up\\copy-of-root.jpg", "b\\3.jpg", "c\\copy-of-a.jpg"});
    g_seams.attributes.push_back({"\\a\\up", FILE_ATTRIBUTE_REPARSE_POINT});
    g_seams.identities.push_back({Path("a\\up"), IdOf(m_root)});
    g_seams.identities.push_back({Path("c"), IdOf(Path("a"))});
    folder_walk_testing::SetEntryHook(EntrySeam);
    folder_walk_testing::SetIdentityHook(IdentitySeam);
    AgeFolders(m_root);
    CFolderIndex index("");
    EXPECT_EQ(List(index), (Names {"1.jpg", "a\\2.jpg", "b\\3.jpg"}));
    // With the index: the same, and the link's target is looked at again each time.
    g_seams.identitiesAsked.clear();
    EXPECT_EQ(List(index), (Names {"1.jpg", "a\\2.jpg", "b\\3.jpg"}));
    EXPECT_TRUE(std::find(g_seams.identitiesAsked.begin(), g_seams.identitiesAsked.end(), Path("a\\up")) !=
                g_seams.identitiesAsked.end());
}

TEST_F(PictureFoldersTest, AMissingFolderOrAFileIsNotAvailable)
{
    Make({"file.jpg"});
    CFolderIndex index("");
    for (const std::string& path : {Path("missing"), Path("missing\\deeper"), Path("file.jpg"), std::string()}) {
        const FolderListing listing = index.List(path, true);
        EXPECT_FALSE(listing.available) << path;
        EXPECT_FALSE(listing.reason.empty()) << path;
        EXPECT_TRUE(listing.pictures.empty()) << path;
    }
    EXPECT_EQ(index.List(Path("missing"), true).reason, SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(index.List(Path("missing\\deeper"), true).reason, SystemErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(index.List(Path("file.jpg"), true).reason, SystemErrorText(ERROR_DIRECTORY));
    // An empty folder is there, with nothing in it.
    Make({"empty\\"});
    const FolderListing empty = index.List(Path("empty"), true);
    EXPECT_TRUE(empty.available);
    EXPECT_TRUE(empty.pictures.empty());
    EXPECT_TRUE(empty.reason.empty());
}

TEST_F(PictureFoldersTest, ARootNotStoredLocallyIsNotRead)
{
    Make({"cloud\\x.jpg"});
    if (!::SetFileAttributesW(FilePath(Path("cloud")).c_str(), FILE_ATTRIBUTE_OFFLINE) ||
        !(Attributes(Path("cloud")) & FILE_ATTRIBUTE_OFFLINE))
        GTEST_SKIP() << "this file system does not keep FILE_ATTRIBUTE_OFFLINE (Wine)";
    CFolderIndex index("");
    const FolderListing listing = index.List(Path("cloud"), true);
    EXPECT_FALSE(listing.available);
    EXPECT_EQ(listing.reason, SystemErrorText(ERROR_FILE_OFFLINE));
}

TEST_F(PictureFoldersTest, BoundsOnPicturesFoldersAndDepth)
{
    Make({"1.jpg", "2.jpg", "a\\3.jpg", "a\\b\\4.jpg", "a\\b\\c\\5.jpg", "d\\6.jpg"});
    CFolderIndex index("");
    auto list = [&](FolderWalkLimits limits) {
        const FolderListing listing = index.List(m_root, true, limits);
        EXPECT_TRUE(listing.available);
        return std::make_pair(Relative(listing), listing.truncated);
    };
    FolderWalkLimits limits;
    limits.maxPictures = 6;
    EXPECT_EQ(list(limits), std::make_pair(Names {"1.jpg", "2.jpg", "a\\3.jpg", "a\\b\\4.jpg", "a\\b\\c\\5.jpg",
                                               "d\\6.jpg"}, false));
    limits.maxPictures = 3;
    EXPECT_EQ(list(limits), std::make_pair(Names {"1.jpg", "2.jpg", "a\\3.jpg"}, true));
    limits.maxPictures = 0;
    EXPECT_EQ(list(limits), std::make_pair(Names {}, true));

    limits = {};
    limits.maxDepth = 1;
    EXPECT_EQ(list(limits), std::make_pair(Names {"1.jpg", "2.jpg", "a\\3.jpg", "d\\6.jpg"}, true));
    limits.maxDepth = 0;
    EXPECT_EQ(list(limits), std::make_pair(Names {"1.jpg", "2.jpg"}, true));
    limits.maxDepth = 3;
    EXPECT_EQ(list(limits).second, false);

    limits = {};
    limits.maxFolders = 2;
    EXPECT_EQ(list(limits), std::make_pair(Names {"1.jpg", "2.jpg", "a\\3.jpg"}, true));
    limits.maxFolders = 5;
    EXPECT_EQ(list(limits).second, false);
    // This folder alone: its sub-folders are no bound's business.
    limits.maxFolders = 1;
    limits.maxDepth = 0;
    const FolderListing own = index.List(m_root, false, limits);
    EXPECT_EQ(Relative(own), (Names {"1.jpg", "2.jpg"}));
    EXPECT_FALSE(own.truncated);
}

TEST_F(PictureFoldersTest, CancelStopsTheWalk)
{
    Make({"a\\1.jpg", "b\\2.jpg", "c\\3.jpg"});
    CFolderIndex index("");
    std::atomic<bool> cancel {true};
    FolderListing listing = index.List(m_root, true, {}, &cancel);
    EXPECT_TRUE(listing.available);
    EXPECT_TRUE(listing.truncated);
    EXPECT_TRUE(listing.pictures.empty());

    // Raised while a large folder is read.
    // (The walk looks at the flag every 256 entries.)
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(MakeWideFile(Path("big-" + std::to_string(i) + ".jpg"), ""));
    cancel = false;
    std::vector<size_t> reports;
    listing = index.List(m_root, true, {}, &cancel, [&](size_t count) {
        reports.push_back(count);
        cancel = true;
    });
    EXPECT_TRUE(listing.truncated);
    EXPECT_TRUE(listing.pictures.empty());
    EXPECT_FALSE(reports.empty());
    // Nothing half-read was kept: the next walk finds everything.
    cancel = false;
    listing = index.List(m_root, true, {}, &cancel);
    EXPECT_FALSE(listing.truncated);
    EXPECT_EQ(listing.pictures.size(), 1003u);
}

TEST_F(PictureFoldersTest, ProgressCountsUpToWhatWasFound)
{
    // Reported while a large folder is read, too (every 256 entries at most).
    for (int i = 0; i < 600; ++i)
        ASSERT_TRUE(MakeWideFile(Path("p" + std::to_string(i) + ".jpg"), ""));
    Make({"a\\1.jpg", "b\\2.jpg"});
    CFolderIndex index("");
    std::vector<size_t> reports;
    const auto note = [&](size_t count) { reports.push_back(count); };
    const FolderListing listing = index.List(m_root, true, {}, nullptr, note);
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), listing.pictures.size());
    EXPECT_EQ(listing.pictures.size(), 602u);
    EXPECT_GE(reports.size(), 2u);
    // An empty folder reports its nothing once.
    Make({"empty\\"});
    reports.clear();
    index.List(Path("empty"), true, {}, nullptr, [&](size_t count) { reports.push_back(count); });
    EXPECT_EQ(reports, std::vector<size_t> {0});
}

TEST_F(PictureFoldersTest, ADamagedIndexFileIsIgnoredAndRebuilt)
{
    Make({"1.jpg", "a\\2.jpg", "a\\b\\3.jpg"});
    AgeFolders(m_root);
    Names expected;
    {
        CFolderIndex index(m_indexPath);
        expected = List(index);
        ASSERT_TRUE(index.Save());
    }
    ASSERT_TRUE(WideFileExists(m_indexPath));
    {
        CFolderIndex index(m_indexPath);
        EXPECT_EQ(FoldersReadBy([&] { EXPECT_EQ(List(index), expected); }), 0u);
    }
    // A byte changed in the middle.
    std::string bytes = ReadWholeFile(m_indexPath);
    ASSERT_GT(bytes.size(), 40u);
    bytes[bytes.size() / 2] ^= 0x01;
    for (const std::string& damaged : {bytes, bytes.substr(0, bytes.size() / 3), std::string("garbage")}) {
        ASSERT_TRUE(MakeWideFile(m_indexPath, damaged));
        CFolderIndex index(m_indexPath);
        EXPECT_EQ(FoldersReadBy([&] { EXPECT_EQ(List(index), expected); }), 3u);
        ASSERT_TRUE(index.Save());
        std::vector<FolderIndexEntry> entries;
        EXPECT_TRUE(ReadFolderIndexFile(m_indexPath.c_str(), entries));
        EXPECT_EQ(entries.size(), 3u);
        CFolderIndex rebuilt(m_indexPath);
        EXPECT_EQ(FoldersReadBy([&] { EXPECT_EQ(List(rebuilt), expected); }), 0u);
    }
}

TEST_F(PictureFoldersTest, SaveWritesWhatChangedAndDropsWhatWasNotListed)
{
    Make({"a\\1.jpg", "b\\2.jpg"});
    AgeFolders(m_root);
    // Nothing listed: nothing to write.
    {
        CFolderIndex index(m_indexPath);
        EXPECT_TRUE(index.Save());
        EXPECT_FALSE(WideFileExists(m_indexPath));
    }
    {
        CFolderIndex index(m_indexPath);
        List(index);
        EXPECT_TRUE(index.Save()); // and its folder is made
        ASSERT_TRUE(WideFileExists(m_indexPath));
        ASSERT_TRUE(::DeleteFileW(FilePath(m_indexPath).c_str()));
        EXPECT_TRUE(index.Save()); // nothing changed since: not written again
        EXPECT_FALSE(WideFileExists(m_indexPath));
        const uint64_t before = LastWrite(Path("a"));
        Make({"a\\new.jpg"});
        ASSERT_TRUE(SetLastWrite(Path("a"), before + kHour));
        List(index);
        EXPECT_TRUE(index.Save());
        EXPECT_TRUE(WideFileExists(m_indexPath));
    }
    std::vector<FolderIndexEntry> entries;
    ASSERT_TRUE(ReadFolderIndexFile(m_indexPath.c_str(), entries));
    EXPECT_EQ(entries.size(), 3u);
    {
        // Only "b" listed, and changed: "a" and the root are dropped.
        CFolderIndex index(m_indexPath);
        const uint64_t before = LastWrite(Path("b"));
        Make({"b\\new.jpg"});
        ASSERT_TRUE(SetLastWrite(Path("b"), before + kHour));
        EXPECT_EQ(index.List(Path("b"), true).pictures.size(), 2u);
        EXPECT_TRUE(index.Save());
    }
    ASSERT_TRUE(ReadFolderIndexFile(m_indexPath.c_str(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, Path("b"));
}

TEST_F(PictureFoldersTest, TwoThreadsListWithOneIndex)
{
    Make({"1.jpg", "a\\2.jpg", "a\\b\\3.jpg", "c\\4.jpg"});
    AgeFolders(m_root);
    CFolderIndex index(m_indexPath);
    const std::vector<std::string> expected = index.List(m_root, true).pictures;
    ASSERT_EQ(expected.size(), 4u);
    std::atomic<int> wrong {0};
    auto work = [&] {
        for (int i = 0; i < 30; ++i) {
            if (i % 10 == 0)
                SetLastWrite(Path("a"), kOldTime + kHour * uint64_t(i + 1)); // read again now and then
            if (index.List(m_root, true).pictures != expected)
                ++wrong;
            if (i % 7 == 0)
                index.Save();
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(PictureFolders, TheUsersIndexFile)
{
    const std::string path = UserFolderIndexPath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find("\\Murlavo\\Folder index.dat"), std::string::npos) << path;
}
