// Stands in for the system's password-change module in the start-up tests: records the
// arguments of PwdChangePasswordA in "mpr-call.txt" beside the DLL.
#include <windows.h>

#include <cstdio>
#include <string>

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD flags, LPVOID reserved)
{
    HMODULE self = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&PwdChangePasswordA), &self);
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(self, path, MAX_PATH);
    std::string file = path;
    file = file.substr(0, file.find_last_of("\\/")) + "\\mpr-call.txt";
    if (std::FILE* fp = std::fopen(file.c_str(), "ab")) {
        std::fprintf(fp, "%s|%lld|%lu|%lld\n", provider ? provider : "(null)",
                     static_cast<long long>(reinterpret_cast<INT_PTR>(parent)), static_cast<unsigned long>(flags),
                     static_cast<long long>(reinterpret_cast<INT_PTR>(reserved)));
        std::fclose(fp);
    }
    return 0;
}
