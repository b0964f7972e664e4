// The Settings dialog: the editor of the picture library and the door to the options.
//
// While the dialog is open the whole library lives in its tree: the root "Play Lists", the
// playlists below it and their pictures below them, each item owning its record (the item's
// data; the root has none). Nothing is written while the dialog is open: OK writes the library
// file and then the settings, Cancel writes nothing.
//
// The dialog's messages are dispatched in SettingsDlg.cpp; the tree's filling, looks and saving
// are in LibraryTree.cpp, the editing commands in LibraryEditing.cpp, moving pictures by drag
// and drop in DragDrop.cpp, the layout as the dialog is resized and its remembered place in
// SettingsLayout.cpp, the preview pane and the folders' counts in SettingsPreview.cpp.
//
// A picture record may stand for a folder ("C:\Pictures\*", with sub-folders "C:\Pictures\**"):
// the tree shows the folder's name and how many pictures it holds, counted off this thread.
#pragma once
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "settings/FolderCount.h"
#include "settings/LabelEdit.h"
#include "settings/PictureLookup.h"
#include "settings/PicturePreview.h"
#include "settings/SaveFailedQuestion.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "library/Library.h"
#include "library/Settings.h"

class CWallpaperObject;

class CSettingsDlg : public CDialog {
public:
    // The dialog edits a copy of the settings it is given (by default the process's); after
    // IDOK the opener applies m_settings. The owner may be null: a window of its own.
    explicit CSettingsDlg(HWND owner = nullptr);
    CSettingsDlg(HWND owner, const CChangerSettings& settings);
    ~CSettingsDlg() override;

    // The edited copy of the settings (the Options dialog changes it).
    CChangerSettings m_settings;
    // OK wrote the picture library (false when it ended without the playlist changes).
    bool m_bLibrarySaved = false;

    // The tree's selected item becomes the Now Playing item; the list shows its image and
    // label, or nothing when no item is selected.
    void SetNowPlaying();

    // The library file as it is read when the dialog opens and written at OK.
    void LoadPictureLibrary();
    // Writes the tree to the library file; false when no place took it (the old file stays).
    bool SavePictureLibrary();
    // A playlist in its sorted place under the root; the item owns the record from here on
    // (on failure the record is deleted). Null on failure.
    HTREEITEM InsertPlaylistItem(CWallpaperObject* record);
    // A picture under a playlist: appended as its last child, or in sorted place. The item
    // owns the record from here on (on failure the record is deleted). Null on failure.
    HTREEITEM InsertPictureItem(HTREEITEM parent, CWallpaperObject* record, bool sorted);

    // The record an item owns, or null (the root, or no item).
    CWallpaperObject* RecordOf(HTREEITEM item) const;
    // The record of the item under the last right click, or null.
    CWallpaperObject* GetContextRecord() const { return RecordOf(m_hContextItem); }

    // One step of the drag's autoscroll at a point on the screen: near the tree's top or bottom
    // edge, with the cursor nearly still, the drop highlight moves one visible item on.
    void AutoScrollDrag(POINT screen);

    // Waits until the shown pictures' look-ups are answered, at most timeoutMs, and shows the
    // answers; true when none is outstanding.
    bool WaitForPictureInfo(DWORD timeoutMs);

    // Replaceable for tests: the system's file-open dialog and its error, the context menu's
    // tracking (the command goes to the owner, as TrackPopupMenu sends it), opening a file with
    // the shell's "open" verb (path in UTF-8), and the dialog's message boxes (text in UTF-8,
    // caption "Murlavo").
    static BOOL(WINAPI* s_pfnGetOpenFileName)(OPENFILENAMEW* ofn);
    static DWORD(WINAPI* s_pfnCommDlgExtendedError)();
    static BOOL (*s_pfnTrackPopupMenu)(HMENU menu, UINT flags, int x, int y, HWND owner);
    static void (*s_pfnOpenFile)(HWND owner, const char* path);
    static int (*s_pfnMessageBox)(HWND owner, const char* text, UINT type);
    // Replaceable for tests: the system's folder picker with its "Include sub-folders" box;
    // false when cancelled. The folder comes back in UTF-8.
    static bool (*s_pfnPickFolder)(HWND owner, std::string& folder, bool& withSubFolders);

    // Where the dialog's place on the screen is remembered in the user's profile.
    static constexpr const char* kPlacementSection = "Settings";
    static constexpr const char* kPlacementEntry = "Placement";

    // Why an item's picture cannot be shown (the file is missing, ...), once its look-up has
    // answered; empty when it can, or for a playlist.
    std::string ReasonOf(HTREEITEM item) const;
    // What the Location dialog says under an item's path: the reason it cannot be shown, and
    // for a folder whether its sub-folders are included.
    std::string LocationNote(HTREEITEM item) const;
    // What the preview pane says instead of a picture (empty while it shows one), in UTF-8.
    std::string PreviewMessage() const;
    // The pictures of the preview and the folders' counts still being worked on.
    bool PreviewPending() const { return m_nPreviewShown != m_nPreviewId; }
    bool CountsPending() const { return !m_counting.empty(); }

