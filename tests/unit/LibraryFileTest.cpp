// The library file: bytes written, the two readers, and hostile files.
#include "framework/Text.h"
#include "framework/Archive.h"
#include "framework/FileReplace.h"
#include "library/LibraryFile.h"
#include "unit/AllocationProbe.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

namespace fs = std::filesystem;

// Little-endian bytes of a hand-made library file.
struct Bytes {
    std::string data;
    Bytes& u8(unsigned v) { data += static_cast<char>(v); return *this; }
    Bytes& u16(unsigned v) { return u8(v & 0xFF).u8(v >> 8 & 0xFF); }
    Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& raw(const std::string& s) { data += s; return *this; }
    Bytes& str(const std::string& s) { return u8(static_cast<unsigned>(s.size())).raw(s); } // s shorter than 255
    Bytes& intro(unsigned version = 2) { return u16(0xFFFF).u16(version).u16(16).raw("CWallpaperObject"); }
    // The fields of a version-2 record.
    Bytes& rec(const std::string& path, int nowPlaying, int picture)
    {
        return str(path).str("0").u32(nowPlaying).u32(picture).u32(1).u32(0);
    }
    Bytes& repeat(int times, const Bytes& part)
    {
        for (int i = 0; i < times; ++i)
            raw(part.data);
        return *this;
    }
};

// "01 41 ..." to bytes.
std::string Hex(const char* text)
{
    std::istringstream in(text);
    std::string out;
    unsigned byte;
    while (in >> std::hex >> byte)
        out += static_cast<char>(byte);
    return out;
}

std::string Paths(const CWallpaperList& list)
{
    std::string out;
    for (const auto& record : list)
        out += (out.empty() ? "" : " ") + record->m_strPath;
    return out;
}

// A library described as words: a word starting with an upper-case letter is a playlist, any
// other a picture; a trailing '*' marks the Now Playing item.
struct Library {
    std::vector<std::unique_ptr<CWallpaperObject>> records;
    std::vector<CLibraryEntry> entries;

    explicit Library(const char* words)
    {
        std::istringstream in(words);
        std::string word;
        while (in >> word) {
            bool marked = word.back() == '*';
            if (marked)
                word.pop_back();
            records.push_back(std::make_unique<CWallpaperObject>(word, std::isupper(static_cast<unsigned char>(word[0])) ? 0 : 1));
            entries.push_back({records.back().get(), marked});
        }
    }
};

class LibraryFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("murlavo-library-" + std::to_string(std::random_device {}()));
        fs::create_directories(m_dir);
        m_path = (m_dir / "Murlavo.ini").string();
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    void WriteFile(const std::string& bytes)
    {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string ReadFile() const
    {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path m_dir;
    std::string m_path;
};

// One playlist "A" marked Now Playing, holding one tiled picture C:\x.bmp, written with the
// resize method (scale method 1).
const std::string kWorkedExample = Hex("02 00 00 00  FF FF 02 00 10 00") + "CWallpaperObject" +
    Hex("01 41  01 30  01 00 00 00  00 00 00 00  01 00 00 00  00 00 00 00  01 80  08") + "C:\\x.bmp" +
    Hex("01 31  00 00 00 00  01 00 00 00  01 00 00 00  00 00 00 00");

TEST_F(LibraryFileTest, WorkedExampleIsWrittenByteForByteAndReadsBack)
{
    CWallpaperObject playlist("A", 0);
    CWallpaperObject picture("C:\\x.bmp", 1);
    picture.m_strTile = "1";
    picture.m_bNowPlaying = 1; // overwritten from the entry
    picture.m_bResample = 1;   // overwritten from the scale method
    std::vector<CLibraryEntry> entries {{&playlist, true}, {&picture, false}};
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), entries, 1));
    EXPECT_EQ(ReadFile(), kWorkedExample);
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), entries, 1)); // over the existing file
    EXPECT_EQ(ReadFile(), kWorkedExample);
    EXPECT_FALSE(fs::exists(m_path + ".tmp"));

    CWallpaperList records;
    ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), records));
    ASSERT_EQ(records.size(), 2u);
    const CWallpaperObject& a = *records[0];
    EXPECT_EQ(a.m_strPath, "A");
    EXPECT_EQ(a.m_strTile, "0");
    EXPECT_EQ(a.m_bNowPlaying, 1);
    EXPECT_EQ(a.m_bPicture, 0);
    const CWallpaperObject& x = *records[1];
    EXPECT_EQ(x.m_strPath, "C:\\x.bmp");
    EXPECT_EQ(x.m_strTile, "1");
    EXPECT_EQ(x.m_bNowPlaying, 0);
    EXPECT_EQ(x.m_bPicture, 1);
    EXPECT_EQ(x.m_bMaintainAspect, 1);
    EXPECT_EQ(x.m_bResample, 0);

    // What was read, written again, gives the same bytes.
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), {{records[0].get(), true}, {records[1].get(), false}}, 1));
    EXPECT_EQ(ReadFile(), kWorkedExample);

    CWallpaperList shown;
    ASSERT_TRUE(ReadShowList(m_path.c_str(), shown));
    EXPECT_EQ(Paths(shown), "C:\\x.bmp");
}

