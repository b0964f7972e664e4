#include "show/PreparationWorker.h"

#include "library/Settings.h"

#include "framework/FileReplace.h"
#include "framework/WideText.h"
#include "image/AbortFlag.h"
#include "image/PictureSize.h"
#include "show/WallpaperChanger.h"

#include <atomic>
#include <new>

// One job: what the thread gets and what it reports back. The worker and the thread share it,
// so a thread that outlives its worker (see Stop) still finds its picture and parameters.
struct CPreparationWorker::Job {
    HWND hWnd = nullptr;
    std::shared_ptr<CPictureImage> pImage;
    CWallpaperObject record;
    int cx = 0; // the box to fit the picture into; 0, 0 when it is not to be fitted
    int cy = 0;
    PrepareMode mode = PrepareMode::show;
    // Where a wallpaper is written (the settings may be reloaded meanwhile); empty when the
    // temporary folder is unusable.
    std::string wallpaperPath;

    // Raised by Stop: the thread writes and posts nothing more.
    std::atomic<bool> abort {false};
    // Set by the thread just before it posts WM_PICTUREREADY; the results are final then.
    std::atomic<bool> done {false};
    bool loaded = false;  // the picture file was decoded (and fitted, where asked)
    bool outOfMemory = false; // the fitting ran out of memory: the picture is skipped
    bool written = false; // the wallpaper bitmap replaced the previous one completely

    // A composition for several monitors (StartComposite).
    bool composite = false;
    CompositeRequest request;
    std::vector<std::string> failedPaths;
};

void (*CPreparationWorker::s_pfnPreparationEnded)() = nullptr;
DWORD CPreparationWorker::s_dwStopWaitMs = 5000;

CPreparationWorker::~CPreparationWorker()
{
    Stop();
}

