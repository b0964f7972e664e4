#include "show/Rotation.h"

CShowRandom g_showRandom;

bool WallpaperIntervalPassed(int64_t now, int32_t lastChange, int32_t interval)
{
    const int64_t elapsed = (now - lastChange) / 60; // C++ division truncates toward zero
    return elapsed >= interval;
}

int ChooseSequential(int32_t* next, int n)
{
    if (*next < 0 || *next >= n) // the list may have shrunk since the last choice
        *next = 0;
    int index = *next;
    if (++*next >= n)
        *next = 0;
    return index;
}

int ChooseRandom(const std::vector<const std::string*>& paths, int r, const std::string& lastWallpaper)
{
    const int n = static_cast<int>(paths.size());
    // 64-bit product: n * 32767 overflows 32 bits for lists of more than 65538 pictures.
    int index = static_cast<int>((int64_t(n) * r) / 32767);
    if (index >= n)
        index = n - 1;
    if (*paths[index] == lastWallpaper)
        index = (index + 1) % n;
    return index;
}

int RandomOffset(int r, int range)
{
    if (range == 0)
        return 0;
    return r % range; // r >= 0: the result lies in 0..|range|-1 for either sign of range
}

ShowRect CentredPictureRect(int w, int h, int W, int H, int SW, int SH, bool fitToScreen,
                            const std::function<ShowSize(int, int)>& fitAspect)
{
    ShowRect r;
    if (fitToScreen) {
        r.cx = W;
        r.cy = H;
    } else {
        r.cx = (W < SW && SW > 0) ? static_cast<int>(int64_t(w) * W / SW) : w;
        r.cy = (H < SH && SH > 0) ? static_cast<int>(int64_t(h) * H / SH) : h;
    }
    if (fitAspect) {
        ShowSize fitted = fitAspect(r.cx, r.cy);
        r.cx = fitted.cx;
        r.cy = fitted.cy;
    }
    r.x = (W - r.cx) / 2;
    r.y = (H - r.cy) / 2;
    return r;
}

std::vector<ShowRect> TilePositions(int w, int h, int W, int H)
{
    std::vector<ShowRect> tiles;
    if (w <= 0 || h <= 0)
        return tiles;
    for (int x = 0; x < W; x += w)
        for (int y = 0; y < H; y += h)
            tiles.push_back({x, y, w, h});
    return tiles;
}