TEST_F(LibraryFileTest, ResampleFlagFollowsTheScaleMethodForPicturesOnly)
{
    CWallpaperObject playlist("P", 0), picture("p.bmp", 1), odd("q.bmp", 5); // any non-zero kind is a picture
    playlist.m_bResample = 7;
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), {{&playlist, false}, {&picture, false}, {&odd, true}}, 0));
    CWallpaperList records;
    ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]->m_bResample, 7);
    EXPECT_EQ(records[1]->m_bResample, 1);
    EXPECT_EQ(records[2]->m_bResample, 1);
    EXPECT_EQ(records[2]->m_bPicture, 5);
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), {{&playlist, false}, {&picture, false}}, 2));
    EXPECT_EQ(picture.m_bResample, 0);
}

struct ShowCase {
    const char* library;
    const char* shown;
};

class ShowListTest : public LibraryFileTest, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(ShowListTest, KeepsThePicturesOfTheNowPlayingItem)
{
    Library library(GetParam().library);
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), library.entries, 1));

    CWallpaperList records;
    ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), records));
    ASSERT_EQ(records.size(), library.records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i]->m_strPath, library.records[i]->m_strPath);
        EXPECT_EQ(records[i]->m_bPicture, library.records[i]->m_bPicture);
        EXPECT_EQ(records[i]->m_bNowPlaying, library.entries[i].bNowPlaying ? 1 : 0);
    }

    CWallpaperList shown;
    shown.push_back(std::make_unique<CWallpaperObject>("before", 1)); // appended to, never emptied
    ASSERT_TRUE(ReadShowList(m_path.c_str(), shown));
    EXPECT_EQ(Paths(shown), std::string("before") + (*GetParam().shown ? " " : "") + GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Rule, ShowListTest, ::testing::Values(
    ShowCase {"A a1 B* b1 b2 C c1", "b1 b2"},       // marked playlist
    ShowCase {"A a1 a2* B b1", "a2"},               // marked picture inside an unmarked playlist
    ShowCase {"A a1 B* C c1", ""},                  // marked empty playlist
    ShowCase {"A* a1 B b1 C* c1 c2", "a1 c1 c2"},   // two marked playlists
    ShowCase {"A a1 B b1", ""},                     // nothing marked
    ShowCase {"A* a1 B b1*", "a1 b1"},              // a marked playlist and a marked picture
    ShowCase {"A* a1* a2", "a1 a2"},                // marked picture in the marked playlist
    ShowCase {"x* A a1", "x"},                      // picture before any playlist
    ShowCase {"", ""}));

