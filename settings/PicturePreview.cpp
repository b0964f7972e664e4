#include "settings/PicturePreview.h"

#include "framework/WideText.h"
#include "image/Exif.h"
#include "image/FileKind.h"
#include "image/GifFile.h"
#include "image/JpegFile.h"
#include "image/Orientation.h"
#include "image/PngFile.h"

#include <shlwapi.h>

#include <condition_variable>
#include <exception>
#include <mutex>

bool (*CPicturePreview::s_pfnDecode)(const std::string&, int, int, CPictureImage&, int&, int&, std::string&) =
    CPicturePreview::DecodeFitted;

namespace {

// Reads no more than a file's headers: the size the decoder announces, then the read stops.
class CSizeProbe : public IJpegLineSink {
public:
    bool Begin(uint32_t width, uint32_t height) override
    {
        m_width = width;
        m_height = height;
        return false;
    }
    uint8_t* Line(uint32_t) override { return nullptr; }
    bool LineDone(uint32_t) override { return false; }
    uint32_t m_width = 0;
    uint32_t m_height = 0;
};

std::string ReadFailure(const CPictureImage& picture)
{
    if (picture.m_bOutOfMemory)
        return "Not enough memory to show this picture.";
    if (picture.m_szLastError[0])
        return std::string("This picture cannot be read: ") + picture.m_szLastError;
    return "This file is not a picture Murlavo can read.";
}

} // namespace

struct CPicturePreview::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool hasJob = false;
    Job job;
    uint64_t newest = 0; // the newest request: older answers are dropped
    bool hasResult = false;
    Result result;
    bool announced = false;
    bool stop = false;
    HWND notify = nullptr;
    UINT message = 0;
};

CPicturePreview::~CPicturePreview()
{
    Stop(0);
}

void CPicturePreview::SetTarget(HWND notify, UINT message)
{
    m_hNotify = notify;
    m_nMessage = message;
}

bool CPicturePreview::Request(uint64_t id, const std::string& path, int cx, int cy)
{
    try {
        if (!m_shared) {
            auto shared = std::make_shared<Shared>();
            shared->notify = m_hNotify;
            shared->message = m_nMessage;
            auto threadShare = std::make_unique<std::shared_ptr<Shared>>(shared);
            HANDLE thread = ::CreateThread(nullptr, 0, Worker, threadShare.get(), 0, nullptr);
            if (!thread)
                return false;
            threadShare.release(); // the thread's share now
            m_thread.Reset(thread);
            m_shared = std::move(shared);
        }
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->job = {id, path, cx, cy};
        m_shared->hasJob = true;
        m_shared->newest = id;
        m_shared->hasResult = false;
        m_shared->result = Result();
    } catch (const std::exception&) {
        return false;
    }
    m_shared->wake.notify_one();
    return true;
}

bool CPicturePreview::Take(Result& result)
{
    if (!m_shared)
        return false;
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->announced = false;
    if (!m_shared->hasResult)
        return false;
    result = std::move(m_shared->result);
    m_shared->result = Result();
    m_shared->hasResult = false;
    return true;
}

void CPicturePreview::Stop(DWORD timeoutMs)
{
    if (!m_shared)
        return;
    Result dropped; // its picture goes outside the lock
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stop = true;
        m_shared->notify = nullptr;
        m_shared->hasJob = false;
        dropped = std::move(m_shared->result);
        m_shared->hasResult = false;
    }
    m_shared->wake.notify_all();
    if (m_thread)
        ::WaitForSingleObject(m_thread.Get(), timeoutMs);
    m_thread.Reset();
    m_shared.reset();
}

std::string CPicturePreview::NotOpenedReason(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "This is a folder, not a picture.";
    if (attributes & kOnlineOnlyAttributes)
        return "The file is stored online only; it is not downloaded to be shown here.";
    return std::string();
}

std::wstring CPicturePreview::SizeText(int width, int height, int64_t fileBytes)
{
    std::wstring text = std::to_wstring(width) + L" \u00D7 " + std::to_wstring(height) + L" pixels";
    if (fileBytes >= 0) {
        wchar_t size[64] = L"";
        if (::StrFormatByteSizeW(fileBytes, size, ARRAYSIZE(size)))
            text += L", " + std::wstring(size);
    }
    return text;
}

