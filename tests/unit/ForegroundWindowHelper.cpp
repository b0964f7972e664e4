// A program of its own that puts a borderless window in the foreground, for the tests of
// the full-screen rule (which ignores windows of the process that asks). The argument
// "full" covers the primary monitor, "small" a quarter of it. It ends when its window closes.
#include <windows.h>

#include <cstring>

namespace {
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    WNDCLASSA wc {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "Murlavo.TestForeground";
    if (!::RegisterClassA(&wc))
        return 2;
    const int cx = ::GetSystemMetrics(SM_CXSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYSCREEN);
    const bool full = std::strstr(commandLine, "full") != nullptr;
    const HWND hwnd = ::CreateWindowExA(0, wc.lpszClassName, "Foreground", WS_POPUP, 0, 0, full ? cx : cx / 2,
                                        full ? cy : cy / 2, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 3;
    ::ShowWindow(hwnd, SW_SHOW);
    ::SetForegroundWindow(hwnd);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