bool CPreparationWorker::Start(HWND notify, const CWallpaperObject& record, int cx, int cy, PrepareMode mode,
                               const std::string& wallpaperPath)
{
    if (m_bBusy)
        return false;
    std::shared_ptr<Job> job;
    try {
        job = std::make_shared<Job>();
        job->pImage = std::make_shared<CPictureImage>();
        job->record = record;
        job->wallpaperPath = wallpaperPath;
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Transparent pixels take the colour they will be seen against: the desktop's own for the
    // wallpaper, the show's background for a slide.
    job->pImage->m_crTransparent =
        mode == PrepareMode::wallpaper ? ::GetSysColor(COLOR_BACKGROUND) : g_settings.m_crBkgndColor & 0xFFFFFF;
    job->hWnd = notify;
    job->cx = cx;
    job->cy = cy;
    job->mode = mode;
    return Launch(job);
}

bool CPreparationWorker::StartComposite(HWND notify, CompositeRequest request, const std::string& wallpaperPath)
{
    if (m_bBusy || request.records.empty() || !request.canvas.Usable())
        return false;
    std::shared_ptr<Job> job;
    try {
        job = std::make_shared<Job>();
        job->pImage = std::make_shared<CPictureImage>();
        job->record = request.records.front();
        job->wallpaperPath = wallpaperPath;
        job->request = std::move(request);
    } catch (const std::bad_alloc&) {
        return false;
    }
    job->hWnd = notify;
    job->mode = PrepareMode::wallpaper;
    job->composite = true;
    return Launch(job);
}

bool CPreparationWorker::Launch(const std::shared_ptr<Job>& job)
{
    std::unique_ptr<std::shared_ptr<Job>> threadShare;
    try {
        threadShare.reset(new std::shared_ptr<Job>(job));
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, Run, threadShare.get(), CREATE_SUSPENDED, &id);
    if (!thread)
        return false;
    threadShare.release(); // the thread's share now
    m_job = job;
    m_bBusy = true;
    ::SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    m_thread.Reset(thread);
    ::ResumeThread(thread);
    return true;
}

namespace {
bool StoredLocally(const std::string& path)
{
    constexpr DWORD kNotHere = FILE_ATTRIBUTE_OFFLINE | 0x00040000 /* recall on open */
        | 0x00400000 /* recall on data access */;
    const DWORD attributes = ::GetFileAttributesW(FilePath(path).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & kNotHere);
}
} // namespace

DWORD WINAPI CPreparationWorker::Run(void* param)
{
    const std::unique_ptr<std::shared_ptr<Job>> share(static_cast<std::shared_ptr<Job>*>(param));
    Job& job = **share;
    if (job.composite) {
        RunComposite(job);
        if (!job.abort) {
            job.done = true;
            ::PostMessageA(job.hWnd, WM_PICTUREREADY, 0, 0);
        }
        if (s_pfnPreparationEnded)
            s_pfnPreparationEnded();
        return 0;
    }
    CPictureImage& image = *job.pImage;
    BOOL result = FALSE;
    const char* path = job.record.m_strPath.c_str();
    // In the preview the thread never fits; the painting scales instead. A file that is not
    // stored on this computer (a cloud placeholder, an offline file) is not opened: reading it
    // would download it, or wait for a server.
    if (!StoredLocally(job.record.m_strPath))
        job.loaded = false;
    else if (job.cx != 0 && job.mode != PrepareMode::preview)
        job.loaded = image.LoadFitted(path, job.cx, job.cy, job.record.m_bMaintainAspect != 0,
                                      job.record.m_bResample != 0, &result) != FALSE;
    else
        job.loaded = image.LoadFile(path) != FALSE;
    // A picture that could not be fitted for want of memory is skipped, not shown or written
    // at whatever size the scaling left it; the window tells the user on its own thread.
    if (image.m_bOutOfMemory) {
        job.outOfMemory = true;
        job.loaded = false;
    }
    // A stop request ends the work here: nothing is written over the file the desktop loads,
    // and the picture, perhaps half scaled, counts as not loaded.
    if (job.abort || g_bAbortImageWork)
        job.loaded = false;
    else if (job.loaded && job.mode == PrepareMode::wallpaper)
        job.written = WriteWallpaperFile(image, job.wallpaperPath, job.abort);
    // A worker that is being stopped gets no message; any other learns that the work ended.
    if (!job.abort) {
        job.done = true;
        ::PostMessageA(job.hWnd, WM_PICTUREREADY, 0, 0);
    }
    if (s_pfnPreparationEnded)
        s_pfnPreparationEnded();
    return static_cast<DWORD>(result);
}

void CPreparationWorker::RunComposite(Job& job)
{
    const CompositeRequest& request = job.request;
    const platform::WallpaperCanvas& canvas = request.canvas;
    // Where the pictures go: every monitor, or the whole desktop for one picture across.
    std::vector<platform::ScreenRect> areas = canvas.monitors;
    if (request.monitors == kOnePictureAcross)
        areas.assign(1, canvas.desktop);
    // Which picture each area shows: a picture of its shape where the rotation offers one.
    std::vector<size_t> assigned(areas.size(), 0);
    if (request.monitors == kDifferentPictures) {
        std::vector<std::pair<int, int>> sizes;
        for (const CWallpaperObject& record : request.records) {
            int32_t w = 0, h = 0;
            if (!StoredLocally(record.m_strPath) || !ReadPictureFileSize(record.m_strPath.c_str(), w, h))
                w = h = 0;
            sizes.emplace_back(w, h);
        }
        assigned = platform::AssignPicturesToMonitors(areas, sizes);
    }
    job.record = request.records[assigned.front()]; // the primary monitor's picture

    // The canvas is the bitmap file itself, written beside the wallpaper and put in its place
    // when complete: the changer holds one picture at a time, never a desktop-sized bitmap.
    if (job.wallpaperPath.empty())
        return;
    const std::string temp = job.wallpaperPath + ".tmp";
    platform::CBitmapFileCanvas file;
    if (!file.Create(temp.c_str(), canvas.Width(), canvas.Height(), request.background)) {
        file.Close();
        ::DeleteFileW(FilePath(temp).c_str());
        return;
    }
    bool complete = true;
    // One picture at a time; the last one is kept only while the next area takes it as it is.
    std::unique_ptr<CPictureImage> picture;
    size_t pictureRecord = SIZE_MAX;
    int pictureWidth = 0, pictureHeight = 0;
    for (size_t i = 0; i < areas.size() && complete; ++i) {
        if (job.abort || g_bAbortImageWork) {
            complete = false;
            break;
        }
        const CWallpaperObject& record = request.records[assigned[i]];
        const int cx = request.fit ? areas[i].Width() : 0, cy = request.fit ? areas[i].Height() : 0;
        if (!picture || pictureRecord != assigned[i] || pictureWidth != cx || pictureHeight != cy) {
            picture.reset(); // the last picture goes before the next one is made
            picture.reset(new (std::nothrow) CPictureImage);
            if (!picture) {
                job.outOfMemory = true;
                complete = false;
                break;
            }
            picture->m_crTransparent = request.background;
            BOOL scaled = FALSE;
            const char* path = record.m_strPath.c_str();
            bool loaded = StoredLocally(record.m_strPath);
            if (loaded && cx != 0)
                loaded = picture->LoadFitted(path, cx, cy, record.m_bMaintainAspect != 0, record.m_bResample != 0,
                                             &scaled) != FALSE;
            else if (loaded)
                loaded = picture->LoadFile(path) != FALSE;
            if (picture->m_bOutOfMemory) {
                job.outOfMemory = true;
                complete = false;
                break;
            }
            if (!loaded) {
                job.failedPaths.push_back(record.m_strPath);
                complete = false;
                break;
            }
            pictureRecord = assigned[i];
            pictureWidth = cx;
            pictureHeight = cy;
        }
        if (record.m_strTile == "1")
            platform::TileOnCanvas(file, canvas.desktop, picture->Pixels(), areas[i]);
        else
            platform::CentreOnCanvas(file, canvas.desktop, picture->Pixels(), areas[i]);
    }
    picture.reset();
    const bool closed = file.Close();
    if (!complete || !closed || job.abort || g_bAbortImageWork) {
        ::DeleteFileW(FilePath(temp).c_str());
        return;
    }
    job.loaded = true;
    job.written = ReplaceFileAtomically(temp.c_str(), job.wallpaperPath.c_str());
}

bool CPreparationWorker::Composite() const
{
    return m_job && m_job->composite;
}

std::vector<std::string> CPreparationWorker::FailedPaths() const
{
    return Over() ? m_job->failedPaths : std::vector<std::string>();
}

bool CPreparationWorker::Ended() const
{
    return m_bBusy && m_job && m_job->done;
}

bool CPreparationWorker::Finish()
{
    if (!Ended())
        return false;
    m_thread.Reset();
    m_bBusy = false;
    return true;
}

bool CPreparationWorker::Loaded() const
{
    return Over() && m_job->loaded;
}

bool CPreparationWorker::Written() const
{
    return Over() && m_job->written;
}

bool CPreparationWorker::RanOutOfMemory() const
{
    return Over() && m_job->outOfMemory;
}

PrepareMode CPreparationWorker::Mode() const
{
    return m_job ? m_job->mode : PrepareMode::show;
}

const CWallpaperObject& CPreparationWorker::Record() const
{
    static const CWallpaperObject none;
    return m_job ? m_job->record : none;
}

const std::string& CPreparationWorker::WallpaperPath() const
{
    static const std::string none;
    return m_job ? m_job->wallpaperPath : none;
}

std::shared_ptr<const CPictureImage> CPreparationWorker::Picture() const
{
    if (!Over())
        return nullptr;
    return m_job->pImage;
}

bool CPreparationWorker::Stop()
{
    if (!m_bBusy || !m_thread)
        return false;
    m_job->abort = true;
    g_bAbortImageWork = 1;
    const bool ended = ::WaitForSingleObject(m_thread.Get(), s_dwStopWaitMs) == WAIT_OBJECT_0;
    m_thread.Reset();
    m_bBusy = false;
    // A later job of this process starts with a clear flag.
    g_bAbortImageWork = 0;
    return ended && m_job->mode == PrepareMode::wallpaper && m_job->loaded && m_job->written;
}
