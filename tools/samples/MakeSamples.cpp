// The demo's helper under Wine (used by `make run`):
//   murlavo_samples make <folder>      sample pictures (bitmap, JPEG, a phone photo stored on
//                                      its side, a PNG with transparency, TGA) and a library
//                                      whose Now Playing playlist holds them, beside two others
//   murlavo_samples post <title> <message> <wParam> <lParam>
//                                      posts a message to the top-level window with that title
//   murlavo_samples preview <seconds>  a stand-in display-settings window with the preview: the
//                                      preview window class itself, in this process, because
//                                      Wine 8 draws no child window of another process (the
//                                      real "murlavo.exe /p <window>" role is tested end to end)
//   murlavo_samples expand <title>     opens every folder of the tree in the dialog with that title
//   murlavo_samples refresh            redraws every window (Wine's virtual desktop does not
//                                      redraw its taskbar over a new wallpaper)
#include "dialogs/AboutDlg.h"
#include "dialogs/AddPlaylistDlg.h"
#include "dialogs/LocationDlg.h"
#include "dialogs/OptionsDlg.h"
#include "framework/Application.h"
#include "framework/WideText.h"
#include "image/JpegFile.h"
#include "image/Orientation.h"
#include "image/PictureImage.h"
#include "library/FolderRecord.h"
#include "library/Library.h"
#include "library/LibraryFile.h"
#include "library/Settings.h"
#include "show/ShowWnd.h"
#include "tools/TgaWriter.h"

#include <windows.h>
#include <commctrl.h>

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Shader = std::function<void(double u, double v, unsigned char bgr[3])>;

// Fills a picture from a shader of the unit square (v = 0 at the top).
bool Paint(CPictureImage& picture, int w, int h, const Shader& shader)
{
    if (!picture.Create(w, h))
        return false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            shader(double(x) / w, 1.0 - double(y) / h, picture.m_pBits + y * picture.m_nStride + 3 * x);
    return true;
}

unsigned char Mix(double a, double b, double t)
{
    double v = a + (b - a) * std::fmin(1.0, std::fmax(0.0, t));
    return static_cast<unsigned char>(v);
}

void Set(unsigned char bgr[3], double r, double g, double b)
{
    bgr[0] = static_cast<unsigned char>(std::fmin(255, std::fmax(0, b)));
    bgr[1] = static_cast<unsigned char>(std::fmin(255, std::fmax(0, g)));
    bgr[2] = static_cast<unsigned char>(std::fmin(255, std::fmax(0, r)));
}

void Sunset(double u, double v, unsigned char bgr[3])
{
    const double horizon = 0.62;
    if (v < horizon) {
        double t = v / horizon;
        Set(bgr, Mix(70, 255, t), Mix(40, 140, t), Mix(120, 60, t));
        double d = std::hypot(u - 0.5, (v - 0.5) * 0.8);
        if (d < 0.09)
            Set(bgr, 255, 225, 120);
    } else {
        double t = (v - horizon) / (1 - horizon);
        double shimmer = std::fabs(u - 0.5) < 0.06 * (1 - t) + 0.01 && std::sin(v * 300) > 0 ? 80 : 0;
        Set(bgr, Mix(120, 20, t) + shimmer, Mix(70, 30, t) + shimmer * 0.7, Mix(110, 70, t));
    }
}

void Hills(double u, double v, unsigned char bgr[3])
{
    Set(bgr, Mix(120, 200, v * 2), Mix(170, 225, v * 2), 245);
    double farHill = 0.55 + 0.08 * std::sin(u * 7.0 + 1.0);
    double nearHill = 0.72 + 0.06 * std::sin(u * 11.0 + 4.0);
    if (v > farHill)
        Set(bgr, 80, 140 + 30 * std::sin(u * 40), 80);
    if (v > nearHill)
        Set(bgr, 40, 105 + 20 * std::sin(u * 90 + v * 30), 40);
    if (std::hypot(u - 0.8, v - 0.2) < 0.05)
        Set(bgr, 255, 250, 200);
}

