#include "framework/FileReplace.h"
#include "framework/File.h"

#include "framework/Handles.h"

#include <windows.h>

namespace {

// Pushes the new file's bytes to the disk: MOVEFILE_WRITE_THROUGH makes the move itself durable,
// not the data written earlier through the C library. Best effort: the move goes ahead either way.
void FlushToDisk(const char* path)
{
    CFileHandle file(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        ::FlushFileBuffers(file.Get());
}

// Errors that go away once another process closes the file: a virus scanner or an indexer
// opening the freshly written file, or a reader holding the old one without FILE_SHARE_DELETE.
bool MayPass(DWORD error, const char* to)
{
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED)
        return false;
    // Access is denied for good when a folder or a read-only file is in the way.
    DWORD attributes = ::GetFileAttributesA(to);
    return attributes == INVALID_FILE_ATTRIBUTES
        || !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

} // namespace

bool ReplaceFileAtomically(const char* from, const char* to)
{
    if (!from || !*from)
        return false;
    if (to && *to && !FileStepFails(FileStep::replace)) {
        FlushToDisk(from);
        // Waits of about a second in all, on the caller's thread; a file held longer stays as it was.
        const DWORD kWaits[] = {50, 100, 200, 300, 400};
        for (size_t attempt = 0;; ++attempt) {
            // Replaces in one step; without MOVEFILE_COPY_ALLOWED it never falls back to a
            // copy-and-delete, which would not be atomic.
            if (::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return true;
            if (attempt == sizeof kWaits / sizeof kWaits[0] || !MayPass(::GetLastError(), to))
                break;
            ::Sleep(kWaits[attempt]);
        }
    }
    ::DeleteFileA(from);
    return false;
}
