// Folders of pictures and pictures that cannot be shown in the Settings dialog, under Wine:
// Add Folder writes folder records, a folder shows its name and count, and a missing folder, a
// file kept online only, a missing file and an unreachable share show the red cross with
// their reason in the Location dialog.
#include "unit/SettingsDlgFixture.h"
#include "unit/WideFiles.h"

#include "library/FolderRecord.h"

#include <algorithm>
#include <atomic>
#include <map>

using namespace testing_support;

namespace {

// The folder picker, answered from a list: each call takes the next folder and box state.
struct FakeFolderPicker {
    struct Answer {
        std::string folder;
        bool withSubFolders;
    };
    static inline std::vector<Answer> answers;
    static inline int calls = 0;
    static bool Pick(HWND owner, std::string& folder, bool& withSubFolders)
    {
        EXPECT_TRUE(owner && ::IsWindow(owner));
        ++calls;
        if (answers.empty())
            return false; // cancelled
        folder = answers.front().folder;
        withSubFolders = answers.front().withSubFolders;
        answers.erase(answers.begin());
        return true;
    }
};

std::vector<std::string>& FakeOpened()
{
    static std::vector<std::string> opened;
    return opened;
}

void MakeFile(const std::string& path)
{
    FILE* fp = fopen(path.c_str(), "wb");
    ASSERT_NE(fp, nullptr) << path;
    fputs("x", fp);
    fclose(fp);
}

} // namespace

class SettingsFoldersTest : public SettingsDlgTest {
protected:
    void SetUp() override
    {
        SettingsDlgTest::SetUp();
        FakeFolderPicker::answers.clear();
        FakeFolderPicker::calls = 0;
        CSettingsDlg::s_pfnPickFolder = FakeFolderPicker::Pick;
        // The walks keep no index file of the user's.
        CFolderCounter::s_pfnIndexPath = [] { return std::string(); };
        // Holidays: three pictures (and a text file) of its own, two in a sub-folder.
        m_holidays = m_dir + "\\Holidays";
        DeleteWideTree(m_holidays);
        ::CreateDirectoryA(m_holidays.c_str(), nullptr);
        ::CreateDirectoryA((m_holidays + "\\Beach").c_str(), nullptr);
        ASSERT_TRUE(WritePatternPicture(m_holidays + "\\a.bmp", 24, 16));
        for (const char* name : {"b.jpg", "c.png", "notes.txt", "Beach\\d.jpg", "Beach\\e.gif"})
            MakeFile(m_holidays + "\\" + name);
    }
    void TearDown() override
    {
        CSettingsDlg::s_pfnPickFolder = s_realPicker;
        CFolderCounter::s_pfnIndexPath = s_realIndexPath;
        DeleteWideTree(m_holidays);
        SettingsDlgTest::TearDown();
    }
    // The item's label once its folder is counted (or the time is up).
    static std::string CountedLabel(CScriptedSettingsDlg& dlg, HTREEITEM item)
    {
        std::string label;
        PumpUntil([&] {
            label = dlg.Label(item);
            return !dlg.CountsPending() && label.find("counting") == std::string::npos;
        }, 10000);
        return label;
    }

    std::string m_holidays;
    static inline bool (*const s_realPicker)(HWND, std::string&, bool&) = CSettingsDlg::s_pfnPickFolder;
    static inline void (*const s_realOpenFile)(HWND, const char*) = CSettingsDlg::s_pfnOpenFile;
    static inline std::string (*const s_realIndexPath)() = CFolderCounter::s_pfnIndexPath;
};

