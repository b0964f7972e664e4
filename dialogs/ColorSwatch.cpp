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
    default:
        return CWindow::WindowProc(msg, wParam, lParam);
    }
}

void CColorSwatch::OnPaint()
{
    CPaintDC dc(m_hWnd);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    // The brush lives for this paint only.
    CBrushHandle brush(::CreateSolidBrush(m_crColor));
    if (dc.GetSafeHdc() && brush)
        ::FillRect(dc.GetSafeHdc(), &client, brush.Get());
}
