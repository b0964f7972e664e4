// Counting the pictures of the folders in the Settings dialog's library, off the dialog's
// thread: a folder on a slow disk or an offline share, or one with a hundred thousand pictures,
// must not hold up the dialog. Counts are handed back as they grow (the tree shows the progress)
// and once at the end with the first picture found (what the folder's preview shows). One
// posted message announces whatever is waiting; the dialog closing cancels the walk.
#pragma once
#include "framework/Handles.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CFolderCounter {
public:
    struct Count {
        uint64_t id = 0;
        size_t pictures = 0;
        bool done = false;       // the walk ended (the rest is then known)
        bool available = true;   // the folder could be read
        bool truncated = false;  // a bound stopped the walk: there are more
        std::string reason;      // when not available, the system's reason
        std::string first;       // the first picture found, empty when none
    };

    CFolderCounter() = default;
    ~CFolderCounter();
    CFolderCounter(const CFolderCounter&) = delete;
    CFolderCounter& operator=(const CFolderCounter&) = delete;

    void SetTarget(HWND notify, UINT message);
    // Queues a count of folder (with its sub-folders when asked). False when no worker could
    // be started or memory ran short.
    bool Request(uint64_t id, const std::string& folder, bool withSubFolders);
    // The news since the last call: the newest state of each count that changed.
    std::vector<Count> Take();
    // Cancels the walk, drops the queue and ends the worker, waiting at most timeoutMs; a worker
    // held up by the file system finishes on its own and announces nothing.
    void Stop(DWORD timeoutMs);

    // Replaceable for tests: the index file the walks use (the user's own by default).
    static std::string (*s_pfnIndexPath)();

private:
    struct Job {
        uint64_t id = 0;
        std::string folder;
        bool withSubFolders = false;
    };
    struct Shared;
    static DWORD WINAPI Worker(void* param);

    std::shared_ptr<Shared> m_shared;
    CKernelHandle m_thread;
    HWND m_hNotify = nullptr;
    UINT m_nMessage = 0;
};
