// A file on C stdio (portable: no <windows.h>). Read/write errors raise CFileException;
// the destructor closes without raising.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <atomic>
#include <exception>

class CFileException : public std::exception {
public:
    enum Cause { generic, endOfFile, diskFull, badPath };
    explicit CFileException(Cause cause) : m_cause(cause) {}
    const char* what() const noexcept override;
    Cause m_cause;
};

// Test seam of the writes that hold user data (the library file, the wallpaper bitmap): each
// step of writing a file and of putting it in place asks the hook first, and a step the hook
// answers true for fails as a full disk or a refusing system would make it fail. The program
// never sets the hook; unset, a step costs one load of a null pointer.
enum class FileStep {
    create,  // CFile::Open for writing
    write,   // each CFile::Write (an injected failure writes half the bytes first)
    flush,   // pushing the buffered bytes out in CFile::Close
    close,   // closing the file in CFile::Close
    replace, // ReplaceFileAtomically
};
using FileFaultHook = bool (*)(FileStep step);
extern std::atomic<FileFaultHook> g_pfnFileFault;
inline bool FileStepFails(FileStep step)
{
    const FileFaultHook hook = g_pfnFileFault.load(std::memory_order_relaxed);
    return hook && hook(step);
}

// Opens a file by its UTF-8 name with a C stdio mode ("rb", "wb"): std::fopen elsewhere, the
// wide _wfopen on Windows (any name, and paths longer than 260 characters). nullptr on failure.
std::FILE* OpenFileStream(const char* path, const char* mode);

class CFile {
public:
    enum OpenMode {
        modeRead,              // existing file, reading
        modeCreate,            // create or truncate, writing
    };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const char* path, OpenMode mode);
    bool IsOpen() const { return m_fp != nullptr; }
    // Reads up to count bytes; returns how many arrived (less only at the end of the file).
    size_t Read(void* buffer, size_t count);
    // Writes all bytes or raises.
    void Write(const void* buffer, size_t count);
    // Closes; raises when buffered data could not be written.
    void Close();
    // Closes, ignoring every error.
    void Abort();
    // Size of the file in bytes, or -1 when unknown; the position stays where it was.
    int64_t GetLength();
    // The position in bytes (64-bit on both C libraries), or -1 when unknown.
    int64_t GetPosition();
    // Moves to a position counted from the start; false when that fails.
    bool Seek(int64_t position);
    std::FILE* Stream() const { return m_fp; }

private:
    std::FILE* m_fp = nullptr;
};
