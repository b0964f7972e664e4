// Stands in for the system's "password.cpl" in the saver tests. VerifyScreenSavePwd accepts
// the password when the environment variable MURLAVO_FAKE_PASSWORD is "right". While it
// "shows its dialog" it sends the saver what MURLAVO_FAKE_PASSWORD_INPUT names: input, as a
// user typing into the prompt would ("keys"), or a close request from elsewhere ("close").
#include <windows.h>

#include <string>

namespace {
LONG g_calls = 0;

std::string Environment(const char* name)
{
    char value[64] = "";
    DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? value : "";
}
} // namespace

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND saver)
{
    ::InterlockedIncrement(&g_calls);
    const std::string input = Environment("MURLAVO_FAKE_PASSWORD_INPUT");
    if (input == "keys") {
        ::SendMessageA(saver, WM_KEYDOWN, 'A', 0);
        ::SendMessageA(saver, WM_LBUTTONDOWN, 0, 0);
        ::SendMessageA(saver, WM_ACTIVATE, WA_INACTIVE, 0);
    } else if (input == "close") {
        ::SendMessageA(saver, WM_CLOSE, 0, 0); // another program closing the saver
    }
    return Environment("MURLAVO_FAKE_PASSWORD") == "right";
}

extern "C" LONG WINAPI FakePasswordCalls()
{
    return g_calls;
}
