#include "framework/Dpi.h"

namespace dpi {
namespace {

template <typename Fn>
Fn User32Function(const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

// The property that marks a control whose font is its dialog's own business: an atom held for
// the process, so marking a control takes no reference the control would have to give back.
const wchar_t* OwnFontProperty()
{
    static const ATOM atom = ::GlobalAddAtomW(L"Murlavo.OwnFont");
    return reinterpret_cast<const wchar_t*>(static_cast<ULONG_PTR>(atom));
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
    if (control)
        ::SetPropW(control, OwnFontProperty(), reinterpret_cast<HANDLE>(1));
}

void ScaleDialog(HWND dialog, UINT from, UINT to, CFontHandle& font, bool controls)
{
    if (!from || !to || from == to)
        return;
    auto scale = [&](LONG value) { return static_cast<LONG>(::MulDiv(value, static_cast<int>(to), static_cast<int>(from))); };
    // The dialog's text font now: the one made at the last change, else the template's.
    HFONT current = font ? font.Get() : reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW description {};
    CFontHandle scaled;
    if (current && ::GetObjectW(current, sizeof description, &description)) {
        description.lfHeight = scale(description.lfHeight);
        description.lfWidth = scale(description.lfWidth);
        scaled.Reset(::CreateFontIndirectW(&description));
    }
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (scaled && !::GetPropW(child, OwnFontProperty()))
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(scaled.Get()), FALSE);
        if (controls) {
            RECT place;
            ::GetWindowRect(child, &place);
            ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
            const LONG left = scale(place.left), top = scale(place.top);
            ::SetWindowPos(child, nullptr, left, top, scale(place.right) - left, scale(place.bottom) - top,
                SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    // The controls no longer use the font of the last change.
    if (scaled)
        font = std::move(scaled);
    ::InvalidateRect(dialog, nullptr, TRUE);
}

void KeepOwnLayout(HWND dialog)
{
    using SetBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
    static const auto setBehaviour = User32Function<SetBehaviourFn>("SetDialogDpiChangeBehavior");
    const int kOwnLayout = 2 | 4; // DDC_DISABLE_RESIZE | DDC_DISABLE_CONTROL_RELAYOUT
    if (setBehaviour && dialog)
        setBehaviour(dialog, kOwnLayout, kOwnLayout);
}

void MoveToSuggested(HWND window, LPARAM lParam)
{
    // The system suggests the window's size at the new scale, placed so that it stays under
    // the pointer that dragged it.
    if (const RECT* suggested = reinterpret_cast<const RECT*>(lParam))
        ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
            suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace dpi
