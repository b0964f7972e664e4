// A wallpaper change with fitting, measured inside the Windows program (run under Wine by
// bench/wine_change.sh): the time from the double click on the notification icon to the
// applied wallpaper, and the process's peak working set. One change per process, so each
// figure is that change's own.
//
//   murlavo_change_bench changer PHOTO.jpg [resize]
//       the wallpaper changer's window: double click, wait for the wallpaper (fitted to the
//       screen, proportions kept; Resample unless "resize")
//   murlavo_change_bench folder "C:\\Pictures\\**"
//       a library of one folder: the changer's window created, its first change (the folders
//       found, then the picture applied), then a second change; prints
//       "first_ms=N next_chosen_ms=N next_ms=N pictures=N ws_mb_before=N ws_mb_after=N"
//       (next_chosen_ms: from the second change's tick to the start of its picture's preparation)
//   murlavo_change_bench monitors PHOTO1 PHOTO2 PHOTO3 [resize]
//       the changer's window on a desktop of three 3840 x 2160 monitors side by side (the
//       primary in the middle), a different picture on each: double click, wait for the
//       composed wallpaper (11520 x 2160)
//   murlavo_change_bench whole|fitted PHOTO.jpg CX CY [resize]
//       the preparation's work alone on the picture object, written to a bitmap file:
//       "whole" loads the full picture and scales it (the path before streaming), "fitted"
//       is LoadFitted
//
// Prints "ms=N peak_ws_mb=N start_ws_mb=N".
#include "app/Globals.h"
#include "image/PictureImage.h"
#include "library/Settings.h"
#include "show/ShowWnd.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

