#include "show/Rotation.h"

CShowRandom g_showRandom;

int32_t StoredTime(int64_t seconds)
{
    return static_cast<int32_t>(static_cast<uint32_t>(seconds));
}

bool WallpaperIntervalPassed(int64_t now, int32_t lastChange, int32_t interval)
{
    // The difference of the two 32-bit times, taken modulo 2^32 and read signed: right across
    // January 2038, when the stored time wraps to negative values, for clocks up to 68 years
    // apart; a clock set back gives a negative difference.
    const int32_t seconds = static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(lastChange));
    const int32_t elapsed = seconds / 60; // C++ division truncates toward zero
    return elapsed >= interval;
}

uint32_t SlideShowPeriodMs(int32_t seconds)
{
    if (seconds < kMinSlideShowSeconds)
        seconds = kMinSlideShowSeconds;
    if (seconds > kMaxSlideShowSeconds)
        seconds = kMaxSlideShowSeconds;
    return static_cast<uint32_t>(seconds) * 1000u;
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