TEST_F(LibraryFileTest, EarlierClassVersionsReadFourFieldsAndKeepDefaults)
{
    for (unsigned version : {1u, 0u, 3u}) {
        SCOPED_TRACE(version);
        Bytes four;
        four.u32(3).intro(version).str("P").str("0").u32(1).u32(0);
        four.u16(0x8001).str("a").str("1").u32(0).u32(1);
        four.u16(0x8001).str("b").str("0").u32(0).u32(1);
        WriteFile(four.data);
        CWallpaperList records;
        ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), records));
        ASSERT_EQ(Paths(records), "P a b");
        EXPECT_EQ(records[1]->m_strTile, "1");
        for (const auto& record : records) {
            EXPECT_EQ(record->m_bMaintainAspect, 1);
            EXPECT_EQ(record->m_bResample, 0);
        }
        CWallpaperList shown;
        ASSERT_TRUE(ReadShowList(m_path.c_str(), shown));
        EXPECT_EQ(Paths(shown), "a b");
    }
}

struct PrefixCase {
    size_t length;
    const char* prefix;
};

class StringPrefixTest : public LibraryFileTest, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(StringPrefixTest, LengthPicksThePrefixForm)
{
    std::string path(GetParam().length, 'p');
    for (size_t i = 0; i < path.size(); i += 7)
        path[i] = static_cast<char>('a' + i % 26);
    CWallpaperObject picture(path, 1);
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), {{&picture, false}}, 1));
    const std::string prefix = Hex(GetParam().prefix);
    const std::string bytes = ReadFile();
    const size_t at = 4 + 22; // count and class introduction
    ASSERT_EQ(bytes.size(), at + prefix.size() + path.size() + 2 + 16);
    EXPECT_EQ(bytes.substr(at, prefix.size()), prefix);
    EXPECT_EQ(bytes.substr(at + prefix.size(), path.size()), path);

    CWallpaperList records;
    ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->m_strPath, path);
    EXPECT_EQ(records[0]->m_strTile, "0");
}

INSTANTIATE_TEST_SUITE_P(Lengths, StringPrefixTest, ::testing::Values(
    PrefixCase {0, "00"}, PrefixCase {254, "FE"}, PrefixCase {255, "FF FF 00"},
    PrefixCase {65533, "FF FD FF"}, PrefixCase {65534, "FF FF FF FE FF 00 00"},
    PrefixCase {65535, "FF FF FF FF FF 00 00"}, PrefixCase {65536, "FF FF FF 00 00 01 00"}));

TEST_F(LibraryFileTest, ReadsStringsOf16BitCharacters)
{
    Bytes file;
    file.u32(1).intro();
    // "ab", e-acute, a smiley: four characters after a one-byte count.
    file.u8(0xFF).u16(0xFFFE).u8(4).u16('a').u16('b').u16(0xE9).u16(0x263A);
    // 300 characters after a three-byte count.
    file.u8(0xFF).u16(0xFFFE).u8(0xFF).u16(300);
    for (int i = 0; i < 300; ++i)
        file.u16('t');
    file.u32(0).u32(1).u32(0).u32(1);
    WriteFile(file.data);
    CWallpaperList records;
    ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->m_strPath, "ab\xC3\xA9\xE2\x98\xBA"); // UTF-8 inside the program
    EXPECT_EQ(records[0]->m_strTile, std::string(300, 't'));
    EXPECT_EQ(records[0]->m_bResample, 1);
}

