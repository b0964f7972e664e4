#include "show/FolderScanner.h"

#include <atomic>
#include <new>

struct CFolderScanner::Job {
    std::vector<FolderRequest> requests;
    std::vector<FolderResult> results;
    std::string indexPath;
    std::atomic<bool> cancel {false};
    std::atomic<bool> done {false};
    HWND notify = nullptr;
    UINT message = 0;
};

std::string (*CFolderScanner::s_pfnIndexPath)() = UserFolderIndexPath;

CFolderScanner::~CFolderScanner()
{
    Stop(2000);
}

bool CFolderScanner::Start(HWND notify, UINT message, std::vector<FolderRequest> requests)
{
    if (Busy())
        return false;
    std::shared_ptr<Job> job;
    std::unique_ptr<std::shared_ptr<Job>> threadShare;
    try {
        job = std::make_shared<Job>();
        job->requests = std::move(requests);
        job->indexPath = s_pfnIndexPath ? s_pfnIndexPath() : std::string();
        threadShare.reset(new std::shared_ptr<Job>(job));
    } catch (const std::bad_alloc&) {
        return false;
    }
    job->notify = notify;
    job->message = message;
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, Run, threadShare.get(), CREATE_SUSPENDED, &id);
    if (!thread)
        return false;
    threadShare.release(); // the thread's share now
    m_job = job;
    ::SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
    m_thread.Reset(thread);
    ::ResumeThread(thread);
    return true;
}

bool CFolderScanner::Busy() const
{
    return m_job && !m_job->done;
}

std::vector<FolderResult> CFolderScanner::Take()
{
    if (!m_job || !m_job->done)
        return {};
    std::vector<FolderResult> results = std::move(m_job->results);
    m_job.reset();
    m_thread.Reset();
    return results;
}

void CFolderScanner::Stop(DWORD timeoutMs)
{
    if (!m_job)
        return;
    m_job->cancel = true;
    if (m_thread)
        ::WaitForSingleObject(m_thread.Get(), timeoutMs);
    m_thread.Reset();
    m_job.reset();
}

DWORD WINAPI CFolderScanner::Run(void* param)
{
    const std::unique_ptr<std::shared_ptr<Job>> share(static_cast<std::shared_ptr<Job>*>(param));
    Job& job = **share;
    try {
        CFolderIndex index(job.indexPath);
        for (const FolderRequest& request : job.requests) {
            if (job.cancel)
                break;
            FolderResult result;
            result.recordPath = request.recordPath;
            result.listing = index.List(request.folder, request.withSubFolders, FolderWalkLimits(), &job.cancel);
            job.results.push_back(std::move(result));
        }
        if (!job.cancel)
            index.Save();
    } catch (const std::bad_alloc&) {
        job.results.clear(); // what was found stays as it was
    }
    // A scan that was cancelled (its window is going) posts nothing.
    const bool cancelled = job.cancel;
    job.done = true;
    if (!cancelled)
        ::PostMessageW(job.notify, job.message, 0, 0);
    return 0;
}
