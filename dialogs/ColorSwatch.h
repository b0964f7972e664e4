// The small control of the Options dialog that shows the background colour: a static control
// of the template, attached to this object, filled with one solid colour.
#pragma once
#include "framework/Window.h"

class CColorSwatch : public CWindow {
public:
    // Shows this colour from the next paint on.
    void SetColor(COLORREF color);

    COLORREF m_crColor = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Fills the whole client area with the colour.
    void OnPaint();
};
