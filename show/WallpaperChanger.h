// The picture rotation of a show window and the wallpaper changer's own work: the show list
// read from the library, the choice of the next wallpaper (sequential or random, once the
// interval has passed) and of the next slide (list order), the wallpaper file in the
// temporary folder, applying it to the desktop, and taking new options and a new library
// after Settings.
#pragma once
#include "image/PictureImage.h"
#include "library/Settings.h"
#include "library/WallpaperObject.h"

#include <atomic>
#include <cstdint>
#include <string>

class CWallpaperChanger {
public:
    // Reads the show list from the library. The wallpaper role also takes its wallpaper path
    // (the settings' "TempImage" holds only what the last process end stored; it is written
    // at the end).
    void Load(bool wallpaperRole);
    // Empties the show list.
    void Clear();

    // The next wallpaper, when the list has one, the wallpaper can be written and the interval
    // has passed; null otherwise. Sequential or random as the settings say.
    const CWallpaperObject* ChooseWallpaper();
    // The next slide in list order, or null when the list is empty.
    const CWallpaperObject* ChooseSlide();
    // Makes the interval test pass at the next choice ("Next", double click, display change).
    void ExpireInterval();
    // The slides start again from the first picture.
    void RestartSlides() { m_nNextShow = 0; }

    // Hands the written wallpaper file to the desktop with the record's tile mode, and records
    // what was applied and when (nothing when the desktop refused the file).
    void ApplyWallpaper(const CWallpaperObject& record, const std::string& wallpaperPath);

    // Takes the options of a Settings dialog that ended with OK (in this process or another)
    // and reads the library again: the new list takes effect at the next choice, sequential
    // order from its first picture. The changer's own wallpaper path and rotation state (last
    // wallpaper, time of the last change) stay as they are. A preparation still running works
    // on its own copy of the record. Stores nothing.
    void ReloadSettingsAndLibrary(const CChangerSettings& options);

    const CWallpaperList& List() const { return m_list; }
    // Tests change records of the list in place (a library file holds one scaling method for
    // all its pictures; tests mix them).
    CWallpaperList& ListForTests() { return m_list; }
    // The record of the last choice (an element of the list), or null.
    const CWallpaperObject* Current() const { return m_pCurrent; }
    int32_t NextWallpaperIndex() const { return m_nNextWallpaper; }
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

private:
    CWallpaperList m_list;
    CWallpaperObject* m_pCurrent = nullptr;
    int32_t m_nNextWallpaper = 0;
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
