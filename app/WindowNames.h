// Fixed names by which the program's processes find one another's windows: a second Settings
// brings the first forward, Settings tells a running changer about saved changes, the setup
// program closes what runs before it replaces the files.
#pragma once
#include "resource.h"

constexpr char kChangerClassName[] = "Murlavo.WallpaperChanger";
constexpr char kSettingsClassName[] = MURLAVO_SETTINGS_CLASS;
constexpr char kSaverClassName[] = "Murlavo.ScreenSaver";
// Registered message posted to the changer's window after a Settings dialog of another process
// saved the options or the library: the changer reads them again.
constexpr char kSettingsChangedMessage[] = "Murlavo.SettingsChanged";
