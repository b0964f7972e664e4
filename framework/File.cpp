#include "framework/File.h"

std::atomic<FileFaultHook> g_pfnFileFault {nullptr};

const char* CFileException::what() const noexcept
{
    switch (m_cause) {
    case endOfFile: return "unexpected end of file";
    case diskFull: return "the file could not be written";
    case badPath: return "the file could not be opened";
    default: return "file error";
    }
}

CFile::~CFile()
{
    Abort();
}

bool CFile::Open(const char* path, OpenMode mode)
{
    Abort();
    if (!path || !*path)
        return false;
    if (mode == modeCreate && FileStepFails(FileStep::create))
        return false;
    m_fp = OpenFileStream(path, mode == modeRead ? "rb" : "wb");
    return m_fp != nullptr;
}

size_t CFile::Read(void* buffer, size_t count)
{
    if (!m_fp)
        throw CFileException(CFileException::generic);
    size_t got = std::fread(buffer, 1, count, m_fp);
    if (got < count && std::ferror(m_fp))
        throw CFileException(CFileException::generic);
    return got;
}

void CFile::Write(const void* buffer, size_t count)
{
    if (!m_fp)
        throw CFileException(CFileException::generic);
    if (FileStepFails(FileStep::write)) {
        std::fwrite(buffer, 1, count / 2, m_fp); // a disk that fills up midway
        throw CFileException(CFileException::diskFull);
    }
    if (count && std::fwrite(buffer, 1, count, m_fp) != count)
        throw CFileException(CFileException::diskFull);
}

void CFile::Close()
{
    if (!m_fp)
        return;
    std::FILE* fp = m_fp;
    m_fp = nullptr;
    bool flushed = !FileStepFails(FileStep::flush) && std::fflush(fp) == 0 && !std::ferror(fp);
    bool closed = std::fclose(fp) == 0 && !FileStepFails(FileStep::close);
    if (!flushed || !closed)
        throw CFileException(CFileException::diskFull);
}

void CFile::Abort()
{
    if (m_fp) {
        std::fclose(m_fp);
        m_fp = nullptr;
    }
}

// 64-bit positions on both C libraries (long is 32 bits on Windows).
#ifdef _WIN32
#define FILE_TELL _ftelli64
#define FILE_SEEK _fseeki64
#else
#define FILE_TELL ftello
#define FILE_SEEK fseeko
#endif

int64_t CFile::GetPosition()
{
    return m_fp ? FILE_TELL(m_fp) : -1;
}

bool CFile::Seek(int64_t position)
{
    return m_fp && FILE_SEEK(m_fp, position, SEEK_SET) == 0;
}

int64_t CFile::GetLength()
{
    if (!m_fp)
        return -1;
    int64_t here = FILE_TELL(m_fp);
    if (here < 0 || FILE_SEEK(m_fp, 0, SEEK_END) != 0)
        return -1;
    int64_t end = FILE_TELL(m_fp);
    FILE_SEEK(m_fp, here, SEEK_SET);
    return end;
}
