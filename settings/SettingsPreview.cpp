// The Settings dialog's preview pane (the selected picture fitted to the pane, its size in
// pixels and bytes) and the folders of pictures in its tree (each one's name and count).
// Both are worked on off the dialog's thread; their answers arrive as posted messages.
#include "settings/SettingsDlg.h"

#include "framework/WideText.h"
#include "library/FolderRecord.h"
#include "library/WallpaperObject.h"
#include "resource.h"

#include <algorithm>
#include <exception>
#include <new>

namespace {

// "1234567" in the user's own digit grouping ("1,234,567"), without decimals.
std::wstring GroupedNumber(size_t value)
{
    const std::wstring digits = std::to_wstring(value);
    wchar_t decimal[8] = L".";
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, ARRAYSIZE(decimal));
    wchar_t grouped[64] = L"";
    if (::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits.c_str(), nullptr, grouped, ARRAYSIZE(grouped)) <= 0)
        return digits;
    std::wstring text = grouped;
    const size_t point = decimal[0] ? text.find(decimal) : std::wstring::npos;
    if (point != std::wstring::npos)
        text.erase(point);
    return text;
}

// The name a folder is shown by: its last part ("Holidays"), or the whole path for a drive.
std::string FolderName(const std::string& folder)
{
    const std::string name = CPictureLookup::FileNameOf(folder);
    return name.empty() ? folder : name;
}

} // namespace

SIZE CSettingsDlg::PreviewPaneSize() const
{
    RECT pane {};
    ::GetClientRect(GetDlgItem(IDC_PREVIEW), &pane);
    // Inside the sunken edge, with a pixel's margin.
    return {std::max<LONG>(pane.right - 4, 1), std::max<LONG>(pane.bottom - 4, 1)};
}

std::string CSettingsDlg::PreviewMessage() const
{
    return m_previewPicture ? std::string() : Utf8(m_previewMessage);
}

void CSettingsDlg::ShowPreviewMessage(const std::string& message)
{
    m_previewPicture.reset();
    m_previewMessage = Wide(message);
    ::SetDlgItemTextW(m_hWnd, IDC_PREVIEW_INFO, L"");
    ::InvalidateRect(GetDlgItem(IDC_PREVIEW), nullptr, TRUE);
}

void CSettingsDlg::UpdatePreview()
{
    HTREEITEM selected = TreeView_GetSelection(m_tree);
    const CWallpaperObject* record = RecordOf(selected);
    // Whatever was asked before is not shown any more.
    m_nPreviewShown = ++m_nPreviewId;
    if (!record || !record->m_bPicture) {
        ShowPreviewMessage("");
        return;
    }
    // Asking the tree for the item's image starts the look-up (and a folder's count) of an
    // item not shown yet.
    TVITEMW shown {};
    shown.mask = TVIF_IMAGE;
    shown.hItem = selected;
    GetItem(shown);
    std::string path = record->m_strPath;
    if (FolderScopeOf(path) != FolderScope::none) {
        const std::string reason = ReasonOf(selected);
        if (!reason.empty()) {
            ShowPreviewMessage(reason);
            return;
        }
        // The end of the count asks for the preview again.
        const auto folder = m_folders.find(record);
        if (folder == m_folders.end() || !folder->second.count.done) {
            ShowPreviewMessage("Counting the pictures\u2026");
            m_nPreviewShown = 0;
            return;
        }
        if (folder->second.count.first.empty()) {
            ShowPreviewMessage(folder->second.count.available ? "No pictures in this folder." : ReasonOf(selected));
            return;
        }
        path = folder->second.count.first;
    } else {
        // The file is opened only once its look-up has told that it is there and stored here:
        // the answer asks for the preview again.
        for (const auto& pending : m_pendingInfo)
            if (pending.second == selected) {
                ShowPreviewMessage("Loading\u2026");
                m_nPreviewShown = 0;
                return;
            }
        // The look-up has told why the picture cannot be shown: nothing to open.
        const std::string reason = ReasonOf(selected);
        if (!reason.empty()) {
            ShowPreviewMessage(reason);
            return;
        }
    }
    const SIZE pane = PreviewPaneSize();
    m_previewAsked = pane;
    if (!m_preview.Request(m_nPreviewId, path, pane.cx, pane.cy)) {
        ShowPreviewMessage("Not enough memory for a preview.");
        return;
    }
    // The old picture stays until the new one is ready, unless it takes a while.
    m_nPreviewShown = 0;
    m_previewMessage = L"Loading\u2026";
    m_previewPicture.reset();
    ::SetDlgItemTextW(m_hWnd, IDC_PREVIEW_INFO, L"");
    ::InvalidateRect(GetDlgItem(IDC_PREVIEW), nullptr, TRUE);
}

void CSettingsDlg::OnPreviewReady()
{
    CPicturePreview::Result result;
    if (!m_preview.Take(result) || result.id != m_nPreviewId)
        return; // an older request's answer
    m_nPreviewShown = result.id;
    m_previewPicture = std::move(result.picture);
    m_previewMessage = m_previewPicture ? std::wstring() : Wide(result.reason);
    ::SetDlgItemTextW(m_hWnd, IDC_PREVIEW_INFO,
        m_previewPicture ? CPicturePreview::SizeText(result.width, result.height, result.fileBytes).c_str() : L"");
    ::InvalidateRect(GetDlgItem(IDC_PREVIEW), nullptr, TRUE);
}

