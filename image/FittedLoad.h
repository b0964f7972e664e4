// Loading a picture file fitted to a box, as the preparation of a wallpaper or slide does it
// (portable): the file is loaded, its size fitted (FitAspect when the proportions are kept),
// and the picture scaled with Resample or Resize unless it already has that size.
//
// For JPEG, PNG, GIF and TGA files the decoder's lines go straight through the scaler
// (image/ScalingStream.h): the full-size picture never exists, which saves most of the time and
// memory of a large photo. WebP's lines go the same way from libwebp's own whole picture. With a second core the scaler runs on a thread of its own, a few
// lines behind the decoder. The result is the one of the whole-picture path, byte for byte.
#pragma once
#include "image/FileKind.h"
#include "image/Pixels.h"
#include "image/Scaling.h"
#include "image/ScalingStream.h"

#include <atomic>
#include <cstdint>

// How many threads a fitted JPEG load uses: 0 decides by the processor's cores (two when it
// has two or more), 1 keeps decoding and scaling on the caller's thread, 2 overlaps them.
extern std::atomic<int32_t> g_nFittingThreads;

struct FitRequest {
    int32_t cx = 0;          // the box, not 0
    int32_t cy = 0;
    bool keepAspect = false; // fit into the box with the picture's proportions
    ScaleMethod method = ScaleMethod::resize;
};

// Whether a width x height picture is scaled for this request, and to which size (which may
// still be one the scalers refuse, such as a height of 0 for a very wide picture: they then
// leave the picture as it is).
bool ScalesTo(const FitRequest& request, int32_t width, int32_t height, PictureSize& size);

struct FittedLoad {
    // False: nothing was done, because the streamed scaling could not be set up (memory ran
    // short); the caller loads the whole picture and scales it, which tells the user about
    // the shortage as that path does.
    bool streamed = false;
    bool loaded = false; // the file was read completely (the picture may be unscaled)
    bool scaled = false; // what ResizePicture or ResamplePicture would have returned
};

// A JPEG file into target, fitted. When the picture is not to be scaled, or the size it is to
// be scaled to is refused, target gets the picture at its own size (loaded, not scaled).
// An abort stops the work as in the decoder and the scalers: loaded false, the flag raised
// unless Resize stopped because of it.
FittedLoad LoadJpegFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                              IScaleObserver* observer = nullptr);

// The same for a PNG file, transparent pixels blended over background (0x00BBGGRR). An
// interlaced file is decoded whole by its reader before its lines reach the scaler.
FittedLoad LoadPngFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                             uint32_t background, IScaleObserver* observer = nullptr);

// The same for a GIF file's first frame on its screen, over background.
FittedLoad LoadGifFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                             uint32_t background, IScaleObserver* observer = nullptr);

// The same for a WebP file, over background. libwebp decodes into a whole picture of its own
// (image/WebpFile.h); its lines then go through the scaler.
FittedLoad LoadWebpFileFitted(const char* path, const FitRequest& request, IPixelTarget& target, char* lastError,
                              uint32_t background, IScaleObserver* observer = nullptr);

// The same for a TGA file (read as LoadTgaFile reads it).
FittedLoad LoadTgaFileFitted(const char* path, const FitRequest& request, IPixelTarget& target,
                             IScaleObserver* observer = nullptr);

// The one of the above that reads files of this kind; streamed false, with nothing done, for
// a kind whose reader does not hand over lines.
FittedLoad LoadFileFitted(PictureFileKind kind, const char* path, const FitRequest& request, IPixelTarget& target,
                          char* lastError, uint32_t background, IScaleObserver* observer = nullptr);