TEST_F(SettingsFoldersTest, AddFolderWritesAFolderRecordWithOrWithoutItsSubFolders)
{
    WriteLibrary({Playlist("Trips"), Picture("one.bmp")}, 0);
    FakeFolderPicker::answers = {{m_holidays, true}, {m_holidays + "\\", false}};
    Open([&](CScriptedSettingsDlg& dlg) {
        // Folders go into playlists only.
        TreeView_SelectItem(dlg.m_tree, dlg.Children(dlg.Find("Trips"))[0]);
        EXPECT_FALSE(dlg.Enabled(IDC_ADD_FOLDER));
        TreeView_SelectItem(dlg.m_tree, dlg.Find("Trips"));
        EXPECT_TRUE(dlg.Enabled(IDC_ADD_FOLDER));
        dlg.Click(IDC_ADD_FOLDER);
        dlg.Click(IDC_ADD_FOLDER);
        dlg.Click(IDC_ADD_FOLDER); // cancelled: nothing more
        EXPECT_EQ(FakeFolderPicker::calls, 3);
        const std::vector<HTREEITEM> items = dlg.Children(dlg.Find("Trips"));
        ASSERT_EQ(items.size(), 3u);
        std::vector<std::string> labels;
        for (HTREEITEM item : items)
            labels.push_back(CountedLabel(dlg, item));
        // Sorted by name: the two folders' order among themselves is the tree's.
        std::sort(labels.begin(), labels.end());
        EXPECT_EQ(labels, (std::vector<std::string> {"Holidays (3 pictures)", "Holidays (5 pictures)", "one.bmp"}));
        dlg.Click(IDOK);
    });
    const CWallpaperList saved = ReadBack();
    ASSERT_EQ(saved.size(), 4u);
    std::vector<std::string> paths;
    for (const auto& record : saved)
        paths.push_back(record->m_strPath);
    std::sort(paths.begin() + 1, paths.end());
    EXPECT_EQ(paths, (std::vector<std::string> {"Trips", m_holidays + "\\*", m_holidays + "\\**", m_dir + "\\one.bmp"}));
    // The options a picture added with Add Pictures has.
    const CWallpaperObject added(m_dir + "\\x.bmp", 1);
    for (int i : {1, 2}) {
        EXPECT_NE(saved[i]->m_bPicture, 0);
        EXPECT_EQ(saved[i]->m_strTile, added.m_strTile);
        EXPECT_EQ(saved[i]->m_bMaintainAspect, added.m_bMaintainAspect);
        EXPECT_EQ(saved[i]->m_bResample, added.m_bResample);
    }
}

TEST_F(SettingsFoldersTest, AFolderShowsItsCountItsLocationAndPreviewsItsFirstPicture)
{
    const std::string big = m_dir + "\\Big";
    DeleteWideTree(big);
    ::CreateDirectoryA(big.c_str(), nullptr);
    for (int i = 0; i < 1001; ++i)
        MakeFile(big + "\\p" + std::to_string(i) + ".jpg");
    WriteLibrary({Playlist("Folders"), PictureRecord(FolderRecordPath(m_holidays, true)),
                     PictureRecord(FolderRecordPath(big, false))},
        0);
    std::string location, note;
    DialogAnswerer where("Picture Location", [&](HWND box) {
        wchar_t text[1024] = L"";
        ::GetDlgItemTextW(box, IDC_LOCATION, text, ARRAYSIZE(text));
        location = Utf8(text);
        ::GetDlgItemTextW(box, IDC_LOCATION_NOTE, text, ARRAYSIZE(text));
        note = Utf8(text);
        ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    });
    CSettingsDlg::s_pfnOpenFile = [](HWND, const char* path) { FakeOpened().push_back(path); };
    FakeOpened().clear();
    Open([&](CScriptedSettingsDlg& dlg) {
        const std::vector<HTREEITEM> items = dlg.Children(dlg.Find("Folders"));
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(CountedLabel(dlg, items[0]), "Holidays (5 pictures)");
        EXPECT_EQ(CountedLabel(dlg, items[1]), "Big (1,001 pictures)");
        EXPECT_EQ(dlg.Image(items[0]), CSettingsDlg::kClosedFolder);

        dlg.m_hContextItem = items[0];
        dlg.Command(ID_LIBRARY_LOCATION);
        EXPECT_EQ(location, m_holidays);
        EXPECT_EQ(note, "Folder of pictures, with its sub-folders.");
        dlg.m_hContextItem = items[1];
        dlg.Command(ID_LIBRARY_LOCATION);
        EXPECT_EQ(location, big);
        EXPECT_EQ(note, "Folder of pictures, without its sub-folders.");

        // Preview: the first picture found, in the pane and with the shell.
        TreeView_SelectItem(dlg.m_tree, items[0]);
        EXPECT_TRUE(PumpUntil([&] { return !dlg.PreviewPending(); }, 10000));
        wchar_t info[128] = L"";
        ::GetDlgItemTextW(dlg.m_hWnd, IDC_PREVIEW_INFO, info, ARRAYSIZE(info));
        EXPECT_EQ(Utf8(info).rfind("24 \u00D7 16 pixels, ", 0), 0u) << Utf8(info);
        dlg.m_hContextItem = items[0];
        dlg.Command(ID_LIBRARY_PREVIEW);
        dlg.Command(IDCANCEL);
    });
    CSettingsDlg::s_pfnOpenFile = s_realOpenFile;
    EXPECT_EQ(FakeOpened(), std::vector<std::string> {m_holidays + "\\a.bmp"});
    DeleteWideTree(big);
}

