// Writes the seed corpora of the fuzz targets with the program's own writers and by hand:
//   fuzz_make_seeds OUTPUT_FOLDER   (fuzz/make-seeds.sh puts them in fuzz/corpus)
// Every file is made here from generated pictures; nothing is copied from elsewhere.
#include "BitmapCases.h"
#include "framework/Archive.h"
#include "image/Bitmap.h"
#include "image/JpegFile.h"
#include "library/FolderIndexFile.h"
#include "library/LibraryFile.h"
#include "show/WallpaperRotation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace fs = std::filesystem;

namespace {

std::string g_root;

void Put(const std::string& target, const std::string& name, const std::string& bytes)
{
    const fs::path folder = fs::path(g_root) / target;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string TempPath(const char* name)
{
    return (fs::temp_directory_path() / (std::string("murlavo_seed_") + name)).string();
}

// A gradient with a few hard edges, w x h, blue-green-red, bottom row first.
void Pattern(CMemoryPicture& picture, int32_t w, int32_t h)
{
    picture.CreatePixels(w, h);
    const PixelImage p = picture.Pixels();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* px = p.Row(y) + 3 * x;
            px[0] = uint8_t(x * 255 / (w > 1 ? w - 1 : 1));
            px[1] = uint8_t(y * 255 / (h > 1 ? h - 1 : 1));
            px[2] = uint8_t(((x / 4 + y / 4) & 1) ? 220 : 30);
        }
}

// ---- library files -------------------------------------------------------------------

std::string SaveLibrary(const std::vector<CWallpaperObject*>& records, CWallpaperObject* nowPlaying, int32_t scale)
{
    std::vector<CLibraryEntry> entries;
    for (auto* r : records)
        entries.push_back({r, r && r == nowPlaying});
    const std::string path = TempPath("library");
    SaveLibraryFile(path.c_str(), entries, scale);
    std::string bytes = ReadAll(path);
    std::remove(path.c_str());
    return bytes;
}

void Le(std::string& s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += char(v >> (8 * i));
}

void LibrarySeeds()
{
    CWallpaperObject a("A", 0), x("C:\\x.bmp", 1), b("Holidays", 0), y("C:\\pictures\\beach.jpg", 1),
        z("D:\\art\\scan.tga", 1);
    x.m_strTile = "1";
    Put("library", "worked-example", SaveLibrary({&a, &x}, &a, 1));
    Put("library", "two-playlists-resample", SaveLibrary({&a, &x, &b, &y, &z}, &y, 0));
    Put("library", "null-entries", SaveLibrary({&a, nullptr, &x, nullptr}, &x, 1));
    CWallpaperObject longName(std::string(300, 'n'), 0), longPath(std::string(254, 'p'), 1);
    Put("library", "long-strings", SaveLibrary({&longName, &longPath}, &longName, 1));
    Put("library", "empty", SaveLibrary({}, nullptr, 1));

    // By hand: what the writer never writes but readers accept.
    auto klass = [](uint16_t version) {
        std::string s;
        Le(s, 0xFFFF, 2);
        Le(s, version, 2);
        Le(s, 16, 2);
        return s + "CWallpaperObject";
    };
    auto fields = [](const std::string& path, int32_t nowPlaying, int32_t picture, bool v2) {
        std::string s;
        s += char(path.size());
        s += path;
        s += "\x01"
             "0";
        Le(s, uint32_t(nowPlaying), 4);
        Le(s, uint32_t(picture), 4);
        if (v2) {
            Le(s, 1, 4);
            Le(s, 0, 4);
        }
        return s;
    };
    std::string v1;
    Le(v1, 2, 4);
    v1 += klass(1) + fields("P", 1, 0, false);
    Le(v1, 0x8001, 2);
    v1 += fields("C:\\a.bmp", 0, 1, false);
    Put("library", "version-1", v1);

    // References to earlier records, a long tag for a new record, a 16-bit-character string.
    std::string refs;
    Le(refs, 6, 4);
    refs += klass(2) + fields("P", 1, 0, true);
    Le(refs, 0x7FFF, 2);
    Le(refs, 0x80000001, 4); // long tag: new record of class 1
    refs += fields("C:\\b.bmp", 0, 1, true);
    Le(refs, 2, 2);      // reference to the playlist
    Le(refs, 0x7FFF, 2); // long reference to the picture
    Le(refs, 3, 4);
    Le(refs, 0x8001, 2);
    refs += "\xFF";
    Le(refs, 0xFFFE, 2); // 16-bit characters follow
    refs += char(3);
    for (uint16_t c : {0x0041, 0x00E9, 0xD83D})
        Le(refs, c, 2);
    refs += "\x01"
            "1";
    Le(refs, 1, 4);
    Le(refs, 1, 4);
    Le(refs, 1, 4);
    Le(refs, 1, 4);
    Le(refs, 0, 2); // null
    Put("library", "references-and-wide", refs);

    std::string lengths;
    Le(lengths, 1, 4);
    lengths += klass(2);
    lengths += "\xFF";
    Le(lengths, 0xFFFF, 2);
    Le(lengths, 5, 4); // a 7-byte prefix for a short string
    lengths += "hello";
    lengths += "\xFF";
    Le(lengths, 3, 2);
    lengths += "one";
    Le(lengths, 0, 4);
    Le(lengths, 1, 4);
    Le(lengths, 1, 4);
    Le(lengths, 0, 4);
    Put("library", "string-prefixes", lengths);
}

// ---- bitmaps ---------------------------------------------------------------------------

void BitmapSeeds()
{
    int n = 0;
    for (const BitmapCase& c : BitmapCases())
        for (uint32_t size : BitmapHeaderSizes())
            if (FitsHeader(c, size))
                Put("bitmap", "case-" + std::to_string(n++) + "-header-" + std::to_string(size),
                    BitmapFileBytes(c, size, size == 40 ? 0 : 3));
    n = 0;
    for (const std::string& f : HostileBitmapFiles())
        Put("bitmap", "hostile-" + std::to_string(n++), f);
    // Run-length data: runs, an end of line, a delta, absolute runs, the end of the bitmap.
    Put("bitmap", "rle8", BitmapFileBytes(RunLength(1, 6, 3, {3, 1, 0, 3, 1, 2, 2, 0, 0, 0, 2, 1, 1, 0, 3, 1, 2, 3, 0,
                                                                0, 1})));
    Put("bitmap", "rle4", BitmapFileBytes(RunLength(2, 7, 2, {5, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 1})));
    CMemoryPicture picture;
    Pattern(picture, 13, 7);
    const std::string path = TempPath("bitmap.bmp");
    SaveBitmapPixels(path.c_str(), picture.Pixels(), 0);
    Put("bitmap", "written-24-bit", ReadAll(path));
    std::remove(path.c_str());

    // DIB sections as the system's loader hands them over (input not starting with "BM"):
    // width, height + 256 (16 bits each), depth index, compression, clrUsed, 3 masks, mask
    // flag, colour count, colours, rows.
    auto section = [](uint16_t w, int h, uint8_t depth, uint8_t compression, uint32_t clrUsed,
                      std::vector<uint32_t> masks, int colours, int rowBytes) {
        std::string s;
        Le(s, w, 2);
        Le(s, uint32_t(h + 256), 2);
        s += char(depth);
        s += char(compression);
        Le(s, clrUsed, 4);
        for (uint32_t m : masks)
            Le(s, m, 4);
        s += char(1);
        Le(s, uint32_t(colours), 2);
        for (int i = 0; i < colours; ++i)
            Le(s, uint32_t(i * 0x010203), 4);
        for (int i = 0; i < rowBytes; ++i)
            s += char(i * 37);
        return s;
    };
    Put("bitmap", "section-1-bit", section(10, 3, 0, 0, 0, {0, 0, 0}, 2, 12));
    Put("bitmap", "section-4-bit-top-down", section(5, -2, 1, 0, 16, {0, 0, 0}, 16, 8));
    Put("bitmap", "section-8-bit", section(7, 4, 2, 0, 0, {0, 0, 0}, 256, 32));
    Put("bitmap", "section-16-bit-565", section(6, 2, 3, 3, 0, {0xF800, 0x07E0, 0x001F}, 0, 24));
    Put("bitmap", "section-24-bit", section(4, 3, 4, 0, 0, {0, 0, 0}, 0, 36));
    Put("bitmap", "section-32-bit-masks", section(3, 3, 5, 3, 0, {0xFF000000, 0x00FF0000, 0x0000FF00}, 0, 36));
}

// ---- TGA -------------------------------------------------------------------------------

std::string TgaHeaderBytes(uint8_t type, uint16_t w, uint16_t h, uint8_t depth, uint8_t descriptor,
                           const std::string& id = "")
{
    std::string s;
    s += char(id.size());
    s += char(0);
    s += char(type);
    Le(s, 0, 2);
    Le(s, 0, 2);
    s += char(0);
    Le(s, 0, 2);
    Le(s, 0, 2);
    Le(s, w, 2);
    Le(s, h, 2);
    s += char(depth);
    s += char(descriptor);
    return s + id;
}

// Run-length packets of a w x h picture of bpp bytes: runs of equal pixels, raw packets for
// the rest, packets crossing row ends as TGA writers make them.
std::string TgaRle(const std::vector<uint8_t>& pixels, int bpp)
{
    std::string s;
    const size_t count = pixels.size() / bpp;
    size_t i = 0;
    auto same = [&](size_t a, size_t b) { return std::memcmp(&pixels[a * bpp], &pixels[b * bpp], bpp) == 0; };
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run))
            ++run;
        if (run > 1) {
            s += char(0x80 | (run - 1));
            s.append(reinterpret_cast<const char*>(&pixels[i * bpp]), bpp);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1)))
            ++raw;
        s += char(raw - 1);
        s.append(reinterpret_cast<const char*>(&pixels[i * bpp]), raw * bpp);
        i += raw;
    }
    return s;
}

