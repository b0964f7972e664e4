// The task dialog is declared only for Windows Vista and later; the program is built for older
// systems too, so this file alone sees the declarations, and the function is looked up when it
// is needed (a system without it gets a message box).
#undef WINVER
#undef _WIN32_WINNT
#undef NTDDI_VERSION
#define WINVER 0x0600
#define _WIN32_WINNT 0x0600
#define NTDDI_VERSION 0x06000000

#include "settings/SaveFailedQuestion.h"

#include <commctrl.h>

#include <string>

namespace {

constexpr int kCloseWithoutSaving = 100;

const wchar_t kExplanation[] = L"Your playlists could not be saved: the library file could not be written (the disk may "
                            L"be full, or the file may be in use or read-only). The library stays as it was.";

SaveFailedChoice AskWithMessageBox(HWND owner)
{
    const std::wstring text = std::wstring(kExplanation)
        + L"\n\nChoose Try Again to save them again, Continue to close Settings without the playlist changes (the "
          L"other settings are kept), or Cancel to go back to them.";
    switch (::MessageBoxW(owner, text.c_str(), L"Murlavo", MB_CANCELTRYCONTINUE | MB_DEFBUTTON2 | MB_ICONEXCLAMATION)) {
    case IDTRYAGAIN:
        return SaveFailedChoice::Retry;
    case IDCONTINUE:
        return SaveFailedChoice::CloseWithoutSaving;
    default:
        return SaveFailedChoice::Cancel;
    }
}

} // namespace

SaveFailedChoice AskSaveFailed(HWND owner)
{
    using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    // The common controls of the program's manifest (version 6) are loaded with the program.
    HMODULE controls = ::GetModuleHandleW(L"comctl32.dll");
    FARPROC found = controls ? ::GetProcAddress(controls, "TaskDialogIndirect") : nullptr;
    auto taskDialog = reinterpret_cast<TaskDialogIndirectFn>(reinterpret_cast<void (*)()>(found));
    if (!taskDialog)
        return AskWithMessageBox(owner);

    const TASKDIALOG_BUTTON buttons[] = {
        {IDRETRY, L"Retry"},
        {kCloseWithoutSaving, L"Close without saving the playlists"},
    };
    TASKDIALOGCONFIG config {};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
    config.pszWindowTitle = L"Murlavo";
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszMainInstruction = L"Your playlists could not be saved.";
    config.pszContent = L"The library file could not be written (the disk may be full, or the file may be in use or "
                        L"read-only). The library stays as it was.\n\n"
                        L"Retry saves them again. Close without saving the playlists ends Settings without the "
                        L"playlist changes (the other settings are kept). Cancel goes back to them.";
    config.cButtons = sizeof buttons / sizeof buttons[0];
    config.pButtons = buttons;
    config.nDefaultButton = IDRETRY;
    int pressed = IDCANCEL;
    if (FAILED(taskDialog(&config, &pressed, nullptr, nullptr)))
        return AskWithMessageBox(owner);
    switch (pressed) {
    case IDRETRY:
        return SaveFailedChoice::Retry;
    case kCloseWithoutSaving:
        return SaveFailedChoice::CloseWithoutSaving;
    default:
        return SaveFailedChoice::Cancel;
    }
}
