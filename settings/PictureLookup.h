// What the Settings dialog's tree shows for a picture file (whether it exists, its icon, its
// name) is found out on a worker thread, because asking the file system or the shell about a
// file on a network share that is offline can take half a minute, and the dialog must not wait
// for it. The dialog notes a look-up when an item is first shown and hands the noted ones to the
// worker together once the paint is over; the item shows a neutral picture until its answer
// comes. The answers come in batches: one posted message announces them.
//
// A share (\\server\share, or a network drive) is asked once whether it can be reached; the
// pictures of a share that cannot are answered as missing at once, without asking again.
//
// A folder record ("C:\Pictures\*", library/FolderRecord.h) is answered for its folder. A file
// that is stored online only (a cloud placeholder) is answered as one that cannot be shown: it
// is never opened, which would download it.
#pragma once
#include "framework/Handles.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPictureLookup {
public:
    struct Result {
        uint64_t id = 0;      // the request's own number
        bool exists = false;  // the file was found (and the shell knew it) and can be shown
        std::string label;    // the shell's name, the title, or the full path of a missing file
        std::string reason;   // why a picture cannot be shown (missing, online only, ...)
        int systemIcon = -1;  // with the shell: the icon's place in the system's small-icon list
        CIconHandle icon;     // the icon: without the shell every time, with it the first time an
                              // icon of the system list is met (later results name it by place)
    };

    CPictureLookup() = default;
    ~CPictureLookup();
    CPictureLookup(const CPictureLookup&) = delete;
    CPictureLookup& operator=(const CPictureLookup&) = delete;

    // Answers are announced by posting `message` to `notify` (once until TakeResults is called).
    void SetTarget(HWND notify, UINT message);
    // Notes a look-up; it goes to the worker with the others at the next Flush. False when it
    // could not be noted.
    bool Request(uint64_t id, const std::string& path, bool newShell);
    // Hands the look-ups noted so far to the worker, which starts with the first. False when
    // there is no worker (they are dropped).
    bool Flush();
    // The answers so far, in the order of the requests.
    std::vector<Result> TakeResults();
    // Hands on the noted look-ups and waits until every one is answered, at most timeoutMs;
    // true when nothing is left.
    bool WaitUntilIdle(DWORD timeoutMs);
    // Drops the queue and ends the worker, waiting for it at most timeoutMs: a worker held up in
    // a system call finishes on its own afterwards and announces nothing more.
    void Stop(DWORD timeoutMs);

    // "C:\Pictures\Lake.jpg" -> "Lake.jpg"; TitleOf -> "Lake".
    static std::string FileNameOf(const std::string& path);
    static std::string TitleOf(const std::string& path);

    // Replaceable for tests: the worker's questions to the file system and the shell. They are
    // asked in UTF-16: the file system is given FilePath's form (the long-path prefix past the
    // classic limit), the shell the plain path (or the file's name alone for a path it could
    // not take; it answers from the name and attributes given).
    static DWORD(WINAPI* s_pfnGetFileAttributes)(LPCWSTR path);
    static DWORD_PTR(WINAPI* s_pfnSHGetFileInfo)(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size,
        UINT flags);

private:
    struct Job {
        uint64_t id = 0;
        std::string path;
        bool newShell = true;
    };
    struct Shared;
    static DWORD WINAPI Worker(void* param);

    // Noted by Request, handed on together: the worker is woken once for a whole paint's worth.
    std::vector<Job> m_noted;
    std::shared_ptr<Shared> m_shared;
    CKernelHandle m_thread;
    HWND m_hNotify = nullptr;
    UINT m_nMessage = 0;
};
