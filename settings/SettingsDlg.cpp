#include "settings/SettingsDlg.h"

#include "app/ChangerApp.h"
#include "app/WindowNames.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/OptionsDlg.h"
#include "framework/Dpi.h"
#include "library/Settings.h"
#include "library/WallpaperObject.h"
#include "resource.h"

#include <windowsx.h>

namespace {

int ShowMessageBox(HWND owner, const char* text, UINT type)
{
    return MessageBoxUtf8(owner, text, "Murlavo", type);
}

// A worker held up by an unreachable share is not waited for longer than this when the dialog
// ends: it finishes on its own.
constexpr DWORD kLookupStopWaitMs = 500;

// The options the Options dialog edits are the same in both.
bool SameOptions(const CChangerSettings& a, const CChangerSettings& b)
{
    return a.m_nInterval == b.m_nInterval && a.m_nOrder == b.m_nOrder && a.m_nSlideShow == b.m_nSlideShow
        && a.m_bFitToScreen == b.m_bFitToScreen && a.m_nScaleMethod == b.m_nScaleMethod
        && a.m_crBkgndColor == b.m_crBkgndColor;
}

} // namespace

int (*CSettingsDlg::s_pfnMessageBox)(HWND, const char*, UINT) = ShowMessageBox;

CSettingsDlg::CSettingsDlg(HWND owner) : CSettingsDlg(owner, g_settings) {}

CSettingsDlg::CSettingsDlg(HWND owner, const CChangerSettings& settings) : CDialog(IDD_SETTINGS, owner), m_settings(settings)
{
    // The template names this class: other processes find the dialog by it.
    RegisterDialogClass(kSettingsClassName);
}

CSettingsDlg::~CSettingsDlg()
{
    // The icons normally go with the window; a dialog that never ran has none.
    for (HICON icon : m_arrIcons)
        ::DestroyIcon(icon);
}

BOOL CSettingsDlg::OnInitDialog()
{
    m_tree = GetDlgItem(IDC_LIBRARY_TREE);
    m_listNowPlaying = GetDlgItem(IDC_NOW_PLAYING);
    // The tree asks again which form of notifications to send, now that this dialog answers:
    // the wide ones, the only ones OnNotify reads (labels are names in any script).
    ::SendMessageW(m_tree, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(m_hWnd), NF_REQUERY);
    m_settingsOpened = m_settings;
    m_bModified = false;
    m_lookup.SetTarget(m_hWnd, kPictureInfoReady);
    m_preview.SetTarget(m_hWnd, kPreviewReady);
    m_counter.SetTarget(m_hWnd, kFolderCountReady);
    CDialog::OnInitDialog();
    // The template's size is the smallest; the dialog opens where it was left.
    InitLayout();
    // The dialog lays its controls out itself, also when the scale changes.
    dpi::KeepOwnLayout(m_hWnd);
    m_bOwnLayout = true;
    if (!RestorePlacement())
        CenterWindow();
    if (CreateImageList(m_nDpi)) {
        TreeView_SetImageList(m_tree, m_imageList.Get(), TVSIL_NORMAL);
        ListView_SetImageList(m_listNowPlaying, m_imageList.Get(), LVSIL_SMALL);
    }
    OnSelectionChanged(nullptr);
    LoadPictureLibrary();
    if (m_libraryRead.unreadable) {
        // Told over the dialog, which shows the empty tree it could read.
        ::ShowWindow(m_hWnd, SW_SHOW);
        ::UpdateWindow(m_hWnd);
        Ask(UnreadableLibraryText() + "; changes will not be saved", MB_OK | MB_ICONEXCLAMATION);
    }
    return TRUE; // the focus goes to the first tab stop, OK
}

std::string CSettingsDlg::UnreadableLibraryText() const
{
    std::string reason = m_libraryRead.error;
    if (!reason.empty() && reason.back() == '.')
        reason.pop_back();
    return "The picture library " + m_libraryRead.path + " cannot be read: " + reason;
}

void CSettingsDlg::SetNowPlaying()
{
    m_hNowPlaying = TreeView_GetSelection(m_tree);
    ShowNowPlayingRow();
}

