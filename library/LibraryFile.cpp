#include "library/LibraryFile.h"
#include "framework/Archive.h"
#include "framework/FileReplace.h"

#include <cstdio>
#include <exception>
#include <string>
#include <utility>

std::unique_ptr<CWallpaperObject> ReadLibraryEntry(CArchive& ar)
{
    return ar.ReadObject<CWallpaperObject>();
}

namespace {

// Opens the file and hands every record to `take`, in file order. True only when the file
// held exactly its count of records and nothing else: a file that stops early, has a count
// of 2^31 or more, entries that are no record (null, references) or bytes after the last
// entry holds more than the records taken, and whoever writes it back keeps a copy first.
// What `take` received stays with it either way.
template <class Take>
bool ReadEntries(const char* path, Take take)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    try {
        CArchive ar(file, CArchive::load);
        // Stored unsigned, read signed: a count of 2^31 or more reads no entry.
        int32_t count = static_cast<int32_t>(ar.ReadUInt32());
        bool whole = count >= 0;
        for (int32_t i = 0; i < count; ++i) {
            if (auto record = ReadLibraryEntry(ar))
                take(std::move(record));
            else
                whole = false;
        }
        return whole && ar.AtEnd() && !ar.LossyText();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

bool LoadLibraryFile(const char* path, CWallpaperList& records)
{
    return ReadEntries(path, [&](std::unique_ptr<CWallpaperObject> record) {
        records.push_back(std::move(record));
    });
}

bool ReadShowList(const char* path, CWallpaperList& list)
{
    // Records not shown wait here and are deleted when reading is over.
    CWallpaperList discard;
    bool active = false; // inside a playlist marked Now Playing
    return ReadEntries(path, [&](std::unique_ptr<CWallpaperObject> record) {
        bool picture = record->m_bPicture != 0;
        if (active && !picture)
            active = false;
        if (record->m_bNowPlaying != 1 && !active) {
            discard.push_back(std::move(record));
        } else if (!picture) {
            discard.push_back(std::move(record));
            active = true;
        } else {
            list.push_back(std::move(record));
        }
    });
}

bool SaveLibraryFile(const char* path, const std::vector<CLibraryEntry>& entries, int32_t scaleMethod)
{
    if (!path || !*path || entries.size() > static_cast<size_t>(INT32_MAX))
        return false;
    const std::string temp = std::string(path) + ".tmp";
    CFile file;
    if (!file.Open(temp.c_str(), CFile::modeCreate))
        return false;
    try {
        CArchive ar(file, CArchive::store);
        ar.WriteUInt32(static_cast<uint32_t>(entries.size()));
        for (const CLibraryEntry& entry : entries) {
            if (CWallpaperObject* record = entry.pRecord) {
                record->m_bNowPlaying = entry.bNowPlaying ? 1 : 0;
                if (record->m_bPicture)
                    record->m_bResample = scaleMethod == 0 ? 1 : 0;
            }
            ar.WriteObject(entry.pRecord);
        }
        ar.Close();
        file.Close();
    } catch (const std::exception&) {
        file.Abort();
        std::remove(temp.c_str());
        return false;
    }
    // One step: a reader meets the old library or the new one, and a failed move keeps the old.
    return ReplaceFileAtomically(temp.c_str(), path);
}

bool GroupLeadingPictures(CWallpaperList& records, const std::string& name)
{
    if (records.empty() || !records.front() || records.front()->m_bPicture == 0)
        return false;
    records.insert(records.begin(), std::make_unique<CWallpaperObject>(name, 0));
    return true;
}

CWallpaperObject* FindNowPlaying(const CWallpaperList& records)
{
    CWallpaperObject* found = nullptr;
    for (const auto& record : records)
        if (record && record->m_bNowPlaying == 1)
            found = record.get();
    return found;
}

std::vector<CLibraryEntry> LibraryEntries(const CWallpaperList& records, const CWallpaperObject* nowPlaying)
{
    std::vector<CLibraryEntry> entries;
    entries.reserve(records.size());
    for (const auto& record : records)
        entries.push_back({record.get(), nowPlaying && record.get() == nowPlaying});
    return entries;
}
