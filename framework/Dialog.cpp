#include "framework/Dialog.h"
#include "framework/Application.h"
#include "framework/Dpi.h"
#include "framework/WideText.h"

#include <windowsx.h>

#include <climits>
#include <cstdio>
#include <vector>

namespace {

// The title of the prompts: the application's name, else its title string (57344, the id
// application frameworks give it).
std::string PromptTitle()
{
    if (CApplication* app = GetApp(); app && !app->m_strAppName.empty())
        return app->m_strAppName;
    return LoadResourceString(57344);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsRadioButton(HWND control)
{
    wchar_t cls[16] = L"";
    ::GetClassNameW(control, cls, 16);
    if (lstrcmpiW(cls, L"Button") != 0)
        return false;
    const LONG type = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// The radio buttons of the group that starts at first, in order.
std::vector<HWND> RadioGroup(HWND first)
{
    std::vector<HWND> buttons;
    for (HWND control = first; control; control = ::GetWindow(control, GW_HWNDNEXT)) {
        if (control != first && (::GetWindowLongW(control, GWL_STYLE) & WS_GROUP))
            break;
        if (IsRadioButton(control))
            buttons.push_back(control);
    }
    return buttons;
}

} // namespace

bool CDataExchange::ParseInt(const char* text, int32_t& value)
{
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return false;
    int64_t number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + (*p - '0');
        if (number > int64_t(INT32_MAX) + 1)
            return false;
    }
    while (IsBlank(*p))
        ++p;
    if (*p)
        return false;
    number = negative ? -number : number;
    if (number > INT32_MAX)
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

bool CDataExchange::Fail(int id, const std::string& prompt)
{
    ::MessageBoxW(m_hDlg, Wide(prompt).c_str(), Wide(PromptTitle()).c_str(), MB_OK | MB_ICONEXCLAMATION);
    HWND control = ::GetDlgItem(m_hDlg, id);
    if (control) {
        // Through the dialog manager, so the default button follows; an edit field's text is
        // selected for typing over it.
        ::SendMessageW(m_hDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        ::SendMessageW(control, EM_SETSEL, 0, -1);
    }
    return false;
}

bool CDataExchange::Text(int id, std::string& value)
{
    HWND control = ::GetDlgItem(m_hDlg, id);
    if (!m_bSaveAndValidate) {
        SetWindowTextUtf8(control, value);
        return true;
    }
    value = WindowTextUtf8(control);
    return true;
}

bool CDataExchange::Int(int id, int32_t& value)
{
    if (!m_bSaveAndValidate) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
        ::SetDlgItemTextW(m_hDlg, id, Wide(text).c_str());
        return true;
    }
    std::string text;
    Text(id, text);
    int32_t parsed = 0;
    if (!ParseInt(text.c_str(), parsed))
        return Fail(id, "Please enter an integer.");
    value = parsed;
    return true;
}

bool CDataExchange::IntRange(int id, int32_t& value, int32_t min, int32_t max)
{
    if (!m_bSaveAndValidate)
        return Int(id, value);
    int32_t parsed = value;
    if (!Int(id, parsed))
        return false;
    if (parsed < min || parsed > max) {
        char prompt[96];
        std::snprintf(prompt, sizeof prompt, "Please enter an integer between %d and %d.", static_cast<int>(min),
                      static_cast<int>(max));
        return Fail(id, prompt);
    }
    value = parsed;
    return true;
}

bool CDataExchange::Check(int id, int32_t& value)
{
    HWND control = ::GetDlgItem(m_hDlg, id);
    if (m_bSaveAndValidate)
        value = static_cast<int32_t>(::SendMessageW(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    return true;
}

bool CDataExchange::Radio(int firstId, int32_t& value)
{
    const std::vector<HWND> buttons = RadioGroup(::GetDlgItem(m_hDlg, firstId));
    if (m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < buttons.size(); ++i)
            if (::SendMessageW(buttons[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = static_cast<int32_t>(i);
        return true;
    }
    for (size_t i = 0; i < buttons.size(); ++i)
        ::SendMessageW(buttons[i], BM_SETCHECK, int32_t(i) == value ? BST_CHECKED : BST_UNCHECKED, 0);
    return true;
}

CDialog::~CDialog()
{
    // An object that dies before its dialog: the dialog must not call into freed memory.
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
}

bool CDialog::TemplateGivesNoPlace() const
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(m_nIDTemplate), MAKEINTRESOURCEW(5)); // RT_DIALOG
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const auto* words = static_cast<const WORD*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!words || ::SizeofResource(module, found) < 22)
        return false;
    // The extended layout starts with version 1 and 0xFFFF; x and y follow its help id,
    // styles and item count (byte 18), in the older layout its styles and count (byte 10).
    const bool extended = words[0] == 1 && words[1] == 0xFFFF;
    const short* place = reinterpret_cast<const short*>(reinterpret_cast<const BYTE*>(words) + (extended ? 18 : 10));
    return place[0] == 0 && place[1] == 0;
}

HWND CDialog::OwnerForModal() const
{
    return m_bOwnerGiven ? m_hWndOwner : ::GetActiveWindow();
}

INT_PTR CDialog::DoModal()
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), OwnerForModal(),
                             StaticDialogProc, reinterpret_cast<LPARAM>(this));
}