double WorkingSetMb(bool peak)
{
    PROCESS_MEMORY_COUNTERS counters {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return double(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) / (1024.0 * 1024.0);
}

int Report(double ms, double startMb)
{
    std::printf("ms=%.1f peak_ws_mb=%.1f start_ws_mb=%.1f\n", ms, WorkingSetMb(true), startMb);
    return 0;
}

// One change of the changer's window over a library of these pictures, timed from the double
// click to the applied wallpaper.
int OneChange(const std::vector<CWallpaperObject>& records)
{
    using namespace testing_support;
    g_settings.m_bFitToScreen = 1;
    g_settings.m_nOrder = 1;
    g_settings.m_nInterval = 10;
    g_bShowRole = false;
    if (!WriteNowPlayingLibrary(records))
        return 1;
    auto* window = new CShowWnd;
    if (!window->CreateHidden())
        return 1;
    const HWND hwnd = window->m_hWnd;
    HandlePostedMessages();
    const double startMb = WorkingSetMb(false);
    const double start = NowMs();
    ::SendMessageA(hwnd, WM_TRAYNOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
    const bool applied = PumpUntil([window] { return !window->Preparation().Busy(); }, 120000);
    const double ms = NowMs() - start;
    const bool loaded = window->m_bLoaded;
    ::DestroyWindow(hwnd);
    DeleteLibrary();
    if (!applied || !loaded) {
        std::fprintf(stderr, "the wallpaper was not applied\n");
        return 1;
    }
    return Report(ms, startMb);
}

int Changer(const std::string& photo, bool resample)
{
    g_settings = CChangerSettings();
    return OneChange({testing_support::PictureRecord(photo, "0", 1, resample ? 1 : 0)});
}

std::vector<platform::MonitorInfo> ThreeMonitorsOf4K()
{
    return {{{0, 0, 3840, 2160}, true}, {{-3840, 0, 0, 2160}, false}, {{3840, 0, 7680, 2160}, false}};
}

int Monitors(const std::vector<std::string>& photos, bool resample)
{
    g_settings = CChangerSettings();
    g_settings.m_nSeveralMonitors = kDifferentPictures;
    CShowWnd::s_pfnMonitors = ThreeMonitorsOf4K;
    std::vector<CWallpaperObject> records;
    for (const std::string& photo : photos)
        records.push_back(testing_support::PictureRecord(photo, "0", 1, resample ? 1 : 0));
    return OneChange(records);
}

// Waits for the next applied wallpaper (the changer's stored "LastWallpaper" changes).
bool WaitForChange(CShowWnd* window, const std::string& before)
{
    return testing_support::PumpUntil([&] { return !window->Preparation().Busy() && g_settings.m_strLastWallpaper != before; }, 120000);
}

int Folder(const std::string& record)
{
    using namespace testing_support;
    g_settings = CChangerSettings();
    g_settings.m_nOrder = 0; // the shuffle: every change walks the whole list
    g_settings.m_nInterval = 10;
    g_bShowRole = false;
    if (!WriteNowPlayingLibrary({PictureRecord(record)}))
        return 1;
    const double before = WorkingSetMb(false);
    const double start = NowMs();
    auto* window = new CShowWnd;
    if (!window->CreateHidden())
        return 1;
    const HWND hwnd = window->m_hWnd;
    // As at logon: the first change is due at once.
    window->ChangeNow();
    if (!WaitForChange(window, "")) {
        std::fprintf(stderr, "no first change\n");
        return 1;
    }
    const double first = NowMs() - start;
    const std::string applied = g_settings.m_strLastWallpaper;
    const double nextStart = NowMs();
    window->ChangeNow();
    // The tick's own work: the folders found again and the next picture chosen, up to the start
    // of its preparation.
    if (!testing_support::PumpUntil([window] { return window->Preparation().Busy(); }, 120000)) {
        std::fprintf(stderr, "no second preparation\n");
        return 1;
    }
    const double chosen = NowMs() - nextStart;
    if (!WaitForChange(window, applied)) {
        std::fprintf(stderr, "no second change\n");
        return 1;
    }
    const double next = NowMs() - nextStart;
    const double after = WorkingSetMb(false);
    const size_t pictures = window->Changer().Pictures().size();
    ::DestroyWindow(hwnd);
    DeleteLibrary();
    std::printf("first_ms=%.1f next_chosen_ms=%.1f next_ms=%.1f pictures=%zu ws_mb_before=%.1f ws_mb_after=%.1f\n",
        first, chosen, next, pictures, before, after);
    return 0;
}

int Preparation(bool whole, const std::string& photo, int cx, int cy, bool resample)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    const std::string out = std::string(temp) + "murlavo-change-bench.bmp";
    const double startMb = WorkingSetMb(false);
    const double start = NowMs();
    CPictureImage image;
    BOOL loaded = FALSE, scaled = FALSE;
    if (whole) {
        loaded = image.LoadFile(photo.c_str());
        const SIZE size = image.FitAspect(cx, cy);
        if (loaded && (image.m_nWidth != size.cx || image.m_nHeight != size.cy))
            scaled = resample ? image.Resample(size.cx, size.cy) : image.Resize(size.cx, size.cy);
    } else {
        loaded = image.LoadFitted(photo.c_str(), cx, cy, true, resample, &scaled);
    }
    const bool written = loaded && image.SaveBitmapFile(out.c_str());
    const double ms = NowMs() - start;
    ::DeleteFileA(out.c_str());
    if (!written) {
        std::fprintf(stderr, "%s: not loaded or not written\n", photo.c_str());
        return 1;
    }
    return Report(ms, startMb);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "folder" && argc >= 3)
        return Folder(argv[2]);
    if (mode == "monitors" && argc >= 5)
        return Monitors({argv[2], argv[3], argv[4]}, !(argc > 5 && !std::strcmp(argv[5], "resize")));
    if (mode == "changer" && argc >= 3)
        return Changer(argv[2], !(argc > 3 && !std::strcmp(argv[3], "resize")));
    if ((mode == "whole" || mode == "fitted") && argc >= 5)
        return Preparation(mode == "whole", argv[2], std::atoi(argv[3]), std::atoi(argv[4]),
                           !(argc > 5 && !std::strcmp(argv[5], "resize")));
    std::fprintf(stderr,
                 "usage: murlavo_change_bench changer PHOTO.jpg [resize]\n"
                 "       murlavo_change_bench whole|fitted PHOTO.jpg CX CY [resize]\n");
    return 2;
}
