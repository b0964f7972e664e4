// Modal dialogs from templates in the resources, and the data exchange between their controls
// and the dialog's members.
//
// A dialog class names its template, fills its controls from its members in DoDataExchange
// and reads them back there, with validation. The object arrives with WM_INITDIALOG and is
// dispatched like every CWindow: one WindowProc per class, typed On... handlers, and an
// explicit hand-on to the base class for the rest. Notifications of attached controls
// (colours, clicks) are reflected back to them.
#pragma once
#include "framework/Handles.h"
#include "framework/Window.h"

#include <cstdint>
#include <string>

// One exchange between a dialog's controls and its members: into the controls (load) or out
// of them with validation (save). A failed field shows the standard prompt, takes the focus,
// and makes the exchange stop: every function returns false then, the caller returns too.
class CDataExchange {
public:
    CDataExchange(HWND dialog, bool save) : m_hDlg(dialog), m_bSaveAndValidate(save) {}

    // Text of a control.
    bool Text(int id, std::string& value);
    // An integer in an edit control: "Please enter an integer." when the text is not one.
    bool Int(int id, int32_t& value);
    // The same, within min..max: "Please enter an integer between min and max." otherwise.
    bool IntRange(int id, int32_t& value, int32_t min, int32_t max);
    // A check box: 0 clear, 1 ticked, 2 indeterminate.
    bool Check(int id, int32_t& value);
    // A radio group starting at firstId: the zero-based position of the selected button among
    // the radio buttons of the group, -1 when none is selected (loading -1 selects none).
    bool Radio(int firstId, int32_t& value);

    HWND m_hDlg;
    bool m_bSaveAndValidate;

    // Parses what the integer fields accept: optional blanks, an optional sign, digits,
    // optional blanks, within the 32-bit range.
    static bool ParseInt(const char* text, int32_t& value);

private:
    bool Fail(int id, const std::string& prompt);
};

class CDialog : public CWindow {
public:
    // Owned by the window that is active on this thread when the dialog runs (the window the
    // user was working in), so a forgotten owner does not leave that window usable underneath.
    explicit CDialog(UINT templateId) : m_nIDTemplate(templateId), m_bOwnerGiven(false) {}
    // Owned by exactly this window; null for a dialog of its own, with a taskbar button.
    CDialog(UINT templateId, HWND owner) : m_nIDTemplate(templateId), m_hWndOwner(owner), m_bOwnerGiven(true) {}
    ~CDialog() override;

    // Runs the dialog; IDOK, IDCANCEL or what EndDialog was given; -1 when it could not start.
    INT_PTR DoModal();
    // The window that owns the dialog while it runs (see the constructors).
    HWND OwnerForModal() const;

    // Registers a dialog window class of this name: the system's dialog class under a fixed
    // name that other processes can find (a template names it with CLASS). True when it is
    // registered (also when it already was).
    static bool RegisterDialogClass(const char* name);
    void EndDialog(INT_PTR result);

    // Centres the dialog over its owner, or over the work area of its monitor without one.
    void CenterWindow();
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    // Attaches a C++ control object to the dialog's control with this id.
    BOOL AttachItem(CWindow& control, int id) { return control.SubclassWindow(GetDlgItem(id)); }
    // Data exchange in either direction; false when a field failed validation.
    bool UpdateData(bool save);

protected:
    // Default: data exchange into the controls; TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    // Default: data exchange out of the controls, then the end with IDOK if every field is valid.
    virtual void OnOK();
    // Default: the end with IDCANCEL, nothing read back.
    virtual void OnCancel();
    virtual bool DoDataExchange(CDataExchange& /*dx*/) { return true; }
    // A button or control notification. Default: IDOK and IDCANCEL to OnOK and OnCancel; true
    // when handled.
    virtual bool OnCommand(int id, int code, HWND control);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // What the dialog does not handle goes back to the system's dialog manager.
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    HWND m_hWndOwner = nullptr;
    bool m_bOwnerGiven;
    // The dialog places its controls itself, also at a new scale: only their font is changed
    // for it there.
    bool m_bOwnLayout = false;
    // The scale the template is laid out for now.
    UINT m_nTemplateDpi = 0;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool TemplateGivesNoPlace() const;
    // WM_DPICHANGED: where the system does not rescale dialogs, the template's font and
    // controls are scaled here and the dialog takes the suggested rectangle.
    void OnDpiChanged(WPARAM wParam, LPARAM lParam);
    CFontHandle m_fontScaled;
    bool m_bMsgHandled = false;
};