std::vector<uint8_t> TgaPixels(int w, int h, int bpp)
{
    std::vector<uint8_t> p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < bpp; ++c)
                p.push_back(uint8_t(x < w / 2 ? 40 * c + 7 : (x * 31 + y * 17 + c * 5)));
    return p;
}

std::string TgaFooter(uint32_t extension, uint32_t developer)
{
    std::string s;
    Le(s, extension, 4);
    Le(s, developer, 4);
    return s + std::string("TRUEVISION-XFILE.") + '\0';
}

void TgaSeeds()
{
    for (int bpp : {3, 4}) {
        const uint8_t depth = uint8_t(bpp * 8);
        const auto pixels = TgaPixels(9, 5, bpp);
        const std::string raw(pixels.begin(), pixels.end());
        const std::string b = std::to_string(depth);
        Put("tga", "type2-" + b, TgaHeaderBytes(2, 9, 5, depth, 0) + raw);
        Put("tga", "type2-" + b + "-top-down-right-to-left-id", TgaHeaderBytes(2, 9, 5, depth, 0x30, "murlavo") + raw);
        Put("tga", "type10-" + b, TgaHeaderBytes(10, 9, 5, depth, 0) + TgaRle(pixels, bpp));
        const auto wide = TgaPixels(150, 2, bpp); // packets cross the end of a row
        Put("tga", "type10-" + b + "-across-rows", TgaHeaderBytes(10, 150, 2, depth, 0x20) + TgaRle(wide, bpp));
    }
    // TGA 2.0: extension area with every table, a developer area, then the footer.
    const auto pixels = TgaPixels(4, 3, 3);
    std::string f = TgaHeaderBytes(2, 4, 3, 24, 0) + std::string(pixels.begin(), pixels.end());
    const uint32_t developer = uint32_t(f.size());
    Le(f, 1, 2); // one tag
    Le(f, 0x1234, 2);
    Le(f, 0, 4);
    Le(f, 0, 4);
    const uint32_t extension = uint32_t(f.size());
    std::string area;
    Le(area, 495, 2);
    area += std::string(41, 'a') + std::string(4 * 81, 'c');
    for (int i = 0; i < 6; ++i)
        Le(area, uint32_t(i + 1), 2);
    area += std::string(41, 'j');
    for (int i = 0; i < 3; ++i)
        Le(area, 0, 2);
    area += std::string(41, 's');
    Le(area, 100, 2);
    area += 'b';
    Le(area, 0, 4);
    Le(area, 1, 2);
    Le(area, 1, 2);
    Le(area, 22, 2);
    Le(area, 10, 2);
    const uint32_t tables = extension + 495;
    Le(area, tables, 4);            // colour correction: 1024 x 16 bits
    Le(area, tables + 2048, 4);     // postage stamp
    Le(area, tables + 2048 + 2, 4); // scan lines: one per row
    area += char(0);
    f += area;
    f += std::string(2048, '\x11');
    f += "\x02\x01";
    for (int i = 0; i < 3; ++i)
        Le(f, 18 + 12 * uint32_t(i), 4);
    Put("tga", "tga2-extension-tables", f + TgaFooter(extension, developer));
    Put("tga", "tga2-footer-only", TgaHeaderBytes(2, 4, 3, 24, 0) + std::string(pixels.begin(), pixels.end()) +
                                       TgaFooter(0, 0));
    Put("tga", "type1-colour-mapped", TgaHeaderBytes(1, 2, 2, 24, 0) + std::string(12, '\x05'));

    // 15 and 16 bits, and greyscale, uncompressed and run-length.
    for (int depth : {15, 16, 8}) {
        const int bpp = depth == 8 ? 1 : 2;
        const uint8_t type = depth == 8 ? 3 : 2;
        const std::string b = depth == 8 ? "grey-8" : std::to_string(depth);
        const auto small = TgaPixels(9, 5, bpp);
        Put("tga", "type" + std::to_string(type) + "-" + b,
            TgaHeaderBytes(type, 9, 5, uint8_t(depth), 0x30) + std::string(small.begin(), small.end()));
        const auto wide = TgaPixels(150, 2, bpp);
        Put("tga", "type" + std::to_string(type + 8) + "-" + b + "-across-rows",
            TgaHeaderBytes(uint8_t(type + 8), 150, 2, uint8_t(depth), 0x20) + TgaRle(wide, bpp));
    }
    // Colour-mapped: 8-bit indexes into maps of every entry size starting at index 3, some
    // indexes outside the map; 16-bit indexes into a map starting at 300.
    for (int entrySize : {15, 16, 24, 32}) {
        const int entryBytes = (entrySize + 7) / 8;
        std::string header = TgaHeaderBytes(1, 9, 5, 8, 0x10);
        header[1] = 1;
        header.replace(3, 5, std::string {3, 0, 16, 0, char(entrySize)});
        std::string map;
        for (int i = 0; i < 16 * entryBytes; ++i)
            map += char(i * 37 + 11);
        std::vector<uint8_t> indexes;
        for (int i = 0; i < 9 * 5; ++i)
            indexes.push_back(uint8_t(i < 20 ? 3 + i % 16 : i % 22));
        const std::string b = std::to_string(entrySize);
        Put("tga", "type1-map" + b, header + map + std::string(indexes.begin(), indexes.end()));
        header[2] = 9;
        Put("tga", "type9-map" + b, header + map + TgaRle(indexes, 1));
    }
    std::string header = TgaHeaderBytes(9, 150, 2, 16, 0x20);
    header[1] = 1;
    header.replace(3, 5, std::string {char(300 & 0xFF), char(300 >> 8), 4, 0, 24});
    std::vector<uint8_t> indexes;
    for (int i = 0; i < 300; ++i) {
        const int index = i < 140 ? 300 + (i / 40) : 299 + i % 6;
        indexes.push_back(uint8_t(index));
        indexes.push_back(uint8_t(index >> 8));
    }
    Put("tga", "type9-index16-across-rows", header + std::string("\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0", 12) +
                                                TgaRle(indexes, 2));
}

