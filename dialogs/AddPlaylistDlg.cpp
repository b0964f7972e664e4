#include "dialogs/AddPlaylistDlg.h"

#include "resource.h"

CAddPlaylistDlg::CAddPlaylistDlg() : CDialog(IDD_ADD_PLAYLIST) {}

CAddPlaylistDlg::CAddPlaylistDlg(HWND owner) : CDialog(IDD_ADD_PLAYLIST, owner) {}

BOOL CAddPlaylistDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Names of any length: the edit control's default limit would cut long ones.
    ::SendDlgItemMessageA(m_hWnd, IDC_PLAYLIST_NAME, EM_SETLIMITTEXT, 0, 0);
    return TRUE;
}

bool CAddPlaylistDlg::DoDataExchange(CDataExchange& dx)
{
    return dx.Text(IDC_PLAYLIST_NAME, m_strName);
}
