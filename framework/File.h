// A file on C stdio (portable: no <windows.h>). Read/write errors raise CFileException;
// the destructor closes without raising.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>

class CFileException : public std::exception {
public:
    enum Cause { generic, endOfFile, diskFull, badPath };
    explicit CFileException(Cause cause) : m_cause(cause) {}
    const char* what() const noexcept override;
    Cause m_cause;
};

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
