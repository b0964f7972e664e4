#include "show/WallpaperRotation.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr size_t npos = static_cast<size_t>(-1);

uint64_t Fnv1a64(const void* data, size_t size, uint64_t hash = 14695981039346656037ull)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

// The record file: "MRLR", version 1, then the fields, then a 64-bit digest of all before it.
const char kMagic[4] = {'M', 'R', 'L', 'R'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxPathBytes = 32 * 1024 * 3; // a long path of 32,767 UTF-16 units in UTF-8

class Writer {
public:
    void U32(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    void U64(uint64_t value)
    {
        U32(static_cast<uint32_t>(value));
        U32(static_cast<uint32_t>(value >> 32));
    }
    void Text(const std::string& text)
    {
        U32(static_cast<uint32_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    std::vector<uint8_t> bytes;
};

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool U32(uint32_t& value)
    {
        if (m_size - m_at < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t(m_data[m_at + i]) << (8 * i);
        m_at += 4;
        return true;
    }
    bool U64(uint64_t& value)
    {
        uint32_t low = 0, high = 0;
        if (!U32(low) || !U32(high))
            return false;
        value = (uint64_t(high) << 32) | low;
        return true;
    }
    bool Text(std::string& text)
    {
        uint32_t length = 0;
        if (!U32(length) || length > kMaxPathBytes || m_size - m_at < length)
            return false;
        text.assign(reinterpret_cast<const char*>(m_data + m_at), length);
        m_at += length;
        return true;
    }
    size_t Left() const { return m_size - m_at; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

} // namespace

uint64_t PictureKey(const std::string& path)
{
    return Fnv1a64(path.data(), path.size());
}

RotationPicture MakeRotationPicture(std::string path, const void* tag)
{
    RotationPicture picture;
    picture.key = PictureKey(path);
    picture.path = std::move(path);
    picture.tag = tag;
    return picture;
}

std::vector<uint8_t> WriteRotationRecord(const RotationRecord& record)
{
    Writer w;
    w.bytes.assign(kMagic, kMagic + 4);
    w.U32(kVersion);
    w.U32(record.sequentialNext);
    w.Text(record.sequenceAnchor);
    w.U32(static_cast<uint32_t>(record.history.size()));
    w.U32(record.historyPosition);
    for (const std::string& path : record.history)
        w.Text(path);
    w.U32(static_cast<uint32_t>(record.shown.size()));
    for (uint64_t key : record.shown)
        w.U64(key);
    w.U64(Fnv1a64(w.bytes.data(), w.bytes.size()));
    return w.bytes;
}

bool ReadRotationRecord(const uint8_t* data, size_t size, RotationRecord& record)
{
    record = RotationRecord();
    if (!data || size < 4 + 8 || size > kMaxRotationRecordBytes || std::memcmp(data, kMagic, 4) != 0)
        return false;
    // The digest first: a damaged record is not read at all.
    Reader tail(data + size - 8, 8);
    uint64_t digest = 0;
    if (!tail.U64(digest) || digest != Fnv1a64(data, size - 8))
        return false;
    Reader r(data + 4, size - 4 - 8);
    RotationRecord read;
    uint32_t version = 0, historyCount = 0, position = 0, shownCount = 0;
    if (!r.U32(version) || version != kVersion || !r.U32(read.sequentialNext) || !r.Text(read.sequenceAnchor)
        || !r.U32(historyCount) || historyCount > kMaxHistory || !r.U32(position))
        return false;
    for (uint32_t i = 0; i < historyCount; ++i) {
        read.history.emplace_back();
        if (!r.Text(read.history.back()))
            return false;
    }
    if ((historyCount == 0 && position != 0) || (historyCount != 0 && position >= historyCount))
        return false;
    read.historyPosition = position;
    if (!r.U32(shownCount) || shownCount > r.Left() / 8)
        return false;
    read.shown.resize(shownCount);
    for (uint64_t& key : read.shown)
        if (!r.U64(key))
            return false;
    if (r.Left() != 0)
        return false;
    record = std::move(read);
    return true;
}

void CWallpaperRotation::Restore(const RotationRecord* record, const std::string& lastWallpaper)
{
    m_shown.clear();
    m_history.clear();
    m_historyPosition = 0;
    m_sequentialNext = 0;
    m_sequenceAnchor = lastWallpaper;
    if (!record) {
        // What the desktop shows stands first in the history: a new shuffle does not begin with it.
        if (!lastWallpaper.empty())
            m_history.push_back(lastWallpaper);
        return;
    }
    m_sequentialNext = record->sequentialNext;
    m_sequenceAnchor = record->sequenceAnchor;
    m_history = record->history;
    if (m_history.size() > kMaxHistory)
        m_history.erase(m_history.begin(), m_history.end() - kMaxHistory);
    m_historyPosition = m_history.empty() ? 0 : std::min<size_t>(record->historyPosition, m_history.size() - 1);
    m_shown.insert(record->shown.begin(), record->shown.end());
}

RotationRecord CWallpaperRotation::Record() const
{
    RotationRecord record;
    record.sequentialNext = static_cast<uint32_t>(std::min<size_t>(m_sequentialNext, UINT32_MAX));
    record.sequenceAnchor = m_sequenceAnchor;
    record.history = m_history;
    record.historyPosition = static_cast<uint32_t>(m_historyPosition);
    record.shown.assign(m_shown.begin(), m_shown.end());
    std::sort(record.shown.begin(), record.shown.end());
    return record;
}

size_t CWallpaperRotation::Find(const std::vector<RotationPicture>& list, const std::string& path, size_t hint)
{
    if (hint < list.size() && list[hint].path == path)
        return hint;
    const uint64_t key = PictureKey(path);
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].key == key && list[i].path == path)
            return i;
    return npos;
}

size_t CWallpaperRotation::NextShowable(const std::vector<RotationPicture>& list, size_t from) const
{
    const size_t n = list.size();
    for (size_t step = 0; step < n; ++step) {
        const size_t i = (from + step) % n;
        if (Showable(list[i]))
            return i;
    }
    return npos;
}

size_t CWallpaperRotation::SequentialStart(const std::vector<RotationPicture>& list) const
{
    if (list.empty())
        return 0;
    if (m_sequenceAnchor.empty())
        return m_sequentialNext < list.size() ? m_sequentialNext : 0;
    // The picture before the next one is still where it was: go on from there. Else it moved
    // (pictures added or removed before it), found again by its path; or it left the list, and
    // the picture that took its place comes next.
    const size_t anchorAt = m_sequentialNext == 0 ? list.size() - 1 : m_sequentialNext - 1;
    const size_t anchor = Find(list, m_sequenceAnchor, anchorAt);
    const size_t next = anchor != npos ? anchor + 1 : (m_sequentialNext == 0 ? 0 : m_sequentialNext - 1);
    return next < list.size() ? next : 0;
}

size_t CWallpaperRotation::ShuffleChoice(const std::vector<RotationPicture>& list) const
{
    // The pictures this round has not shown yet; when there are none, a new round begins with
    // every picture but the one on the desktop.
    size_t left = 0;
    for (const RotationPicture& picture : list)
        if (Showable(picture) && m_shown.count(picture.key) == 0)
            ++left;
    const bool newRound = left == 0;
    uint64_t current = 0;
    bool avoidCurrent = false;
    if (newRound) {
        if (!m_history.empty()) {
            current = PictureKey(m_history[m_historyPosition]);
            avoidCurrent = true;
        }
        for (const RotationPicture& picture : list)
            if (Showable(picture) && !(avoidCurrent && picture.key == current))
                ++left;
        if (left == 0 && avoidCurrent) { // the picture on the desktop is the only one
            avoidCurrent = false;
            for (const RotationPicture& picture : list)
                left += Showable(picture) ? 1 : 0;
        }
        if (left == 0)
            return npos;
    }
    uint64_t pick = m_random(left);
    if (pick >= left)
        pick = left - 1;
    for (size_t i = 0; i < list.size(); ++i) {
        const RotationPicture& picture = list[i];
        if (!Showable(picture))
            continue;
        const bool candidate = newRound ? !(avoidCurrent && picture.key == current) : m_shown.count(picture.key) == 0;
        if (candidate && pick-- == 0)
            return i;
    }
    return npos;
}

CWallpaperRotation::Choice CWallpaperRotation::ChooseNext(const std::vector<RotationPicture>& list, bool sequential) const
{
    Choice choice;
    if (list.empty())
        return choice;
    // Gone back with Previous: forward through the history first.
    for (size_t at = m_historyPosition + 1; at < m_history.size(); ++at) {
        const size_t index = Find(list, m_history[at], npos);
        if (index != npos && Showable(list[index])) {
            choice.step = Step::forward;
            choice.index = index;
            choice.historyAt = at;
            return choice;
        }
    }
    const size_t index = sequential ? NextShowable(list, SequentialStart(list)) : ShuffleChoice(list);
    if (index != npos) {
        choice.step = Step::fresh;
        choice.index = index;
    }
    return choice;
}

CWallpaperRotation::Choice CWallpaperRotation::ChoosePrevious(const std::vector<RotationPicture>& list) const
{
    Choice choice;
    for (size_t at = std::min(m_historyPosition, m_history.size()); at-- > 0;) {
        const size_t index = Find(list, m_history[at], npos);
        if (index != npos && Showable(list[index])) {
            choice.step = Step::back;
            choice.index = index;
            choice.historyAt = at;
            return choice;
        }
    }
    return choice;
}

void CWallpaperRotation::PushHistory(const std::string& path)
{
    // New pictures are chosen only at the history's end; anything after the position (left
    // behind when forward steps were skipped) gives way.
    if (!m_history.empty())
        m_history.resize(m_historyPosition + 1);
    m_history.push_back(path);
    if (m_history.size() > kMaxHistory)
        m_history.erase(m_history.begin(), m_history.end() - kMaxHistory);
    m_historyPosition = m_history.size() - 1;
}

void CWallpaperRotation::Applied(const std::vector<RotationPicture>& list, const Choice& choice)
{
    if (choice.step == Step::none || choice.index >= list.size())
        return;
    const RotationPicture& picture = list[choice.index];
    if (choice.step == Step::forward || choice.step == Step::back) {
        if (choice.historyAt < m_history.size())
            m_historyPosition = choice.historyAt;
        return;
    }
    // A fresh picture: the sequence goes on after it, the shuffle counts it.
    m_sequentialNext = choice.index + 1 < list.size() ? choice.index + 1 : 0;
    m_sequenceAnchor = picture.path;
    bool roundOver = true;
    for (const RotationPicture& other : list)
        if (Showable(other) && m_shown.count(other.key) == 0) {
            roundOver = false;
            break;
        }
    if (roundOver) {
        m_shown.clear();
    } else {
        // Pictures that left the list leave the shuffle, so the record stays the list's size.
        std::unordered_set<uint64_t> kept;
        for (const RotationPicture& other : list)
            if (m_shown.count(other.key))
                kept.insert(other.key);
        m_shown.swap(kept);
    }
    m_shown.insert(picture.key);
    PushHistory(picture.path);
}

void CWallpaperRotation::Failed(const std::vector<RotationPicture>& list, const Choice& choice)
{
    if (choice.step != Step::none && choice.index < list.size())
        m_failed.insert(list[choice.index].key);
}

void CWallpaperRotation::RestartSequence()
{
    m_sequentialNext = 0;
    m_sequenceAnchor.clear();
}
