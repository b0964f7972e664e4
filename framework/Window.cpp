#include "framework/Window.h"
#include "framework/Application.h"
#include "framework/WideText.h"

#include <commctrl.h>

#include <cstdio>
#include <exception>
#include <set>

CWindow::~CWindow()
{
    // An object that dies before its window: the window must not call into freed memory.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        if (m_bSubclassed)
            UnsubclassWindow();
        else
            ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    }
}

const char* CWindow::RegisterWindowClass(UINT style, HCURSOR cursor, HBRUSH background, HICON icon)
{
    char name[96];
    std::snprintf(name, sizeof name, "Murlavo:%p:%x:%p:%p:%p", static_cast<void*>(::GetModuleHandleW(nullptr)),
                  style, static_cast<void*>(cursor), static_cast<void*>(background), static_cast<void*>(icon));
    return RegisterNamedWindowClass(name, style, cursor, background, icon);
}

const char* CWindow::RegisterNamedWindowClass(const char* name, UINT style, HCURSOR cursor, HBRUSH background,
                                              HICON icon)
{
    // Class names are kept for the life of the process (they are handed out as pointers).
    static std::set<std::string> s_names;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const std::wstring wideName = Wide(name);
    WNDCLASSW wc {};
    wc.style = style;
    wc.lpfnWndProc = StaticWindowProc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = wideName.c_str();
    WNDCLASSW existing {};
    if (::GetClassInfoW(instance, wideName.c_str(), &existing)) {
        if (existing.lpfnWndProc != StaticWindowProc || existing.style != style || existing.hCursor != cursor
            || existing.hbrBackground != background || existing.hIcon != icon)
            return nullptr;
    } else if (!::RegisterClassW(&wc)) {
        return nullptr;
    }
    return s_names.insert(name).first->c_str();
}

BOOL CWindow::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                       int width, int height, HWND parent, HMENU menuOrId)
{
    if (!className)
        return FALSE;
    HWND hwnd = ::CreateWindowExW(exStyle, Wide(className).c_str(), windowName ? Wide(windowName).c_str() : nullptr,
                                  style, x, y, width, height, parent, menuOrId, ::GetModuleHandleW(nullptr), this);
    if (!hwnd || m_hWnd != hwnd)
        return FALSE;
    m_bCreated = true;
    return TRUE;
}

BOOL CWindow::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

namespace {
// Our one subclass on a control; the object is its data.
constexpr UINT_PTR kSubclassId = 0x4D75; // "Mu"

// The object attached to a subclassed control, kept as a window property: found from the
// handle alone, whichever copy of the common controls serves the control.
const wchar_t kObjectProperty[] = L"Murlavo.Object";
} // namespace

BOOL CWindow::SubclassWindow(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd))
        return FALSE;
    if (!::SetPropW(hwnd, kObjectProperty, this))
        return FALSE;
    if (!::SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        ::RemovePropW(hwnd, kObjectProperty);
        return FALSE;
    }
    m_hWnd = hwnd;
    m_bSubclassed = true;
    return TRUE;
}

HWND CWindow::UnsubclassWindow()
{
    HWND hwnd = m_hWnd;
    if (hwnd && m_bSubclassed) {
        ::RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        ::RemovePropW(hwnd, kObjectProperty);
    }
    m_bSubclassed = false;
    m_hWnd = nullptr;
    return hwnd;
}

CWindow* CWindow::FromHandlePermanent(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    // Another process's window may carry the same property: its value means nothing here.
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    if (process != ::GetCurrentProcessId())
        return nullptr;
    if (void* attached = ::GetPropW(hwnd, kObjectProperty))
        return static_cast<CWindow*>(attached);
    WNDPROC proc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (proc != StaticWindowProc)
        return nullptr;
    return reinterpret_cast<CWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefaultProc(msg, wParam, lParam);
}

LRESULT CWindow::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_bSubclassed)
        return ::DefSubclassProc(m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWindow::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWindow* self = reinterpret_cast<CWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self && msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<CWindow*>(cs->lpCreateParams);
        if (self) {
            self->m_hWnd = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->Dispatch(msg, wParam, lParam);
}

LRESULT CALLBACK CWindow::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    CWindow* self = reinterpret_cast<CWindow*>(data);
    if (!self || self->m_hWnd != hwnd)
        return ::DefSubclassProc(hwnd, msg, wParam, lParam);
    return self->Dispatch(msg, wParam, lParam);
}

LRESULT CWindow::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    try {
        result = WindowProc(msg, wParam, lParam);
    } catch (const std::exception&) {
        // Exceptions never cross the window procedure: the message counts as unhandled, and a
        // creation that failed this way fails the window's creation.
        result = msg == WM_CREATE ? -1 : (msg == WM_NCCREATE ? FALSE : 0);
    }
    if (msg == WM_NCDESTROY) {
        HWND hwnd = m_hWnd;
        if (m_bSubclassed)
            UnsubclassWindow();
        else
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        if (CApplication* app = GetApp(); app && app->m_pMainWnd == this) {
            app->m_pMainWnd = nullptr;
            ::PostQuitMessage(0);
        }
        PostNcDestroy();
    }
    return result;
}

std::string WindowTextUtf8(HWND hwnd)
{
    const int length = ::GetWindowTextLengthW(hwnd);
    if (length <= 0)
        return std::string();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, &text[0], length + 1);
    return Utf8(text.data(), static_cast<size_t>(got > 0 ? got : 0));
}

BOOL SetWindowTextUtf8(HWND hwnd, const std::string& text)
{
    return ::SetWindowTextW(hwnd, Wide(text).c_str());
}

std::string LoadResourceString(UINT id)
{
    // With a zero length the function hands out the read-only resource text itself.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? Utf8(text, static_cast<size_t>(length)) : std::string();
}

int MessageBoxUtf8(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    return ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), type);
}
