// The Settings dialog's preview of the selected picture, decoded and fitted to the pane on a
// worker thread so that a large photo (or a file on a slow share) never holds up the dialog.
//
// Only the newest request counts: a request replaces one that has not started yet, and the
// answer of one that was already running when a newer came is dropped by its number. One
// posted message announces that an answer is waiting.
#pragma once
#include "framework/Handles.h"
#include "image/PictureImage.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

class CPicturePreview {
public:
    struct Result {
        uint64_t id = 0;
        std::shared_ptr<CPictureImage> picture; // fitted to the pane; null when not readable
        int width = 0;                          // the picture's own size, upright
        int height = 0;
        int64_t fileBytes = -1;                 // the file's size, -1 when unknown
        std::string reason;                     // why there is no picture (UTF-8)
    };

    CPicturePreview() = default;
    ~CPicturePreview();
    CPicturePreview(const CPicturePreview&) = delete;
    CPicturePreview& operator=(const CPicturePreview&) = delete;

    void SetTarget(HWND notify, UINT message);
    // Asks for the picture at path fitted into cx x cy (never enlarged). False when no worker
    // could be started.
    bool Request(uint64_t id, const std::string& path, int cx, int cy);
    // The answer to the newest request, once; false when there is none (yet).
    bool Take(Result& result);
    // Drops what is asked and ends the worker, waiting at most timeoutMs; a worker held up by
    // the file system finishes on its own and announces nothing.
    void Stop(DWORD timeoutMs);

    // Replaceable for tests: reads the picture at path fitted into cx x cy; its own upright
    // size in width and height; false with a short reason when it cannot be read.
    static bool (*s_pfnDecode)(const std::string& path, int cx, int cy, CPictureImage& picture, int& width,
        int& height, std::string& reason);
    static bool DecodeFitted(const std::string& path, int cx, int cy, CPictureImage& picture, int& width,
        int& height, std::string& reason);

    // Why a file is not opened for a picture, from its attributes: a folder, or a file kept
    // online only (opening it would download it); empty when it may be opened.
    static std::string NotOpenedReason(DWORD attributes);
    // "4032 × 3024 pixels, 3.2 MB" (the size in the system's own form); the pixels alone when
    // fileBytes is negative.
    static std::wstring SizeText(int width, int height, int64_t fileBytes);

private:
    struct Job {
        uint64_t id = 0;
        std::string path;
        int cx = 0;
        int cy = 0;
    };
    struct Shared;
    static DWORD WINAPI Worker(void* param);

    std::shared_ptr<Shared> m_shared;
    CKernelHandle m_thread;
    HWND m_hNotify = nullptr;
    UINT m_nMessage = 0;
};

// The attributes of a file that is stored online only: opening it would download it.
constexpr DWORD kOnlineOnlyAttributes = FILE_ATTRIBUTE_OFFLINE | 0x00040000 /* recall on open */
    | 0x00400000 /* recall on data access */;
