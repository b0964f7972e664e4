// The system's folder picker is declared only for Windows Vista and later; the program is built
// for older systems too, so this file alone sees the declarations, and a system without the
// picker gets the older folder browser.
#undef WINVER
#undef _WIN32_WINNT
#undef NTDDI_VERSION
#define WINVER 0x0600
#define _WIN32_WINNT 0x0600
#define NTDDI_VERSION 0x06000000

#include "settings/FolderPicker.h"

#include "framework/Window.h"
#include "framework/WideText.h"
#include "resource.h"

#include <shlobj.h>
#include <shobjidl.h>

namespace {

// A COM interface pointer released when it goes.
template <class T>
class CComRef {
public:
    CComRef() = default;
    ~CComRef()
    {
        if (m_p)
            m_p->Release();
    }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Put() { return &m_p; }
    void** PutVoid() { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};

// COM on this thread for as long as it is needed (the dialog's thread may have it already).
class CComScope {
public:
    CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~CComScope()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT m_hr;
};

constexpr DWORD kSubFoldersCheck = 1;


// Before Vista: the folder browser, then a question about the sub-folders.
bool BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& subFolders, std::string& folder,
    bool& withSubFolders)
{
    BROWSEINFOW info {};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (!chosen)
        return false;
    wchar_t path[MAX_PATH] = L"";
    const bool named = ::SHGetPathFromIDListW(chosen, path) != FALSE;
    ::CoTaskMemFree(chosen);
    if (!named || !path[0])
        return false;
    folder = Utf8(path);
    withSubFolders = ::MessageBoxW(owner, (subFolders + L"?").c_str(), L"Murlavo", MB_YESNO | MB_ICONQUESTION) == IDYES;
    return true;
}

} // namespace

// The system's folder picker with an "Include sub-folders" box under it (ticked at first).
bool PickFolderWithShell(HWND owner, std::string& folder, bool& withSubFolders)
{
    CComScope com;
    const std::string titleText = LoadResourceString(IDS_ADD_FOLDER);
    const std::wstring title = Wide(titleText.empty() ? "Add a Folder of Pictures to Playlist" : titleText);
    const std::string checkText = LoadResourceString(IDS_INCLUDE_SUBFOLDERS);
    const std::wstring subFolders = Wide(checkText.empty() ? "Include sub-folders" : checkText);
    CComRef<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
            dialog.PutVoid())))
        return BrowseForFolder(owner, title, subFolders, folder, withSubFolders);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    // The program's current folder stays where it was (see Add Pictures).
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR);
    dialog->SetTitle(title.c_str());
    CComRef<IFileDialogCustomize> customize;
    if (SUCCEEDED(dialog->QueryInterface(IID_IFileDialogCustomize, customize.PutVoid()))) {
        customize->AddCheckButton(kSubFoldersCheck, subFolders.c_str(), withSubFolders ? TRUE : FALSE);
    }
    if (dialog->Show(owner) != S_OK)
        return false;
    CComRef<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Put())))
        return false;
    wchar_t* path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path)
        return false;
    folder = Utf8(path);
    ::CoTaskMemFree(path);
    BOOL checked = withSubFolders ? TRUE : FALSE;
    if (customize.Get() && SUCCEEDED(customize->GetCheckButtonState(kSubFoldersCheck, &checked)))
        withSubFolders = checked != FALSE;
    return true;
}