// ---- JPEG ------------------------------------------------------------------------------

enum JpegKind { baseline, progressive, greyscale, arithmetic, restarts, sampling444, cmyk, optimised };

std::string WriteJpeg(const CMemoryPicture& picture, JpegKind kind, int quality)
{
    const PixelImage p = picture.Pixels();
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(p.width);
    cinfo.image_height = JDIMENSION(p.height);
    cinfo.input_components = kind == greyscale ? 1 : kind == cmyk ? 4 : 3;
    cinfo.in_color_space = kind == greyscale ? JCS_GRAYSCALE : kind == cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (kind == progressive || kind == greyscale)
        jpeg_simple_progression(&cinfo);
    if (kind == arithmetic)
        cinfo.arith_code = TRUE;
    if (kind == restarts)
        cinfo.restart_interval = 2;
    if (kind == optimised)
        cinfo.optimize_coding = TRUE;
    if (kind == sampling444)
        for (int c = 0; c < cinfo.num_components; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> line(size_t(p.width) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* s = p.Row(p.height - 1 - int32_t(cinfo.next_scanline));
        for (int32_t x = 0; x < p.width; ++x) {
            const uint8_t b = s[3 * x], g = s[3 * x + 1], r = s[3 * x + 2];
            if (kind == greyscale) {
                line[x] = uint8_t((r * 3 + g * 6 + b) / 10);
            } else if (kind == cmyk) {
                line[4 * x] = uint8_t(255 - r);
                line[4 * x + 1] = uint8_t(255 - g);
                line[4 * x + 2] = uint8_t(255 - b);
                line[4 * x + 3] = 200;
            } else {
                line[3 * x] = r;
                line[3 * x + 1] = g;
                line[3 * x + 2] = b;
            }
        }
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return bytes;
}

void JpegSeeds()
{
    CMemoryPicture small, odd;
    Pattern(small, 16, 16);
    Pattern(odd, 37, 21);
    const char* names[] = {"baseline", "progressive", "greyscale-progressive", "arithmetic", "restarts", "444",
                           "cmyk", "optimised"};
    for (int kind = baseline; kind <= optimised; ++kind) {
        Put("jpeg", std::string(names[kind]) + "-16x16", WriteJpeg(small, JpegKind(kind), 75));
        Put("jpeg", std::string(names[kind]) + "-37x21", WriteJpeg(odd, JpegKind(kind), 40));
    }
    // The program's own writer (quality 85, baseline).
    const std::string path = TempPath("picture.jpg");
    SaveJpegFile(path.c_str(), odd.Pixels());
    const std::string written = ReadAll(path);
    std::remove(path.c_str());
    Put("jpeg", "written-by-the-program", written);
    Put("jpeg", "cut-short", written.substr(0, written.size() * 2 / 3));

    // The fitted load: 5 bytes of request (flags, box width, box height), then the file.
    auto request = [](uint8_t flags, uint16_t cx, uint16_t cy) {
        std::string s(1, char(flags));
        Le(s, cx, 2);
        Le(s, cy, 2);
        return s;
    };
    Put("jpeg_fitted", "resize-keep-proportions", request(1, 19, 19) + written);
    Put("jpeg_fitted", "resample-keep-proportions", request(3, 11, 30) + written);
    Put("jpeg_fitted", "resample-stretch-up", request(2, 80, 50) + WriteJpeg(odd, progressive, 60));
    Put("jpeg_fitted", "resize-grey", request(0, 8, 4) + WriteJpeg(small, greyscale, 60));
    Put("jpeg_fitted", "same-size", request(1, 36, 20) + WriteJpeg(odd, cmyk, 60));
}

// ---- EXIF ------------------------------------------------------------------------------

// The TIFF-structured data of an EXIF block: header, IFD0 with entries (tag, type, count,
// value field as a number of the byte order), the next directory's offset.
struct ExifEntry {
    uint16_t tag, type;
    uint32_t count, value;
};

std::string ExifData(bool big, const std::vector<ExifEntry>& entries, uint32_t next = 0)
{
    std::string s;
    auto u16 = [&](uint32_t v) {
        if (big) {
            s += char(v >> 8);
            s += char(v);
        } else {
            s += char(v);
            s += char(v >> 8);
        }
    };
    auto u32 = [&](uint32_t v) {
        u16(big ? v >> 16 : v & 0xFFFF);
        u16(big ? v & 0xFFFF : v >> 16);
    };
    s += big ? "MM" : "II";
    u16(42);
    u32(8);
    u16(uint32_t(entries.size()));
    for (const ExifEntry& e : entries) {
        u16(e.tag);
        u16(e.type);
        u32(e.count);
        u32(e.value);
    }
    u32(next);
    return s;
}

// A SHORT value field: the number in the first two bytes.
uint32_t ExifShort(bool big, uint16_t value)
{
    return big ? uint32_t(value) << 16 : value;
}

std::string ExifWithOrientation(bool big, uint16_t value)
{
    return ExifData(big, {{0x010F, 2, 4, 0x00006F43}, {0x0112, 3, 1, ExifShort(big, value)}, {0x011A, 5, 1, 0},
                             {0x8769, 4, 1, 0}});
}

void ExifSeeds()
{
    for (bool big : {false, true}) {
        const std::string order = big ? "be" : "le";
        for (uint16_t value = 1; value <= 8; ++value)
            Put("exif", order + "-orientation-" + std::to_string(value), ExifWithOrientation(big, value));
        Put("exif", order + "-orientation-9", ExifWithOrientation(big, 9));
        Put("exif", order + "-orientation-as-long", ExifData(big, {{0x0112, 4, 1, 6}}));
        Put("exif", order + "-count-huge", ExifData(big, {{0x0112, 3, 0x7FFFFFFF, ExifShort(big, 6)}}));
        Put("exif", order + "-next-ifd-loop", ExifData(big, {{0x010F, 2, 4, 0}}, 8));
        std::string cut = ExifWithOrientation(big, 6);
        Put("exif", order + "-truncated", cut.substr(0, cut.size() - 3));
        std::string many = cut;
        many[big ? 8 : 9] = '\xFF';
        Put("exif", order + "-entry-count-huge", many);
    }
    Put("exif", "app1-payload-le-6", std::string("Exif\0\0", 6) + ExifWithOrientation(false, 6));

    // JPEG files of the program's own writer with an EXIF APP1 after SOI, or after the JFIF
    // APP0 behind an XMP APP1.
    CMemoryPicture small;
    Pattern(small, 16, 8);
    const std::string path = TempPath("exif.jpg");
    SaveJpegFile(path.c_str(), small.Pixels());
    const std::string written = ReadAll(path);
    std::remove(path.c_str());
    auto segment = [](char marker, const std::string& payload) {
        const size_t length = payload.size() + 2;
        return std::string("\xFF", 1) + marker + char(length >> 8) + char(length & 0xFF) + payload;
    };
    for (uint16_t value : {3, 6, 8}) {
        const std::string app1 = segment('\xE1', std::string("Exif\0\0", 6) + ExifWithOrientation(value == 6, value));
        Put("exif", "jpeg-orientation-" + std::to_string(value), written.substr(0, 2) + app1 + written.substr(2));
    }
    const size_t app0End = 4 + (size_t(uint8_t(written[4])) << 8 | uint8_t(written[5]));
    Put("exif", "jpeg-after-xmp",
        written.substr(0, app0End) + segment('\xE1', std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33)) +
            segment('\xE1', std::string("Exif\0\0", 6) + ExifWithOrientation(true, 5)) + written.substr(app0End));
}

void CommandLineSeeds()
{
    const char* lines[] = {"/s", "-p 123456", "/c:4242", "/a 99", "-v", "", "/S", "-c 99999999999999999999",
                           "murlavo.exe /p -42"};
    int n = 0;
    for (const char* line : lines)
        Put("commandline", "line-" + std::to_string(n++), line);
}

// ---- folder index files --------------------------------------------------------------

FolderIndexEntry IndexFolder(const std::string& path, const std::vector<std::string>& pictures,
    const std::vector<std::string>& folders, uint64_t lastWrite)
{
    FolderIndexEntry entry;
    entry.path = path;
    entry.lastWrite = lastWrite;
    entry.volume = 0x43000000;
    entry.fileIndex = lastWrite % 100000;
    entry.pictureCount = uint32_t(pictures.size());
    for (const auto& name : pictures)
        entry.names += name + '\0';
    for (size_t i = 0; i < folders.size(); ++i) {
        entry.names += folders[i] + '\0';
        entry.folderAttributes.push_back(i % 2 ? 0x410 : 0x10);
    }
    return entry;
}

void FolderIndexSeeds()
{
    Put("folderindex", "empty", FolderIndexBytes(std::vector<FolderIndexEntry> {}));
    Put("folderindex", "one-folder",
        FolderIndexBytes({IndexFolder("C:\\Pictures", {"1.jpg", "2.png", "10.gif"}, {}, 132223104000000000ull)}));
    const std::vector<FolderIndexEntry> tree {
        IndexFolder("C:\\Pictures", {"a.jpg", "夕焼け.jpg"}, {"Holidays", "Фото ✨"}, 132223104000000000ull),
        IndexFolder("C:\\Pictures\\Holidays", {"beach.JPEG", "Łódź 🌅.png"}, {"2024"}, 132223104000000001ull),
        IndexFolder("C:\\Pictures\\Holidays\\2024", {"x.webp", "y.tga", "z.tiff"}, {}, 0),
        IndexFolder("C:\\Pictures\\Фото ✨", {}, {}, 132223104000000002ull),
    };
    const std::string bytes = FolderIndexBytes(tree);
    Put("folderindex", "tree-unicode", bytes);
    Put("folderindex", "cut-short", bytes.substr(0, bytes.size() - 7));
    Put("folderindex", "long-names", FolderIndexBytes({IndexFolder("\\\\server\\share\\" + std::string(200, 'p'),
        {std::string(1016, 'n') + ".jpg"}, {std::string(1020, 'f')}, 1)}));
    std::vector<FolderIndexEntry> wide;
    for (int i = 0; i < 40; ++i)
        wide.push_back(
            IndexFolder("D:\\Scans\\" + std::to_string(i), {std::to_string(i) + ".bmp"}, {"sub"}, uint64_t(i)));
    Put("folderindex", "forty-folders", FolderIndexBytes(wide));
}

std::string Bytes(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

void RotationSeeds()
{
    RotationRecord empty;
    Put("rotation", "empty", Bytes(WriteRotationRecord(empty)));
    RotationRecord record;
    record.sequentialNext = 3;
    record.sequenceAnchor = "C:\\Pictures\\2.jpg";
    record.history = {"C:\\Pictures\\1.jpg", "D:\\Фото\\夕焼け.png", "C:\\Pictures\\2.jpg"};
    record.historyPosition = 1;
    record.shown = {PictureKey(record.history[0]), PictureKey(record.history[2])};
    const std::string bytes = Bytes(WriteRotationRecord(record));
    Put("rotation", "gone-back", bytes);
    Put("rotation", "cut-short", bytes.substr(0, bytes.size() - 5));
    RotationRecord full;
    for (int i = 0; i < 50; ++i)
        full.history.push_back("C:\\P\\" + std::to_string(i) + ".jpg");
    full.historyPosition = 49;
    for (uint64_t i = 0; i < 500; ++i)
        full.shown.push_back(i * 0x9E3779B97F4A7C15ull);
    std::sort(full.shown.begin(), full.shown.end());
    Put("rotation", "fifty-and-a-shuffle", Bytes(WriteRotationRecord(full)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    LibrarySeeds();
    BitmapSeeds();
    TgaSeeds();
    JpegSeeds();
    CommandLineSeeds();
    ExifSeeds();
    FolderIndexSeeds();
    RotationSeeds();
    return 0;
}