TEST_F(LibraryFileTest, Long16BitStringsConvertAsOneWhole)
{
    // Read in pieces of CArchive::kWidePiece characters: a surrogate pair across the first
    // boundary must stay one character, and lone surrogates and zeros anywhere are characters
    // like any other, never the end of the string.
    const size_t piece = CArchive::kWidePiece;
    std::vector<uint16_t> chars(2 * piece + 500, 'w');
    chars[piece - 1] = 0xD83D; // a pair split by the first piece boundary
    chars[piece] = 0xDE00;
    chars[2 * piece - 2] = 0xD800; // lone high surrogate at the end of the second piece
    chars[10] = 0xDC00;            // lone low surrogate
    chars[20] = 0;
    chars[30] = 0xE9;
    chars[31] = 0x20AC;
    chars.back() = 0xDBFF; // lone high surrogate as the very last character
    Bytes file;
    file.u32(1).intro().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(static_cast<unsigned>(chars.size()));
    for (uint16_t c : chars)
        file.u16(c);
    file.str("1").u32(0).u32(1).u32(1).u32(0);
    WriteFile(file.data);

    // The lone surrogates become U+FFFD, and such a file does not count as read to its end, so
    // it is never replaced without its copy.
    CWallpaperList records;
    EXPECT_FALSE(LoadLibraryFile(m_path.c_str(), records));
    ASSERT_EQ(records.size(), 1u);
    std::string expected;
    EXPECT_FALSE(AppendUtf8FromUtf16(expected, chars.data(), chars.size()));
    EXPECT_EQ(records[0]->m_strPath, expected);
    EXPECT_NE(expected.find("\xF0\x9F\x98\x80"), std::string::npos); // the split pair, whole
    EXPECT_EQ(records[0]->m_strPath.substr(0, 10), "wwwwwwwwww");
    EXPECT_NE(records[0]->m_strPath.find('\0'), std::string::npos); // the zero is kept, not an end
    EXPECT_EQ(records[0]->m_strTile, "1");
    EXPECT_EQ(records[0]->m_bPicture, 1);
}

TEST_F(LibraryFileTest, NamesTheCodePageHoldsStayEightBitAndOthersGoSixteenBit)
{
    // Windows-1252 on the test systems: "Café €.jpg" fits it and is written byte for byte as
    // before; Japanese, Polish and an emoji (outside the BMP) do not, and go as 16-bit
    // characters. Everything reads back as the same UTF-8.
    const std::string cafe = "C:\\Caf\xC3\xA9 \xE2\x82\xAC.jpg";
    const std::string japanese = "C:\\\xE5\xA4\x95\xE7\x84\xBC\xE3\x81\x91.jpg";                  // 夕焼け
    const std::string polish = "C:\\\xC5\x81\xC3\xB3\x64\xC5\xBA \xF0\x9F\x8C\x85.png";           // Łódź 🌅
    const std::string combining = "C:\\e\xCC\x81t\xC3\xA9.bmp";                                  // e + combining acute: not in 1252
    CWallpaperObject playlist("Fotos \xE2\x9C\xA8", 0), p1(cafe, 1), p2(japanese, 1), p3(polish, 1), p4(combining, 1);
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), {{&playlist, true}, {&p1, false}, {&p2, false}, {&p3, false}, {&p4, false}}, 1));
    const std::string bytes = ReadFile();
    EXPECT_NE(bytes.find(Hex("0D") + "C:\\Caf\xE9 \x80.jpg"), std::string::npos) << "8-bit, in the code page";
    // 夕焼け.jpg: FF FE FF, 10 units, then UTF-16LE.
    EXPECT_NE(bytes.find(Hex("FF FE FF 0A 43 00 3A 00 5C 00 15 59 3C 71 51 30 2E 00 6A 00 70 00 67 00")), std::string::npos);
    // The emoji as one surrogate pair.
    EXPECT_NE(bytes.find(Hex("3C D8 05 DF")), std::string::npos);

    CWallpaperList records;
    ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), records));
    EXPECT_EQ(Paths(records), "Fotos \xE2\x9C\xA8 " + cafe + " " + japanese + " " + polish + " " + combining);

    // Saved again: the same bytes.
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), LibraryEntries(records, records[0].get()), 1));
    EXPECT_EQ(ReadFile(), bytes);
}

TEST_F(LibraryFileTest, EightBitStringsReadInTheCodePage)
{
    // Bytes 0x80-0xFF of an existing file are Windows-1252 characters, read as such.
    WriteFile(Bytes().u32(1).intro().rec("\x80\xE9\x81\xFF", 0, 1).data);
    CWallpaperList records;
    ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->m_strPath, "\xE2\x82\xAC\xC3\xA9\xC2\x81\xC3\xBF");
}

// Hand-made files, valid and not: what each reader keeps. The record "P" is a playlist marked
// Now Playing and every other record an unmarked picture, so the show list is the pictures read.
struct HostileCase {
    const char* name;
    std::string bytes;
    const char* loaded;
    bool complete; // exactly its records and nothing more: written back without a copy
    const char* shown = nullptr; // nullptr: the pictures loaded
};

