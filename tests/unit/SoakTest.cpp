// Soaks (label "soak", run by `make soak`, not by `make test`): 1,000 wallpaper changes
// alternating bitmap, JPEG and TGA pictures with fitting on, and 1,000 slide-show steps of the
// screen saver. Handles (counted and probed) and the resident memory are taken after a warm-up,
// halfway and at the end; growth of the GDI and window objects, of the kernel handles beyond a
// single one the system may open meanwhile, or of the memory beyond allocator noise, fails.
// The time per change is printed. (Found this way: the saver leaked a palette per slide under
// Wine, from realizing DrawDib's palette on a true-colour display.)
#include "app/Globals.h"
#include "image/AbortFlag.h"
#include "library/Settings.h"
#include "saver/SaverWnd.h"
#include "show/ShowWnd.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <vector>

using namespace testing_support;

namespace {

// The soak takes 1,000 steps; the same tests run in make test with 50 (unit_show_steps), which
// already shows a leak of one object per step.
#ifdef MURLAVO_SOAK_STEPS
constexpr int kSteps = MURLAVO_SOAK_STEPS;
#else
constexpr int kSteps = 1000;
#endif
constexpr int kWarmUp = 20;
// A leak of one fitted picture per change would be gigabytes; this is the allocator's own slack.
constexpr SIZE_T kMemorySlack = SIZE_T(4) << 20;

SIZE_T ResidentBytes()
{
    PROCESS_MEMORY_COUNTERS counters {};
    counters.cb = sizeof counters;
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

// GDI objects of this process by type (OBJ_PEN 1 ... OBJ_COLORSPACE 14), probed as
// CountResources probes them; says what kind of object a leak is.
std::vector<int> GdiObjectsByType()
{
    std::vector<int> counts(16);
    for (UINT_PTR i = 1; i < 0x10000; ++i) {
        const DWORD type = ::GetObjectType(reinterpret_cast<HGDIOBJ>(i));
        if (type < counts.size())
            ++counts[type];
    }
    return counts;
}

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ScratchDir("soak");
        g_settings = CChangerSettings();
        g_settings.m_nInterval = 10;
        g_settings.m_nOrder = 1;
        g_settings.m_nSlideShow = 5;
        g_settings.m_nScaleMethod = 1;
        g_settings.m_bFitToScreen = 1;
        g_bAbortImageWork = 0;
        DeleteLibrary();
        const std::string bmp = dir + "\\a.bmp", jpg = dir + "\\b.jpg", tga = dir + "\\c.tga";
        ASSERT_TRUE(WritePatternPicture(bmp, 320, 200, 1));
        ASSERT_TRUE(WritePatternPicture(jpg, 400, 300, 2));
        ASSERT_TRUE(WritePatternPicture(tga, 150, 250, 3));
        // The JPEG picture is stretched to the screen, the others keep their proportions.
        ASSERT_TRUE(WriteNowPlayingLibrary({PictureRecord(bmp, "0", 1, 0), PictureRecord(jpg, "0", 0, 0),
                                            PictureRecord(tga, "0", 1, 0)}));
    }
    void TearDown() override
    {
        if (::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        g_bShowRole = true;
        DeleteLibrary();
    }

    // Runs the window's timer step `kSteps` times, each to its end, and checks the counts.
    void Soak(const char* what)
    {
        auto step = [this] {
            window->ChangeNow();
            return PumpUntil([this] { return !window->Preparation().Busy(); }, 20000);
        };
        for (int i = 0; i < kWarmUp; ++i)
            ASSERT_TRUE(step());
        const ResourceCounts before = CountResources();
        const std::vector<int> typesBefore = GdiObjectsByType();
        const SIZE_T memoryBefore = ResidentBytes();
        const auto start = std::chrono::steady_clock::now();
        ResourceCounts half;
        for (int i = 0; i < kSteps; ++i) {
            ASSERT_TRUE(step()) << "step " << i;
            if (i == kSteps / 2 - 1)
                half = CountResources();
        }
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const ResourceCounts after = CountResources();
        const SIZE_T memoryAfter = ResidentBytes();
        const std::vector<int> typesAfter = GdiObjectsByType();
        for (size_t type = 0; type < typesAfter.size(); ++type)
            if (typesAfter[type] != typesBefore[type])
                std::printf("%s: GDI objects of type %zu: %d -> %d\n", what, type, typesBefore[type], typesAfter[type]);
        std::printf("%s: %d steps, %.1f ms each; handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu, "
                    "probed GDI %d -> %d, probed handles %d -> %d -> %d; resident %.1f MB -> %.1f MB\n",
                    what, kSteps, ms / kSteps, before.handles, after.handles, before.gdi, after.gdi, before.user,
                    after.user, before.probedGdi, after.probedGdi, before.probedHandles, half.probedHandles,
                    after.probedHandles, memoryBefore / 1048576.0, memoryAfter / 1048576.0);
        EXPECT_LE(after.gdi, before.gdi);
        EXPECT_LE(after.user, before.user);
        EXPECT_LE(after.probedGdi, before.probedGdi);
        // Kernel handles: the system may open one of its own at any moment (Wine now and then
        // does, lazily, on a thread of ours), so one more handle at the end passes unless it
        // grew in both halves of the run, as a leak of the steps does.
        KernelHandlesHeld(before.handles, half.handles, after.handles);
        KernelHandlesHeld(before.probedHandles, half.probedHandles, after.probedHandles);
        EXPECT_EQ(after.modules, before.modules);
        EXPECT_GT(memoryBefore, SIZE_T(0));
        EXPECT_LE(memoryAfter, memoryBefore + kMemorySlack);
    }

    template <class Count> static void KernelHandlesHeld(Count before, Count half, Count after)
    {
        EXPECT_LE(after, before + 1) << "handles " << before << " -> " << half << " -> " << after;
        EXPECT_FALSE(half > before && after > half) << "handles " << before << " -> " << half << " -> " << after;
    }

    std::string dir;
    CShowWnd* window = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(SoakTest, ThousandWallpaperChangesAlternatingFormats)
{
    g_bShowRole = false;
    window = new CShowWnd;
    ASSERT_TRUE(window->CreateHidden());
    hwnd = window->m_hWnd;
    ASSERT_EQ(window->Changer().List().size(), 3u);
    window->Changer().ListForTests()[1]->m_bResample = 1; // both fitting methods take turns
    Soak("wallpaper changes");
}

TEST_F(SoakTest, ThousandSlideShowStepsInTheSaver)
{
    g_bShowRole = true;
    g_bWin95Family = false;
    auto* saver = new CSaverWnd;
    window = saver;
    ASSERT_TRUE(saver->Create());
    hwnd = saver->m_hWnd;
    Soak("saver slide show");
}

} // namespace
