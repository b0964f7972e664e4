#include "show/WallpaperChanger.h"

#include "framework/FileReplace.h"
#include "framework/WideText.h"
#include "framework/Application.h"
#include "library/FolderRecord.h"
#include "library/Library.h"
#include "platform/Desktop.h"
#include "platform/WallpaperCanvas.h"
#include "show/Rotation.h"

#include <windows.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace {
int64_t SystemNow()
{
    return static_cast<int64_t>(std::time(nullptr));
}

std::string DefaultRotationRecordPath()
{
    return UserStatePath("Rotation.dat");
}

const wchar_t kWallpaperFileName[] = L"Murlavo Wallpaper.bmp";

// The folder the environment names as the temporary one (where GetTempPath looks first), for
// telling the user about one the system cannot take.
std::string TempFolderOfTheEnvironment()
{
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
        const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
        if (size == 0)
            continue;
        std::wstring value(size, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(name, &value[0], size);
        if (length > 0 && length < size)
            return Utf8(value.data(), length);
    }
    return std::string();
}

enum class TempPlace { usable, unusable, tooLong };

// The wallpaper bitmap's path in the temporary folder. Unusable: no folder, or a relative path
// that would put the file wherever the current directory happens to be. Too long: a folder whose
// path leaves the bitmap's path longer than the desktop takes (also one too long for the system
// to give at all).
TempPlace WallpaperPathInTempFolder(std::string& path, std::string& folder)
{
    path.clear();
    folder.clear();
    std::wstring temp(MAX_PATH + 1, L'\0');
    ::SetLastError(0);
    DWORD length = ::GetTempPathW(DWORD(temp.size()), &temp[0]);
    if (length >= temp.size()) { // the size it needs, terminator included
        temp.assign(length, L'\0');
        length = ::GetTempPathW(DWORD(temp.size()), &temp[0]);
    }
    if (length == 0 && ::GetLastError() == ERROR_FILENAME_EXCED_RANGE) {
        folder = TempFolderOfTheEnvironment();
        return TempPlace::tooLong;
    }
    if (length == 0 || length >= temp.size())
        return TempPlace::unusable;
    temp.resize(length);
    const bool absolute = (length > 1 && temp[0] == L'\\' && temp[1] == L'\\')
        || (length > 2 && temp[1] == L':' && temp[2] == L'\\');
    if (!absolute || temp.back() != L'\\')
        return TempPlace::unusable;
    const std::wstring wallpaper = temp + kWallpaperFileName;
    if (wallpaper.size() > platform::kMaxWallpaperPath) {
        folder = Utf8(temp);
        return TempPlace::tooLong;
    }
    path = Utf8(wallpaper);
    return TempPlace::usable;
}
} // namespace

int64_t (*CWallpaperChanger::s_pfnNow)() = SystemNow;
std::string (*CWallpaperChanger::s_pfnRecordPath)() = DefaultRotationRecordPath;

CWallpaperChanger::CWallpaperChanger()
    : m_random(static_cast<uint64_t>(std::time(nullptr)) ^ (uint64_t(::GetCurrentProcessId()) << 32)
          ^ ::GetTickCount()),
      m_rotation([this](uint64_t bound) { return std::uniform_int_distribution<uint64_t>(0, bound - 1)(m_random); }),
      m_setRotation(nullptr)
{
}

void CWallpaperChanger::Load(bool wallpaperRole)
{
    m_list.reserve(10);
    ReadLibrary(m_list);
    Expand({});
    m_bWallpaperRole = wallpaperRole;
    if (wallpaperRole) {
        m_bTempFolderTooLong =
            WallpaperPathInTempFolder(m_strWallpaperPath, m_strTempFolder) == TempPlace::tooLong;
        g_settings.m_strTempImage = m_strWallpaperPath;
        // Where the rotation stood; a missing or damaged record starts a new shuffle, and the
        // sequence goes on after the last wallpaper.
        RotationRecord record;
        const std::string bytes = ReadStateFile(s_pfnRecordPath ? s_pfnRecordPath() : std::string(),
            kMaxRotationRecordBytes);
        const bool read = !bytes.empty()
            && ReadRotationRecord(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), record);
        m_rotation.Restore(read ? &record : nullptr, g_settings.m_strLastWallpaper);
    }
}

void CWallpaperChanger::Clear()
{
    m_pCurrent = nullptr;
    m_choice = CWallpaperRotation::Choice();
    m_set.clear();
    m_bSetPending = false;
    m_pictures.clear();
    m_list.clear();
}

