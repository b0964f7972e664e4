// The wallpaper rotation's memory: where the sequence stands, which pictures the current
// shuffle has shown, and the wallpapers applied last (for "Previous"). Free of window code, with
// the random source injected, so the rules can be tested (portable).
//
// The rotation never owns the picture list: each choice is made over the list as it is at that
// moment (the Now Playing pictures, folders expanded), so pictures added or removed since the
// last change count at once.
//  - Sequential order continues with the picture after the one chosen last (found by its path
//    when the list has changed around it), from the first picture after a restart of the
//    sequence.
//  - Random order is a shuffle: every picture shows once before any shows twice; a new round
//    never starts with the picture just shown; pictures added join the part not yet shown.
//  - The history holds the last kMaxHistory wallpapers applied; Previous walks back through
//    it and Next walks forward again before anything new is chosen.
//  - Pictures that failed are left out for as long as this object lives (the session).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

// A picture of the list as the rotation sees it: its path and that path's key.
struct RotationPicture {
    std::string path;
    uint64_t key = 0;    // PictureKey(path)
    const void* tag = nullptr; // the caller's own (the library record whose options apply)
};

// A 64-bit digest of a path (exact bytes: two spellings are two pictures).
uint64_t PictureKey(const std::string& path);
RotationPicture MakeRotationPicture(std::string path, const void* tag = nullptr);

// What survives a restart. Written as a small file of its own (WriteRotationRecord).
struct RotationRecord {
    uint32_t sequentialNext = 0;   // the list index the sequence goes on from
    std::string sequenceAnchor;    // the picture before it; empty: start from the first
    std::vector<std::string> history; // applied wallpapers, oldest first
    uint32_t historyPosition = 0;  // the one on the desktop (history.size() - 1 unless gone back)
    std::vector<uint64_t> shown;   // keys the current shuffle has shown, ascending
};

constexpr size_t kMaxHistory = 50;
// A record file is never read past this size: it holds at most a shuffle of some millions.
constexpr size_t kMaxRotationRecordBytes = 64u << 20;

std::vector<uint8_t> WriteRotationRecord(const RotationRecord& record);
// False (and `record` left empty) for anything but a whole, undamaged record.
bool ReadRotationRecord(const uint8_t* data, size_t size, RotationRecord& record);

class CWallpaperRotation {
public:
    // Uniform in 0..bound-1 for bound >= 1.
    using RandomSource = std::function<uint64_t(uint64_t bound)>;
    explicit CWallpaperRotation(RandomSource random) : m_random(std::move(random)) {}

    // Takes a record read back after a restart. Without one (missing or damaged), the sequence
    // goes on after `lastWallpaper` and a new shuffle begins.
    void Restore(const RotationRecord* record, const std::string& lastWallpaper);
    RotationRecord Record() const;

    enum class Step { none, fresh, forward, back };
    struct Choice {
        Step step = Step::none;
        size_t index = 0;       // in the list the choice was made over
        size_t historyAt = 0;   // forward/back: the history entry
    };
    // The next wallpaper: forward through the history when Previous went back, else a new one
    // in the given order. Step::none when no picture can be shown.
    Choice ChooseNext(const std::vector<RotationPicture>& list, bool sequential) const;
    // The wallpaper before the one on the desktop that the list still holds; Step::none when
    // there is none (the menu greys "Previous").
    Choice ChoosePrevious(const std::vector<RotationPicture>& list) const;
    bool CanGoBack(const std::vector<RotationPicture>& list) const
    {
        return ChoosePrevious(list).step != Step::none;
    }

    // The choice's picture is on the desktop now.
    void Applied(const std::vector<RotationPicture>& list, const Choice& choice);
    // The choice's picture could not be shown: it is left out from now on.
    void Failed(const std::vector<RotationPicture>& list, const Choice& choice);
    bool HasFailed(uint64_t key) const { return m_failed.count(key) != 0; }
    size_t FailedCount() const { return m_failed.size(); }

    // The list of pictures was changed by the user: the sequence starts again from the first.
    void RestartSequence();

    const std::vector<std::string>& History() const { return m_history; }
    size_t HistoryPosition() const { return m_historyPosition; }
    size_t ShownCount() const { return m_shown.size(); }
    // Where the sequence goes on (unless the picture before it has moved).
    size_t SequentialNext() const { return m_sequenceAnchor.empty() ? 0 : m_sequentialNext; }

private:
    // The first index at or after `from` (wrapping, one round) that may be shown; npos if none.
    size_t NextShowable(const std::vector<RotationPicture>& list, size_t from) const;
    bool Showable(const RotationPicture& picture) const { return m_failed.count(picture.key) == 0; }
    // Where `path` is in the list (npos when not): `hint` first, then from the start.
    static size_t Find(const std::vector<RotationPicture>& list, const std::string& path, size_t hint);
    size_t SequentialStart(const std::vector<RotationPicture>& list) const;
    size_t ShuffleChoice(const std::vector<RotationPicture>& list) const;
    void PushHistory(const std::string& path);

    RandomSource m_random;
    size_t m_sequentialNext = 0;
    std::string m_sequenceAnchor;
    std::vector<std::string> m_history;
    size_t m_historyPosition = 0;
    std::unordered_set<uint64_t> m_shown;
    std::unordered_set<uint64_t> m_failed;
};