bool CPicturePreview::DecodeFitted(const std::string& path, int cx, int cy, CPictureImage& picture, int& width,
    int& height, std::string& reason)
{
    // JPEG, PNG and GIF files tell their size from their headers: the picture is then decoded
    // and fitted line by line, so a large photo never exists at its full size here.
    const PictureFileKind kind = PictureFileKindOfFile(path.c_str());
    CSizeProbe probe;
    char error[256] = "";
    int orientation = 1;
    switch (kind) {
    case PictureFileKind::jpeg:
        ReadJpegFile(path.c_str(), probe, error);
        orientation = JpegFileOrientation(path.c_str());
        break;
    case PictureFileKind::png:
        ReadPngFile(path.c_str(), probe, error, 0);
        orientation = PngFileOrientation(path.c_str());
        break;
    case PictureFileKind::gif:
        ReadGifFile(path.c_str(), probe, error, 0);
        break;
    default:
        break;
    }
    if (probe.m_width > 0 && probe.m_height > 0) {
        int32_t w = 0, h = 0;
        OrientedSize(orientation, int32_t(probe.m_width), int32_t(probe.m_height), w, h);
        const bool fits = w <= cx && h <= cy;
        BOOL scaled = FALSE;
        if (!picture.LoadFitted(path.c_str(), fits ? w : cx, fits ? h : cy, true, true, &scaled) || !picture.m_pBits) {
            reason = ReadFailure(picture);
            return false;
        }
        width = w;
        height = h;
        return true;
    }
    // Other kinds are read whole, then fitted.
    if (!picture.LoadFile(path.c_str()) || !picture.m_pBits) {
        reason = ReadFailure(picture);
        return false;
    }
    width = picture.m_nWidth;
    height = picture.m_nHeight;
    if (width > cx || height > cy) {
        const SIZE fitted = picture.FitAspect(cx, cy);
        if (fitted.cx > 0 && fitted.cy > 0 && !picture.Resample(fitted.cx, fitted.cy))
            picture.Resize(fitted.cx, fitted.cy);
    }
    return true;
}

DWORD WINAPI CPicturePreview::Worker(void* param)
{
    const std::unique_ptr<std::shared_ptr<Shared>> share(static_cast<std::shared_ptr<Shared>*>(param));
    Shared& shared = **share;
    // Pictures that only the system's imaging codecs read need COM on this thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.wake.wait(lock, [&] { return shared.stop || shared.hasJob; });
            if (shared.stop)
                break;
            job = std::move(shared.job);
            shared.hasJob = false;
        }
        try {
            Result result;
            result.id = job.id;
            WIN32_FILE_ATTRIBUTE_DATA data {};
            if (!::GetFileAttributesExW(FilePath(job.path).c_str(), GetFileExInfoStandard, &data)) {
                const DWORD error = ::GetLastError();
                result.reason = error == ERROR_FILE_NOT_FOUND ? "The file is missing."
                    : error == ERROR_PATH_NOT_FOUND           ? "The folder is gone."
                                                              : "The file cannot be reached: " + SystemErrorText(error);
            } else {
                result.fileBytes = int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
                // A file kept online only is never opened: that would download it.
                result.reason = NotOpenedReason(data.dwFileAttributes);
                if (result.reason.empty()) {
                    auto picture = std::make_shared<CPictureImage>();
                    if (s_pfnDecode(job.path, job.cx, job.cy, *picture, result.width, result.height, result.reason))
                        result.picture = std::move(picture);
                }
            }
            std::shared_ptr<CPictureImage> dropped; // a superseded picture goes outside the lock
            std::lock_guard<std::mutex> lock(shared.mutex);
            if (shared.stop)
                break;
            if (result.id != shared.newest) {
                dropped = std::move(result.picture);
                continue;
            }
            shared.result = std::move(result);
            shared.hasResult = true;
            if (!shared.announced && shared.notify)
                shared.announced = ::PostMessageW(shared.notify, shared.message, 0, 0) != FALSE;
        } catch (const std::exception&) {
            // Without memory the pane keeps what it shows.
        }
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}