std::unordered_map<std::string, std::vector<std::string>> CWallpaperChanger::TakeFolderPictures()
{
    std::unordered_map<std::string, std::vector<std::string>> pictures;
    for (RotationPicture& picture : m_pictures) {
        const auto* record = static_cast<const CWallpaperObject*>(picture.tag);
        if (record && FolderScopeOf(record->m_strPath) != FolderScope::none)
            pictures[record->m_strPath].push_back(std::move(picture.path));
    }
    return pictures;
}

void CWallpaperChanger::Expand(std::unordered_map<std::string, std::vector<std::string>> found)
{
    // What the folders held before, for those not scanned now. The paths are moved, not copied:
    // a folder of 100,000 pictures is held once.
    std::unordered_map<std::string, std::vector<std::string>> before = TakeFolderPictures();
    m_pictures.clear();
    m_choice = CWallpaperRotation::Choice();
    m_bSetPending = false;
    size_t total = 0;
    for (const auto& record : m_list) {
        const auto fresh = found.find(record->m_strPath), old = before.find(record->m_strPath);
        total += fresh != found.end() ? fresh->second.size() : old != before.end() ? old->second.size() : 1;
    }
    m_pictures.reserve(total);
    for (const auto& record : m_list) {
        if (FolderScopeOf(record->m_strPath) == FolderScope::none) {
            m_pictures.push_back(MakeRotationPicture(record->m_strPath, record.get()));
            continue;
        }
        auto it = found.find(record->m_strPath);
        if (it == found.end()) {
            it = before.find(record->m_strPath);
            if (it == before.end())
                continue;
        }
        // A folder that stands twice in the list gives its pictures once.
        for (std::string& path : it->second)
            m_pictures.push_back(MakeRotationPicture(std::move(path), record.get()));
        it->second.clear();
    }
}

std::vector<FolderRequest> CWallpaperChanger::FolderRequests() const
{
    std::vector<FolderRequest> requests;
    for (const auto& record : m_list) {
        const FolderScope scope = FolderScopeOf(record->m_strPath);
        if (scope == FolderScope::none)
            continue;
        bool known = false;
        for (const FolderRequest& request : requests)
            known = known || request.recordPath == record->m_strPath;
        if (!known)
            requests.push_back({record->m_strPath, FolderOfRecord(record->m_strPath), scope == FolderScope::withSubFolders});
    }
    return requests;
}

void CWallpaperChanger::TakeFolderListings(std::vector<FolderResult> results)
{
    std::unordered_map<std::string, std::vector<std::string>> found;
    for (FolderResult& result : results)
        found[result.recordPath] = std::move(result.listing.pictures);
    Expand(std::move(found));
}

size_t CWallpaperChanger::IndexOf(const std::string& path) const
{
    const uint64_t key = PictureKey(path);
    for (size_t i = 0; i < m_pictures.size(); ++i)
        if (m_pictures[i].key == key && m_pictures[i].path == path)
            return i;
    return SIZE_MAX;
}

std::vector<size_t> CWallpaperChanger::ShownIndices(const CWallpaperRotation& rotation, size_t count) const
{
    // The history up to where it stands, newest first, as far as the list still holds the
    // pictures and they can be shown; returned oldest first.
    std::vector<size_t> shown;
    const std::vector<std::string>& history = rotation.History();
    for (size_t at = std::min(rotation.HistoryPosition() + 1, history.size()); at-- > 0 && shown.size() < count;) {
        const size_t index = IndexOf(history[at]);
        if (index != SIZE_MAX && !rotation.HasFailed(m_pictures[index].key))
            shown.insert(shown.begin(), index);
    }
    return shown;
}

CWallpaperObject CWallpaperChanger::RecordOf(size_t index) const
{
    const RotationPicture& picture = m_pictures[index];
    // The record's options, the picture's path.
    CWallpaperObject record = *static_cast<const CWallpaperObject*>(picture.tag);
    record.m_strPath = picture.path;
    return record;
}

const CWallpaperObject* CWallpaperChanger::Choose(const CWallpaperRotation::Choice& choice)
{
    m_set.clear();
    m_bSetPending = false;
    if (choice.step == CWallpaperRotation::Step::none || choice.index >= m_pictures.size())
        return nullptr;
    m_choice = choice;
    m_chosen = RecordOf(choice.index);
    m_pCurrent = &m_chosen;
    return m_pCurrent;
}

