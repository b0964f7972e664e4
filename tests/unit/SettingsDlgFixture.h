// The Settings dialog driven from inside its modal loop (ScriptedDialog), with helpers that
// read its tree and Now Playing list, and a fixture that starts every test without settings
// and without a library, with the pictures it names made in a scratch folder.
#pragma once
#include "app/ChangerApp.h"
#include "framework/WideText.h"
#include "library/Library.h"
#include "library/LibraryFile.h"
#include "library/Settings.h"
#include "resource.h"
#include "settings/SettingsDlg.h"
#include "support/Fixtures.h"
#include "support/ScriptedDialog.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {
inline const std::string kChanger = std::string(kProfileKey) + "\\Changer";

class CScriptedSettingsDlg : public ScriptedDialog<CSettingsDlg, CScriptedSettingsDlg> {
public:
    using ScriptedDialog::ScriptedDialog;

    bool Enabled(int id) const { return ::IsWindowEnabled(GetDlgItem(id)) != FALSE; }
    void Click(int id) const { ::SendMessageA(GetDlgItem(id), BM_CLICK, 0, 0); }

    std::vector<HTREEITEM> Children(HTREEITEM parent) const
    {
        std::vector<HTREEITEM> items;
        for (HTREEITEM item = TreeView_GetChild(m_tree, parent); item; item = TreeView_GetNextSibling(m_tree, item))
            items.push_back(item);
        return items;
    }
    // Shows the answers of the pictures' look-ups queued so far (a picture shows its name and
    // the neutral picture until then).
    void Settle() const { EXPECT_TRUE(const_cast<CScriptedSettingsDlg*>(this)->WaitForPictureInfo(10000)); }
    // The label as the tree shows it once its picture's look-up has answered, read in the
    // tree's own UTF-16 and given in UTF-8.
    std::string Label(HTREEITEM item) const
    {
        wchar_t text[1024] = L"";
        TVITEMW data {};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = ARRAYSIZE(text);
        ::SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data)); // a picture shown first is looked up
        Settle();
        data.pszText = text;
        ::SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
        return Utf8(data.pszText);
    }
    // The image as the tree draws it (callback items are asked for theirs), once known.
    int Image(HTREEITEM item) const
    {
        TVITEMA data {};
        data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        data.hItem = item;
        TreeView_GetItem(m_tree, &data);
        Settle();
        TreeView_GetItem(m_tree, &data);
        EXPECT_EQ(data.iImage, data.iSelectedImage);
        return data.iImage;
    }
    bool Expanded(HTREEITEM item) const { return (TreeView_GetItemState(m_tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0; }
    // The whole tree as text: "Play Lists{Animals{cat.bmp dog.bmp} Zoo{}}".
    std::string Outline(HTREEITEM parent = TVI_ROOT) const
    {
        std::string text;
        for (HTREEITEM item : Children(parent)) {
            if (!text.empty())
                text += " ";
            text += Label(item);
            if (parent == TVI_ROOT || (RecordOf(item) && !RecordOf(item)->m_bPicture))
                text += "{" + Outline(item) + "}";
        }
        return text;
    }
    HTREEITEM Find(const std::string& label, HTREEITEM parent = TVI_ROOT) const
    {
        for (HTREEITEM item : Children(parent)) {
            if (Label(item) == label)
                return item;
            if (HTREEITEM inner = Find(label, item))
                return inner;
        }
        return nullptr;
    }
    int NowPlayingRows() const { return ListView_GetItemCount(m_listNowPlaying); }
    std::string NowPlayingLabel() const
    {
        Settle();
        wchar_t text[1024] = L"";
        LVITEMW row {};
        row.pszText = text;
        row.cchTextMax = ARRAYSIZE(text);
        ::SendMessageW(m_listNowPlaying, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&row));
        return Utf8(text);
    }
    int NowPlayingImage() const
    {
        Settle();
        LVITEMA row {};
        row.mask = LVIF_IMAGE;
        ListView_GetItem(m_listNowPlaying, &row);
        return row.iImage;
    }
};
using Script = std::function<void(CScriptedSettingsDlg&)>;

