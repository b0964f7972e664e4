// Listing a large library folder with its sub-folders (library/PictureFolders.h), timed inside
// a Windows process (run under Wine by bench/folder_bench.sh). One process is one start of the
// wallpaper changer: the first List reads the index file (if any) and whatever changed; the
// second List, in the same process, is what each later wallpaper change does.
//
//   murlavo_folder_bench FOLDER INDEXFILE [save]
//
// Prints one line of key=value pairs: the times of the first List, of Save (with "save") and
// of the second List, the pictures found, the folders each List read from the disk (not from
// the index), and the memory: the process's private bytes and the bytes in use on its heaps
// before the first List, with the first listing held, and with both held.
#include "library/PictureFolders.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

// The process's private bytes: its commit charge, which Windows gives as PagefileUsage (and
// again as PrivateUsage); Wine gives the Unix process's anonymous resident memory and swap
// there (and no PrivateUsage).
double PrivateMb()
{
    PROCESS_MEMORY_COUNTERS counters {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return double(counters.PagefileUsage) / (1024.0 * 1024.0);
}

// The bytes of the blocks in use on every heap of the process (the C library's included).
double HeapInUseMb()
{
    HANDLE heaps[64];
    const DWORD count = ::GetProcessHeaps(64, heaps);
    double bytes = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!::HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry {};
        while (::HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                bytes += double(entry.cbData);
        ::HeapUnlock(heaps[i]);
    }
    return bytes / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: murlavo_folder_bench FOLDER INDEXFILE [save]\n");
        return 2;
    }
    const std::string folder = argv[1], indexPath = argv[2];
    const bool save = argc > 3 && !std::strcmp(argv[3], "save");

    const double privateBefore = PrivateMb(), heapBefore = HeapInUseMb();
    CFolderIndex index(indexPath);
    size_t read = folder_walk_testing::FoldersRead();
    double start = NowMs();
    const FolderListing first = index.List(folder, true);
    const double firstMs = NowMs() - start;
    const size_t firstRead = folder_walk_testing::FoldersRead() - read;
    if (!first.available || first.truncated) {
        std::fprintf(stderr, "%s: %s\n", folder.c_str(), first.available ? "truncated" : first.reason.c_str());
        return 1;
    }
    const double privateFirst = PrivateMb(), heapFirst = HeapInUseMb();

    double saveMs = 0;
    if (save) {
        start = NowMs();
        if (!index.Save()) {
            std::fprintf(stderr, "%s: not saved\n", indexPath.c_str());
            return 1;
        }
        saveMs = NowMs() - start;
    }

    read = folder_walk_testing::FoldersRead();
    start = NowMs();
    const FolderListing second = index.List(folder, true);
    const double secondMs = NowMs() - start;
    const size_t secondRead = folder_walk_testing::FoldersRead() - read;
    if (second.pictures != first.pictures) {
        std::fprintf(stderr, "the second listing differs from the first\n");
        return 1;
    }
    const double privateSecond = PrivateMb(), heapSecond = HeapInUseMb();

    std::printf("first_ms=%.1f save_ms=%.1f second_ms=%.1f pictures=%zu first_read=%zu second_read=%zu "
                "private_before_mb=%.1f private_first_mb=%.1f private_second_mb=%.1f "
                "heap_before_mb=%.1f heap_first_mb=%.1f heap_second_mb=%.1f\n",
        firstMs, saveMs, secondMs, first.pictures.size(), firstRead, secondRead, privateBefore, privateFirst,
        privateSecond, heapBefore, heapFirst, heapSecond);
    return 0;
}