void Tiles(double u, double v, unsigned char bgr[3])
{
    bool a = (u < 0.5) != (v < 0.5);
    double ring = std::hypot(std::fmod(u, 0.5) - 0.25, std::fmod(v, 0.5) - 0.25);
    if (ring < 0.17 && ring > 0.11)
        Set(bgr, 230, 190, 60);
    else if (a)
        Set(bgr, 40, 70, 140);
    else
        Set(bgr, 25, 45, 95);
}

void Aurora(double u, double v, unsigned char bgr[3])
{
    double band = std::exp(-std::pow((v - 0.35 - 0.1 * std::sin(u * 9)) * 8, 2));
    double stars = (std::fmod(u * 7919 + v * 104729, 1.0) > 0.997) ? 200 : 0;
    Set(bgr, 10 + 40 * band + stars, 20 + 200 * band + stars, 40 + 120 * band + stars);
    if (v > 0.85)
        Set(bgr, 15, 20, 30);
}

// A phone's portrait photo as phones store it: the picture lying on its side, with an EXIF
// orientation (6: turn it clockwise to show) that the program applies.
bool WritePhonePhoto(const std::string& path, int width, int height, const Shader& shader)
{
    CPictureImage upright;
    CMemoryPicture lying;
    // Orientation 8 turns counter-clockwise: undoes what 6 will do.
    if (!Paint(upright, width, height, shader) || !OrientPixels(upright.Pixels(), 8, lying) ||
        !SaveJpegFile(path.c_str(), lying.Pixels()))
        return false;
    // The JPEG with an APP1 segment after its start: "Exif", a TIFF header and one directory
    // holding the orientation.
    std::string jpeg;
    {
        FILE* file = _wfopen(Wide(path).c_str(), L"rb");
        if (!file)
            return false;
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            jpeg.append(buffer, n);
        std::fclose(file);
    }
    const std::string exif("\xFF\xE1\0\x22" "Exif\0\0" "II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 36);
    jpeg.insert(2, exif);
    FILE* file = _wfopen(Wide(path).c_str(), L"wb");
    if (!file)
        return false;
    const bool written = std::fwrite(jpeg.data(), 1, jpeg.size(), file) == jpeg.size();
    return std::fclose(file) == 0 && written;
}

void PutBig32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(value >> shift);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBig32(out, uint32_t(data.size()));
    const std::string typed = type + data;
    out += typed;
    PutBig32(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
}

// A badge with soft edges on a transparent ground, as an RGBA PNG: the desktop's colour shows
// around it as wallpaper, the show's background in the slide show.
bool WriteBadgePng(const std::string& path, int size)
{
    std::string raw;
    for (int y = 0; y < size; ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size - 0.5, v = (y + 0.5) / size - 0.5;
            const double r = std::hypot(u, v);
            const double edge = std::fmin(1.0, std::fmax(0.0, (0.45 - r) * size / 3)); // soft rim
            const bool star = std::fabs(std::sin(std::atan2(v, u) * 5)) * 0.18 + 0.12 > r;
            raw += char(star ? 255 : 40 + int(150 * (0.5 - v)));
            raw += char(star ? 210 : 90 + int(100 * (0.5 + u)));
            raw += char(star ? 60 : 200);
            raw += char(int(255 * edge));
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  uLong(raw.size()), 9) != Z_OK)
        return false;
    packed.resize(packedSize);
    std::string header;
    PutBig32(header, uint32_t(size));
    PutBig32(header, uint32_t(size));
    header += std::string("\x08\x06\0\0\0", 5); // 8 bits, RGBA
    std::string png("\x89PNG\r\n\x1A\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", "");
    FILE* file = _wfopen(Wide(path).c_str(), L"wb");
    if (!file)
        return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

struct Sample {
    const char* file;
    int width, height;
    Shader shader;
    const char* tile;
};

int Make(const std::string& folder)
{
    ::CreateDirectoryW(Wide(folder).c_str(), nullptr);
    // One picture in a folder and under a name that no ANSI code page of the West holds.
    const char kUnicodeFolder[] = "\xE5\x86\x99\xE7\x9C\x9F \xF0\x9F\x8C\x85"; // 写真 🌅
    ::CreateDirectoryW(Wide(folder + "\\" + kUnicodeFolder).c_str(), nullptr);
    // "Łódź, закат.jpg": Polish and Cyrillic, which Wine's own dialog font draws (it has no
    // Japanese), so the demo's tree shows the name as it is.
    const std::string dusk = std::string(kUnicodeFolder) +
                             "\\\xC5\x81\xC3\xB3\x64\xC5\xBA, \xD0\xB7\xD0\xB0\xD0\xBA\xD0\xB0\xD1\x82.jpg";
    const std::vector<Sample> samples {
        {"Sunset.bmp", 1024, 768, Sunset, "0"},
        {"Phone photo.jpg", 480, 640, Hills, "0"},
        {"Badge.png", 360, 360, nullptr, "0"},
        {dusk.c_str(), 960, 600, Sunset, "0"},
        {"Hills.jpg", 800, 560, Hills, "0"},
        {"Tiles.tga", 96, 96, Tiles, "1"},
        {"Aurora.tga", 900, 640, Aurora, "0"},
    };
    CWallpaperObject playlist("Samples", 0);
    std::vector<CWallpaperObject> pictures;
    for (const Sample& sample : samples) {
        std::string path = folder + "\\" + sample.file;
        CPictureImage picture;
        bool ok;
        if (std::strstr(sample.file, "Phone"))
            ok = WritePhonePhoto(path, sample.width, sample.height, sample.shader);
        else if (std::strstr(sample.file, ".png"))
            ok = WriteBadgePng(path, sample.width);
        else if (!Paint(picture, sample.width, sample.height, sample.shader))
            ok = false;
        else if (std::strstr(sample.file, ".tga"))
            ok = WriteTgaFile(path.c_str(), PixelImage {picture.m_pBits, picture.m_nWidth, picture.m_nHeight, picture.m_nStride});
        else
            ok = picture.SaveFile(path.c_str()) != FALSE;
        std::printf("%s %s\n", ok ? "wrote" : "could not write", path.c_str()); // UTF-8
        CWallpaperObject record(path, 1);
        record.m_strTile = sample.tile;
        pictures.push_back(record);
    }
    // Two more playlists for the Settings dialog to show: one that reuses two of the pictures,
    // and one still empty.
    CWallpaperObject holidays("Holidays", 0), winter("Winter \xE2\x9D\x84", 0); // Winter ❄
    // ... and the samples' own folder with its sub-folders, as "Add Folder..." puts it.
    std::vector<CWallpaperObject> holidayPictures {pictures[4], pictures[0],
        CWallpaperObject(FolderRecordPath(folder, true), 1)};
    std::vector<CLibraryEntry> entries {{&holidays, false}};
    for (auto& picture : holidayPictures)
        entries.push_back({&picture, false});
    entries.push_back({&playlist, true});
    for (auto& picture : pictures)
        entries.push_back({&picture, false});
    entries.push_back({&winter, false});
    // Where the program saves and reads it: the Windows directory, or the user's own library.
    std::string savedTo;
    if (!SavePictureLibraryFile(entries, 1, true, &savedTo)) {
        std::printf("could not write the library\n");
        return 1;
    }
    std::printf("wrote the library %s\n", savedTo.c_str());
    return 0;
}

int Post(const char* title, const char* message, const char* wParam, const char* lParam)
{
    HWND hwnd = ::FindWindowA(nullptr, title);
    if (!hwnd) {
        std::printf("no window \"%s\"\n", title);
        return 1;
    }
    ::PostMessageA(hwnd, static_cast<UINT>(std::strtoul(message, nullptr, 0)),
                   static_cast<WPARAM>(std::strtoul(wParam, nullptr, 0)), static_cast<LPARAM>(std::strtol(lParam, nullptr, 0)));
    return 0;
}

// A window that looks like the display settings: a grey dialog with a monitor whose screen is
// the preview's parent.
int Preview(int seconds)
{
    HWND dialog = ::CreateWindowExA(WS_EX_DLGMODALFRAME, "STATIC", "Display Properties",
                                    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPCHILDREN | SS_GRAYRECT, 300, 180, 300, 260,
                                    nullptr, nullptr, nullptr, nullptr);
    ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 64, 30, 172, 132, dialog, nullptr, nullptr,
                      nullptr); // the monitor's bezel
    HWND screen = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 74, 40, 152, 112, dialog,
                                    nullptr, nullptr, nullptr);
    CApplication profile;
    profile.m_strAppName = "Murlavo";
    profile.SetRegistryKey("Orvane Inc.");
    g_settings.Load(profile);
    auto* preview = new CShowWnd; // deletes itself with its window
    RECT rect {0, 0, 152, 112};
    if (!preview->CreateAsChild(rect, screen)) {
        delete preview;
        std::printf("could not create the preview\n");
        return 1;
    }
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (static_cast<int>(end - ::GetTickCount()) > 0) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    ::DestroyWindow(dialog); // the preview ends with its parent
    return 0;
}

