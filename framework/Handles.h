// RAII owners for the Win32 handles the program uses.
// Owners are non-copyable and movable; Release() gives the handle up, Reset() replaces it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <utility>

template <typename Traits>
class CUniqueHandle {
public:
    using Handle = typename Traits::Handle;

    CUniqueHandle() = default;
    explicit CUniqueHandle(Handle h) : m_h(h) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_h(other.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const { return m_h; }
    explicit operator bool() const { return Traits::IsValid(m_h); }
    Handle Release() { return std::exchange(m_h, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid())
    {
        if (Traits::IsValid(m_h))
            Traits::Close(m_h);
        m_h = h;
    }
    // For APIs that return the handle through a pointer.
    Handle* Put()
    {
        Reset();
        return &m_h;
    }

private:
    Handle m_h = Traits::Invalid();
};

template <typename H, BOOL(WINAPI* CloseFn)(H)>
struct NullHandleTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { CloseFn(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};

template <typename H>
struct GdiObjectTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};

// Files: CreateFile reports failure as INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};

using CFileHandle = CUniqueHandle<FileHandleTraits>;
using CKernelHandle = CUniqueHandle<NullHandleTraits<HANDLE, CloseHandle>>; // threads, events, processes
using CModule = CUniqueHandle<NullHandleTraits<HMODULE, FreeLibrary>>;
using CMenuHandle = CUniqueHandle<NullHandleTraits<HMENU, DestroyMenu>>;
using CIconHandle = CUniqueHandle<NullHandleTraits<HICON, DestroyIcon>>;
using CImageListHandle = CUniqueHandle<NullHandleTraits<HIMAGELIST, ImageList_Destroy>>;
using CRegKey = CUniqueHandle<RegKeyTraits>;
using CBitmapHandle = CUniqueHandle<GdiObjectTraits<HBITMAP>>;
using CBrushHandle = CUniqueHandle<GdiObjectTraits<HBRUSH>>;
using CFontHandle = CUniqueHandle<GdiObjectTraits<HFONT>>;
using CPenHandle = CUniqueHandle<GdiObjectTraits<HPEN>>;

// A device context that is not owned: what painters receive.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC hdc) : m_hDC(hdc) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    HDC GetSafeHdc() const { return m_hDC; }

protected:
    HDC m_hDC = nullptr;
};

// GetDC / ReleaseDC of a window (or of the screen when the window is null).
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND hwnd) : m_hWnd(hwnd) { m_hDC = ::GetDC(hwnd); }
    ~CClientDC()
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }

private:
    HWND m_hWnd;
};

// BeginPaint / EndPaint inside WM_PAINT.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hWnd(hwnd) { m_hDC = ::BeginPaint(hwnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    const PAINTSTRUCT& Paint() const { return m_ps; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps {};
};

// A memory DC compatible with another DC (or the screen).
class CMemoryDC : public CDC {
public:
    explicit CMemoryDC(HDC compatible = nullptr) { m_hDC = ::CreateCompatibleDC(compatible); }
    ~CMemoryDC()
    {
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }
};

// Selects an object into a DC for the lifetime of the scope.
class CSelectObject {
public:
    CSelectObject(HDC hdc, HGDIOBJ obj) : m_hDC(hdc), m_hOld(hdc && obj ? ::SelectObject(hdc, obj) : nullptr) {}
    ~CSelectObject()
    {
        if (m_hOld)
            ::SelectObject(m_hDC, m_hOld);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};
