// Fixtures made by the tests themselves: pictures and library files.
#pragma once
#include "library/WallpaperObject.h"

class CApplication;

#include <string>
#include <vector>

namespace testing_support {

// The program's registry key ("Software\\Orvane Inc.\\Murlavo" under HKEY_CURRENT_USER).
extern const char kProfileKey[];
// Deletes every stored setting and points `app`'s profile at the program's key, as start-up
// does. False when the old settings could not be deleted.
bool FreshProfile(CApplication& app);

// A picture record of a file with its display options.
CWallpaperObject PictureRecord(const std::string& path, const char* tile = "0", int keepAspect = 1, int resample = 0);

// Writes the library file (Windows directory + "\Murlavo.ini") with one playlist marked Now
// Playing that holds these pictures. All pictures must have the same resample flag (the
// program writes one method for the whole library). Also forgets the wallpaper rotation's
// record, so a changer starts afresh on the new library.
bool WriteNowPlayingLibrary(const std::vector<CWallpaperObject>& pictures);
// Deletes the wallpaper rotation's record: a new library starts a new rotation, not what an
// earlier test left behind.
void ForgetRotation();
// Removes the library file.
void DeleteLibrary();
// The wallpaper bitmap the changer writes: "Murlavo Wallpaper.bmp" in the temporary folder.
std::string WallpaperFile();
// Stores a number in the program's "Changer" section, as another version would have.
void SetChangerInt(const char* name, unsigned long value);
// The library file's path.
std::string LibraryPath();

// Writes a w x h picture (bitmap, JPEG or TGA by the extension) whose pixel (x, y), counted
// from the bottom-left, is PatternPixel(x, y, seed).
bool WritePatternPicture(const std::string& path, int w, int h, int seed = 0);
// Blue, green and red of the pattern.
void PatternPixel(int x, int y, int seed, unsigned char bgr[3]);

} // namespace testing_support
