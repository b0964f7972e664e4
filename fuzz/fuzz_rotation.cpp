// The wallpaper rotation's record file (show/WallpaperRotation.h), read as the changer reads it
// at its start. Whatever a file holds: the reader takes it whole or not at all, and what it
// takes is written back byte for byte (the format has one form). A rotation restored from it
// then keeps its rules over a list made of the record's own pictures and a few more: a choice
// is always in the list, the history never grows past its bound, and a shuffle never shows a
// picture twice before the list is through.
// Bounds (fuzz/run-target.sh): the reader allocates no more than the file's size can hold, so
// a 64 KB input stays far below 256 MB and 1 s.
#include "fuzz/FuzzSupport.h"
#include "show/WallpaperRotation.h"

#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RotationRecord record;
    const bool read = ReadRotationRecord(data, size, record);
    if (!read && !record.history.empty())
        fuzz::Fail("a refused record left a history behind");
    if (read) {
        const std::vector<uint8_t> written = WriteRotationRecord(record);
        if (written.size() != size || !std::equal(written.begin(), written.end(), data))
            fuzz::Fail("an accepted record is not written back byte for byte");
    }

    // A list of the record's pictures and some of its own, in an order the input decides.
    std::vector<RotationPicture> list;
    for (const std::string& path : record.history)
        list.push_back(MakeRotationPicture(path));
    for (int i = 0; i < 7; ++i)
        list.push_back(MakeRotationPicture("C:\\P\\" + std::to_string(i) + ".jpg"));
    if (!record.sequenceAnchor.empty())
        list.push_back(MakeRotationPicture(record.sequenceAnchor));
    uint64_t state = size;
    CWallpaperRotation rotation([&state](uint64_t bound) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (state >> 11) % bound;
    });
    rotation.Restore(read ? &record : nullptr, "");
    const bool sequential = size % 2 != 0;
    std::set<std::string> round;
    for (size_t step = 0; step < 3 * list.size(); ++step) {
        const uint8_t what = step < size ? data[step] % 5 : 0;
        CWallpaperRotation::Choice choice =
            what == 4 ? rotation.ChoosePrevious(list) : rotation.ChooseNext(list, sequential);
        if (choice.step == CWallpaperRotation::Step::none) {
            if (what != 4 && rotation.FailedCount() == 0)
                fuzz::Fail("nothing chosen from a list of pictures");
            continue;
        }
        if (choice.index >= list.size())
            fuzz::Fail("a choice outside the list");
        if (what == 3) {
            rotation.Failed(list, choice);
            continue;
        }
        rotation.Applied(list, choice);
        if (rotation.History().size() > kMaxHistory || rotation.HistoryPosition() >= rotation.History().size())
            fuzz::Fail("the history left its bounds");
    }
    return 0;
}
