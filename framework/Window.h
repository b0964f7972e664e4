// The window base: one static window procedure for all our windows.
//
// The C++ object arrives through lpCreateParams, is caught at WM_NCCREATE and kept in
// GWLP_USERDATA. Existing controls are attached with the common controls' SetWindowSubclass:
// the object travels as the subclass data, so the control keeps its own user data and other
// subclasses may stack on it. Each class handles its messages in one place, its WindowProc (a
// switch: its message map), calling typed On... handlers; what it does not handle it hands on
// explicitly to its base class's WindowProc, which ends in DefaultProc. After the final message
// (WM_NCDESTROY) the object is told through PostNcDestroy, the one place where self-owning
// windows delete themselves.
#pragma once
#include <windows.h>
#include <string>

// Notifications a parent reflects back to the attached control that sent them, so that the
// control handles its own colours and clicks: WM_REFLECT_BASE + WM_CTLCOLORSTATIC, + WM_COMMAND.
// A control that does not handle a reflected message returns 0 and the parent goes on as usual.
constexpr UINT WM_REFLECT_BASE = 0xBC00;

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
    // The same under a fixed name, by which other processes find the window (FindWindow).
    // Null when the name is taken by a class of other values.
    static const char* RegisterNamedWindowClass(const char* name, UINT style, HCURSOR cursor = nullptr,
                                                HBRUSH background = nullptr, HICON icon = nullptr);

    // Creates a Unicode window; the names are UTF-8.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId);
    BOOL DestroyWindow();

    // Attaches the object to an existing window (a control); messages reach WindowProc first and
    // fall back to the control's own procedure. Comes off again by itself when the window goes.
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
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    // Common dispatch for windows and dialogs: runs WindowProc, keeps exceptions inside,
    // detaches at WM_NCDESTROY.
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    // Attached with SubclassWindow: default processing is the control's own.
    bool m_bSubclassed = false;
    // CreateEx returned the live window: from here on the window, not its creator, decides
    // the object's end (a window destroyed while it was being created leaves it to the creator).
    bool m_bCreated = false;
};

// Text of windows and resources as UTF-8 (the program's text), through the wide functions.
std::string WindowTextUtf8(HWND hwnd);
BOOL SetWindowTextUtf8(HWND hwnd, const std::string& text);
// A string of the program's string table; empty when there is none.
std::string LoadResourceString(UINT id);
// MessageBoxW with UTF-8 texts.
int MessageBoxUtf8(HWND owner, const std::string& text, const std::string& caption, UINT type);
