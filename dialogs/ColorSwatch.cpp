#include "dialogs/ColorSwatch.h"
#include "framework/Handles.h"

void CColorSwatch::SetColor(COLORREF color)
{
    m_crColor = color;
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CColorSwatch::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_PRINTCLIENT:
        // Printing the control shows what the screen shows, not the static's grey frame.
        Fill(reinterpret_cast<HDC>(wParam));
        return 0;
    default:
        return CWindow::WindowProc(msg, wParam, lParam);
    }
}

void CColorSwatch::OnPaint()
{
    CPaintDC dc(m_hWnd);
    Fill(dc.GetSafeHdc());
}

void CColorSwatch::Fill(HDC dc) const
{
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    CBrushHandle brush(::CreateSolidBrush(m_crColor));
    if (dc && brush)
        ::FillRect(dc, &client, brush.Get());
}
