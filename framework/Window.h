// The window base: one static window procedure for all our windows.
//
// The C++ object arrives through lpCreateParams (or SubclassWindow for existing controls),
// is caught at WM_NCCREATE and kept in GWLP_USERDATA. Each class handles its messages in
// its own WindowProc (a switch: its message map) and passes what it does not handle to
// DefaultProc. After the final message (WM_NCDESTROY) the object is told through
// PostNcDestroy, the one place where self-owning windows delete themselves.
#pragma once
#include <windows.h>
#include <string>

class CWindow {
public:
    CWindow() = default;
    virtual ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // Registers (once per distinct set of values) a window class served by our window
    // procedure and returns its generated name.
    static const char* RegisterWindowClass(UINT style, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                           HICON icon = nullptr);

    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId);
    BOOL DestroyWindow();

    // Takes over an existing window (a control); messages reach WindowProc first and
    // fall back to the control's own procedure.
    BOOL SubclassWindow(HWND hwnd);
    HWND UnsubclassWindow();

    // The object behind a handle, or null when the window is not one of ours.
    static CWindow* FromHandlePermanent(HWND hwnd);

    HWND m_hWnd = nullptr;

protected:
    // The message map of the class. Unhandled messages go to DefaultProc.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Default processing: the subclassed control's procedure or DefWindowProc.
    virtual LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY, when m_hWnd is already null. A self-owning window deletes
    // itself here only when m_bCreated is set: when creation fails, the creator still owns it.
    virtual void PostNcDestroy() {}

    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Common dispatch for windows and dialogs: runs WindowProc, keeps exceptions inside,
    // detaches at WM_NCDESTROY.
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
    // CreateEx returned the live window: from here on the window, not its creator, decides
    // the object's end (a window destroyed while it was being created leaves it to the creator).
    bool m_bCreated = false;
};
