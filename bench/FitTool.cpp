// One wallpaper change as a whole process, over the portable code: a JPEG, PNG or GIF file
// (or TGA) fitted into a screen (proportions kept), scaled, and written as a 24-bit bitmap file.
// bench/pipeline.sh times it beside other programs and compares the bytes of its two paths.
//
//   murlavo_fit [--whole] [--resize] [--one-thread] IN SCREEN_CX SCREEN_CY OUT.bmp
//       streamed (the preparation's path) unless --whole: the whole picture is decoded, then
//       scaled (the reference); Resample unless --resize. Transparent pixels over black.
//   murlavo_fit --make-photo OUT.ppm WIDTH HEIGHT [SEED]
//       writes a photo-like picture (smooth shapes, edges and fine noise) for cjpeg.
//   murlavo_fit --inflate IN.png
//       inflates the PNG file's picture data and nothing more: the floor of any PNG decode.
#include "image/Bitmap.h"
#include "image/FileKind.h"
#include "image/FittedLoad.h"
#include "image/GifFile.h"
#include "image/JpegFile.h"
#include "image/PngFile.h"
#include "image/Pixels.h"
#include "image/Scaling.h"
#include "image/TgaFile.h"

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage(const char* name)
{
    std::fprintf(stderr,
                 "usage: %s [--whole] [--resize] [--one-thread] IN SCREEN_CX SCREEN_CY OUT.bmp\n"
                 "       %s --make-photo OUT.ppm WIDTH HEIGHT [SEED]\n"
                 "       %s --inflate IN.png\n",
                 name, name, name);
    return 2;
}

int MakePhoto(const char* path, int width, int height, uint32_t seed)
{
    if (width < 1 || height < 1)
        return 2;
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return 1;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    std::vector<uint8_t> row(3 * size_t(width));
    uint32_t state = seed ? seed : 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const double u = double(x) / width, v = double(y) / height;
            const int noise = int(state % 13) - 6;
            // A sky, a horizon, some round shapes: edges and flat parts, as photos have.
            const bool disc = std::hypot(u - 0.3, v - 0.6) < 0.15 || std::hypot(u - 0.75, v - 0.35) < 0.1;
            const double wave = 0.5 + 0.5 * std::sin(u * 37.0 + v * 11.0);
            int r = int(v < 0.5 ? 90 + 100 * v : 60 + 80 * wave) + noise;
            int g = int(v < 0.5 ? 140 + 60 * v : 110 + 60 * u) + noise;
            int b = int(v < 0.5 ? 230 - 40 * v : 40 + 30 * wave) + noise;
            if (disc) {
                r = 220 + noise;
                g = 180 - int(60 * u) + noise;
                b = 40 + noise;
            }
            uint8_t* p = &row[3 * size_t(x)];
            p[0] = uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
            p[1] = uint8_t(g < 0 ? 0 : g > 255 ? 255 : g);
            p[2] = uint8_t(b < 0 ? 0 : b > 255 ? 255 : b);
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    return std::fclose(file) == 0 ? 0 : 1;
}

// Inflates the IDAT chunks of a PNG file into a buffer that is reused; 0 when the stream
// inflated to its end.
int Inflate(const char* path)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return 1;
    std::vector<uint8_t> chunk, out(1 << 20);
    z_stream stream {};
    inflateInit(&stream);
    int status = Z_OK;
    uint8_t head[8];
    bool ok = std::fread(head, 1, 8, file) == 8;
    while (ok && status != Z_STREAM_END && std::fread(head, 1, 8, file) == 8) {
        const uint32_t length = uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3];
        chunk.resize(size_t(length) + 4);
        if (std::fread(chunk.data(), 1, chunk.size(), file) != chunk.size())
            break;
        if (std::memcmp(head + 4, "IDAT", 4) != 0)
            continue;
        stream.next_in = chunk.data();
        stream.avail_in = length;
        while (stream.avail_in > 0 && status == Z_OK) {
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            status = inflate(&stream, Z_NO_FLUSH);
        }
        ok = status == Z_OK || status == Z_STREAM_END;
    }
    inflateEnd(&stream);
    std::fclose(file);
    return status == Z_STREAM_END ? 0 : 1;
}

bool LoadWhole(PictureFileKind kind, const char* path, IPixelTarget& picture, char* lastError)
{
    switch (kind) {
    case PictureFileKind::png:
        return LoadPngFile(path, picture, lastError, 0);
    case PictureFileKind::gif:
        return LoadGifFile(path, picture, lastError, 0);
    case PictureFileKind::tga:
        return LoadTgaFile(path, picture);
    default:
        return LoadJpegFile(path, picture, lastError);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 5 && !std::strcmp(argv[1], "--make-photo"))
        return MakePhoto(argv[2], std::atoi(argv[3]), std::atoi(argv[4]),
                         argc > 5 ? uint32_t(std::strtoul(argv[5], nullptr, 10)) : 1);
    if (argc == 3 && !std::strcmp(argv[1], "--inflate"))
        return Inflate(argv[2]);
    bool whole = false;
    FitRequest request;
    request.keepAspect = true;
    request.method = ScaleMethod::resample;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        if (!std::strcmp(argv[i], "--whole"))
            whole = true;
        else if (!std::strcmp(argv[i], "--resize"))
            request.method = ScaleMethod::resize;
        else if (!std::strcmp(argv[i], "--one-thread"))
            g_nFittingThreads = 1;
        else
            return Usage(argv[0]);
    }
    if (argc - i != 4)
        return Usage(argv[0]);
    const char* in = argv[i];
    request.cx = std::atoi(argv[i + 1]);
    request.cy = std::atoi(argv[i + 2]);
    const char* out = argv[i + 3];
    if (request.cx < 1 || request.cy < 1)
        return Usage(argv[0]);

    CMemoryPicture picture;
    char lastError[256] = "";
    bool loaded = false;
    const PictureFileKind kind = PictureFileKindOfFile(in);
    if (!whole) {
        const FittedLoad result = LoadFileFitted(kind, in, request, picture, lastError, 0);
        whole = !result.streamed; // the scaler could not be set up: the whole path decides
        loaded = result.loaded;
    }
    if (whole) {
        loaded = LoadWhole(kind, in, picture, lastError);
        PictureSize size;
        if (loaded && ScalesTo(request, picture.Pixels().width, picture.Pixels().height, size)) {
            if (request.method == ScaleMethod::resample)
                ResamplePicture(picture, size.cx, size.cy);
            else
                ResizePicture(picture, size.cx, size.cy);
        }
    }
    if (!loaded) {
        std::fprintf(stderr, "%s: cannot load: %s\n", in, lastError);
        return 1;
    }
    if (!SaveBitmapPixels(out, picture.Pixels(), 0)) {
        std::fprintf(stderr, "%s: cannot write\n", out);
        return 1;
    }
    return 0;
}
