#include "library/Library.h"
#include "library/LibraryFile.h"

#include <windows.h>

#include <cstring>

char g_szLibraryPath[MAX_PATH];

void FillLibraryPath()
{
    static const char kName[] = "\\Murlavo.ini";
    UINT length = GetWindowsDirectoryA(g_szLibraryPath, MAX_PATH);
    if (length == 0 || length + sizeof kName > MAX_PATH) {
        g_szLibraryPath[0] = '\0';
        return;
    }
    std::memcpy(g_szLibraryPath + length, kName, sizeof kName);
}

void ReadLibrary(CWallpaperList& list)
{
    FillLibraryPath();
    ReadShowList(g_szLibraryPath, list);
}
