// The question the Settings dialog asks when the library could not be saved at OK.
#pragma once
#include <windows.h>

enum class SaveFailedChoice {
    Retry,              // save again (the default)
    CloseWithoutSaving, // close Settings without the playlist changes; the options are kept
    Cancel,             // back to the dialog and its edits
};

// A task dialog with the buttons "Retry", "Close without saving the playlists" and "Cancel"
// where the system has one, else a message box with Try Again, Continue and Cancel.
SaveFailedChoice AskSaveFailed(HWND owner);
