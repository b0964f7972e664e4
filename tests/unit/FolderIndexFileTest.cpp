// The folder index file (library/FolderIndexFile.h): what the writer writes reads back the
// same, byte for byte; anything else — cut short, a byte changed, counts beyond the file,
// names that are no names — reads as no index, without allocating for what the file claims.
#include "library/FolderIndexFile.h"
#include "unit/AllocationProbe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

FolderIndexEntry Entry(const std::string& path, std::vector<std::string> pictures,
    std::vector<std::pair<std::string, uint32_t>> folders, uint64_t lastWrite = 0x01D9000011112222ull)
{
    FolderIndexEntry entry;
    entry.path = path;
    entry.lastWrite = lastWrite;
    entry.size = 4096;
    entry.volume = 0x43000000;
    entry.fileIndex = 0x0000000100051219ull;
    entry.pictureCount = uint32_t(pictures.size());
    for (const auto& name : pictures)
        entry.names += name + '\0';
    for (const auto& folder : folders) {
        entry.names += folder.first + '\0';
        entry.folderAttributes.push_back(folder.second);
    }
    return entry;
}

std::vector<FolderIndexEntry> Sample()
{
    return {
        Entry("C:\\Pictures", {"2.jpg", "10.jpg", "夕焼け.jpg", "Łódź 🌅.png"},
            {{"Holidays", 0x10}, {"Фото ✨", 0x410}}),
        Entry("C:\\Pictures\\Holidays", {"beach.JPEG"}, {}),
        Entry("C:\\Pictures\\Фото ✨", {}, {}, 0),
        Entry("\\\\server\\share\\scans", {}, {{"a", 0x10}}),
    };
}

std::vector<FolderIndexEntry> Parse(const std::string& bytes, bool* ok = nullptr)
{
    std::vector<FolderIndexEntry> entries;
    const bool parsed = ParseFolderIndex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), entries);
    if (ok)
        *ok = parsed;
    if (!parsed) {
        EXPECT_TRUE(entries.empty());
    }
    return entries;
}

bool Parses(const std::string& bytes)
{
    bool ok = false;
    Parse(bytes, &ok);
    return ok;
}

void ExpectSame(const FolderIndexEntry& a, const FolderIndexEntry& b)
{
    EXPECT_EQ(a.path, b.path);
    EXPECT_EQ(a.lastWrite, b.lastWrite);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.volume, b.volume);
    EXPECT_EQ(a.fileIndex, b.fileIndex);
    EXPECT_EQ(a.pictureCount, b.pictureCount);
    EXPECT_EQ(a.names, b.names);
    EXPECT_EQ(a.folderAttributes, b.folderAttributes);
}

// The test's own CRC-32 (the zlib one), to make bodies the checksum does not refuse.
uint32_t Crc32(const std::string& bytes)
{
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

void Le(std::string& s, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += char(v >> (8 * i));
}

// A whole file around a hand-made body: a right header and checksum.
std::string FileOf(const std::string& body, uint32_t count, uint32_t version = 1)
{
    std::string s("MLVFIDX\x1A", 8);
    Le(s, version, 4);
    Le(s, count, 4);
    Le(s, body.size(), 8);
    Le(s, Crc32(body), 4);
    return s + body;
}

// One folder's bytes, by hand.
std::string Folder(const std::string& path, const std::vector<std::string>& pictures,
    const std::vector<std::string>& folders, int64_t pictureCount = -1, int64_t folderCount = -1)
{
    std::string s;
    Le(s, path.size(), 4);
    s += path;
    Le(s, 1, 8);
    Le(s, 0, 8);
    Le(s, 7, 4);
    Le(s, 9, 8);
    Le(s, pictureCount < 0 ? pictures.size() : uint64_t(pictureCount), 4);
    Le(s, folderCount < 0 ? folders.size() : uint64_t(folderCount), 4);
    for (const auto& name : pictures) {
        Le(s, name.size(), 2);
        s += name;
    }
    for (const auto& name : folders) {
        Le(s, name.size(), 2);
        s += name;
        Le(s, 0x10, 4);
    }
    return s;
}

} // namespace

