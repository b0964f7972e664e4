#include "library/FolderIndexFile.h"

#include "framework/File.h"
#include "framework/FileReplace.h"
#include "library/FolderRecord.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string_view>
#include <unordered_set>

namespace {

constexpr char kMagic[8] = {'M', 'L', 'V', 'F', 'I', 'D', 'X', '\x1A'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderBytes = 8 + 4 + 4 + 8 + 4;
// The smallest folder: a path of one byte, no pictures, no sub-folders.
constexpr size_t kMinEntryBytes = 4 + 1 + 8 + 8 + 4 + 8 + 4 + 4;
constexpr size_t kMinPictureBytes = 2 + 1;
constexpr size_t kMinFolderBytes = 2 + 1 + 4;
// 32,767 UTF-16 units (the longest path Windows has) of up to three bytes each.
constexpr size_t kMaxPathBytes = 32767 * 3;
// 255 UTF-16 units (the longest name) of up to three bytes each, and room to spare.
constexpr size_t kMaxNameBytes = 1020;

constexpr std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table {};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// Well-formed UTF-8 (no overlong form, no surrogate, nothing above U+10FFFF) without control
// characters.
bool IsCleanUtf8(const char* text, size_t length)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c < 0x20)
                return false;
            ++i;
            continue;
        }
        size_t extra;
        uint32_t value;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            value = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            value = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            value = c & 0x07;
        } else {
            return false;
        }
        if (length - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            value = value << 6 | (p[i + k] & 0x3F);
        }
        if ((extra == 2 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
            (extra == 3 && (value < 0x10000 || value > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

bool IsIndexPath(const char* path, size_t length)
{
    return length > 0 && length <= kMaxPathBytes && IsCleanUtf8(path, length);
}

bool IsPictureName(const char* name, size_t length)
{
    return IsFolderIndexName(name, length) && IsPictureFileName(std::string(name, length));
}

// Reads the body; every read is checked against what is left.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_left(size) {}
    size_t Left() const { return m_left; }
    const char* Bytes(size_t count)
    {
        if (count > m_left)
            return nullptr;
        const char* at = reinterpret_cast<const char*>(m_data);
        Skip(count);
        return at;
    }
    bool U16(uint32_t& value) { return Number(value, 2); }
    bool U32(uint32_t& value) { return Number(value, 4); }
    bool U64(uint64_t& value) { return Number(value, 8); }

private:
    template <class T> bool Number(T& value, size_t bytes)
    {
        if (bytes > m_left)
            return false;
        value = 0;
        for (size_t i = 0; i < bytes; ++i)
            value |= T(m_data[i]) << (8 * i);
        Skip(bytes);
        return true;
    }
    void Skip(size_t count)
    {
        m_data += count;
        m_left -= count;
    }
    const uint8_t* m_data;
    size_t m_left;
};

void PutNumber(std::string& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char(value >> (8 * i));
}

bool ParseEntry(Reader& in, FolderIndexEntry& entry)
{
    uint32_t pathLength = 0;
    if (!in.U32(pathLength) || pathLength == 0 || pathLength > kMaxPathBytes)
        return false;
    const char* path = in.Bytes(pathLength);
    if (!path || !IsIndexPath(path, pathLength))
        return false;
    entry.path.assign(path, pathLength);
    uint32_t pictures = 0, folders = 0;
    if (!in.U64(entry.lastWrite) || !in.U64(entry.size) || !in.U32(entry.volume) || !in.U64(entry.fileIndex) ||
        !in.U32(pictures) || !in.U32(folders))
        return false;
    // The counts are bounded by what is left before anything is reserved for them.
    if (pictures > in.Left() / kMinPictureBytes || folders > in.Left() / kMinFolderBytes ||
        uint64_t(pictures) * kMinPictureBytes + uint64_t(folders) * kMinFolderBytes > in.Left())
        return false;
    entry.pictureCount = pictures;
    for (uint32_t i = 0; i < pictures; ++i) {
        uint32_t length = 0;
        if (!in.U16(length))
            return false;
        const char* name = in.Bytes(length);
        if (!name || !IsPictureName(name, length))
            return false;
        entry.names.append(name, length);
        entry.names += '\0';
    }
    entry.folderAttributes.reserve(folders);
    for (uint32_t i = 0; i < folders; ++i) {
        uint32_t length = 0, attributes = 0;
        if (!in.U16(length))
            return false;
        const char* name = in.Bytes(length);
        if (!name || !IsFolderIndexName(name, length) || !in.U32(attributes))
            return false;
        entry.names.append(name, length);
        entry.names += '\0';
        entry.folderAttributes.push_back(attributes);
    }
    entry.names.shrink_to_fit();
    return true;
}

// Whether the writer may write the entry (the reader would take it back).
bool IsWritable(const FolderIndexEntry& entry)
{
    if (!IsIndexPath(entry.path.data(), entry.path.size()) || entry.folderAttributes.size() > UINT32_MAX)
        return false;
    size_t at = 0, count = 0;
    const size_t total = size_t(entry.pictureCount) + entry.folderAttributes.size();
    while (at < entry.names.size()) {
        const size_t end = entry.names.find('\0', at);
        if (end == std::string::npos || count == total)
            return false;
        const char* name = entry.names.data() + at;
        const size_t length = end - at;
        if (count < entry.pictureCount ? !IsPictureName(name, length) : !IsFolderIndexName(name, length))
            return false;
        ++count;
        at = end + 1;
    }
    return count == total;
}

void PutEntry(std::string& out, const FolderIndexEntry& entry)
{
    PutNumber(out, entry.path.size(), 4);
    out += entry.path;
    PutNumber(out, entry.lastWrite, 8);
    PutNumber(out, entry.size, 8);
    PutNumber(out, entry.volume, 4);
    PutNumber(out, entry.fileIndex, 8);
    PutNumber(out, entry.pictureCount, 4);
    PutNumber(out, entry.folderAttributes.size(), 4);
    size_t at = 0;
    for (size_t i = 0; i < entry.pictureCount + entry.folderAttributes.size(); ++i) {
        const size_t end = entry.names.find('\0', at);
        PutNumber(out, end - at, 2);
        out.append(entry.names, at, end - at);
        if (i >= entry.pictureCount)
            PutNumber(out, entry.folderAttributes[i - entry.pictureCount], 4);
        at = end + 1;
    }
}

} // namespace

bool IsFolderIndexName(const char* name, size_t length)
{
    if (length == 0 || length > kMaxNameBytes || !IsCleanUtf8(name, length))
        return false;
    if ((length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.'))
        return false;
    for (size_t i = 0; i < length; ++i)
        if (std::memchr("\\/:*?\"<>|", name[i], 9))
            return false;
    return true;
}

bool ParseFolderIndex(const uint8_t* data, size_t size, std::vector<FolderIndexEntry>& entries)
{
    entries.clear();
    if (!data || size < kHeaderBytes || size > kMaxFolderIndexFileSize || std::memcmp(data, kMagic, 8) != 0)
        return false;
    Reader header(data + 8, kHeaderBytes - 8);
    uint32_t version = 0, count = 0, checksum = 0;
    uint64_t bodySize = 0;
    header.U32(version);
    header.U32(count);
    header.U64(bodySize);
    header.U32(checksum);
    const uint8_t* body = data + kHeaderBytes;
    if (version != kVersion || bodySize != size - kHeaderBytes || count > bodySize / kMinEntryBytes ||
        Crc32(body, size_t(bodySize)) != checksum)
        return false;

    std::vector<FolderIndexEntry> parsed(count);
    Reader in(body, size_t(bodySize));
    for (auto& entry : parsed)
        if (!ParseEntry(in, entry))
            return false;
    if (in.Left() != 0)
        return false;
    // No two folders of the same path.
    std::vector<std::string_view> paths;
    paths.reserve(parsed.size());
    for (const auto& entry : parsed)
        paths.emplace_back(entry.path);
    std::sort(paths.begin(), paths.end());
    if (std::adjacent_find(paths.begin(), paths.end()) != paths.end())
        return false;
    entries = std::move(parsed);
    return true;
}

std::string FolderIndexBytes(const std::vector<const FolderIndexEntry*>& entries)
{
    std::unordered_set<std::string_view> written;
    std::string body;
    uint32_t count = 0;
    for (const FolderIndexEntry* entry : entries) {
        if (!entry || !IsWritable(*entry) || count == UINT32_MAX)
            continue;
        if (!written.insert(std::string_view(entry->path)).second)
            continue;
        PutEntry(body, *entry);
        ++count;
    }
    std::string out(kMagic, sizeof kMagic);
    PutNumber(out, kVersion, 4);
    PutNumber(out, count, 4);
    PutNumber(out, body.size(), 8);
    PutNumber(out, Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()), 4);
    return out + body;
}

std::string FolderIndexBytes(const std::vector<FolderIndexEntry>& entries)
{
    std::vector<const FolderIndexEntry*> pointers;
    pointers.reserve(entries.size());
    for (const auto& entry : entries)
        pointers.push_back(&entry);
    return FolderIndexBytes(pointers);
}

bool ReadFolderIndexFile(const char* path, std::vector<FolderIndexEntry>& entries)
{
    entries.clear();
    CFile file;
    if (!path || !*path || !file.Open(path, CFile::modeRead))
        return false;
    const int64_t length = file.GetLength();
    if (length < 0 || uint64_t(length) > kMaxFolderIndexFileSize)
        return false;
    std::vector<uint8_t> bytes(size_t(length) + 1); // one more: a file that grew is not whole
    size_t got = 0;
    try {
        got = file.Read(bytes.data(), bytes.size());
    } catch (const std::exception&) {
        return false;
    }
    return got == size_t(length) && ParseFolderIndex(bytes.data(), got, entries);
}

bool WriteFolderIndexFile(const char* path, const std::vector<const FolderIndexEntry*>& entries)
{
    if (!path || !*path)
        return false;
    const std::string bytes = FolderIndexBytes(entries);
    const std::string temp = std::string(path) + ".tmp";
    CFile file;
    if (!file.Open(temp.c_str(), CFile::modeCreate))
        return false;
    try {
        file.Write(bytes.data(), bytes.size());
        file.Close();
    } catch (const std::exception&) {
        file.Abort();
        std::remove(temp.c_str());
        return false;
    }
    // One step: a reader meets the old index or the new one, and a failed move keeps the old.
    return ReplaceFileAtomically(temp.c_str(), path);
}
