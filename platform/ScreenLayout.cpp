#include "platform/ScreenLayout.h"

#include <algorithm>

namespace platform {

FullScreenLayout CoverAllMonitors(int primaryWidth, int primaryHeight, const std::vector<ScreenRect>& monitors)
{
    const int pw = std::max(primaryWidth, 0), ph = std::max(primaryHeight, 0);
    ScreenRect window {0, 0, pw, ph};
    for (const ScreenRect& m : monitors) {
        if (m.right <= m.left || m.bottom <= m.top)
            continue;
        window.left = std::min(window.left, m.left);
        window.top = std::min(window.top, m.top);
        window.right = std::max(window.right, m.right);
        window.bottom = std::max(window.bottom, m.bottom);
    }
    FullScreenLayout layout;
    layout.window = window;
    layout.primary = ScreenRect {-window.left, -window.top, -window.left + pw, -window.top + ph};
    const ScreenRect primary {0, 0, pw, ph};
    for (const ScreenRect& m : monitors) {
        if (m.right <= m.left || m.bottom <= m.top)
            continue;
        const bool insidePrimary = m.left >= 0 && m.top >= 0 && m.right <= pw && m.bottom <= ph;
        const ScreenRect inWindow {m.left - window.left, m.top - window.top, m.right - window.left,
                                   m.bottom - window.top};
        if (m == primary || insidePrimary
            || std::find(layout.others.begin(), layout.others.end(), inWindow) != layout.others.end())
            continue;
        layout.others.push_back(inWindow);
    }
    return layout;
}

} // namespace platform
