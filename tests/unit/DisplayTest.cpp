// What the built program declares to the system: DPI awareness in its manifest (read back
// from murlavo.exe's resources and seen taking effect in this process, which carries the same
// resources), and the version resource made from the one version number of the build.
#include "murlavo_version.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace testing_support;

namespace {

// The RT_MANIFEST resource 1 of an executable file, as text.
std::string ManifestOf(const std::string& exe)
{
    HMODULE module = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return {};
    std::string text;
    if (HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        HGLOBAL loaded = ::LoadResource(module, found);
        const char* data = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
        if (data)
            text.assign(data, ::SizeofResource(module, found));
    }
    ::FreeLibrary(module);
    return text;
}

// The text of the first element <name ...>text</name> after position from, or "<none>".
std::string ElementText(const std::string& xml, const std::string& name, size_t from = 0)
{
    size_t open = xml.find("<" + name, from);
    if (open == std::string::npos)
        return "<none>";
    size_t start = xml.find('>', open);
    size_t end = xml.find("</" + name + ">", start);
    if (start == std::string::npos || end == std::string::npos)
        return "<none>";
    return xml.substr(start + 1, end - start - 1);
}

// The opening tag <name ...> itself (with its attributes), or "".
std::string OpeningTag(const std::string& xml, const std::string& name, size_t from = 0)
{
    size_t open = xml.find("<" + name + " ", from);
    if (open == std::string::npos)
        open = xml.find("<" + name + ">", from);
    if (open == std::string::npos)
        return {};
    return xml.substr(open, xml.find('>', open) - open + 1);
}

} // namespace

TEST(Display, TheProgramsManifestDeclaresPerMonitorDpiAwareness)
{
    const std::string xml = ManifestOf(MurlavoExe());
    ASSERT_FALSE(xml.empty()) << "no manifest resource in " << MurlavoExe();
    // Inside <application xmlns="urn:schemas-microsoft-com:asm.v3"><windowsSettings>: elsewhere
    // the system ignores the settings.
    const size_t application = xml.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"");
    ASSERT_NE(application, std::string::npos) << xml;
    const size_t settings = xml.find("<windowsSettings>", application);
    ASSERT_NE(settings, std::string::npos) << xml;
    const std::string settingsText = ElementText(xml, "windowsSettings", application);

    // Windows Vista to 8.1 read <dpiAware>: "true/pm" is per-monitor on 8.1 and system-aware
    // before (they read only its leading "true").
    EXPECT_EQ(OpeningTag(settingsText, "dpiAware"),
              "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">");
    EXPECT_EQ(ElementText(settingsText, "dpiAware"), "true/pm");
    // Windows 10 1607 and later read <dpiAwareness> first and take the first value they know:
    // version 2 where there is one (1703 on), else per-monitor.
    EXPECT_EQ(OpeningTag(settingsText, "dpiAwareness"),
              "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">");
    EXPECT_EQ(ElementText(settingsText, "dpiAwareness"), "PerMonitorV2, PerMonitor");
    // Exactly one of each: a second one would be ignored or make the manifest invalid.
    EXPECT_EQ(settingsText.find("<dpiAware ", settingsText.find("<dpiAware ") + 1), std::string::npos);
    EXPECT_EQ(settingsText.find("<dpiAwareness ", settingsText.find("<dpiAwareness ") + 1), std::string::npos);
    // Long paths without the \\?\ prefix where Windows 10 allows them; the same namespace.
    EXPECT_EQ(OpeningTag(settingsText, "longPathAware"),
              "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">");
    EXPECT_EQ(ElementText(settingsText, "longPathAware"), "true");

    // An execution level: without one Windows virtualizes the 32-bit program's writes to the
    // Windows directory instead of refusing them.
    const size_t trust = xml.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
    ASSERT_NE(trust, std::string::npos) << xml;
    EXPECT_EQ(OpeningTag(xml.substr(trust), "requestedExecutionLevel"),
              "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>");

    // The common controls version 6 dependency stays, and the assembly carries the version.
    EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(OpeningTag(xml, "assemblyIdentity").find("version=\"" MURLAVO_VERSION_STRING ".0\""),
              std::string::npos)
        << OpeningTag(xml, "assemblyIdentity");
}

TEST(Display, ThisProcessWithTheSameManifestIsPerMonitorAware)
{
    // The test links the program's resources, manifest included: the system applied it.
    // Looked up: the build targets Windows XP's headers, which do not declare them.
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    using IsAware = BOOL(WINAPI*)();
    auto isAware =
        reinterpret_cast<IsAware>(reinterpret_cast<void (*)()>(::GetProcAddress(user32, "IsProcessDPIAware")));
    ASSERT_NE(isAware, nullptr);
    EXPECT_TRUE(isAware());
    using GetContext = HANDLE(WINAPI*)();
    using GetAwareness = int(WINAPI*)(HANDLE);
    auto getContext = reinterpret_cast<GetContext>(
        reinterpret_cast<void (*)()>(::GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    auto getAwareness = reinterpret_cast<GetAwareness>(
        reinterpret_cast<void (*)()>(::GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    if (!getContext || !getAwareness)
        GTEST_SKIP() << "the system has no DPI awareness contexts";
    // DPI_AWARENESS_PER_MONITOR_AWARE (2): sizes in each monitor's own pixels.
    EXPECT_EQ(getAwareness(getContext()), 2);
}

TEST(Display, TheVersionResourceHoldsTheBuildsVersion)
{
    const std::string exe = MurlavoExe();
    DWORD ignored = 0;
    std::string block(::GetFileVersionInfoSizeA(exe.c_str(), &ignored), '\0');
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, DWORD(block.size()), &block[0]));
    VS_FIXEDFILEINFO* fixed = nullptr;
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, DWORD(MAKELONG(MURLAVO_VERSION_MINOR, MURLAVO_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwProductVersionLS, DWORD(MAKELONG(0, MURLAVO_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductVersion",
                                 reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, MURLAVO_VERSION_STRING);
}