// The dialog's message boxes, answered in place: each one's text and type are kept, and the
// answer is the next of `answers`, else the one that goes on (OK, Yes).
struct FakeMessageBoxes {
    struct Box {
        std::string text;
        UINT type;
    };
    static inline std::vector<Box> shown;
    static inline std::vector<int> answers;
    static int Show(HWND owner, const char* text, UINT type)
    {
        EXPECT_TRUE(owner && ::IsWindow(owner));
        shown.push_back({text, type});
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        }
        return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    }
    // How many of the boxes shown contain `part`.
    static int Count(const std::string& part)
    {
        int count = 0;
        for (const Box& box : shown)
            count += box.text.find(part) != std::string::npos;
        return count;
    }
};

// Each test starts without settings and without a library in either place, and the pictures
// it names exist in a scratch folder (the library refers to them by full path).
class SettingsDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FreshProfile(app));
        app.m_bNewShell = TRUE;
        g_settings = CChangerSettings();
        RemoveLibraries();
        m_dir = ScratchDir("settings-dlg");
        FakeMessageBoxes::shown.clear();
        FakeMessageBoxes::answers.clear();
        CSettingsDlg::s_pfnMessageBox = FakeMessageBoxes::Show;
    }
    void TearDown() override
    {
        CSettingsDlg::s_pfnMessageBox = s_realMessageBox;
        RemoveLibraries();
        DeleteKeyTree(HKEY_CURRENT_USER, kProfileKey);
    }
    static void RemoveLibraries()
    {
        const std::string user = UserLibraryPath();
        for (const std::string& base : {LibraryPath(), user})
            for (const char* suffix : {"", ".bak", ".tmp"}) {
                ::SetFileAttributesA((base + suffix).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA((base + suffix).c_str());
            }
        const std::string folder = user.substr(0, user.find_last_of('\\'));
        ::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::RemoveDirectoryA(folder.c_str());
    }

    // A picture file that exists; its record.
    CWallpaperObject Picture(const std::string& name, const char* tile = "0", int keepAspect = 1)
    {
        const std::string path = m_dir + "\\" + name;
        if (!FileExists(path)) {
            FILE* fp = fopen(path.c_str(), "wb");
            EXPECT_NE(fp, nullptr);
            if (fp) {
                fputs("BM", fp);
                fclose(fp);
            }
        }
        return PictureRecord(path, tile, keepAspect);
    }
    static CWallpaperObject Playlist(const std::string& name) { return CWallpaperObject(name, 0); }

    // Writes the library file from records in file order; nowPlaying indexes the marked one.
    static void WriteLibrary(std::vector<CWallpaperObject> records, int nowPlaying = -1, int32_t scaleMethod = 1,
        const std::string& path = LibraryPath())
    {
        std::vector<CLibraryEntry> entries;
        for (size_t i = 0; i < records.size(); ++i)
            entries.push_back({&records[i], int(i) == nowPlaying});
        ASSERT_TRUE(SaveLibraryFile(path.c_str(), entries, scaleMethod));
    }
    // The bytes the program's writer gives for these records.
    std::string ExpectedBytes(std::vector<CWallpaperObject> records, int nowPlaying, int32_t scaleMethod)
    {
        const std::string path = m_dir + "\\expected.ini";
        WriteLibrary(std::move(records), nowPlaying, scaleMethod, path);
        return ReadWholeFile(path);
    }
    static CWallpaperList ReadBack(const std::string& path = LibraryPath())
    {
        CWallpaperList records;
        EXPECT_TRUE(LoadLibraryFile(path.c_str(), records)) << path;
        return records;
    }
    // Opens the dialog as the program does: with the stored settings, whose options are applied
    // and stored again after OK.
    INT_PTR Open(Script script)
    {
        app.LoadSettings();
        CScriptedSettingsDlg dlg(nullptr, g_settings);
        dlg.script = std::move(script);
        const INT_PTR result = dlg.DoModal();
        if (result == IDOK) {
            g_settings.TakeOptionsFrom(dlg.m_settings);
            app.SaveSettings();
        }
        return result;
    }

    CChangerApp app;
    std::string m_dir;
    static inline int (*const s_realMessageBox)(HWND, const char*, UINT) = CSettingsDlg::s_pfnMessageBox;
};

inline std::string Paths(const CWallpaperList& records)
{
    std::string text;
    for (const auto& record : records) {
        const size_t slash = record->m_strPath.find_last_of('\\');
        text += (text.empty() ? "" : " ")
            + (slash == std::string::npos ? record->m_strPath : record->m_strPath.substr(slash + 1));
        if (record->m_bNowPlaying)
            text += "*";
    }
    return text;
}
} // namespace testing_support
