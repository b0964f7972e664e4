// The Picture Location dialog: shows a picture's full path in a read-only field, from which
// it can be selected and copied. No buttons: Enter and Escape close it.
#pragma once
#include "framework/Dialog.h"

#include <string>

class CLocationDlg : public CDialog {
public:
    // Owned by the active window, or by the given one.
    CLocationDlg();
    explicit CLocationDlg(HWND owner);

    std::string m_strLocation;

protected:
    bool DoDataExchange(CDataExchange& dx) override;
};
