// The system's folder picker, with an "Include sub-folders" check box under it (ticked as
// withSubFolders comes in). False when cancelled or when no picker could be shown; the chosen
// folder comes back in UTF-8.
#pragma once
#include <windows.h>

#include <string>

bool PickFolderWithShell(HWND owner, std::string& folder, bool& withSubFolders);
