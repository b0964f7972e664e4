#include "framework/FileReplace.h"
#include "framework/File.h"

#include "framework/Handles.h"
#include "framework/WideText.h"

#include <windows.h>

#include <string>

namespace {

// Pushes the new file's bytes to the disk: MOVEFILE_WRITE_THROUGH makes the move itself durable,
// not the data written earlier through the C library. Best effort: the move goes ahead either way.
void FlushToDisk(const std::wstring& path)
{
    CFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        ::FlushFileBuffers(file.Get());
}

// Errors that go away once another process closes the file: a virus scanner or an indexer
// opening the freshly written file, or a reader holding the old one without FILE_SHARE_DELETE.
bool MayPass(DWORD error, const std::wstring& to)
{
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED)
        return false;
    // Access is denied for good when a folder or a read-only file is in the way.
    DWORD attributes = ::GetFileAttributesW(to.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES
        || !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

enum class Replaced { yes, no, notPossible };

// Replaces an existing file with ReplaceFile, which keeps the old file's permissions,
// attributes and streams (a move would give the new file the folder's defaults, and needs the
// right to create files in the folder). The old file passes through a backup name, so that
// whichever step fails, it ends up whole under its own name. notPossible: this way cannot work
// here (no file to replace, a file system or system that refuses it); the caller moves instead.
// On failure `error` is the reason; a file held open by another program reads as a sharing
// violation, which may pass.
Replaced ReplaceExisting(const std::wstring& from, const std::wstring& to, DWORD& error)
{
    // The attributes the user gave the file are carried over also where ReplaceFile does not
    // (some systems' implementations only rename).
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
        | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD old = ::GetFileAttributesW(to.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && (old & kept))
        ::SetFileAttributesW(from.c_str(), old & kept);
    const std::wstring backup = to + L".replaced";
    ::DeleteFileW(backup.c_str());
    if (::ReplaceFileW(to.c_str(), from.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        ::DeleteFileW(backup.c_str());
        return Replaced::yes;
    }
    error = ::GetLastError();
    switch (error) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        // Both files kept their names.
        ::DeleteFileW(backup.c_str());
        error = ERROR_SHARING_VIOLATION;
        break;
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        // The old file is under the backup name: it goes back.
        ::MoveFileExW(backup.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        error = ERROR_SHARING_VIOLATION;
        break;
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
        // The old file is held open without leave to delete it; both files kept their names.
        error = ERROR_SHARING_VIOLATION;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_CALL_NOT_IMPLEMENTED:
    case ERROR_INVALID_PARAMETER:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return Replaced::notPossible;
    default:
        break;
    }
    return Replaced::no;
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool ReplaceFileAtomically(const char* from, const char* to)
{
    if (!from || !*from)
        return false;
    const std::wstring wideFrom = FilePath(from);
    if (to && *to && !FileStepFails(FileStep::replace)) {
        const std::wstring wideTo = FilePath(to);
        FlushToDisk(wideFrom);
        // Waits of about a second in all, on the caller's thread; a file held longer stays as it was.
        const DWORD kWaits[] = {50, 100, 200, 300, 400};
        bool replaceable = true;
        for (size_t attempt = 0;; ++attempt) {
            DWORD error = 0;
            const Replaced replaced =
                replaceable && IsFile(wideTo) ? ReplaceExisting(wideFrom, wideTo, error) : Replaced::notPossible;
            if (replaced == Replaced::yes)
                return true;
            if (replaced == Replaced::notPossible) {
                // A new file, or one ReplaceFile cannot take: moved in one step; without
                // MOVEFILE_COPY_ALLOWED it never falls back to a copy-and-delete, which would
                // not be atomic.
                replaceable = !IsFile(wideTo);
                if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                    return true;
                error = ::GetLastError();
            }
            if (attempt == sizeof kWaits / sizeof kWaits[0] || !MayPass(error, wideTo))
                break;
            ::Sleep(kWaits[attempt]);
        }
    }
    ::DeleteFileW(wideFrom.c_str());
    return false;
}