Bytes P() { return Bytes().u32(0x7FFFFFFF).intro().rec("P", 1, 0); } // P takes index 2
Bytes Pic(const char* path) { return Bytes().u16(0x8001).rec(path, 0, 1); }

std::vector<HostileCase> HostileCases()
{
    const Bytes a = Pic("a");
    // A fault followed by a valid picture that must not be read.
    auto F = [](Bytes fault) { return fault.raw(Pic("z").data).data; };
    return {
        {"empty file", "", "", false},
        {"count only", Bytes().u32(0).raw("garbage").data, "", false},
        {"count 2^31 reads nothing", Bytes().u32(0x80000000).intro().rec("P", 1, 0).data, "", false},
        {"count 2^32-1 reads nothing", Bytes().u32(0xFFFFFFFF).intro().rec("P", 1, 0).data, "", false},
        {"count beyond the entries", P().raw(a.data).data, "P a", false},
        {"count below the entries", Bytes().u32(1).intro().rec("P", 1, 0).raw(a.data).data, "P", false},
        {"null tags count toward N", Bytes().u32(4).u16(0).intro().rec("P", 1, 0).u16(0).raw(a.data).data, "P a", false},
        {"null tags use up N", Bytes().u32(3).intro().rec("P", 1, 0).u16(0).u16(0).raw(a.data).data, "P", false},
        {"references to records add nothing",
         Bytes().u32(5).intro().rec("P", 1, 0).raw(a.data).u16(2).u16(3).raw(Pic("b").data).data, "P a b", false},
        {"long tags", Bytes().u32(5).intro().rec("P", 1, 0).u16(0x7FFF).u32(0x80000001).rec("a", 0, 1)
                          .u16(0x7FFF).u32(3).u16(0x7FFF).u32(0).raw(Pic("b").data).data, "P a b", false},
        {"class introduced again takes new indexes",
         Bytes().u32(6).intro().rec("P", 1, 0).intro().rec("a", 0, 1).u16(0x8003).rec("b", 0, 1)
             .u16(0x8001).rec("c", 0, 1).u16(4).u16(6).data, "P a b c", false},
        {"record of a class read later", F(P().u16(0x8007).rec("b", 0, 1)), "P", false},
        {"reference to the class", F(P().raw(a.data).u16(1)), "P a", false},
        {"reference to the class read again", F(P().intro().rec("a", 0, 1).u16(3)), "P a", false},
        {"reference not read yet", F(P().u16(3)), "P", false},
        {"long reference not read yet", F(P().u16(0x7FFF).u32(3)), "P", false},
        {"long reference to the class", F(P().u16(0x7FFF).u32(1)), "P", false},
        {"class tag naming a record", F(P().u16(0x8002).rec("a", 0, 1)), "P", false},
        {"class tag 0x8000", F(P().u16(0x8000).rec("a", 0, 1)), "P", false},
        {"long class tag naming a record", F(P().u16(0x7FFF).u32(0x80000002)), "P", false},
        {"long class tag 0x80000000", F(P().u16(0x7FFF).u32(0x80000000)), "P", false},
        {"long class tag far away", F(P().u16(0x7FFF).u32(0xFFFFFFFF)), "P", false},
        {"class tag before any class", Bytes().u32(1).raw(a.data).data, "", false},
        {"class name in another case",
         Bytes().u32(1).u16(0xFFFF).u16(2).u16(16).raw("CWallpaperObjecT").rec("x", 1, 1).data, "", false},
        {"class name too short", Bytes().u32(1).u16(0xFFFF).u16(2).u16(15).raw("CWallpaperObjec").rec("x", 1, 1).data, "", false},
        {"class name empty", Bytes().u32(1).u16(0xFFFF).u16(2).u16(0).rec("x", 1, 1).data, "", false},
        {"class name of 64 bytes", Bytes().u32(1).u16(0xFFFF).u16(2).u16(64).raw(std::string(64, 'C')).rec("x", 1, 1).data, "", false},
        {"class name length 0xFFFF", Bytes().u32(1).u16(0xFFFF).u16(2).u16(0xFFFF).data, "", false},
        {"unknown class after a record", F(P().u16(0xFFFF).u16(2).u16(5).raw("CFile")), "P", false},
        {"string claiming 4 GiB", F(P().u16(0x8001).u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).raw("abc")), "P", false},
        {"16-bit string claiming 4 G characters",
         P().u16(0x8001).u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).raw("abc").data, "P", false},
        {"16-bit marker twice", F(P().u16(0x8001).u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFE).u8(1)), "P", false},
        {"string longer than the file", F(P().u16(0x8001).u8(0xFF).u16(300).raw("abc")), "P", false},
        {"Now Playing other than 1 does not count",
         Bytes().u32(3).intro().rec("Q", 2, 0).raw(Pic("q").data).u16(0x8001).rec("r", -1, 1).data, "Q q r", true, ""},
    };
}