// Several pictures are chosen on a copy of the rotation, which takes the place of the
// rotation once they are on the desktop: a set that cannot be shown leaves the rotation as
// it was.
const CWallpaperObject* CWallpaperChanger::ChooseSet(size_t count, bool back)
{
    m_set.clear();
    m_bSetPending = false;
    CWallpaperRotation rotation = m_rotation;
    std::vector<size_t> chosen;
    const bool sequential = g_settings.m_nOrder == 1;
    // A picture chosen twice in one set is passed over while the list has enough others (a
    // new shuffle round may start with one this set already holds).
    const size_t attempts = count * 4;
    for (size_t attempt = 0; attempt < attempts && chosen.size() < count; ++attempt) {
        const CWallpaperRotation::Choice choice = back ? rotation.ChoosePrevious(m_pictures)
                                                       : rotation.ChooseNext(m_pictures, sequential);
        if (choice.step == CWallpaperRotation::Step::none)
            break;
        rotation.Applied(m_pictures, choice);
        const bool twice = std::find(chosen.begin(), chosen.end(), choice.index) != chosen.end();
        if (!twice || m_pictures.size() - rotation.FailedCount() < count)
            chosen.push_back(choice.index);
    }
    if (chosen.empty())
        return nullptr;
    // Back by a whole set: the pictures are those up to where the history now stands.
    if (back && (chosen = ShownIndices(rotation, count)).empty())
        return nullptr;
    for (size_t index : chosen)
        m_set.push_back(RecordOf(index));
    m_setRotation = std::move(rotation);
    m_bSetPending = true;
    m_bSetWentBack = back;
    m_choice = CWallpaperRotation::Choice();
    m_chosen = m_set.front();
    m_pCurrent = &m_chosen;
    return m_pCurrent;
}

std::vector<CWallpaperObject> CWallpaperChanger::ShownSet(size_t count) const
{
    std::vector<CWallpaperObject> shown;
    // One picture for the desktop: the primary monitor's, the last wallpaper.
    const size_t last = count == 1 ? IndexOf(g_settings.m_strLastWallpaper) : SIZE_MAX;
    for (size_t index : last != SIZE_MAX ? std::vector<size_t> {last} : ShownIndices(m_rotation, count))
        shown.push_back(RecordOf(index));
    return shown;
}

void CWallpaperChanger::PicturesFailed(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        CWallpaperRotation::Choice choice;
        choice.index = IndexOf(path);
        choice.step = choice.index != SIZE_MAX ? CWallpaperRotation::Step::fresh : CWallpaperRotation::Step::none;
        m_rotation.Failed(m_pictures, choice);
    }
    m_bSetPending = false;
}

const CWallpaperObject* CWallpaperChanger::ChooseWallpaper(size_t count)
{
    // Nothing to show, or nowhere to write the wallpaper (an unusable temporary folder).
    if (m_pictures.empty() || m_strWallpaperPath.empty())
        return nullptr;
    if (!WallpaperIntervalPassed(s_pfnNow(), g_settings.m_timeLastChange, g_settings.m_nInterval))
        return nullptr;
    if (count > 1)
        return ChooseSet(count, false);
    return Choose(m_rotation.ChooseNext(m_pictures, g_settings.m_nOrder == 1));
}

const CWallpaperObject* CWallpaperChanger::ChoosePrevious(size_t count)
{
    if (m_strWallpaperPath.empty())
        return nullptr;
    if (count > 1)
        return ChooseSet(count, true);
    return Choose(m_rotation.ChoosePrevious(m_pictures));
}

bool CWallpaperChanger::CanGoBack() const
{
    return !m_strWallpaperPath.empty() && m_rotation.CanGoBack(m_pictures);
}

void CWallpaperChanger::ChosenPictureFailed()
{
    m_rotation.Failed(m_pictures, m_choice);
}

bool CWallpaperChanger::ChangeDue() const
{
    // The list's records: a folder's pictures may not have been found yet.
    return !m_list.empty() && WallpaperIntervalPassed(s_pfnNow(), g_settings.m_timeLastChange, g_settings.m_nInterval);
}

const CWallpaperObject* CWallpaperChanger::ChooseSlide()
{
    const int n = static_cast<int>(std::min<size_t>(m_pictures.size(), INT32_MAX));
    if (n < 1)
        return nullptr;
    // The show roles always go in list order.
    CWallpaperRotation::Choice choice;
    choice.step = CWallpaperRotation::Step::fresh;
    choice.index = static_cast<size_t>(ChooseSequential(&m_nNextShow, n));
    return Choose(choice);
}

