#include "settings/FolderCount.h"

#include "library/PictureFolders.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>

std::string (*CFolderCounter::s_pfnIndexPath)() = UserFolderIndexPath;

struct CFolderCounter::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> queue;
    std::map<uint64_t, Count> news;
    bool announced = false;
    bool stop = false;
    std::atomic<bool> cancel {false};
    HWND notify = nullptr;
    UINT message = 0;
    std::string indexPath;

    // Under the lock: one message announces everything until the dialog takes it.
    void Announce()
    {
        if (!announced && notify)
            announced = ::PostMessageW(notify, message, 0, 0) != FALSE;
    }
};

CFolderCounter::~CFolderCounter()
{
    Stop(0);
}

void CFolderCounter::SetTarget(HWND notify, UINT message)
{
    m_hNotify = notify;
    m_nMessage = message;
}

bool CFolderCounter::Request(uint64_t id, const std::string& folder, bool withSubFolders)
{
    try {
        if (!m_shared) {
            auto shared = std::make_shared<Shared>();
            shared->notify = m_hNotify;
            shared->message = m_nMessage;
            shared->indexPath = s_pfnIndexPath ? s_pfnIndexPath() : std::string();
            auto threadShare = std::make_unique<std::shared_ptr<Shared>>(shared);
            HANDLE thread = ::CreateThread(nullptr, 0, Worker, threadShare.get(), 0, nullptr);
            if (!thread)
                return false;
            threadShare.release(); // the thread's share now
            m_thread.Reset(thread);
            m_shared = std::move(shared);
        }
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            m_shared->queue.push_back({id, folder, withSubFolders});
        }
        m_shared->wake.notify_one();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::vector<CFolderCounter::Count> CFolderCounter::Take()
{
    std::vector<Count> counts;
    if (!m_shared)
        return counts;
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->announced = false;
    try {
        counts.reserve(m_shared->news.size());
        for (auto& entry : m_shared->news)
            counts.push_back(std::move(entry.second));
    } catch (const std::exception&) {
        counts.clear(); // kept for the next time
        return counts;
    }
    m_shared->news.clear();
    return counts;
}

void CFolderCounter::Stop(DWORD timeoutMs)
{
    if (!m_shared)
        return;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stop = true;
        m_shared->cancel = true;
        m_shared->notify = nullptr;
        m_shared->queue.clear();
        m_shared->news.clear();
    }
    m_shared->wake.notify_all();
    if (m_thread)
        ::WaitForSingleObject(m_thread.Get(), timeoutMs);
    m_thread.Reset();
    m_shared.reset();
}

DWORD WINAPI CFolderCounter::Worker(void* param)
{
    const std::unique_ptr<std::shared_ptr<Shared>> share(static_cast<std::shared_ptr<Shared>*>(param));
    Shared& shared = **share;
    std::unique_ptr<CFolderIndex> index;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.wake.wait(lock, [&] { return shared.stop || !shared.queue.empty(); });
            if (shared.stop)
                break;
            job = std::move(shared.queue.front());
            shared.queue.pop_front();
        }
        try {
            if (!index)
                index = std::make_unique<CFolderIndex>(shared.indexPath);
            const uint64_t id = job.id;
            auto progress = [&shared, id](size_t found) {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (shared.stop)
                    return;
                Count& count = shared.news[id];
                count.id = id;
                count.pictures = found;
                shared.Announce();
            };
            FolderListing listing = index->List(job.folder, job.withSubFolders, FolderWalkLimits(), &shared.cancel,
                progress);
            Count count;
            count.id = id;
            count.done = true;
            count.pictures = listing.pictures.size();
            count.available = listing.available;
            count.truncated = listing.truncated;
            count.reason = listing.reason;
            if (!listing.pictures.empty())
                count.first = listing.pictures.front();
            bool idle = false;
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (shared.stop)
                    break;
                shared.news[id] = std::move(count);
                shared.Announce();
                idle = shared.queue.empty();
            }
            // What was found is kept for the next time once the queue is worked off.
            if (idle)
                index->Save();
        } catch (const std::exception&) {
            // Without memory the folder shows no count.
        }
    }
    return 0;
}
