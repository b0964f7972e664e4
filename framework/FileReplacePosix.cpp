#include "framework/FileReplace.h"
#include "framework/File.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Pushes the new file's bytes to the disk, so that a crash just after the rename cannot leave
// the new name pointing at lost data. Best effort: the rename goes ahead either way.
void FlushToDisk(const char* path)
{
    int fd = ::open(path, O_RDONLY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool ReplaceFileAtomically(const char* from, const char* to)
{
    if (!from || !*from)
        return false;
    if (to && *to && !FileStepFails(FileStep::replace)) {
        FlushToDisk(from);
        // rename() replaces an existing file in one step; it refuses a directory in the way.
        if (std::rename(from, to) == 0)
            return true;
    }
    std::remove(from);
    return false;
}
