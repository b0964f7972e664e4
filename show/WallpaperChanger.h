// The picture rotation of a show window and the wallpaper changer's own work: the show list
// read from the library, the choice of the next wallpaper (sequential or random, once the
// interval has passed) and of the next slide (list order), the wallpaper file in the
// temporary folder, applying it to the desktop, and taking new options and a new library
// after Settings.
#pragma once
#include "image/PictureImage.h"
#include "library/Settings.h"
#include "library/WallpaperObject.h"
#include "show/FolderScanner.h"
#include "show/WallpaperRotation.h"

#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

class CWallpaperChanger {
public:
    CWallpaperChanger();

    // Reads the show list from the library. The wallpaper role also takes its wallpaper path
    // (the settings' "TempImage" holds only what the last process end stored; it is written
    // at the end) and where its rotation stood when it last ran (RotationRecordPath).
    void Load(bool wallpaperRole);
    // Empties the show list.
    void Clear();

    // The next wallpaper, when the list has one, the wallpaper can be written and the interval
    // has passed; null otherwise. Forward through the history after Previous, else sequential
    // or a shuffle as the settings say. The record returned is the changer's own copy, its path
    // the picture's (also for a picture of a folder), its options its library record's.
    //
    // With count > 1 (a picture for each of several monitors) the rotation moves on by as many
    // pictures, no picture twice while the list has enough; ChosenSet holds them in order and
    // the result is the first. The rotation takes the step only once the wallpaper is applied.
    const CWallpaperObject* ChooseWallpaper(size_t count = 1);
    // The wallpaper before the one on the desktop ("Previous"), whatever the interval; null
    // when there is none still in the list (or nowhere to write it). With count > 1: the set
    // of pictures shown before the one on the desktop.
    const CWallpaperObject* ChoosePrevious(size_t count = 1);
    // The pictures of the last choice of several (empty after a choice of one).
    const std::vector<CWallpaperObject>& ChosenSet() const { return m_set; }
    // The pictures on the desktop now, as far as the list still holds them: the last `count`
    // of the history up to where it stands (the oldest first); for one, the last wallpaper.
    // For composing them again when the monitors change.
    std::vector<CWallpaperObject> ShownSet(size_t count) const;
    // The pictures of these paths could not be shown: they are left out from now on.
    void PicturesFailed(const std::vector<std::string>& paths);
    bool CanGoBack() const;
    // The picture of the last choice could not be shown (missing, unreadable, refused, not
    // stored locally): it is left out for as long as the changer runs.
    void ChosenPictureFailed();
    // The last choice went back through the history (Previous).
    bool LastChoiceWentBack() const
    {
        return m_bSetPending ? m_bSetWentBack : m_choice.step == CWallpaperRotation::Step::back;
    }
    // The next slide in list order, or null when the list is empty.
    const CWallpaperObject* ChooseSlide();

    // The library's folders, for a scan (CFolderScanner); empty when it has none.
    std::vector<FolderRequest> FolderRequests() const;
    // What a scan found: the folders' pictures join the list (those of a folder that was not
    // scanned stay as they were).
    void TakeFolderListings(std::vector<FolderResult> results);
    // The pictures of the list, folders expanded, in list order.
    const std::vector<RotationPicture>& Pictures() const { return m_pictures; }
    const CWallpaperRotation& Rotation() const { return m_rotation; }
    int32_t NextWallpaperIndex() const { return static_cast<int32_t>(m_rotation.SequentialNext()); }
    // Makes the interval test pass at the next choice ("Next", double click, display change).
    void ExpireInterval();
    // The slides start again from the first picture.
    void RestartSlides() { m_nNextShow = 0; }

    // Hands the written wallpaper file to the desktop with the record's tile mode, and records
    // what was applied and when (nothing when the desktop refused the file): "LastWallpaper"
    // and "LastChange" in the settings and the rotation's record are stored at once, so a
    // restart goes on from here.
    void ApplyWallpaper(const CWallpaperObject& record, const std::string& wallpaperPath);
    // The same for a wallpaper composed for several monitors (tiled from the primary monitor's
    // corner, whatever the records say): record is the primary monitor's picture. A set chosen
    // by ChooseWallpaper or ChoosePrevious moves the rotation on.
    void ApplyComposite(const CWallpaperObject& record, const std::string& wallpaperPath);
    // Hands a wallpaper composed again for new monitors to the desktop: no change is counted.
    void ApplyRecomposed(const std::string& wallpaperPath, bool composite, const CWallpaperObject& record);

