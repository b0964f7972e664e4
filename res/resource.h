// Resource identifiers of murlavo.exe.
#pragma once

// The maker's web page and support address, shown in the About box.
#define MURLAVO_WEB_PAGE "http://www.murlavo.example/"
#define MURLAVO_SUPPORT_MAIL "support@murlavo.example"

// Icons
#define IDR_MAINFRAME 128

// Cursors
#define IDC_TRANSPARENT 132
#define IDC_LINK_HAND 138

// Dialogs
#define IDD_ABOUT 100
#define IDD_SETTINGS 104
// The Settings dialog's window class (its template names it; app/WindowNames.h).
#define MURLAVO_SETTINGS_CLASS "Murlavo.Settings"
#define IDD_ADD_PLAYLIST 129
#define IDD_OPTIONS 137
#define IDD_LOCATION 138

// Menus
#define IDR_TRAY_MENU 103
#define IDR_LIBRARY_MENU 135

// Commands of the notification icon's menu
#define ID_TRAY_NEXT 32779
#define ID_TRAY_SHOW 32780
#define ID_TRAY_PREVIOUS 32790
#define ID_TRAY_PAUSE 32791
// Commands of the command line's requests (/pause, /resume), carried out like the menu's.
#define ID_CHANGER_PAUSE 32792
#define ID_CHANGER_RESUME 32793
#define ID_TRAY_SETTINGS 32771
#define ID_TRAY_ABOUT 32772
#define ID_TRAY_HELP 57670
#define ID_TRAY_CLOSE 57665

// Commands of the library's context menus
#define ID_LIBRARY_DELETE 32773
#define ID_LIBRARY_PREVIEW 32774
#define ID_LIBRARY_RENAME 32775
#define ID_LIBRARY_LOCATION 32777
#define ID_LIBRARY_CENTER 32778
#define ID_LIBRARY_TILE 32779
#define ID_LIBRARY_ASPECT 32783

// Bitmaps
#define IDB_TREE 132
#define IDB_HINT_LOGO 133
#define IDB_ABOUT_LOGO 137
#define IDB_BADGE 158

// Controls of the Options dialog
#define IDC_HOURLY 1000
#define IDC_DAILY 1001
#define IDC_MINUTES_RADIO 1002
#define IDC_MINUTES_SPIN 1003
#define IDC_MINUTES 1004
#define IDC_SECONDS 1005
#define IDC_SECONDS_SPIN 1006
#define IDC_CHANGE_COLOR 1013
#define IDC_SWATCH 1014
#define IDC_FIT 1015
#define IDC_RESAMPLE 1018
#define IDC_RESIZE 1019
#define IDC_RANDOM 1034
#define IDC_SEQUENTIAL 1035
#define IDC_MONITORS 1036
#define IDC_HOTKEY_NEXT 1037
#define IDC_HOTKEY_PREVIOUS 1038
#define IDC_HOTKEY_PAUSE 1039
#define IDC_NOT_ON_BATTERY_SAVER 1040

// Controls of the Settings dialog
#define IDC_LIBRARY_TREE 1000
#define IDC_ADD_PLAYLIST 1002
#define IDC_SETTINGS_OPTIONS 1005
#define IDC_ADD_PICTURE 1011
#define IDC_SETTINGS_ABOUT 1012
#define IDC_SET_NOW_PLAYING 1022
#define IDC_NOW_PLAYING 1029
#define IDC_ADD_FOLDER 1030
#define IDC_PREVIEW 1031
#define IDC_PREVIEW_INFO 1032

// Controls of the Add Playlist and Picture Location dialogs
#define IDC_PLAYLIST_NAME 1007
#define IDC_LOCATION 1021
#define IDC_LOCATION_NOTE 1023

// Controls of the About dialog
#define IDC_HEADING 1005
#define IDC_VERSION 1006
#define IDC_BUILD 1007
#define IDC_LOGO_FRAME 1016
#define IDC_WEB_LINK 1017
#define IDC_CUSTOM_WEB 1018
#define IDC_BADGE_LINK 1026
#define IDC_SUPPORT_LINK 1046
#define IDC_CUSTOM_MAIL 1047

// Strings
#define IDS_PLAYLISTS 105
#define IDS_ADD_PICTURES 106
#define IDS_ADD_FOLDER 111
#define IDS_INCLUDE_SUBFOLDERS 112
#define IDS_BUILD 107
#define IDS_VERSION 108
#define IDS_SELECT_PICTURES 110
#define IDS_OUT_OF_MEMORY 61475
#define IDS_APP_TITLE 57344
