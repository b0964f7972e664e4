// Times the Settings dialog on a large library under Wine: opening it (reading the library
// file, filling the tree, the first paint) and OK (writing the library file).
//
//   murlavo_settings_bench [pictures] [playlists] [runs]     (default 10000 100 5)
//
// The pictures are small files made once in %TEMP%\murlavo-settings-bench (they must exist: the
// dialog asks the shell about each one). The first picture is Now Playing, so its playlist
// opens with the dialog (the slower case: a hundred picture items are shown). The library in the Windows directory and the user's
// own library are moved aside for the run and put back at the end.
#include "library/Library.h"
#include "library/LibraryFile.h"
#include "settings/SettingsDlg.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Opens, paints and confirms the dialog once, noting the times.
class CTimedSettingsDlg : public CSettingsDlg {
public:
    double opened = 0, shown = 0, saved = 0, items = 0;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CSettingsDlg::OnInitDialog();
        ::PostMessageA(m_hWnd, kMeasure, 0, 0);
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg != kMeasure)
            return CSettingsDlg::WindowProc(msg, wParam, lParam);
        // The dialog is up: paint it now, so that the time covers what the user waits for.
        ::UpdateWindow(m_hWnd);
        opened = Now();
        // The shown pictures' icons and names, looked up off the dialog's thread, painted.
        WaitForPictureInfo(10000);
        ::UpdateWindow(m_hWnd);
        shown = Now();
        items = TreeView_GetCount(m_tree);
        ::SendMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
        saved = Now();
        return 0;
    }

private:
    static constexpr UINT kMeasure = WM_APP + 0x51;
};

struct Aside {
    std::string path;
    bool moved;
    explicit Aside(const std::string& p) : path(p), moved(::MoveFileExA(p.c_str(), (p + ".bench-aside").c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE) {}
    ~Aside()
    {
        ::DeleteFileA(path.c_str());
        ::DeleteFileA((path + ".bak").c_str());
        if (moved)
            ::MoveFileExA((path + ".bench-aside").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int pictures = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int playlists = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    // A folder record ("C:\\Pictures\\**") put first in the first playlist: its pictures are
    // counted off the dialog's thread, so it must not slow the opening down.
    const std::string folderRecord = argc > 4 ? argv[4] : "";
    INITCOMMONCONTROLSEX icc {sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    char temp[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "murlavo-settings-bench";
    ::CreateDirectoryA(folder.c_str(), nullptr);

    CWallpaperList records;
    const int perPlaylist = (pictures + playlists - 1) / playlists;
    for (int p = 0, made = 0; p < playlists; ++p) {
        records.push_back(std::make_unique<CWallpaperObject>("Playlist " + std::to_string(p), 0));
        if (p == 0 && !folderRecord.empty())
            records.push_back(std::make_unique<CWallpaperObject>(folderRecord, 1));
        for (int i = 0; i < perPlaylist && made < pictures; ++i, ++made) {
            const std::string path = folder + "\\picture " + std::to_string(made) + (made % 3 ? ".jpg" : ".bmp");
            if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
                if (file != INVALID_HANDLE_VALUE)
                    ::CloseHandle(file);
            }
            records.push_back(std::make_unique<CWallpaperObject>(path, 1));
        }
    }

    FillLibraryPath();
    Aside windows(g_szLibraryPath);
    Aside user(UserLibraryPath());
    std::vector<double> open, shown, save, close;
    double items = 0;
    for (int run = 0; run < runs; ++run) {
        if (!SaveLibraryFile(g_szLibraryPath, LibraryEntries(records, records[records.size() > 1 ? 1 : 0].get()), 1)) {
            std::printf("could not write %s\n", g_szLibraryPath);
            return 1;
        }
        const double start = Now();
        CTimedSettingsDlg dlg;
        dlg.DoModal();
        const double end = Now();
        open.push_back(dlg.opened - start);
        shown.push_back(dlg.shown - start);
        save.push_back(dlg.saved - dlg.shown);
        close.push_back(end - dlg.saved);
        items = dlg.items;
    }
    std::printf("Settings dialog, %d pictures in %d playlists (%.0f tree items), median of %d runs:\n", pictures,
        playlists, items, runs);
    std::printf("  open (read, fill, first paint)  %8.1f ms\n", Median(open));
    std::printf("  shown pictures' icons painted   %8.1f ms\n", Median(shown));
    std::printf("  OK (write the library file)     %8.1f ms\n", Median(save));
    std::printf("  close (delete the items)        %8.1f ms\n", Median(close));
    return 0;
}