// The file system as a machine with cloud files and a share that is off line shows it: a file
// kept online only, and a server that does not answer (both only by name: nothing exists).
struct CloudAndShare {
    static inline std::atomic<int> openedOnline {0};
    static DWORD WINAPI GetFileAttributes(LPCWSTR path)
    {
        const std::string name = Utf8(path);
        if (name.find("\\cloud.jpg") != std::string::npos)
            return FILE_ATTRIBUTE_ARCHIVE | 0x00400000; // recall on data access
        if (name.find("\\cloud-open.png") != std::string::npos)
            return FILE_ATTRIBUTE_ARCHIVE | 0x00040000; // recall on open
        if (name.find("\\offline.bmp") != std::string::npos)
            return FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_OFFLINE;
        if (name.rfind("\\\\nas\\", 0) == 0) {
            ::SetLastError(ERROR_BAD_NETPATH);
            return INVALID_FILE_ATTRIBUTES;
        }
        return ::GetFileAttributesW(path);
    }
    static DWORD_PTR WINAPI GetFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags)
    {
        if (wcsstr(path, L"cloud") || wcsstr(path, L"offline"))
            ++openedOnline;
        return ::SHGetFileInfoW(path, attributes, info, size, flags);
    }
};

TEST_F(SettingsFoldersTest, PicturesThatCannotBeShownShowTheRedCrossAndTheirReason)
{
    CPictureLookup::s_pfnGetFileAttributes = CloudAndShare::GetFileAttributes;
    CPictureLookup::s_pfnSHGetFileInfo = CloudAndShare::GetFileInfo;
    CloudAndShare::openedOnline = 0;
    const std::string share = "\\\\nas\\photos";
    const std::vector<CWallpaperObject> records {Playlist("Trouble"),
        PictureRecord(FolderRecordPath(m_dir + "\\Gone", true)), PictureRecord(m_dir + "\\cloud.jpg"),
        PictureRecord(m_dir + "\\cloud-open.png"), PictureRecord(m_dir + "\\offline.bmp"),
        PictureRecord(m_dir + "\\missing.bmp"), PictureRecord(m_dir + "\\NoSuchFolder\\x.bmp"),
        PictureRecord(share + "\\lake.jpg"), PictureRecord(FolderRecordPath(m_holidays, false))};
    WriteLibrary(records, 0);
    const std::vector<std::string> reasons {"The folder is gone.",
        "The file is stored online only; it is not downloaded to be shown.",
        "The file is stored online only; it is not downloaded to be shown.",
        "The file is stored online only; it is not downloaded to be shown.", "The file is missing.",
        "The folder is gone.", "The network place " + share + " cannot be reached.", ""};
    std::vector<std::string> notes;
    DialogAnswerer where("Picture Location", [&](HWND box) {
        wchar_t text[1024] = L"";
        ::GetDlgItemTextW(box, IDC_LOCATION_NOTE, text, ARRAYSIZE(text));
        notes.push_back(Utf8(text));
        ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    });
    Open([&](CScriptedSettingsDlg& dlg) {
        const std::vector<HTREEITEM> items = dlg.Children(dlg.Find("Trouble"));
        ASSERT_EQ(items.size(), reasons.size());
        for (size_t i = 0; i < items.size(); ++i) {
            SCOPED_TRACE(records[i + 1].m_strPath);
            const bool shown = reasons[i].empty();
            EXPECT_EQ(dlg.Image(items[i]) == CSettingsDlg::kMissingFile, !shown);
            EXPECT_EQ(dlg.ReasonOf(items[i]), reasons[i]);
            dlg.m_hContextItem = items[i];
            dlg.Command(ID_LIBRARY_LOCATION);
            // The preview says the same, and opens nothing.
            TreeView_SelectItem(dlg.m_tree, items[i]);
            if (!shown) {
                EXPECT_TRUE(PumpUntil([&] { return !dlg.PreviewPending(); }, 10000));
                EXPECT_EQ(dlg.PreviewMessage(), reasons[i]);
            }
        }
        // The gone folder shows its path, as a missing picture does.
        EXPECT_EQ(dlg.Label(items[0]), m_dir + "\\Gone");
        dlg.Command(IDCANCEL);
    });
    CPictureLookup::s_pfnGetFileAttributes = ::GetFileAttributesW;
    CPictureLookup::s_pfnSHGetFileInfo = ::SHGetFileInfoW;
    EXPECT_EQ(CloudAndShare::openedOnline, 0);
    ASSERT_EQ(notes.size(), reasons.size());
    for (size_t i = 1; i + 1 < reasons.size(); ++i)
        EXPECT_EQ(notes[i], reasons[i]);
    EXPECT_EQ(notes[0], "Folder of pictures, with its sub-folders. The folder is gone.");
    EXPECT_EQ(notes.back(), "Folder of pictures, without its sub-folders.");
}

