#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Window.h"

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
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
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
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

int CApplication::GetProfileInt(const char* section, const char* entry, int defaultValue) const
{
    CRegKey key(OpenSectionKey(section, KEY_READ));
    if (!key)
        return defaultValue;
    DWORD type = 0, value = 0, size = sizeof value;
    if (::RegQueryValueExA(key.Get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS
        || type != REG_DWORD || size != sizeof value)
        return defaultValue;
    return static_cast<int>(value);
}

std::string CApplication::GetProfileString(const char* section, const char* entry, const char* defaultValue) const
{
    std::string fallback = defaultValue ? defaultValue : "";
    CRegKey key(OpenSectionKey(section, KEY_READ));
    if (!key)
        return fallback;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(key.Get(), entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS
        || (type != REG_SZ && type != REG_EXPAND_SZ))
        return fallback;
    std::vector<char> buffer(size + 1, '\0');
    if (::RegQueryValueExA(key.Get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size)
        != ERROR_SUCCESS)
        return fallback;
    return std::string(buffer.data()); // stops at the terminator (or at the extra zero)
}

BOOL CApplication::WriteProfileInt(const char* section, const char* entry, int value) const
{
    CRegKey key(OpenSectionKey(section, KEY_WRITE));
    if (!key)
        return FALSE;
    DWORD data = static_cast<DWORD>(value);
    return ::RegSetValueExA(key.Get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data)
        == ERROR_SUCCESS;
}

BOOL CApplication::WriteProfileString(const char* section, const char* entry, const char* value) const
{
    CRegKey key(OpenSectionKey(section, KEY_WRITE));
    if (!key)
        return FALSE;
    const char* text = value ? value : "";
    return ::RegSetValueExA(key.Get(), entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(strlen(text) + 1))
        == ERROR_SUCCESS;
}