void CSettingsDlg::ShowNowPlayingRow()
{
    if (!m_hNowPlaying) {
        ListView_DeleteAllItems(m_listNowPlaying);
        return;
    }
    std::wstring label = ItemText(m_hNowPlaying);
    TVITEMW item {};
    item.mask = TVIF_IMAGE;
    item.hItem = m_hNowPlaying;
    GetItem(item);
    // Folders take their image on request; ask the same rule the tree asks.
    const int image = RecordOf(m_hNowPlaying) && RecordOf(m_hNowPlaying)->m_bPicture ? item.iImage
                                                                                     : FolderImage(m_hNowPlaying);
    if (ListView_GetItemCount(m_listNowPlaying) > 0)
        ListView_DeleteItem(m_listNowPlaying, 0);
    LVITEMW row {};
    row.mask = LVIF_TEXT | LVIF_IMAGE;
    row.pszText = &label[0];
    row.iImage = image;
    ::SendMessageW(m_listNowPlaying, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
}

void CSettingsDlg::OnSelectionChanged(HTREEITEM selected)
{
    const CWallpaperObject* record = RecordOf(selected);
    // Pictures go into playlists only; any item but the root can be Now Playing.
    ::EnableWindow(GetDlgItem(IDC_ADD_PICTURE), record && !record->m_bPicture);
    ::EnableWindow(GetDlgItem(IDC_ADD_FOLDER), record && !record->m_bPicture);
    ::EnableWindow(GetDlgItem(IDC_SET_NOW_PLAYING), record != nullptr);
    UpdatePreview();
}

void CSettingsDlg::OnSetNowPlaying()
{
    HTREEITEM before = m_hNowPlaying;
    SetNowPlaying();
    if (m_hNowPlaying != before)
        m_bModified = true;
}

void CSettingsDlg::OnOptions()
{
    // Owned by this dialog, which stays disabled underneath while it runs.
    COptionsDlg dlg(m_hWnd);
    OptionsFromSettings(m_settings, dlg);
    // Only the dialog's copy changes; the opener applies and stores it after OK.
    if (dlg.DoModal() == IDOK)
        SettingsFromOptions(dlg, m_settings);
}

void CSettingsDlg::OnAbout()
{
    // A window of its own, with no owner, wherever it is opened from.
    CAboutDlg dlg;
    dlg.DoModal();
}

bool CSettingsDlg::HasEdits() const
{
    return m_bModified || !SameOptions(m_settings, m_settingsOpened);
}

bool CSettingsDlg::HasPictures() const
{
    for (HTREEITEM playlist = TreeView_GetChild(m_tree, m_hRootItem); playlist;
         playlist = TreeView_GetNextSibling(m_tree, playlist))
        if (TreeView_GetChild(m_tree, playlist))
            return true;
    return false;
}

int CSettingsDlg::Ask(const std::string& text, UINT type) const
{
    return s_pfnMessageBox(m_hWnd, text.c_str(), type);
}

void CSettingsDlg::OnOK()
{
    if (m_bDragging)
        CancelDrag();
    // A library file that could not be read is left as it is; the options are kept all the same.
    if (m_libraryRead.unreadable) {
        m_bLibrarySaved = false;
        Ask(UnreadableLibraryText() + ".\n\nYour playlist changes were not saved; the other settings are saved.",
            MB_OK | MB_ICONEXCLAMATION);
        EndDialog(IDOK);
        return;
    }
    // Pictures but nothing to play: the changer would stop changing the wallpaper.
    if (!m_hNowPlaying && HasPictures()
        && Ask("Nothing is marked Now Playing, so the changer will have nothing to play.\n\n"
               "Choose OK to save the library as it is, or Cancel to go back and mark a playlist or "
               "picture with Set.",
               MB_OKCANCEL | MB_ICONEXCLAMATION)
            != IDOK)
        return;
    // A library that cannot be written keeps the old file. The edits are still in the tree: the
    // user tries again, goes back to them, or closes without them; the settings are kept when
    // the dialog closes either way.
    for (;;) {
        m_bLibrarySaved = SavePictureLibrary();
        if (m_bLibrarySaved)
            break;
        const SaveFailedChoice choice = AskSaveFailed(m_hWnd);
        if (choice == SaveFailedChoice::Cancel)
            return;
        if (choice == SaveFailedChoice::CloseWithoutSaving)
            break;
    }
    EndDialog(IDOK);
}

void CSettingsDlg::OnCancel()
{
    // Escape during a drag ends the drag, not the dialog.
    if (m_bDragging) {
        CancelDrag();
        return;
    }
    // Edits are not lost unasked; No, the default, goes back to them.
    if (HasEdits()
        && Ask("Discard your changes to the picture library?", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    CDialog::OnCancel();
}

bool CSettingsDlg::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_ADD_PLAYLIST:
        OnAddPlaylist();
        return true;
    case IDC_ADD_PICTURE:
        OnAddPictures();
        return true;
    case IDC_ADD_FOLDER:
        OnAddFolder();
        return true;
    case ID_LIBRARY_DELETE:
    case ID_LIBRARY_PREVIEW:
    case ID_LIBRARY_RENAME:
    case ID_LIBRARY_LOCATION:
    case ID_LIBRARY_CENTER:
    case ID_LIBRARY_TILE:
    case ID_LIBRARY_ASPECT:
        OnContextCommand(id);
        return true;
    case IDC_SET_NOW_PLAYING:
        OnSetNowPlaying();
        return true;
    case IDC_SETTINGS_OPTIONS:
        OnOptions();
        return true;
    case IDC_SETTINGS_ABOUT:
        OnAbout();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

LRESULT CSettingsDlg::OnNotify(NMHDR& header)
{
    if (header.hwndFrom != m_tree)
        return 0;
    // The tree was told at initialisation to send the wide forms (WM_NOTIFYFORMAT): the ANSI
    // ones, whose texts lose every character the code page lacks, are not taken.
    switch (header.code) {
    case TVN_SELCHANGEDW:
        OnSelectionChanged(reinterpret_cast<const NMTREEVIEWW&>(header).itemNew.hItem);
        return 0;
    case TVN_GETDISPINFOW:
        OnGetDispInfo(reinterpret_cast<NMTVDISPINFOW&>(header));
        return 0;
    case TVN_DELETEITEMW:
        OnDeleteItem(reinterpret_cast<const NMTREEVIEWW&>(header));
        return 0;
    case TVN_KEYDOWN:
        OnTreeKeyDown(reinterpret_cast<const NMTVKEYDOWN&>(header));
        return 0;
    case NM_RCLICK:
        OnTreeRightClick();
        return TRUE; // handled: the tree sends no WM_CONTEXTMENU after it
    case TVN_BEGINLABELEDITW:
        return OnBeginLabelEdit(reinterpret_cast<const NMTVDISPINFOW&>(header));
    case TVN_ENDLABELEDITW:
        return OnEndLabelEdit(reinterpret_cast<const NMTVDISPINFOW&>(header));
    case TVN_BEGINDRAGW:
        OnBeginDrag(reinterpret_cast<const NMTREEVIEWW&>(header));
        return 0;
    default:
        return 0;
    }
}

void CSettingsDlg::OnDestroy()
{
    SavePlacement();
    // Before the tree's items go: no answer is waited for any more, and folders being counted
    // are let go.
    m_lookup.Stop(kLookupStopWaitMs);
    m_pendingInfo.clear();
    m_counter.Stop(kLookupStopWaitMs);
    m_counting.clear();
    m_preview.Stop(kLookupStopWaitMs);
    m_previewPicture.reset();
    for (HICON icon : m_arrIcons)
        ::DestroyIcon(icon);
    m_arrIcons.clear();
    m_sharedIcons.clear();
}

LRESULT CSettingsDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_MOUSEMOVE:
        OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_LBUTTONUP:
        OnLButtonUp();
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            OnSize(LOWORD(lParam), HIWORD(lParam));
        return CDialog::WindowProc(msg, wParam, lParam);
    case dpi::kMsgDpiChanged: {
        // The layout at the new scale, then the size the system suggests for it; the controls
        // follow the layout again also when the size stays.
        const UINT newDpi = LOWORD(wParam) ? LOWORD(wParam) : dpi::kBase;
        const UINT oldDpi = m_nDpi;
        OnDpiChanged(newDpi);
        dpi::MoveToSuggested(m_hWnd, lParam);
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        OnSize(client.right, client.bottom);
        if (newDpi != oldDpi && m_imageList) {
            CImageListHandle earlier(m_imageList.Release());
            if (CreateImageList(newDpi, earlier.Get())) {
                TreeView_SetImageList(m_tree, m_imageList.Get(), TVSIL_NORMAL);
                ListView_SetImageList(m_listNowPlaying, m_imageList.Get(), LVSIL_SMALL);
            } else {
                m_imageList = std::move(earlier);
            }
        }
        // The controls get the dialog's font at the new scale (from the system, or the base).
        return CDialog::WindowProc(msg, wParam, lParam);
    }
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_DRAWITEM:
        if (wParam != IDC_PREVIEW)
            return CDialog::WindowProc(msg, wParam, lParam);
        OnDrawPreview(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case kPreviewReady:
        OnPreviewReady();
        return 0;
    case kFolderCountReady:
        OnFolderCountReady();
        return 0;
    case WM_TIMER:
        if (wParam == kLookupTimer) {
            OnLookupTimer();
        } else if (wParam == kPreviewSizeTimer) {
            // The pane's new size: a picture fitted to the old one is asked for again.
            ::KillTimer(m_hWnd, kPreviewSizeTimer);
            const SIZE pane = PreviewPaneSize();
            if (m_previewPicture && (pane.cx != m_previewAsked.cx || pane.cy != m_previewAsked.cy))
                UpdatePreview();
        } else
            OnTimer(wParam);
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a pop-up, a click elsewhere): the drag is over.
        if (m_bDragging && reinterpret_cast<HWND>(lParam) != m_hWnd)
            CancelDrag();
        return CDialog::WindowProc(msg, wParam, lParam);
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != m_tree)
            return CDialog::WindowProc(msg, wParam, lParam);
        OnTreeContextMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case kPictureInfoReady:
        OnPictureInfoReady();
        return 0;
    case WM_DESTROY: {
        if (m_bDragging)
            CancelDrag();
        const LRESULT result = CDialog::WindowProc(msg, wParam, lParam);
        OnDestroy();
        return result;
    }
    default:
        return CDialog::WindowProc(msg, wParam, lParam);
    }
}