// The counter on its own: each folder's end comes with its count and first picture, a folder
// that is not there says why, and stopping cancels what is queued and leaves nothing to take.
TEST_F(SettingsFoldersTest, TheCounterAnswersEachFolderAndStopsWithoutAnnouncingMore)
{
    HWND target = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    constexpr UINT kNews = WM_APP + 7;
    std::map<uint64_t, CFolderCounter::Count> counts;
    {
        CFolderCounter counter;
        counter.SetTarget(target, kNews);
        ASSERT_TRUE(counter.Request(1, m_holidays, true));
        ASSERT_TRUE(counter.Request(2, m_holidays, false));
        ASSERT_TRUE(counter.Request(3, m_dir + "\\Nowhere", true));
        // The pump hands the announcements to the window; the news is taken as it comes.
        EXPECT_TRUE(PumpUntil([&] {
            for (CFolderCounter::Count& count : counter.Take())
                counts[count.id] = std::move(count);
            return counts.size() == 3 && counts[1].done && counts[2].done && counts[3].done;
        }, 10000));
        // Many more, then the end: the walk is cancelled and nothing more arrives.
        for (uint64_t id = 10; id < 200; ++id)
            counter.Request(id, m_holidays, true);
        const DWORD start = ::GetTickCount();
        counter.Stop(2000);
        EXPECT_LT(::GetTickCount() - start, 2000u);
        EXPECT_TRUE(counter.Take().empty());
    }
    EXPECT_EQ(counts[1].pictures, 5u);
    EXPECT_EQ(counts[1].first, m_holidays + "\\a.bmp");
    EXPECT_TRUE(counts[1].available);
    EXPECT_EQ(counts[2].pictures, 3u);
    EXPECT_FALSE(counts[3].available);
    EXPECT_FALSE(counts[3].reason.empty());
    EXPECT_EQ(counts[3].pictures, 0u);
    // A message still queued from before the end finds nothing to take.
    MSG msg;
    while (::PeekMessageW(&msg, target, kNews, kNews, PM_REMOVE)) {
    }
    ::DestroyWindow(target);
}