    // Images of the tree's image list (bitmap 132).
    enum { kClosedFolder = 0, kOpenFolder = 1, kPicturePage = 2, kMissingFile = 3 };

    HWND m_listNowPlaying = nullptr;
    HWND m_tree = nullptr;
    // Shared by the tree (normal images) and the list (small images); neither control destroys it.
    CImageListHandle m_imageList;
    // One icon per distinct shell icon appended to the image list, kept until the dialog goes.
    std::vector<HICON> m_arrIcons;
    bool m_bDragging = false;
    HTREEITEM m_hDragItem = nullptr;
    HTREEITEM m_hRootItem = nullptr;
    HTREEITEM m_hNowPlaying = nullptr;
    HTREEITEM m_hContextItem = nullptr;
    // Attached to the tree's edit box while a playlist's name is edited.
    std::unique_ptr<CLabelEdit> m_pLabelEdit;
    // The library file as the dialog read it: OK writes the same file, keeping a copy of it
    // first when it was not read to its end or has changed since, and never replaces a file
    // that could not be read.
    LibraryReadState m_libraryRead;
    // The library was changed since the dialog opened (an item added, deleted, moved or renamed,
    // Now Playing set, a picture's options); changed options are told by m_settings.
    bool m_bModified = false;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The worker's answers are waiting (CPictureLookup).
    static constexpr UINT kPictureInfoReady = WM_APP + 0x10;
    // The preview's picture is ready (CPicturePreview); folders' counts have news (CFolderCounter).
    static constexpr UINT kPreviewReady = WM_APP + 0x11;
    static constexpr UINT kFolderCountReady = WM_APP + 0x12;
    // The pane's picture is asked for again at its new size once resizing pauses.
    static constexpr UINT_PTR kPreviewSizeTimer = 3;
    // Hands the look-ups noted while painting to the worker: a timer's message comes after the
    // paints that are due, so the worker is woken once for all of them, and not while the
    // dialog is first painted. (Timer 1 is the drag's autoscroll.)
    static constexpr UINT_PTR kLookupTimer = 2;

    LRESULT OnNotify(NMHDR& header);
    void OnSelectionChanged(HTREEITEM selected);
    void OnSetNowPlaying();
    void OnOptions();
    void OnAbout();
    void OnDestroy();
    // Edits that Cancel would lose: the library's, or options other than those at the opening.
    bool HasEdits() const;
    // The tree holds at least one picture.
    bool HasPictures() const;
    // A message box of the dialog; the button chosen.
    int Ask(const std::string& text, UINT type) const;
    // The library file's name and the system's reason it could not be read.
    std::string UnreadableLibraryText() const;

    // The system has the shell's file services (icons, display names; the application's
    // m_bNewShell); true without an application object.
    static bool NewShell();

    // Library tree (LibraryTree.cpp).
    // An item's label, however long; empty for no item.
    std::wstring ItemText(HTREEITEM item) const;
    // Items are inserted and changed in their wide form: labels are names in any script.
    HTREEITEM InsertItem(TVINSERTSTRUCTW& insert) const;
    bool GetItem(TVITEMW& item) const;
    bool SetItem(TVITEMW& item) const;
    // The tree's images at the small-icon size of this scale; the shell's icons of an
    // earlier list, if given, are carried over at the same places.
    bool CreateImageList(UINT dpi, HIMAGELIST earlier = nullptr);
    int FolderImage(HTREEITEM item) const;
    void OnGetDispInfo(NMTVDISPINFOW& info);
    void OnDeleteItem(const NMTREEVIEWW& info);
    // The label a picture shows until the look-up answers: its file's name.
    static std::string ProvisionalLabel(const std::string& path);
    // A picture item shown for the first time: it takes its provisional label and the neutral
    // picture, and its look-up is queued.
    void ShowPictureItem(NMTVDISPINFOW& info, const CWallpaperObject& record);
    void RequestPictureInfo(HTREEITEM item, const CWallpaperObject& record);
    void OnLookupTimer();
    // The look-ups' answers: each item still there takes its label and image.
    void OnPictureInfoReady();
    void ApplyPictureInfo(CPictureLookup::Result& result);
    // The Now Playing list's row shows the Now Playing item's label and image.
    void ShowNowPlayingRow();

    // Layout and placement (SettingsLayout.cpp).
    // Notes each control's place at the template's size: how it moves as the dialog grows.
    void InitLayout();
    void OnSize(int cx, int cy);
    void OnGetMinMaxInfo(MINMAXINFO& info) const;
    void OnDpiChanged(UINT dpi);
    // The place remembered from the last time, brought onto a monitor's work area when the
    // monitor it was on is gone; false when none was remembered.
    bool RestorePlacement();
    void SavePlacement() const;

