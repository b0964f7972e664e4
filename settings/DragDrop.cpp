// Moving pictures by drag and drop in the Settings dialog's tree.
#include "settings/SettingsDlg.h"

void CSettingsDlg::OnTreeClick() {}

void CSettingsDlg::OnBeginDrag(const NMTREEVIEWA& /*info*/) {}

void CSettingsDlg::OnMouseMove(POINT /*client*/) {}

void CSettingsDlg::OnLButtonUp() {}

void CSettingsDlg::OnTimer(UINT_PTR /*id*/) {}

void CSettingsDlg::AutoScrollDrag(POINT /*screen*/) {}

void CSettingsDlg::CancelDrag() {}
