// The folder index file (library/FolderIndexFile.h), read as the walk reads it at its first
// List. Whatever a file holds: the reader takes it whole or not at all, what it takes is
// written back byte for byte (the format has one form), every name it hands over is a name,
// and reading the bytes as a file gives the same. Then the writer, on folders made of the
// input's bytes: what it writes always reads back, to exactly the folders it kept.
// Bounds (fuzz/run-target.sh): the reader reserves nothing beyond what the file's size can
// hold, so a 64 KB input stays far below 256 MB and 1 s.
#include "fuzz/FuzzSupport.h"
#include "library/FolderIndexFile.h"

#include <string>
#include <vector>

namespace {

void CheckEntries(const std::vector<FolderIndexEntry>& entries)
{
    for (const auto& entry : entries) {
        size_t pictures = 0, folders = 0;
        entry.ForEachPicture([&](const char* name, size_t length) {
            if (!IsFolderIndexName(name, length))
                fuzz::Fail("a picture's name that is no name");
            ++pictures;
        });
        entry.ForEachFolder([&](const char* name, size_t length, uint32_t) {
            if (!IsFolderIndexName(name, length))
                fuzz::Fail("a sub-folder's name that is no name");
            ++folders;
        });
        if (pictures != entry.pictureCount || folders != entry.FolderCount())
            fuzz::Fail("the names do not match their counts");
    }
}

bool Same(const FolderIndexEntry& a, const FolderIndexEntry& b)
{
    return a.path == b.path && a.lastWrite == b.lastWrite && a.size == b.size && a.volume == b.volume &&
           a.fileIndex == b.fileIndex && a.pictureCount == b.pictureCount && a.names == b.names &&
           a.folderAttributes == b.folderAttributes;
}

// Folders made of the input: its bytes cut at each 0xFF into paths and names.
std::vector<FolderIndexEntry> EntriesOf(const uint8_t* data, size_t size)
{
    fuzz::Bytes bytes(data, size);
    std::vector<FolderIndexEntry> entries;
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size && parts.size() < 64; ++i) {
        if (data[i] == 0xFF)
            parts.emplace_back();
        else
            parts.back() += char(data[i]);
    }
    size_t next = 0;
    while (next < parts.size() && entries.size() < 8) {
        FolderIndexEntry entry;
        entry.path = parts[next++];
        entry.lastWrite = bytes.U32();
        entry.volume = bytes.U32();
        const size_t pictures = bytes.U8() % 4, folders = bytes.U8() % 4;
        for (size_t i = 0; i < pictures && next < parts.size(); ++i, ++entry.pictureCount)
            entry.names += parts[next++] + ".jpg" + '\0';
        for (size_t i = 0; i < folders && next < parts.size(); ++i) {
            entry.names += parts[next++] + '\0';
            entry.folderAttributes.push_back(bytes.U32());
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::MemoryFile file("fuzz_folderindex");
    std::vector<FolderIndexEntry> entries;
    const bool parsed = ParseFolderIndex(data, size, entries);
    if (!parsed && !entries.empty())
        fuzz::Fail("a refused file left folders behind");
    std::vector<FolderIndexEntry> fromFile;
    if (ReadFolderIndexFile(file.Hold(data, size), fromFile) != parsed || fromFile.size() != entries.size())
        fuzz::Fail("the file reader and the byte reader disagree");
    if (parsed) {
        CheckEntries(entries);
        const std::string written = FolderIndexBytes(entries);
        if (written.size() != size || written.compare(0, size, reinterpret_cast<const char*>(data), size) != 0)
            fuzz::Fail("an accepted file is not written back byte for byte");
    }

    // The writer keeps what the reader takes, and that reads back the same.
    const auto made = EntriesOf(data, size);
    const std::string written = FolderIndexBytes(made);
    std::vector<FolderIndexEntry> back;
    if (!ParseFolderIndex(reinterpret_cast<const uint8_t*>(written.data()), written.size(), back))
        fuzz::Fail("what the writer wrote does not read back");
    size_t at = 0;
    for (const auto& entry : back) {
        while (at < made.size() && !Same(made[at], entry))
            ++at;
        if (at == made.size())
            fuzz::Fail("the writer wrote a folder it was not given, or changed one");
        ++at;
    }
    return 0;
}
