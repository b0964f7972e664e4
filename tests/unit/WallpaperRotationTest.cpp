#include "show/WallpaperRotation.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<RotationPicture> Pictures(const std::vector<std::string>& paths)
{
    std::vector<RotationPicture> list;
    for (const std::string& path : paths)
        list.push_back(MakeRotationPicture(path));
    return list;
}

std::vector<std::string> Numbered(int n, const char* prefix = "C:\\P\\")
{
    std::vector<std::string> paths;
    for (int i = 0; i < n; ++i)
        paths.push_back(prefix + std::to_string(i) + ".jpg");
    return paths;
}

// A seeded random source, as the changer's own but repeatable.
CWallpaperRotation::RandomSource Seeded(uint32_t seed)
{
    auto engine = std::make_shared<std::mt19937_64>(seed);
    return [engine](uint64_t bound) { return std::uniform_int_distribution<uint64_t>(0, bound - 1)(*engine); };
}

// Chooses, applies and returns the path: one wallpaper change.
std::string Change(CWallpaperRotation& rotation, const std::vector<RotationPicture>& list, bool sequential)
{
    const auto choice = rotation.ChooseNext(list, sequential);
    if (choice.step == CWallpaperRotation::Step::none)
        return "";
    rotation.Applied(list, choice);
    return list[choice.index].path;
}

// Through a record file and back, as at a restart.
CWallpaperRotation Restarted(const CWallpaperRotation& before, uint32_t seed, const std::string& lastWallpaper)
{
    const std::vector<uint8_t> bytes = WriteRotationRecord(before.Record());
    RotationRecord record;
    EXPECT_TRUE(ReadRotationRecord(bytes.data(), bytes.size(), record));
    CWallpaperRotation after(Seeded(seed));
    after.Restore(&record, lastWallpaper);
    return after;
}

} // namespace

TEST(SequentialRotation, GoesOnAfterARestartAndFollowsItsPictureWhenTheListChanges)
{
    auto list = Pictures(Numbered(5));
    CWallpaperRotation rotation(Seeded(1));
    rotation.Restore(nullptr, "");
    EXPECT_EQ(Change(rotation, list, true), "C:\\P\\0.jpg");
    EXPECT_EQ(Change(rotation, list, true), "C:\\P\\1.jpg");

    CWallpaperRotation again = Restarted(rotation, 2, "C:\\P\\1.jpg");
    EXPECT_EQ(Change(again, list, true), "C:\\P\\2.jpg");

    // No record at all (an older version's user): the picture after "LastWallpaper".
    CWallpaperRotation upgraded(Seeded(3));
    upgraded.Restore(nullptr, "C:\\P\\3.jpg");
    EXPECT_EQ(Change(upgraded, list, true), "C:\\P\\4.jpg");
    EXPECT_EQ(Change(upgraded, list, true), "C:\\P\\0.jpg") << "wraps to the first";

    // A picture inserted before the one shown last (a file added to a folder): the sequence
    // goes on after that picture, not at its old index.
    list.insert(list.begin(), MakeRotationPicture("C:\\P\\00.jpg"));
    EXPECT_EQ(Change(again, list, true), "C:\\P\\3.jpg");
    // The picture shown last removed: the index stands.
    list.erase(list.begin() + 4); // "3.jpg"
    EXPECT_EQ(Change(again, list, true), "C:\\P\\4.jpg");

    // The user changed the list: from the first picture, also after a restart.
    again.RestartSequence();
    CWallpaperRotation restartedAfterEdit = Restarted(again, 4, "C:\\P\\4.jpg");
    EXPECT_EQ(Change(restartedAfterEdit, list, true), "C:\\P\\00.jpg");
}

TEST(ShuffledRotation, ShowsEveryPictureOnceBeforeAnyTwiceAcrossRestartsAdditionsAndRemovals)
{
    auto paths = Numbered(40);
    auto list = Pictures(paths);
    CWallpaperRotation rotation(Seeded(7));
    rotation.Restore(nullptr, "");
    std::set<std::string> seen;
    std::string last;
    for (int i = 0; i < 15; ++i) {
        last = Change(rotation, list, false);
        EXPECT_TRUE(seen.insert(last).second) << last << " came twice in one round";
    }
    rotation = Restarted(rotation, 8, last);
    // Ten pictures join (they are among those not shown yet), five shown and five not leave.
    for (int i = 0; i < 10; ++i)
        list.push_back(MakeRotationPicture("D:\\New\\" + std::to_string(i) + ".png"));
    std::vector<std::string> removed;
    for (auto it = list.begin(); it != list.end() && removed.size() < 10;) {
        const bool wasSeen = seen.count(it->path) != 0;
        const size_t seenRemoved = std::count_if(removed.begin(), removed.end(), [&](auto& p) { return seen.count(p); });
        if ((wasSeen && seenRemoved < 5) || (!wasSeen && removed.size() - seenRemoved < 5)) {
            removed.push_back(it->path);
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& path : removed)
        seen.erase(path);
    const size_t leftInRound = list.size() - seen.size();
    for (size_t i = 0; i < leftInRound; ++i) {
        last = Change(rotation, list, false);
        EXPECT_TRUE(seen.insert(last).second) << last << " came twice in one round";
        EXPECT_EQ(std::count(removed.begin(), removed.end(), last), 0) << "a removed picture came back";
    }
    EXPECT_EQ(seen.size(), list.size()) << "the round showed every picture";
    // The next round starts with any picture but the one on the desktop, and is again complete.
    std::set<std::string> round2;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string path = Change(rotation, list, false);
        if (i == 0) {
            EXPECT_NE(path, last);
        }
        EXPECT_TRUE(round2.insert(path).second);
    }
}

