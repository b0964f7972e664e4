// The library file: the Settings dialog's reader (LoadLibraryFile), the show window's reader
// (ReadShowList), and the writer on what was read. Whatever a file holds, what the reader
// returns is written back and read again to the same records, and the show list holds
// nothing but pictures.
#include "fuzz/FuzzSupport.h"
#include "library/LibraryFile.h"

#include <cstdlib>
#include <string>

namespace {

// A folder of this process for the written copy (the writer replaces the file by renaming),
// removed at exit.
struct WriteFolder {
    std::string path;
    WriteFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_library.XXXXXX";
        if (!mkdtemp(&path[0]))
            fuzz::Fail("no scratch folder");
    }
    ~WriteFolder()
    {
        std::remove((path + "/library").c_str());
        rmdir(path.c_str());
    }
};

bool Same(const CWallpaperObject& a, const CWallpaperObject& b)
{
    return a.m_strPath == b.m_strPath && a.m_strTile == b.m_strTile && a.m_bNowPlaying == b.m_bNowPlaying &&
           a.m_bPicture == b.m_bPicture && a.m_bMaintainAspect == b.m_bMaintainAspect &&
           a.m_bResample == b.m_bResample;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_library");
    static WriteFolder folder;
    const char* path = file.Hold(data, size);

    CWallpaperList show;
    ReadShowList(path, show);
    for (const auto& record : show)
        if (!record || record->m_bPicture == 0)
            fuzz::Fail("the show list holds something that is not a picture");

    CWallpaperList records;
    LoadLibraryFile(path, records);
    size_t pictures = 0;
    for (const auto& record : records)
        pictures += record->m_bPicture != 0;
    if (show.size() > pictures)
        fuzz::Fail("the show list holds more pictures than the file");

    // Written back as the Settings dialog writes it; the scale method comes from the input.
    const int32_t scaleMethod = size ? data[size - 1] & 1 : 1;
    const std::string copy = folder.path + "/library";
    if (!SaveLibraryFile(copy.c_str(), LibraryEntries(records, FindNowPlaying(records)), scaleMethod))
        fuzz::Fail("writing what was read failed");
    CWallpaperList again;
    if (!LoadLibraryFile(copy.c_str(), again))
        fuzz::Fail("a written library does not read back");
    if (again.size() != records.size())
        fuzz::Fail("a written library reads back with another number of records");
    for (size_t i = 0; i < records.size(); ++i)
        if (!Same(*records[i], *again[i]))
            fuzz::Fail("a written record reads back changed");
    return 0;
}
