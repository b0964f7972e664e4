// The About box: title, version and build stamp, the logo picture, and links to the maker's
// and the owner's (Custom settings) web page and e-mail address. Modal, changes nothing.
#pragma once
#include "dialogs/StaticLink.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "image/PictureImage.h"

#include <string>

// Where a w x h logo is drawn in the area: scaled by the smaller of the two ratios (area
// width / w, area height / h), so that it fills the area along one side and lies inside it
// along the other, keeping its proportions, centred. Empty at the area's top-left corner
// when the picture has no pixels.
RECT FitLogo(const RECT& area, int w, int h);

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    CWindow m_frameLogo; // hidden frame 1016: its rectangle is the logo area
    std::string m_strHeading;
    std::string m_strBuild;
    std::string m_strVersion;
    CFontHandle m_fontHeading;
    // The scale the heading's font was made for.
    UINT m_nDpi = 96;
    CPictureImage m_logo;
    bool m_bLogo = false;
    CStaticLink m_linkWeb;
    CStaticLink m_linkBadge;
    CStaticLink m_linkSupport;
    CStaticLink m_linkCustomWeb;
    CStaticLink m_linkCustomMail;

protected:
    BOOL OnInitDialog() override;
    bool DoDataExchange(CDataExchange& dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // "logo.bmp" of the installation directory if that file exists, else bitmap 137; pure
    // blue (the key colour) takes the menu colour. False when no picture could be read.
    bool LoadLogo();
    void OnPaint();
    // The heading's own font for a scale (the template's text gets the system's).
    void MakeHeadingFont(UINT dpi);
    void OnDpiChanged(UINT dpi);
    LRESULT OnQueryNewPalette();
    void OnDestroy();
    void OnNcDestroy();
};