bool CDialog::RegisterDialogClass(const char* name)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const std::wstring wideName = Wide(name);
    WNDCLASSW existing {};
    if (::GetClassInfoW(instance, wideName.c_str(), &existing))
        return true;
    // The system's dialog class (#32770) with our name: DefDlgProc and its window bytes.
    WNDCLASSW wc {};
    if (!::GetClassInfoW(nullptr, MAKEINTRESOURCEW(32770), &wc))
        return false;
    wc.hInstance = instance;
    wc.lpszClassName = wideName.c_str();
    return ::RegisterClassW(&wc) != 0;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (m_hWnd)
        ::EndDialog(m_hWnd, result);
}

void CDialog::CenterWindow()
{
    RECT dialog, area;
    ::GetWindowRect(m_hWnd, &dialog);
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    else
        area = monitor.rcWork;
    const int w = dialog.right - dialog.left, h = dialog.bottom - dialog.top;
    int x = area.left + (area.right - area.left - w) / 2;
    int y = area.top + (area.bottom - area.top - h) / 2;
    // Whole on the monitor's work area where it fits.
    const RECT& work = monitor.rcWork;
    if (x + w > work.right)
        x = work.right - w;
    if (y + h > work.bottom)
        y = work.bottom - h;
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialog::UpdateData(bool save)
{
    CDataExchange dx(m_hWnd, save);
    return DoDataExchange(dx);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(int id, int /*code*/, HWND /*control*/)
{
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        // A template that gives no place of its own (0, 0) opens centred rather than in the
        // corner of the owner or the screen.
        if (TemplateGivesNoPlace())
            CenterWindow();
        m_nTemplateDpi = dpi::DialogDpi(m_hWnd);
        m_fontScaled.Reset();
        return OnInitDialog();
    }
    case WM_NCDESTROY:
        // The controls that used a font made for a new scale are gone.
        m_fontScaled.Reset();
        return DefaultProc(msg, wParam, lParam);
    case dpi::kMsgDpiChanged:
        OnDpiChanged(wParam, lParam);
        return DefaultProc(msg, wParam, lParam);
    case WM_COMMAND: {
        HWND control = reinterpret_cast<HWND>(lParam);
        // A control of ours handles its own notifications first.
        if (control && FromHandlePermanent(control)
            && ::SendMessageW(control, WM_REFLECT_BASE + WM_COMMAND, wParam, lParam))
            return 0;
        if (OnCommand(GET_WM_COMMAND_ID(wParam, lParam), GET_WM_COMMAND_CMD(wParam, lParam), control))
            return 0;
        return DefaultProc(msg, wParam, lParam);
    }
    case WM_NOTIFYFORMAT:
        // Controls ask which form of notifications to send: this dialog reads the Unicode ones.
        if (lParam == NF_QUERY)
            return NFR_UNICODE;
        return DefaultProc(msg, wParam, lParam);
    case WM_CTLCOLORSTATIC: {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (FromHandlePermanent(control))
            if (LRESULT brush = ::SendMessageW(control, WM_REFLECT_BASE + msg, wParam, lParam))
                return brush;
        return DefaultProc(msg, wParam, lParam);
    }
    default:
        return DefaultProc(msg, wParam, lParam);
    }
}

void CDialog::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    const UINT dpi = LOWORD(wParam);
    // Where the system rescales dialogs (Windows 10 1703 on), it does all this after the
    // dialog's own handling.
    if (!dpi || dpi::SystemRescalesDialog(m_hWnd))
        return;
    dpi::ScaleDialog(m_hWnd, m_nTemplateDpi, dpi, m_fontScaled, !m_bOwnLayout);
    if (!m_bOwnLayout)
        dpi::MoveToSuggested(m_hWnd, lParam);
    m_nTemplateDpi = dpi;
}

LRESULT CDialog::DefaultProc(UINT, WPARAM, LPARAM)
{
    m_bMsgHandled = false;
    return 0;
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self && msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self)
        return FALSE;
    if (msg == WM_NCDESTROY) {
        // The last message: the object may be gone once it is dispatched, so nothing of it is
        // touched afterwards, and the system's own handling follows.
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->Dispatch(msg, wParam, lParam);
        return FALSE;
    }
    // Handlers may send messages to the dialog itself: each message keeps its own flag.
    const bool outer = self->m_bMsgHandled;
    self->m_bMsgHandled = true;
    const LRESULT result = self->Dispatch(msg, wParam, lParam);
    const bool handled = self->m_bMsgHandled;
    self->m_bMsgHandled = outer;
    if (!handled)
        return FALSE;
    switch (msg) {
    // These return their result directly, not through DWLP_MSGRESULT.
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    default:
        if (::IsWindow(hwnd))
            ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}
