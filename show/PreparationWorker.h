// The preparation worker: decodes and fits the current picture (and, for a wallpaper, writes
// the wallpaper file) on a thread of its own at the lowest priority, so a large photo never
// freezes the window it serves. One job at a time; its end reaches the window as
// WM_PICTUREREADY, and the window takes the results on its own thread.
#pragma once
#include "framework/Handles.h"
#include "image/PictureImage.h"
#include "library/WallpaperObject.h"
#include "platform/WallpaperCanvas.h"

#include <windows.h>

#include <memory>
#include <string>

// Posted by the worker's thread to the window it serves when a job ended.
constexpr UINT WM_PICTUREREADY = 0x701;

// What a job prepares: a slide of the full-screen show or the saver, a slide of the preview
// (never fitted on the thread: the painting scales), or the desktop's wallpaper (written).
enum class PrepareMode { show, preview, wallpaper };

// A wallpaper for a desktop of several monitors, composed on the thread (see
// platform/WallpaperCanvas.h).
struct CompositeRequest {
    platform::WallpaperCanvas canvas;
    // What the monitors show: kSamePicture, kDifferentPictures or kOnePictureAcross.
    int32_t monitors = 1;
    // The pictures in the rotation's order: one for each monitor (different pictures; fewer
    // are used again), or the one for all.
    std::vector<CWallpaperObject> records;
    // Each picture is fitted to its monitor's size (to the desktop's, across).
    bool fit = false;
    // What the canvas shows where no picture lies (0x00BBGGRR).
    uint32_t background = 0;
};

class CPreparationWorker {
public:
    CPreparationWorker() = default;
    // Stops a running job within the bound (see Stop).
    ~CPreparationWorker();
    CPreparationWorker(const CPreparationWorker&) = delete;
    CPreparationWorker& operator=(const CPreparationWorker&) = delete;

    // Starts a job on a copy of the record (the show list may be replaced while it runs):
    // the picture is decoded into a new picture object, fitted into cx x cy when cx is not 0
    // (FitAspect when the record keeps the proportions), and for a wallpaper written to
    // wallpaperPath. notify gets WM_PICTUREREADY at the end. False when no job could be
    // started (memory or no thread); the previous job's results then stay.
    bool Start(HWND notify, const CWallpaperObject& record, int cx, int cy, PrepareMode mode,
               const std::string& wallpaperPath);

    // A job runs: its picture belongs to the thread.
    bool Busy() const { return m_bBusy; }
    // The running job has finished its work (its message may still be queued, or lost).
    bool Ended() const;
    // Takes the end of the running job on the window's thread: true when a job of this worker
    // had ended and is now over (a stray WM_PICTUREREADY, or one for a job already taken,
    // gives false). The thread touches nothing after its message, so it is not waited for.
    bool Finish();

    // The results of the last job, once it is over (null picture and false otherwise).
    bool Loaded() const;
    bool Written() const;
    // The fitting ran out of memory: the picture was skipped (not loaded).
    bool RanOutOfMemory() const;
    PrepareMode Mode() const;
    const CWallpaperObject& Record() const;
    const std::string& WallpaperPath() const;
    // The prepared picture, or null while a job runs or when there was none.
    std::shared_ptr<const CPictureImage> Picture() const;

    // Starts the composition of a wallpaper for several monitors and writes it to
    // wallpaperPath: every picture decoded and fitted in turn (one at a time, so three 4K
    // monitors cost the canvas and one picture), centred on or tiled over its monitor as its
    // record says, gaps in the background colour. A picture that fails fails the job.
    bool StartComposite(HWND notify, CompositeRequest request, const std::string& wallpaperPath);
    // The last job was a composition; the pictures of it that could not be loaded.
    bool Composite() const;
    std::vector<std::string> FailedPaths() const;

    // Asks a running job to stop (g_bAbortImageWork and its own flag) and waits for its thread
    // within s_dwStopWaitMs: the thread runs at the lowest priority and a busy machine may
    // starve it. A thread that outlives the wait ends on its own later and writes and posts
    // nothing; it keeps its own share of the job. True when the job had replaced the wallpaper
    // file just before the request: the desktop's settings must then follow that file.
    bool Stop();

    // Test hook: called on the thread as its last step, after it posted its message or
    // decided to post nothing.
    static void (*s_pfnPreparationEnded)();
    // How long Stop waits for the thread.
    static DWORD s_dwStopWaitMs;

private:
    struct Job;
    static DWORD WINAPI Run(void* param);
    static void RunComposite(Job& job);
    bool Launch(const std::shared_ptr<Job>& job);
    bool Over() const { return m_job && !m_bBusy; }

    std::shared_ptr<Job> m_job; // the running or the last job, shared with its thread
    bool m_bBusy = false;
    CKernelHandle m_thread;
};