TEST_F(LibraryFileTest, HostileFilesEndCleanlyWithWhatWasReadBefore)
{
    for (const HostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.name);
        WriteFile(c.bytes);
        g_largestAllocation = 0;
        CWallpaperList records;
        EXPECT_EQ(LoadLibraryFile(m_path.c_str(), records), c.complete);
        EXPECT_EQ(Paths(records), c.loaded);

        CWallpaperList shown;
        EXPECT_EQ(ReadShowList(m_path.c_str(), shown), c.complete);
        std::string pictures;
        for (const auto& record : records) {
            if (record->m_bPicture)
                pictures += (pictures.empty() ? "" : " ") + record->m_strPath;
        }
        EXPECT_EQ(Paths(shown), c.shown ? c.shown : pictures);
        EXPECT_LT(g_largestAllocation.load(), size_t(1) << 20);
    }
}

TEST_F(LibraryFileTest, TruncationAtEveryOffsetKeepsTheRecordsBeforeIt)
{
    Library library("Alpha a1 Beta* b1 b2 Gamma c1");
    library.records[3]->m_strPath = std::string(300, 'L'); // a three-byte prefix too
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), library.entries, 0));
    const std::string whole = ReadFile();

    // Where each record ends: the count, then the class introduction before the first record.
    std::vector<size_t> ends;
    size_t at = 4;
    for (const auto& record : library.records) {
        at += (ends.empty() ? 22 : 2) + record->m_strPath.size() + (record->m_strPath.size() < 255 ? 1 : 3) + 2 + 16;
        ends.push_back(at);
    }
    ASSERT_EQ(at, whole.size());

    for (size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        WriteFile(whole.substr(0, size));
        std::string loaded, shown;
        for (size_t i = 0; i < ends.size() && ends[i] <= size; ++i) {
            const CWallpaperObject& record = *library.records[i];
            loaded += (loaded.empty() ? "" : " ") + record.m_strPath;
            if (i == 3 || i == 4)
                shown += (shown.empty() ? "" : " ") + record.m_strPath;
        }
        CWallpaperList records, list;
        EXPECT_FALSE(LoadLibraryFile(m_path.c_str(), records));
        EXPECT_EQ(Paths(records), loaded);
        EXPECT_FALSE(ReadShowList(m_path.c_str(), list));
        EXPECT_EQ(Paths(list), shown);
    }
}

TEST_F(LibraryFileTest, ManyReferencesStayLinear)
{
    // 300000 references to one picture and as many null entries: each adds nothing.
    const int kTimes = 300000;
    Bytes file;
    file.u32(2 + 2 * kTimes).intro().rec("P", 1, 0).raw(Pic("a").data);
    file.repeat(kTimes, Bytes().u16(3)).repeat(kTimes, Bytes().u16(0x7FFF).u32(0));
    WriteFile(file.data);
    CWallpaperList shown;
    EXPECT_FALSE(ReadShowList(m_path.c_str(), shown)); // read through, but not only records
    EXPECT_EQ(Paths(shown), "a");
}