TEST(FolderIndexFile, WhatIsWrittenReadsBackByteForByte)
{
    const auto sample = Sample();
    const std::string bytes = FolderIndexBytes(sample);
    bool ok = false;
    const auto read = Parse(bytes, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(read.size(), sample.size());
    for (size_t i = 0; i < read.size(); ++i)
        ExpectSame(read[i], sample[i]);
    EXPECT_EQ(FolderIndexBytes(read), bytes);
}

TEST(FolderIndexFile, NamesComeBackInOrderWithTheSubFoldersAttributes)
{
    const auto read = Parse(FolderIndexBytes(Sample()));
    ASSERT_FALSE(read.empty());
    std::vector<std::string> pictures, folders;
    std::vector<uint32_t> attributes;
    read[0].ForEachPicture([&](const char* name, size_t length) { pictures.emplace_back(name, length); });
    read[0].ForEachFolder([&](const char* name, size_t length, uint32_t a) {
        folders.emplace_back(name, length);
        attributes.push_back(a);
    });
    EXPECT_EQ(pictures, (std::vector<std::string> {"2.jpg", "10.jpg", "夕焼け.jpg", "Łódź 🌅.png"}));
    EXPECT_EQ(folders, (std::vector<std::string> {"Holidays", "Фото ✨"}));
    EXPECT_EQ(attributes, (std::vector<uint32_t> {0x10, 0x410}));
}

TEST(FolderIndexFile, AnEmptyIndexReadsBack)
{
    const std::string bytes = FolderIndexBytes(std::vector<FolderIndexEntry> {});
    EXPECT_EQ(bytes.size(), 28u);
    bool ok = false;
    EXPECT_TRUE(Parse(bytes, &ok).empty());
    EXPECT_TRUE(ok);
}

TEST(FolderIndexFile, EveryShorterFileIsRefused)
{
    const std::string bytes = FolderIndexBytes(Sample());
    for (size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(Parses(bytes.substr(0, length))) << length;
    EXPECT_FALSE(Parses(bytes + '\0'));
    std::vector<FolderIndexEntry> none;
    EXPECT_FALSE(ParseFolderIndex(nullptr, 0, none));
}

TEST(FolderIndexFile, EveryChangedByteIsRefused)
{
    const std::string bytes = FolderIndexBytes(Sample());
    for (size_t at = 0; at < bytes.size(); ++at)
        for (unsigned char flip : {0x01, 0x80, 0xFF}) {
            std::string changed = bytes;
            changed[at] = char(changed[at] ^ flip);
            EXPECT_FALSE(Parses(changed)) << "byte " << at << " ^ " << int(flip);
        }
}

TEST(FolderIndexFile, AForeignOrNewerFileIsRefused)
{
    const std::string body = Folder("C:\\a", {"x.jpg"}, {});
    ASSERT_TRUE(Parses(FileOf(body, 1)));
    EXPECT_FALSE(Parses(FileOf(body, 1, 2)));
    EXPECT_FALSE(Parses(FileOf(body, 1, 0)));
    std::string foreign = FileOf(body, 1);
    foreign[0] = 'm';
    EXPECT_FALSE(Parses(foreign));
}

TEST(FolderIndexFile, CountsBeyondTheFileAreRefusedWithoutAllocatingForThem)
{
    g_largestAllocation = 0;
    // Checksums right, counts not.
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {}, {}), 0xFFFFFFFF)));
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {}, {}), 2)));
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {}, {}), 0)));
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {"x.jpg"}, {}, 0xFFFFFFFF), 1)));
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {}, {"b"}, 0, 0x40000000), 1)));
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {"x.jpg"}, {}, 2), 1)));
    std::string hugePath;
    Le(hugePath, 0xFFFFFFF0u, 4);
    EXPECT_FALSE(Parses(FileOf(hugePath + std::string(60, 'a'), 1)));
    EXPECT_LT(g_largestAllocation.load(), size_t(4096));
}

TEST(FolderIndexFile, NamesThatAreNoNamesAreRefused)
{
    ASSERT_TRUE(Parses(FileOf(Folder("C:\\a", {"x.jpg"}, {"sub"}), 1)));
    for (const std::string& bad : {std::string(""), std::string("."), std::string(".."), std::string("a\\b"),
             std::string("a/b"), std::string("a:b"), std::string("a*b"), std::string("a?b"), std::string("a\"b"),
             std::string("a<b"), std::string("a>b"), std::string("a|b"), std::string("a\0b", 3),
             std::string("a\nb"), std::string("\xC3"), std::string("\xC0\xAF"), std::string("\xED\xA0\x80"),
             std::string("\xF4\x90\x80\x80"), std::string(1021, 'n')}) {
        EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {}, {bad}), 1))) << bad;
        if (bad.size() > 2) { // ".jpg", "..jpg" and "...jpg" are names
            EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {bad + ".jpg"}, {}), 1))) << bad;
        }
    }
    EXPECT_TRUE(Parses(FileOf(Folder("C:\\a", {}, {std::string(1020, 'n')}), 1)));
    // Pictures are pictures by their names.
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {"notes.txt"}, {}), 1)));
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {"jpg"}, {}), 1)));
    // Paths: not empty, UTF-8, no control characters.
    EXPECT_FALSE(Parses(FileOf(Folder("", {}, {}), 1)));
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\\xFF", {}, {}), 1)));
    EXPECT_FALSE(Parses(FileOf(Folder(std::string("C:\\a\0b", 6), {}, {}), 1)));
}

