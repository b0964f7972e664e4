// The Add Playlist dialog: asks for the name of a new playlist. Whatever the user typed,
// the empty name included, comes back in m_strName after IDOK.
#pragma once
#include "framework/Dialog.h"

#include <string>

class CAddPlaylistDlg : public CDialog {
public:
    explicit CAddPlaylistDlg(HWND owner = nullptr);

    std::string m_strName;

protected:
    BOOL OnInitDialog() override;
    bool DoDataExchange(CDataExchange& dx) override;
};