TEST_F(LibraryFileTest, MissingFileLeavesTheListAsItWas)
{
    CWallpaperList list;
    list.push_back(std::make_unique<CWallpaperObject>("kept", 1));
    EXPECT_FALSE(ReadShowList((m_dir / "none.ini").string().c_str(), list));
    EXPECT_FALSE(LoadLibraryFile((m_dir / "none.ini").string().c_str(), list));
    EXPECT_EQ(Paths(list), "kept");
}

TEST_F(LibraryFileTest, FailedSaveLeavesTheFileAsItWas)
{
    WriteFile(kWorkedExample);
    Library library("B* b1 b2");
    // The new content cannot even be created.
    fs::create_directory(m_path + ".tmp");
    EXPECT_FALSE(SaveLibraryFile(m_path.c_str(), library.entries, 1));
    EXPECT_EQ(ReadFile(), kWorkedExample);
    fs::remove(m_path + ".tmp");
    EXPECT_FALSE(SaveLibraryFile("", library.entries, 1));

    // A folder has taken the library's place: the new content is written but cannot replace it.
    const std::string other = (m_dir / "Other.ini").string();
    fs::create_directories(other + "/inside");
    EXPECT_FALSE(SaveLibraryFile(other.c_str(), library.entries, 1));
    EXPECT_TRUE(fs::is_directory(other + "/inside"));
    EXPECT_FALSE(fs::exists(other + ".tmp"));

#ifndef _WIN32
    // The disk fills up halfway through.
    library.records[1]->m_strPath = std::string(20000, 'x');
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 5000;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved_ok = SaveLibraryFile(m_path.c_str(), library.entries, 1);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(ReadFile(), kWorkedExample);
    EXPECT_FALSE(fs::exists(m_path + ".tmp"));
#endif
}

// What the Settings dialog reads is written back in full: pictures ahead of any playlist get
// a playlist of their own, and the count written is the number of records that follow.
TEST_F(LibraryFileTest, RecordsReadAreWrittenBackWithLeadingPicturesGrouped)
{
    // Two pictures before the first playlist (the second marked Now Playing), then a playlist;
    // the count claims one record more than the file holds.
    WriteFile(Bytes().u32(5).intro().rec("p1", 0, 1).u16(0x8001).rec("p2", 1, 1)
        .u16(0x8001).rec("B", 0, 0).u16(0x8001).rec("b1", 0, 1).data);
    CWallpaperList records;
    EXPECT_FALSE(LoadLibraryFile(m_path.c_str(), records));
    ASSERT_EQ(Paths(records), "p1 p2 B b1");

    ASSERT_TRUE(GroupLeadingPictures(records));
    EXPECT_EQ(Paths(records), "Pictures p1 p2 B b1");
    EXPECT_EQ(records[0]->m_bPicture, 0);
    EXPECT_FALSE(GroupLeadingPictures(records)); // grouped once only
    CWallpaperObject* nowPlaying = FindNowPlaying(records);
    ASSERT_EQ(nowPlaying, records[2].get());

    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), LibraryEntries(records, nowPlaying), 1));
    const std::string bytes = ReadFile();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), Hex("05 00 00 00"));

    CWallpaperList again;
    EXPECT_TRUE(LoadLibraryFile(m_path.c_str(), again));
    EXPECT_EQ(Paths(again), "Pictures p1 p2 B b1");
    EXPECT_EQ(FindNowPlaying(again)->m_strPath, "p2");
    CWallpaperList shown;
    EXPECT_TRUE(ReadShowList(m_path.c_str(), shown));
    EXPECT_EQ(Paths(shown), "p2");
}

TEST_F(LibraryFileTest, GroupingLeavesLibrariesThatStartWithAPlaylist)
{
    CWallpaperList none;
    EXPECT_FALSE(GroupLeadingPictures(none));
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(LibraryEntries(none, nullptr).empty());

    CWallpaperList records;
    records.push_back(std::make_unique<CWallpaperObject>("A", 0));
    records.push_back(std::make_unique<CWallpaperObject>("a1", 1));
    EXPECT_FALSE(GroupLeadingPictures(records, "Loose"));
    EXPECT_EQ(Paths(records), "A a1");

    CWallpaperList loose;
    loose.push_back(std::make_unique<CWallpaperObject>("x", 1));
    ASSERT_TRUE(GroupLeadingPictures(loose, "Loose"));
    EXPECT_EQ(Paths(loose), "Loose x");
}

