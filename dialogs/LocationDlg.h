// The Picture Location dialog: shows a picture's full path (a folder's, for a folder of
// pictures) in a read-only field, from which it can be selected and copied, and a note under
// it: why the picture cannot be shown, or whether a folder's sub-folders are included. No
// buttons: Enter and Escape close it.
#pragma once
#include "framework/Dialog.h"

#include <string>

class CLocationDlg : public CDialog {
public:
    // Owned by the active window, or by the given one.
    CLocationDlg();
    explicit CLocationDlg(HWND owner);

    std::string m_strLocation;
    std::string m_strNote;

protected:
    bool DoDataExchange(CDataExchange& dx) override;
};
