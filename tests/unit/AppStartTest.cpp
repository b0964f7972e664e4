// The application's start in-process: what every role sets before it starts.
#include "app/ChangerApp.h"
#include "support/Fixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(AppStart, EveryRoleTurnsTheSystemsErrorBoxesOffAndKeepsTheEarlierBits)
{
    ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    {
        CChangerApp app;
        app.Execute(::GetModuleHandleA(nullptr), "/a 0"); // a role that ends at once
    }
    const UINT mode = ::SetErrorMode(0);
    EXPECT_EQ(mode, UINT(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
    DeleteKeyTree(HKEY_CURRENT_USER, kProfileKey);
}