TEST_F(LibraryFileTest, NowPlayingIsTheLastRecordMarkedOne)
{
    CWallpaperList records;
    for (int mark : {1, 0, 2, 1, -1}) {
        records.push_back(std::make_unique<CWallpaperObject>("r" + std::to_string(records.size()), 1));
        records.back()->m_bNowPlaying = mark;
    }
    EXPECT_EQ(FindNowPlaying(records), records[3].get());
    records[3]->m_bNowPlaying = 0;
    EXPECT_EQ(FindNowPlaying(records), records[0].get());
    records[0]->m_bNowPlaying = 0;
    EXPECT_EQ(FindNowPlaying(records), nullptr);

    // Only the given record is marked in what is written; the others are cleared.
    records[2]->m_bNowPlaying = 1;
    std::vector<CLibraryEntry> entries = LibraryEntries(records, records[4].get());
    ASSERT_EQ(entries.size(), records.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].pRecord, records[i].get());
        EXPECT_EQ(entries[i].bNowPlaying, i == 4);
    }
    ASSERT_TRUE(SaveLibraryFile(m_path.c_str(), entries, 0));
    CWallpaperList again;
    ASSERT_TRUE(LoadLibraryFile(m_path.c_str(), again));
    EXPECT_EQ(FindNowPlaying(again)->m_strPath, "r4");
}

// The seam every file the user keeps (the library, the wallpaper bitmap) is replaced through.
TEST_F(LibraryFileTest, ReplaceFileAtomicallyPutsTheNewFileInPlace)
{
    const std::string temp = m_path + ".new";
    WriteFile("old library");
    std::ofstream(temp, std::ios::binary) << "new";
    ASSERT_TRUE(ReplaceFileAtomically(temp.c_str(), m_path.c_str()));
    EXPECT_EQ(ReadFile(), "new");
    EXPECT_FALSE(fs::exists(temp));

    // Nothing there before.
    const std::string fresh = (m_dir / "Murlavo Wallpaper.bmp").string();
    std::ofstream(temp, std::ios::binary) << "BM";
    ASSERT_TRUE(ReplaceFileAtomically(temp.c_str(), fresh.c_str()));
    EXPECT_EQ(fs::file_size(fresh), 2u);
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(LibraryFileTest, ReplaceFileAtomicallyFailingKeepsTheOldFileAndDropsTheNew)
{
    const std::string temp = m_path + ".new";
    auto writeTemp = [&] { std::ofstream(temp, std::ios::binary) << "new"; };
    WriteFile("old library");

    // A folder in the way.
    const std::string folder = (m_dir / "taken").string();
    fs::create_directories(folder + "/inside");
    writeTemp();
    EXPECT_FALSE(ReplaceFileAtomically(temp.c_str(), folder.c_str()));
    EXPECT_TRUE(fs::is_directory(folder + "/inside"));
    EXPECT_FALSE(fs::exists(temp));

    // A target in a folder that does not exist, and no target at all.
    for (const char* to : {"missing/Murlavo.ini", "", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(to ? to : "nullptr");
        writeTemp();
        const std::string target = to && *to ? (m_dir / to).string() : std::string();
        EXPECT_FALSE(ReplaceFileAtomically(temp.c_str(), to && *to ? target.c_str() : to));
        EXPECT_FALSE(fs::exists(temp));
    }

    // No new file: the old one stays.
    EXPECT_FALSE(ReplaceFileAtomically(temp.c_str(), m_path.c_str()));
    EXPECT_FALSE(ReplaceFileAtomically(nullptr, m_path.c_str()));
    EXPECT_EQ(ReadFile(), "old library");
}

} // namespace
