#include "dialogs/LocationDlg.h"

#include "resource.h"

CLocationDlg::CLocationDlg() : CDialog(IDD_LOCATION) {}

CLocationDlg::CLocationDlg(HWND owner) : CDialog(IDD_LOCATION, owner) {}

bool CLocationDlg::DoDataExchange(CDataExchange& dx)
{
    return dx.Text(IDC_LOCATION, m_strLocation) && dx.Text(IDC_LOCATION_NOTE, m_strNote);
}
