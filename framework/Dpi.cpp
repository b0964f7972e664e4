#include "framework/Dpi.h"

namespace dpi {
namespace {

template <typename Fn>
Fn User32Function(const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2.
const HANDLE kPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

} // namespace

UINT SystemDpi()
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBase;
}

UINT WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpi && window)
        if (const UINT dpi = getDpi(window))
            return dpi;
    return SystemDpi();
}

bool SystemRescalesDialog(HWND dialog)
{
    using GetContextFn = HANDLE(WINAPI*)(HWND);
    using EqualFn = BOOL(WINAPI*)(HANDLE, HANDLE);
    static const auto getContext = User32Function<GetContextFn>("GetWindowDpiAwarenessContext");
    static const auto equal = User32Function<EqualFn>("AreDpiAwarenessContextsEqual");
    return getContext && equal && dialog && equal(getContext(dialog), kPerMonitorV2);
}

UINT DialogDpi(HWND dialog)
{
    return SystemRescalesDialog(dialog) ? WindowDpi(dialog) : SystemDpi();
}

int Scale(int value, UINT dpi)
{
    return ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(kBase));
}

int SystemMetric(int index, UINT dpi)
{
    using GetMetricFn = int(WINAPI*)(int, UINT);
    static const auto getMetric = User32Function<GetMetricFn>("GetSystemMetricsForDpi");
    if (getMetric)
        return getMetric(index, dpi);
    // The system's metrics are for its own scale.
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

void KeepOwnFont(HWND control)
{
    using SetBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
    static const auto setBehaviour = User32Function<SetBehaviourFn>("SetDialogControlDpiChangeBehavior");
    const int kDisableFontUpdate = 1; // DCDC_DISABLE_FONT_UPDATE
    if (setBehaviour && control)
        setBehaviour(control, kDisableFontUpdate, kDisableFontUpdate);
}

void KeepOwnLayout(HWND dialog)
{
    using SetBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
    static const auto setBehaviour = User32Function<SetBehaviourFn>("SetDialogDpiChangeBehavior");
    const int kOwnLayout = 2 | 4; // DDC_DISABLE_RESIZE | DDC_DISABLE_CONTROL_RELAYOUT
    if (setBehaviour && dialog)
        setBehaviour(dialog, kOwnLayout, kOwnLayout);
}

UINT OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    // The system suggests a rectangle that keeps the window where the pointer dragged it; the
    // dialog manager moves there by itself where it rescales, a second move to the same place
    // changes nothing.
    if (const RECT* suggested = reinterpret_cast<const RECT*>(lParam))
        ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
            suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    const UINT dpi = LOWORD(wParam);
    return dpi ? dpi : kBase;
}

} // namespace dpi
