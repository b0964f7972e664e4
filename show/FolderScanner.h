// Finds the pictures of the library's folders on a thread of its own: a folder on a share that
// is offline can keep the file system busy for half a minute, and the window that asked must
// not wait. One scan at a time; its end reaches the window as a posted message, and the window
// takes the listings on its own thread.
#pragma once
#include "framework/Handles.h"
#include "library/PictureFolders.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Posted by the scanning thread to the window it serves when a scan has ended.
constexpr UINT WM_FOLDERSSCANNED = 0x703;

struct FolderRequest {
    std::string recordPath;  // the library record ("C:\Pictures\**")
    std::string folder;      // "C:\Pictures"
    bool withSubFolders = false;
};

struct FolderResult {
    std::string recordPath;
    FolderListing listing;
};

class CFolderScanner {
public:
    CFolderScanner() = default;
    // Cancels a running scan and waits a little for it; a thread held up by the file system is
    // left to end on its own (it keeps its own share of the work and posts nothing).
    ~CFolderScanner();
    CFolderScanner(const CFolderScanner&) = delete;
    CFolderScanner& operator=(const CFolderScanner&) = delete;

    // Starts a scan of these folders; `notify` gets `message` when it ends. False while a scan
    // runs, or when no thread could be started.
    bool Start(HWND notify, UINT message, std::vector<FolderRequest> requests);
    bool Busy() const;
    // The listings of the scan that ended (empty while one runs, or when taken already).
    std::vector<FolderResult> Take();
    // Cancels a running scan and waits for it at most timeoutMs.
    void Stop(DWORD timeoutMs);

    // The index the scans use; replaceable by tests (empty: kept in memory only).
    static std::string (*s_pfnIndexPath)();

private:
    struct Job;
    static DWORD WINAPI Run(void* param);
    std::shared_ptr<Job> m_job;
    CKernelHandle m_thread;
};
