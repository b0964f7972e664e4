#include "app/Globals.h"

bool g_bShowRole = true;
bool g_bWin95Family = false;
