// The rules of the picture rotation and of the slide-show geometry, free of window code so
// that they can be tested with a controllable clock and random source (portable).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The pseudo-random generator shared by the picture choice and the random hint positions:
// values 0..32767 from state = state * 214013 + 2531011 (mod 2^32), value = (state >> 16) & 0x7FFF.
class CShowRandom {
public:
    void Seed(uint32_t seed) { m_state = seed; }
    int Next()
    {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }

private:
    uint32_t m_state = 0;
};

extern CShowRandom g_showRandom;

// A time in seconds since 1970 as the settings store it: 32 bits, wrapping in 2038.
int32_t StoredTime(int64_t seconds);

// Whole minutes since the last change (truncated toward zero) reached the interval. The
// stored time wraps in 2038; the comparison stays right across the wrap.
bool WallpaperIntervalPassed(int64_t now, int32_t lastChange, int32_t interval);

// The slide-show timer's period for a stored number of seconds: at least one second (a zero
// or negative value must not run the decoder flat out), at most one hour.
constexpr int32_t kMinSlideShowSeconds = 1;
constexpr int32_t kMaxSlideShowSeconds = 3600;
uint32_t SlideShowPeriodMs(int32_t seconds);

// Sequential choice: the index *next, which then advances and wraps to 0 at n (n >= 1).
int ChooseSequential(int32_t* next, int n);

// Random choice among n >= 1 paths from the value r (0..32767): (n * r) / 32767, n itself
// replaced by n - 1; a path equal to the last wallpaper moves on to the next index (wrapping).
int ChooseRandom(const std::vector<const std::string*>& paths, int r, const std::string& lastWallpaper);

// A random coordinate r mod range that stays defined when range is 0 (then 0). A negative
// range (window smaller than what is drawn) gives 0..|range|-1.
int RandomOffset(int r, int range);

struct ShowSize {
    int cx = 0;
    int cy = 0;
};
struct ShowRect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

// Where a centred picture of w x h is drawn in a client area of W x H on a screen of SW x SH.
// Without fitting it is scaled by the ratio of the client area to the screen when smaller
// (the preview), with fitting it fills the area; fitAspect, when given, keeps its proportions.
ShowRect CentredPictureRect(int w, int h, int W, int H, int SW, int SH, bool fitToScreen,
                            const std::function<ShowSize(int, int)>& fitAspect);