TEST(FolderIndexFile, TwoFoldersOfOnePathAreRefused)
{
    EXPECT_TRUE(Parses(FileOf(Folder("C:\\a", {}, {}) + Folder("C:\\b", {}, {}), 2)));
    EXPECT_FALSE(Parses(FileOf(Folder("C:\\a", {}, {}) + Folder("C:\\a", {}, {}), 2)));
}

TEST(FolderIndexFile, TheWriterLeavesOutWhatTheReaderWouldRefuse)
{
    auto entries = Sample();
    entries.push_back(Entry("C:\\Pictures", {"again.jpg"}, {})); // its path once more
    entries.push_back(Entry("C:\\bad", {"a\\b.jpg"}, {}));
    entries.push_back(Entry("C:\\text", {"notes.txt"}, {}));
    FolderIndexEntry unended = Entry("C:\\unended", {"x.jpg"}, {});
    unended.names.pop_back();
    entries.push_back(unended);
    FolderIndexEntry miscounted = Entry("C:\\miscounted", {"x.jpg"}, {});
    miscounted.pictureCount = 2;
    entries.push_back(miscounted);
    entries.push_back(Entry("", {}, {}));
    bool ok = false;
    const auto read = Parse(FolderIndexBytes(entries), &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(read.size(), Sample().size());
    ExpectSame(read[0], Sample()[0]);
}

TEST(FolderIndexFile, RandomDamageNeverPasses)
{
    const std::string bytes = FolderIndexBytes(Sample());
    std::mt19937 random(20261209);
    for (int round = 0; round < 2000; ++round) {
        std::string changed = bytes;
        const int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; ++i)
            changed[random() % changed.size()] = char(random());
        if (changed != bytes) {
            EXPECT_FALSE(Parses(changed)) << round;
        }
    }
}

class FolderIndexFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("murlavo-folder-index-" + std::to_string(std::random_device {}()));
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    fs::path m_dir;
};

TEST_F(FolderIndexFileOnDisk, WrittenThenRead)
{
    const std::string path = (m_dir / "Folder index.dat").string();
    const auto sample = Sample();
    std::vector<const FolderIndexEntry*> pointers;
    for (const auto& entry : sample)
        pointers.push_back(&entry);
    ASSERT_TRUE(WriteFolderIndexFile(path.c_str(), pointers));
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    std::vector<FolderIndexEntry> read;
    ASSERT_TRUE(ReadFolderIndexFile(path.c_str(), read));
    ASSERT_EQ(read.size(), sample.size());
    for (size_t i = 0; i < read.size(); ++i)
        ExpectSame(read[i], sample[i]);

    // Replaced whole by the next write.
    pointers.resize(1);
    ASSERT_TRUE(WriteFolderIndexFile(path.c_str(), pointers));
    ASSERT_TRUE(ReadFolderIndexFile(path.c_str(), read));
    EXPECT_EQ(read.size(), 1u);
}

TEST_F(FolderIndexFileOnDisk, MissingOrDamagedFilesReadAsNoIndex)
{
    std::vector<FolderIndexEntry> read = Sample();
    EXPECT_FALSE(ReadFolderIndexFile((m_dir / "none.dat").string().c_str(), read));
    EXPECT_TRUE(read.empty());
    EXPECT_FALSE(ReadFolderIndexFile(nullptr, read));
    EXPECT_FALSE(ReadFolderIndexFile("", read));

    const std::string path = (m_dir / "damaged.dat").string();
    std::string bytes = FolderIndexBytes(Sample());
    bytes[bytes.size() / 2] ^= 0x20;
    std::ofstream(path, std::ios::binary) << bytes;
    read = Sample();
    EXPECT_FALSE(ReadFolderIndexFile(path.c_str(), read));
    EXPECT_TRUE(read.empty());
    // A folder where the file should be.
    EXPECT_FALSE(ReadFolderIndexFile(m_dir.string().c_str(), read));
}

TEST_F(FolderIndexFileOnDisk, AFailedWriteKeepsTheOldFile)
{
    const std::string path = (m_dir / "Folder index.dat").string();
    const auto sample = Sample();
    ASSERT_TRUE(WriteFolderIndexFile(path.c_str(), {&sample[0]}));
    // The temporary name is taken by a folder: nothing can be written.
    fs::create_directories(path + ".tmp");
    EXPECT_FALSE(WriteFolderIndexFile(path.c_str(), {&sample[1]}));
    std::vector<FolderIndexEntry> read;
    ASSERT_TRUE(ReadFolderIndexFile(path.c_str(), read));
    ASSERT_EQ(read.size(), 1u);
    ExpectSame(read[0], sample[0]);
    EXPECT_FALSE(WriteFolderIndexFile((m_dir / "no such folder" / "index.dat").string().c_str(), {&sample[0]}));
}