// Runs the Options or the About dialog on the stored settings, as the Settings dialog and the
// notification menu will; the demo photographs it and closes it with a posted Cancel.
int Dialog(const std::string& which)
{
    CApplication profile;
    profile.m_strAppName = "Murlavo";
    profile.SetRegistryKey("Orvane Inc.");
    g_settings.Load(profile);
    g_settings.LoadInstallDir(profile);
    INITCOMMONCONTROLSEX icc {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    if (which == "options") {
        COptionsDlg dlg;
        OptionsFromSettings(g_settings, dlg);
        dlg.DoModal();
        return 0;
    }
    if (which == "about") {
        CAboutDlg dlg;
        dlg.DoModal();
        return 0;
    }
    if (which == "playlist") {
        CAddPlaylistDlg dlg;
        dlg.m_strName = "Summer 2026";
        dlg.DoModal();
        return 0;
    }
    if (which == "location") {
        CLocationDlg dlg;
        dlg.m_strLocation = "C:\\Murlavo Samples\\Holidays\\Lakeside at dusk, seen from the old boat house.jpg";
        dlg.DoModal();
        return 0;
    }
    return 2;
}

} // namespace

// Opens every playlist of the Settings dialog's tree (messages that carry no pointers work
// across processes).
int Expand(const char* title)
{
    HWND dialog = ::FindWindowA(nullptr, title);
    HWND tree = dialog ? ::GetDlgItem(dialog, 1000) : nullptr;
    if (!tree) {
        std::printf("no tree in \"%s\"\n", title);
        return 1;
    }
    HTREEITEM root = TreeView_GetRoot(tree);
    TreeView_Expand(tree, root, TVE_EXPAND);
    for (HTREEITEM item = TreeView_GetChild(tree, root); item; item = TreeView_GetNextSibling(tree, item))
        TreeView_Expand(tree, item, TVE_EXPAND);
    return 0;
}

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 3)
        return Make(argv[2]);
    if (mode == "post" && argc == 6)
        return Post(argv[2], argv[3], argv[4], argv[5]);
    if (mode == "expand" && argc == 3)
        return Expand(argv[2]);
    if (mode == "refresh" && argc == 2)
        return ::InvalidateRect(nullptr, nullptr, TRUE) ? 0 : 1;
    if (mode == "preview" && argc == 3)
        return Preview(std::atoi(argv[2]));
    if (mode == "dialog" && argc == 3)
        return Dialog(argv[2]);
    std::printf("usage: murlavo_samples make <folder> | post <title> <message> <wParam> <lParam> | preview <seconds> | dialog options|about|playlist|location | expand <title> | refresh\n");
    return 2;
}
