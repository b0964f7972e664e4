// The tree's in-place edit box while a playlist's name is edited: it takes every key, so that
// Enter and Escape end the edit instead of pressing the dialog's OK or Cancel.
#pragma once
#include "framework/Window.h"

class CLabelEdit : public CWindow {
protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
