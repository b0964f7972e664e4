#include "app/ChangerApp.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    CChangerApp app;
    return app.Execute(instance, commandLine);
}