TEST(ShuffledRotation, OnePictureComesAgainAndFailedPicturesAreLeftOut)
{
    auto list = Pictures({"C:\\only.jpg"});
    CWallpaperRotation rotation(Seeded(1));
    rotation.Restore(nullptr, "C:\\only.jpg");
    EXPECT_EQ(Change(rotation, list, false), "C:\\only.jpg");
    EXPECT_EQ(Change(rotation, list, false), "C:\\only.jpg");

    list = Pictures({"a", "b", "c"});
    for (bool sequential : {false, true}) {
        CWallpaperRotation r(Seeded(2));
        r.Restore(nullptr, "");
        r.Failed(list, {CWallpaperRotation::Step::fresh, 1, 0});
        for (int i = 0; i < 6; ++i)
            EXPECT_NE(Change(r, list, sequential), "b");
        r.Failed(list, {CWallpaperRotation::Step::fresh, 0, 0});
        r.Failed(list, {CWallpaperRotation::Step::fresh, 2, 0});
        EXPECT_EQ(r.ChooseNext(list, sequential).step, CWallpaperRotation::Step::none) << "nothing can be shown";
    }
    CWallpaperRotation empty(Seeded(3));
    EXPECT_EQ(empty.ChooseNext({}, false).step, CWallpaperRotation::Step::none);
    EXPECT_EQ(empty.ChoosePrevious({}).step, CWallpaperRotation::Step::none);
}

TEST(RotationHistory, PreviousWalksBackAndNextForwardBeforeAnythingNew)
{
    auto list = Pictures(Numbered(100));
    CWallpaperRotation rotation(Seeded(5));
    rotation.Restore(nullptr, "");
    EXPECT_FALSE(rotation.CanGoBack(list));
    std::vector<std::string> applied;
    for (int i = 0; i < 60; ++i)
        applied.push_back(Change(rotation, list, false));
    EXPECT_EQ(rotation.History().size(), kMaxHistory);

    auto back = [&] {
        auto choice = rotation.ChoosePrevious(list);
        if (choice.step == CWallpaperRotation::Step::none)
            return std::string();
        rotation.Applied(list, choice);
        return list[choice.index].path;
    };
    EXPECT_EQ(back(), applied[58]);
    EXPECT_EQ(back(), applied[57]);
    // Survives a restart in the middle of the walk.
    rotation = Restarted(rotation, 6, applied[57]);
    EXPECT_EQ(back(), applied[56]);
    // A picture of the history that left the list is stepped over.
    list.erase(std::find_if(list.begin(), list.end(), [&](auto& p) { return p.path == applied[55]; }));
    EXPECT_EQ(back(), applied[54]);
    EXPECT_EQ(Change(rotation, list, false), applied[56]) << "Next walks forward first";
    EXPECT_EQ(Change(rotation, list, false), applied[57]);
    EXPECT_EQ(Change(rotation, list, false), applied[58]);
    EXPECT_EQ(Change(rotation, list, false), applied[59]);
    const std::string fresh = Change(rotation, list, false);
    EXPECT_EQ(std::count(applied.begin(), applied.end(), fresh), 0) << "then new pictures of the shuffle";
    EXPECT_EQ(rotation.History().back(), fresh);

    // Back to the oldest of the fifty, and no further.
    int steps = 0;
    while (!back().empty())
        ++steps;
    EXPECT_EQ(steps, int(kMaxHistory) - 2) << "the 50 kept, less the one removed, less the one shown";
    EXPECT_FALSE(rotation.CanGoBack(list));
}

TEST(RotationRecordFile, RoundTripsAndRefusesAnyDamage)
{
    RotationRecord record;
    record.sequentialNext = 7;
    record.sequenceAnchor = "C:\\Bilder\\Łódź 🌅.png";
    record.history = {"a", "b", "c"};
    record.historyPosition = 1;
    record.shown = {1, 5, 0xFFFFFFFFFFFFFFFFull};
    const std::vector<uint8_t> bytes = WriteRotationRecord(record);
    RotationRecord read;
    ASSERT_TRUE(ReadRotationRecord(bytes.data(), bytes.size(), read));
    EXPECT_EQ(read.sequentialNext, 7u);
    EXPECT_EQ(read.sequenceAnchor, record.sequenceAnchor);
    EXPECT_EQ(read.history, record.history);
    EXPECT_EQ(read.historyPosition, 1u);
    EXPECT_EQ(read.shown, record.shown);

    for (size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(ReadRotationRecord(bytes.data(), cut, read)) << "cut at " << cut;
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0x10;
        EXPECT_FALSE(ReadRotationRecord(damaged.data(), damaged.size(), read)) << "byte " << at;
        EXPECT_TRUE(read.history.empty());
    }
    // A history position past its end is refused even with a right digest.
    record.historyPosition = 3;
    const std::vector<uint8_t> bad = WriteRotationRecord(record);
    EXPECT_FALSE(ReadRotationRecord(bad.data(), bad.size(), read));
}