    // Takes the options of a Settings dialog that ended with OK (in this process or another)
    // and reads the library again: the new list takes effect at the next choice, sequential
    // order from its first picture. The changer's own wallpaper path and rotation state (last
    // wallpaper, time of the last change) stay as they are. A preparation still running works
    // on its own copy of the record. When the Now Playing list changed, the sequence starts
    // again from its first picture; options alone leave it where it was.
    void ReloadSettingsAndLibrary(const CChangerSettings& options);

    const CWallpaperList& List() const { return m_list; }
    // Tests change records of the list in place (a library file holds one scaling method for
    // all its pictures; tests mix them).
    CWallpaperList& ListForTests() { return m_list; }
    // The record of the last choice (an element of the list), or null.
    const CWallpaperObject* Current() const { return m_pCurrent; }
    int32_t NextSlideIndex() const { return m_nNextShow; }
    // Where the wallpaper is written (UTF-8); empty when the temporary folder is unusable.
    const std::string& WallpaperPath() const { return m_strWallpaperPath; }
    // The temporary folder's path is too long for the desktop's wallpaper setting (which takes
    // platform::kMaxWallpaperPath characters), so no wallpaper can be set: the window tells the
    // user. TempFolder is that folder, as far as it is known.
    bool TempFolderTooLong() const { return m_bTempFolderTooLong; }
    const std::string& TempFolder() const { return m_strTempFolder; }
    // A wallpaper change would be made now, the temporary folder aside: the list has pictures
    // and the interval has passed.
    bool ChangeDue() const;

    // The clock of the rotation, in seconds since 1970; replaceable by tests.
    static int64_t (*s_pfnNow)();
    // Where the rotation's record is kept: the local application-data folder followed by
    // "\Murlavo\Rotation.dat" (empty: not kept); replaceable by tests.
    static std::string (*s_pfnRecordPath)();

private:
    // Builds the pictures from the list: a picture record stands for itself, a folder record
    // for the pictures found in it (`found`, by record path, else what was found before).
    void Expand(std::unordered_map<std::string, std::vector<std::string>> found);
    // The pictures found in the list's folders so far, by record path, moved out of the list.
    std::unordered_map<std::string, std::vector<std::string>> TakeFolderPictures();
    const CWallpaperObject* Choose(const CWallpaperRotation::Choice& choice);
    const CWallpaperObject* ChooseSet(size_t count, bool back);
    CWallpaperObject RecordOf(size_t index) const;
    // Where a picture is in the list; SIZE_MAX when not there.
    size_t IndexOf(const std::string& path) const;
    // The last `count` showable pictures of the rotation's history up to where it stands.
    std::vector<size_t> ShownIndices(const CWallpaperRotation& rotation, size_t count) const;
    void Apply(const CWallpaperObject& record, const std::string& wallpaperPath, const char* tile);
    void StoreRotation() const;

    CWallpaperList m_list;
    std::vector<RotationPicture> m_pictures;
    std::mt19937_64 m_random;
    CWallpaperRotation m_rotation;
    // The last choice, and the record prepared for it (a picture of a folder has none in the list).
    CWallpaperRotation::Choice m_choice;
    CWallpaperObject m_chosen;
    // A choice of several: the pictures, and the rotation as it stands once they are applied.
    std::vector<CWallpaperObject> m_set;
    CWallpaperRotation m_setRotation;
    bool m_bSetPending = false;
    bool m_bSetWentBack = false;
    bool m_bWallpaperRole = false;
    const CWallpaperObject* m_pCurrent = nullptr;
    int32_t m_nNextShow = 0;
    std::string m_strWallpaperPath;
    bool m_bTempFolderTooLong = false;
    std::string m_strTempFolder;
};

// Writes the wallpaper bitmap beside its final place and replaces the old file only when the
// new one is complete, so the desktop never loads a cut-off file at the next logon. On failure,
// or when abort is raised meanwhile, the old file stays as it was and no temporary file is
// left. Runs on the preparation thread.
bool WriteWallpaperFile(CPictureImage& image, const std::string& path, const std::atomic<bool>& abort);
