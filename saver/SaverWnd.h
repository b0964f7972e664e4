// The full-screen screen-saver window: a show window that covers the screen, stays on top,
// hides the pointer and ends on user input after the password check where the system asks
// for one. With several monitors it covers them all: its client area is the primary screen,
// where the slide show runs as on one monitor, and the rest of the window (non-client area)
// shows the background colour.
#pragma once
#include "show/ShowWnd.h"

class CSaverWnd : public CShowWnd {
public:
    CSaverWnd();
    ~CSaverWnd() override;

    BOOL Create();

    int32_t m_nLastX = -1;
    int32_t m_nLastY = -1;
    int32_t m_nMovesLeft = 2;
    // The end is decided (WM_CLOSE posted): the deactivation that comes with the window's
    // destruction must not ask for the password a second time.
    bool m_bEnding = false;

    // True while RequestEnd runs (the password dialog's own message loop keeps sending us input).
    static bool s_bCheckingPassword;
protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Nothing may come over a running saver: a picture that ran out of memory is skipped
    // silently.
    bool ShowsMessages() const override { return false; }

private:
    void OnMouseMove(int x, int y);
    void RequestEnd();
};
