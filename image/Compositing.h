// Transparent pixels over a background colour (portable): how the PNG and WebP readers turn
// their 8-bit red, green, blue, alpha lines into picture lines (blue, green, red).
#pragma once
#include <cstdint>

// The three channels of the background (a COLORREF, 0x00BBGGRR), blue first as in the rows.
struct Background {
    explicit Background(uint32_t colour)
        : blue(uint8_t(colour >> 16)), green(uint8_t(colour >> 8)), red(uint8_t(colour)) {}
    uint8_t blue, green, red;
};

// A sample of this alpha over the background's sample, rounded.
inline uint8_t BlendOver(unsigned sample, unsigned alpha, unsigned background)
{
    return uint8_t((sample * alpha + background * (255 - alpha) + 127) / 255);
}

// One decoded line (red, green, blue, alpha) over the background into a picture line.
inline void CompositeRgbaLine(const uint8_t* in, uint8_t* out, uint32_t width, const Background& bg)
{
    for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
        const unsigned alpha = in[3];
        if (alpha == 255) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        } else {
            out[0] = BlendOver(in[2], alpha, bg.blue);
            out[1] = BlendOver(in[1], alpha, bg.green);
            out[2] = BlendOver(in[0], alpha, bg.red);
        }
    }
}

// A picture line of the background colour.
inline void FillBackgroundLine(uint8_t* out, uint32_t width, const Background& bg)
{
    for (uint32_t x = 0; x < width; ++x, out += 3) {
        out[0] = bg.blue;
        out[1] = bg.green;
        out[2] = bg.red;
    }
}