void CSettingsDlg::OnDrawPreview(const DRAWITEMSTRUCT& draw)
{
    const RECT& pane = draw.rcItem;
    ::FillRect(draw.hDC, &pane, ::GetSysColorBrush(COLOR_APPWORKSPACE));
    const CPictureImage* picture = m_previewPicture.get();
    if (picture && picture->m_pBits && picture->m_nWidth > 0 && picture->m_nHeight > 0) {
        // Fitted to the pane when it was asked for; shrunk further if the pane has shrunk since.
        const int paneW = pane.right - pane.left, paneH = pane.bottom - pane.top;
        int w = picture->m_nWidth, h = picture->m_nHeight;
        if (w > paneW || h > paneH) {
            const SIZE fitted = picture->FitAspect(paneW, paneH);
            w = std::max<LONG>(fitted.cx, 1);
            h = std::max<LONG>(fitted.cy, 1);
        }
        const int x = pane.left + (paneW - w) / 2, y = pane.top + (paneH - h) / 2;
        BITMAPINFO info {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = picture->m_nWidth;
        info.bmiHeader.biHeight = picture->m_nHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        ::SetStretchBltMode(draw.hDC, HALFTONE);
        ::SetBrushOrgEx(draw.hDC, 0, 0, nullptr);
        ::StretchDIBits(draw.hDC, x, y, w, h, 0, 0, picture->m_nWidth, picture->m_nHeight, picture->m_pBits, &info,
            DIB_RGB_COLORS, SRCCOPY);
        return;
    }
    if (m_previewMessage.empty())
        return;
    RECT text = pane;
    ::InflateRect(&text, -6, -6);
    ::SetBkMode(draw.hDC, TRANSPARENT);
    ::SetTextColor(draw.hDC, ::GetSysColor(COLOR_WINDOW));
    CSelectObject font(draw.hDC, reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)));
    RECT measure = text;
    ::DrawTextW(draw.hDC, m_previewMessage.c_str(), -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    ::OffsetRect(&text, 0, std::max<LONG>(0, ((text.bottom - text.top) - (measure.bottom - measure.top)) / 2));
    ::DrawTextW(draw.hDC, m_previewMessage.c_str(), -1, &text, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void CSettingsDlg::StartFolderCount(HTREEITEM item, const CWallpaperObject& record)
{
    try {
        FolderState& state = m_folders[&record];
        state.item = item;
        if (state.counting || state.count.done)
            return;
        const uint64_t id = ++m_nLastCount;
        m_counting[id] = &record;
        if (!m_counter.Request(id, FolderOfRecord(record.m_strPath),
                FolderScopeOf(record.m_strPath) == FolderScope::withSubFolders)) {
            m_counting.erase(id);
            return;
        }
        state.counting = true;
        state.count.id = id;
    } catch (const std::bad_alloc&) {
        // The folder shows its name without a count.
        return;
    }
    ShowFolderLabel(item, record);
}

std::wstring CSettingsDlg::FolderLabel(const CWallpaperObject& record) const
{
    const std::wstring name = Wide(FolderName(FolderOfRecord(record.m_strPath)));
    const auto found = m_folders.find(&record);
    if (found == m_folders.end() || (!found->second.counting && !found->second.count.done))
        return name;
    const CFolderCounter::Count& count = found->second.count;
    if (!count.done)
        return name + L" (counting\u2026" + (count.pictures ? L" " + GroupedNumber(count.pictures) : L"") + L")";
    if (!count.available)
        return Wide(FolderOfRecord(record.m_strPath)); // shown as a missing picture: its full path
    if (count.pictures == 0)
        return name + L" (no pictures)";
    return name + L" (" + (count.truncated ? L"more than " : L"") + GroupedNumber(count.pictures)
        + (count.pictures == 1 ? L" picture)" : L" pictures)");
}

void CSettingsDlg::ShowFolderLabel(HTREEITEM item, const CWallpaperObject& record)
{
    std::wstring label = FolderLabel(record);
    TVITEMW shown {};
    shown.mask = TVIF_TEXT;
    shown.hItem = item;
    shown.pszText = &label[0];
    SetItem(shown);
    if (item == m_hNowPlaying)
        ShowNowPlayingRow();
}

void CSettingsDlg::OnFolderCountReady()
{
    for (CFolderCounter::Count& count : m_counter.Take()) {
        const auto counting = m_counting.find(count.id);
        if (counting == m_counting.end())
            continue; // its item was deleted
        const CWallpaperObject* record = counting->second;
        const auto folder = m_folders.find(record);
        if (folder == m_folders.end())
            continue;
        FolderState& state = folder->second;
        const bool done = count.done;
        state.count = std::move(count);
        if (done) {
            state.counting = false;
            m_counting.erase(counting);
        }
        ShowFolderLabel(state.item, *record);
        // A selected folder's preview waits for its first picture.
        if (done && state.item == TreeView_GetSelection(m_tree))
            UpdatePreview();
    }
}

std::string CSettingsDlg::ReasonOf(HTREEITEM item) const
{
    const CWallpaperObject* record = RecordOf(item);
    if (!record)
        return std::string();
    const auto reason = m_reasons.find(record);
    if (reason != m_reasons.end())
        return reason->second;
    const auto folder = m_folders.find(record);
    if (folder != m_folders.end() && folder->second.count.done && !folder->second.count.available)
        return "The folder cannot be read: " + folder->second.count.reason;
    return std::string();
}

std::string CSettingsDlg::LocationNote(HTREEITEM item) const
{
    const CWallpaperObject* record = RecordOf(item);
    if (!record || !record->m_bPicture)
        return std::string();
    const std::string reason = ReasonOf(item);
    switch (FolderScopeOf(record->m_strPath)) {
    case FolderScope::thisFolder:
        return "Folder of pictures, without its sub-folders." + (reason.empty() ? "" : " " + reason);
    case FolderScope::withSubFolders:
        return "Folder of pictures, with its sub-folders." + (reason.empty() ? "" : " " + reason);
    default:
        return reason;
    }
}
