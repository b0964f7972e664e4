// The Add Playlist dialog: asks for the name of a new playlist. Whatever the user typed,
// the empty name included, comes back in m_strName after IDOK.
#pragma once
#include "framework/Dialog.h"

#include <string>

class CAddPlaylistDlg : public CDialog {
public:
    // Owned by the active window, or by the given one.
    CAddPlaylistDlg();
    explicit CAddPlaylistDlg(HWND owner);

    std::string m_strName;

protected:
    BOOL OnInitDialog() override;
    bool DoDataExchange(CDataExchange& dx) override;
};
