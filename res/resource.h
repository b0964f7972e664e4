// Resource identifiers of murlavo.exe.
#pragma once

// Icons
#define IDR_MAINFRAME 128

// Cursors
#define IDC_TRANSPARENT 132

// Bitmaps
#define IDB_HINT_LOGO 133

// Strings
#define IDS_PLAYLISTS 105
#define IDS_ADD_PICTURES 106
#define IDS_BUILD 107
#define IDS_VERSION 108
#define IDS_SELECT_PICTURES 110
#define IDS_OUT_OF_MEMORY 61475
#define IDS_APP_TITLE 57344