    // Preview pane and folder counts (SettingsPreview.cpp).
    // Asks for the selected item's picture (a folder's: its first picture), or clears the pane.
    void UpdatePreview();
    void ShowPreviewMessage(const std::string& message);
    void OnPreviewReady();
    void OnDrawPreview(const DRAWITEMSTRUCT& draw);
    SIZE PreviewPaneSize() const;
    // A folder item shown for the first time: its count starts.
    void StartFolderCount(HTREEITEM item, const CWallpaperObject& record);
    void OnFolderCountReady();
    // "Holidays (counting… 12,000)", "Holidays (1,234 pictures)".
    std::wstring FolderLabel(const CWallpaperObject& record) const;
    void ShowFolderLabel(HTREEITEM item, const CWallpaperObject& record);

    // Library editing (LibraryEditing.cpp).
    void OnAddPlaylist();
    void OnAddPictures();
    void OnAddFolder();
    // The context menu of the item under the pointer (a right click).
    void OnTreeRightClick();
    // The context menu asked for from the keyboard (Shift+F10, the Menu key): one per key press.
    void OnTreeContextMenu(POINT screen);
    void OnKeyboardContextMenu();
    // The item's pop-up at a point on the screen; no menu for the root or no item.
    void ShowContextMenu(HTREEITEM item, POINT screen, UINT flags);
    void OnContextCommand(int id);
    void OnTreeKeyDown(const NMTVKEYDOWN& key);
    // TRUE refuses the edit.
    LRESULT OnBeginLabelEdit(const NMTVDISPINFOW& info);
    // TRUE keeps the edited text as the label.
    LRESULT OnEndLabelEdit(const NMTVDISPINFOW& info);

    // Drag and drop (DragDrop.cpp).
    void OnBeginDrag(const NMTREEVIEWW& info);
    void OnMouseMove(POINT client);
    void OnLButtonUp();
    void OnTimer(UINT_PTR id);
    // Ends a drag that did not end with the button's release (Escape, the capture lost, the
    // dialog closing): nothing moves.
    void CancelDrag();
    // Undoes what the start of a drag did to the screen and the mouse: the drag image goes,
    // the cursor shows again and the capture is released (if the dialog still holds it).
    void EndDragFeedback();
    // Moves the dragged picture to the drop target; the old item goes only once the new one
    // is in place, so a failed insertion moves nothing.
    void MoveDraggedPicture(HTREEITEM target);
    // A point on the screen relative to the tree window's top-left corner (the drag image's
    // coordinates).
    POINT TreeWindowPoint(POINT screen) const;
    // The tree without a drop target.
    void ClearDropHighlight();

    // The tree's image of the dragged item, for the length of the drag.
    CImageListHandle m_dragImage;

    // Image-list index of each system icon index met so far: pictures of one file type share
    // one image and one icon handle.
    std::map<int, int> m_sharedIcons;

    // The shown pictures' look-ups (existence, icon, name), off this thread.
    CPictureLookup m_lookup;
    // The outstanding look-ups by number, each with the item that waits for it (a deleted item's
    // entry goes, so its answer is dropped; a moved picture's goes to its new item).
    std::map<uint64_t, HTREEITEM> m_pendingInfo;
    uint64_t m_nLastLookup = 0;
    // The options as the dialog opened.
    CChangerSettings m_settingsOpened;
    // A menu key's context menu was shown and the same press may still ask again (the tree
    // reports the Menu key both as a key and as WM_CONTEXTMENU): cleared by the next key.
    bool m_bKeyMenuShown = false;

    // Why each picture that cannot be shown cannot, by record (records move with their items).
    std::map<const CWallpaperObject*, std::string> m_reasons;

    // How each control follows the dialog's size: its place at the template's size and which of
    // its edges move with the width and the height (0 stays, 1 half the growth, 2 all of it).
    struct Anchor {
        HWND control;
        RECT opened;
        int left, top, right, bottom;
    };
    std::vector<Anchor> m_layout;
    SIZE m_clientOpened {};
    SIZE m_minTrack {};
    UINT m_nDpi = 0; // the DPI those places are in

    // The preview: the newest request's number, the one shown, its picture, the pane's message.
    CPicturePreview m_preview;
    uint64_t m_nPreviewId = 0;
    uint64_t m_nPreviewShown = 0;
    std::shared_ptr<CPictureImage> m_previewPicture;
    std::wstring m_previewMessage;
    SIZE m_previewAsked {};

    // The folders' counts, by record, and the outstanding ones by number.
    struct FolderState {
        HTREEITEM item = nullptr;
        CFolderCounter::Count count;
        bool counting = false;
    };
    CFolderCounter m_counter;
    std::map<const CWallpaperObject*, FolderState> m_folders;
    std::map<uint64_t, const CWallpaperObject*> m_counting;
    uint64_t m_nLastCount = 0;
};