void CWallpaperChanger::ExpireInterval()
{
    const int64_t interval = g_settings.m_nInterval;
    g_settings.m_timeLastChange = StoredTime(s_pfnNow() - (interval + 1) * 60);
}

void CWallpaperChanger::ApplyWallpaper(const CWallpaperObject& record, const std::string& wallpaperPath)
{
    // One picture on the desktop: a set chosen for several monitors (which went away meanwhile)
    // does not move the rotation on by all of its pictures.
    m_bSetPending = false;
    Apply(record, wallpaperPath, record.m_strTile.c_str());
}

void CWallpaperChanger::ApplyComposite(const CWallpaperObject& record, const std::string& wallpaperPath)
{
    // The composed bitmap is exactly the desktop's size and tiles from the primary monitor's
    // corner: monitors left of or above it get the canvas's far end.
    Apply(record, wallpaperPath, "1");
}

void CWallpaperChanger::Apply(const CWallpaperObject& record, const std::string& wallpaperPath, const char* tile)
{
    // The style and tile mode first, so the desktop uses them when it reloads the wallpaper.
    platform::WriteTileWallpaper(tile);
    // Refused by the desktop: nothing changed, and the next minute tries again.
    if (!platform::SetDesktopWallpaper(wallpaperPath.c_str()))
        return;
    g_settings.m_strLastWallpaper = record.m_strPath;
    g_settings.m_timeLastChange = StoredTime(s_pfnNow());
    if (m_bSetPending) {
        // A set chosen for several monitors: the rotation as it stands after all of them.
        m_rotation = std::move(m_setRotation);
        m_bSetPending = false;
    } else {
        // The rotation moves on when this is the picture it chose (the list may have been read
        // again while it was prepared: the choice is then found by its path, if still there).
        CWallpaperRotation::Choice choice = m_choice;
        if (choice.index >= m_pictures.size() || m_pictures[choice.index].path != record.m_strPath) {
            choice.index = IndexOf(record.m_strPath);
            choice.step = choice.index == SIZE_MAX ? CWallpaperRotation::Step::none
                : m_choice.step == CWallpaperRotation::Step::none ? CWallpaperRotation::Step::fresh
                                                                  : m_choice.step;
        }
        m_rotation.Applied(m_pictures, choice);
    }
    m_choice = CWallpaperRotation::Choice();
    if (CApplication* app = GetApp())
        g_settings.SaveLastChange(*app);
    StoreRotation();
}

void CWallpaperChanger::ApplyRecomposed(const std::string& wallpaperPath, bool composite,
                                        const CWallpaperObject& record)
{
    platform::WriteTileWallpaper(composite ? "1" : record.m_strTile.c_str());
    platform::SetDesktopWallpaper(wallpaperPath.c_str());
}

void CWallpaperChanger::StoreRotation() const
{
    if (!m_bWallpaperRole)
        return;
    const std::string path = s_pfnRecordPath ? s_pfnRecordPath() : std::string();
    if (path.empty())
        return;
    const std::vector<uint8_t> bytes = WriteRotationRecord(m_rotation.Record());
    // Not kept is not fatal: the next start begins a new shuffle.
    WriteStateFile(path, bytes.data(), bytes.size());
}

void CWallpaperChanger::ReloadSettingsAndLibrary(const CChangerSettings& options)
{
    g_settings.TakeOptionsFrom(options);
    std::vector<std::string> before;
    for (const auto& record : m_list)
        before.push_back(record->m_strPath);
    // The folders' pictures found so far stay for the folders still in the list.
    std::unordered_map<std::string, std::vector<std::string>> found = TakeFolderPictures();
    Clear();
    ReadLibrary(m_list);
    Expand(std::move(found));
    std::vector<std::string> after;
    for (const auto& record : m_list)
        after.push_back(record->m_strPath);
    if (after != before) {
        m_rotation.RestartSequence();
        StoreRotation();
    }
}

bool WriteWallpaperFile(CPictureImage& image, const std::string& path, const std::atomic<bool>& abort)
{
    if (path.empty())
        return false;
    const std::string temp = path + ".tmp";
    if (!image.SaveBitmapFile(temp.c_str()) || abort) {
        ::DeleteFileW(FilePath(temp).c_str());
        return false;
    }
    return ReplaceFileAtomically(temp.c_str(), path.c_str());
}
