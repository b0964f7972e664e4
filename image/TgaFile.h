// Truevision TGA reader (portable).
// Uncompressed and run-length encoded files of every common kind: true colour (types 2 and 10)
// of 15, 16, 24 or 32 bits per pixel, colour-mapped (types 1 and 9) with 8- or 16-bit indexes
// into a map of 15-, 16-, 24- or 32-bit entries, and greyscale (types 3 and 11) of 8 bits.
// 5-bit channels are scaled to 8 bits with rounding (ScaleChannelTo8); alpha and attribute
// bits are ignored. The whole TGA 2.0 header set is parsed; diagnostics found on the way are written
// as lines to standard output and never make a load fail.
#pragma once
#include "image/JpegFile.h"
#include "image/Pixels.h"

#include <cstdint>
#include <cstdio>
#include <vector>

struct TgaHeader {
    // The 18-byte file header.
    uint8_t idLength = 0;
    uint8_t colorMapType = 0;
    uint8_t imageType = 0;
    uint16_t colorMapFirst = 0;
    uint16_t colorMapLength = 0;
    uint8_t colorMapEntrySize = 0;
    uint16_t xOrigin = 0;
    uint16_t yOrigin = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t pixelDepth = 0;
    uint8_t descriptor = 0;     // bits 0-3 attribute bits, bit 4 right-to-left, bit 5 top-down
    char imageId[256] = {};

    // TGA 2.0 extension area.
    uint16_t extensionSize = 0;
    char authorName[41] = {};
    char authorComments[4][81] = {};
    uint16_t dateTime[6] = {};  // month, day, year, hour, minute, second
    char jobName[41] = {};
    uint16_t jobTime[3] = {};   // hours, minutes, seconds
    char softwareId[41] = {};
    uint16_t softwareVersion = 0;
    char softwareLetter = 0;
    uint32_t keyColor = 0;
    uint16_t aspectNumerator = 0;
    uint16_t aspectDenominator = 0;
    uint16_t gammaNumerator = 0;
    uint16_t gammaDenominator = 0;
    uint32_t colorCorrectionOffset = 0;
    uint32_t postageStampOffset = 0;
    uint32_t scanLineOffset = 0;
    uint8_t attributesType = 0;
    std::vector<uint32_t> scanLineTable;        // empty: none
    uint8_t stampWidth = 0;
    uint8_t stampHeight = 0;
    std::vector<uint16_t> colorCorrectionTable; // empty: none

    // File footer (both offsets 0 for an old-style file).
    uint32_t extensionOffset = 0;
    uint32_t developerOffset = 0;
    char signature[18] = {};

    // Computed while reading.
    uint32_t dataOffset = 0;        // file position of the first pixel byte
    uint16_t developerTagCount = 0; // number of tags in the developer directory
    int64_t fileSize = 0;
};

// Run-length decoder state, carried from one row to the next: a packet may cover the end of
// one row and the start of the next.
struct TgaRleState {
    bool inRun = false;
    bool inRaw = false;
    int left = 0;           // pixels left in the current packet
    uint8_t packet[512] {}; // a run's pixel value, or a raw packet's pixels (128 x 4 bytes)
    int position = 0;       // read position in packet
};

// Fills the header from the file. 1 when the file could be opened and its header and image id
// are complete, else 0. Extension tables are read and released again before returning.
int ReadTgaHeader(const char* path, TgaHeader& header);
// Reads the extension area at header.extensionOffset and the tables it points to.
// 0, or -1 when the extension area lies outside the file.
int ReadTgaExtension(FILE* file, TgaHeader& header);
// Whether the reader decodes the header's image type at its pixel depth (and, for a
// colour-mapped type, its colour map: present, not empty, of 15, 16, 24 or 32 bits an entry).
bool TgaPixelsDecodable(const TgaHeader& header);
// Reads the pixel data into a picture of the header's size, honouring the origin bits so the
// picture is upright. A colour index outside the map (colorMapFirst to colorMapFirst +
// colorMapLength - 1) gives a black pixel. False on a short file (the colour map included), a
// type TgaPixelsDecodable refuses or a picture of another size.
bool ReadTgaPixels(const char* path, const TgaHeader& header, const PixelImage& picture);
// Fills exactly length bytes (a multiple of bpp, bpp 1 to 4) at row from run-length packets,
// continuing any packet left over in state. 0, or -1 when the file ends inside a packet.
int DecodeTgaRleRow(uint8_t* row, size_t length, int bpp, FILE* file, TgaRleState& state);

// The lines of the picture, top line first, as for ReadJpegFile (the same sink: Begin, then
// Line and LineDone for every line in order), after the header checks of LoadTgaFile. A file
// stored top line first, or uncompressed, is read a line at a time; a run-length one stored
// bottom line first (its lines are found only by decoding those before) is decoded whole
// first, at the file's bytes a pixel. False as for LoadTgaFile, or when the sink stopped the
// read. No function of the sink may throw.
bool ReadTgaFile(const char* path, IJpegLineSink& sink);

// Reads a TGA file of any type TgaPixelsDecodable accepts into the target. False on any
// failure; the target is untouched when the header already rules the file out, as when the
// colour map, or the least pixel data the picture needs, lies beyond the end of the file.
bool LoadTgaFile(const char* path, IPixelTarget& target);
