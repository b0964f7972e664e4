#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Window.h"
#include "framework/WideText.h"

#include <vector>

namespace {
CApplication* g_pApp = nullptr;
}

CApplication* GetApp()
{
    return g_pApp;
}

CApplication::CApplication()
{
    g_pApp = this;
}

CApplication::~CApplication()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

int CApplication::Run()
{
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int CApplication::Execute(HINSTANCE instance, const char* commandLine)
{
    m_hInstance = instance;
    m_strCmdLine = commandLine ? commandLine : "";
    if (InitInstance())
        Run();
    return ExitInstance();
}

void CApplication::SetRegistryKey(const char* company)
{
    m_strRegistryKey = company ? company : "";
}

HKEY CApplication::OpenSectionKey(const char* section, REGSAM access) const
{
    if (m_strRegistryKey.empty() || m_strAppName.empty())
        return nullptr;
    std::string path = "Software\\" + m_strRegistryKey + "\\" + m_strAppName + "\\" + section;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Only a REG_DWORD of exactly four bytes is a number: a string, binary data, a QWORD or a DWORD
// of another size reads as the default (a larger value fails with ERROR_MORE_DATA).
int CApplication::GetProfileInt(const char* section, const char* entry, int defaultValue) const
{
    CRegKey key(OpenSectionKey(section, KEY_READ));
    if (!key)
        return defaultValue;
    DWORD type = 0, value = 0, size = sizeof value;
    if (::RegQueryValueExW(key.Get(), Wide(entry).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size)
            != ERROR_SUCCESS
        || type != REG_DWORD || size != sizeof value)
        return defaultValue;
    return static_cast<int>(value);
}

namespace {

// Longest string setting read: 64 K characters, in bytes of UTF-16. Paths, titles and addresses
// are far shorter; a larger value is damage and reads as the default instead of costing memory.
const DWORD kMaxProfileString = 2 * 64 * 1024;

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// A REG_EXPAND_SZ value names environment variables (%SystemRoot%, ...) that its reader is meant
// to replace. Names that are not set stay as written.
std::wstring ExpandEnvironment(const std::wstring& text)
{
    DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0 || needed > kMaxProfileString)
        return text;
    std::vector<wchar_t> buffer(size_t(needed) + 1, L'\0');
    DWORD got = ::ExpandEnvironmentStringsW(text.c_str(), buffer.data(), needed + 1);
    if (got == 0 || got > needed + 1)
        return text;
    return std::wstring(buffer.data());
}

} // namespace

std::string CApplication::GetProfileString(const char* section, const char* entry, const char* defaultValue) const
{
    std::string fallback = defaultValue ? defaultValue : "";
    CRegKey key(OpenSectionKey(section, KEY_READ));
    if (!key)
        return fallback;
    // Read as Unicode: a value an older version wrote through the ANSI functions is stored as
    // Unicode by the system all the same, so it reads exactly as before.
    const std::wstring name = Wide(entry);
    // Another program may change the value between the two queries: ask again when it grew.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = 0, size = 0;
        if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS
            || !IsStringType(type) || size > kMaxProfileString)
            return fallback;
        // A zero more than the value's size (rounded up to whole characters): a string stored
        // without terminator, or with an odd byte count, still ends.
        std::vector<wchar_t> buffer(size_t(size) / sizeof(wchar_t) + 2, L'\0');
        LONG result = ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS || !IsStringType(type))
            return fallback;
        buffer[size / sizeof(wchar_t)] = L'\0'; // half a character at the end is no character
        std::wstring value(buffer.data());        // stops at the first zero
        return Utf8(type == REG_EXPAND_SZ ? ExpandEnvironment(value) : value);
    }
    return fallback;
}

BOOL CApplication::WriteProfileInt(const char* section, const char* entry, int value) const
{
    CRegKey key(OpenSectionKey(section, KEY_WRITE));
    if (!key)
        return FALSE;
    DWORD data = static_cast<DWORD>(value);
    return ::RegSetValueExW(key.Get(), Wide(entry).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                            sizeof data)
        == ERROR_SUCCESS;
}

BOOL CApplication::WriteProfileString(const char* section, const char* entry, const char* value) const
{
    CRegKey key(OpenSectionKey(section, KEY_WRITE));
    if (!key)
        return FALSE;
    const std::wstring text = Wide(value ? value : "");
    return ::RegSetValueExW(key.Get(), Wide(entry).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)))
        == ERROR_SUCCESS;
}
