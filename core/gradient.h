// Vertical colour gradients for banners and the background window.
//
// The system's GradientFill (msimg32, looked up once at run time) paints the gradient when it
// is there; otherwise the rectangle is painted as narrow horizontal bands of solid colour. The
// band layout and the vertex values are portable (gradient.cpp) so they can be checked anywhere.
#pragma once

#include <cstdint>

namespace tessarin {

// A COLORREF: red in the low byte, then green, then blue.
inline constexpr uint32_t colorRgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16;
}
inline constexpr uint32_t colorRed(uint32_t c) {
    return c & 0xFF;
}
inline constexpr uint32_t colorGreen(uint32_t c) {
    return c >> 8 & 0xFF;
}
inline constexpr uint32_t colorBlue(uint32_t c) {
    return c >> 16 & 0xFF;
}

// Left, top, right and bottom are inclusive here.
struct GradientRequest {
    void* dc = nullptr;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    uint32_t topColor = 0;
    uint32_t bottomColor = 0;
};

// One corner of the system's gradient call (TRIVERTEX): 16-bit channels.
struct GradientVertex {
    int32_t x = 0;
    int32_t y = 0;
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;
    uint16_t alpha = 0;
};

// The top-left corner with the top colour and the corner just past the bottom right with the
// bottom colour.
void gradientVertices(const GradientRequest& request, GradientVertex& first,
                      GradientVertex& second);

// Rows [top, bottom) painted in one colour.
struct GradientBand {
    int32_t top = 0;
    int32_t bottom = 0;
    uint32_t color = 0;
};

// Band height for a rectangle of the given height: height / 224, kept within 1..3 pixels.
int32_t gradientBandHeight(int32_t height);
// Number of bands that cover the request's rows (0 for an empty rectangle), and band i of them.
int32_t gradientBandCount(const GradientRequest& request);
GradientBand gradientBand(const GradientRequest& request, int32_t i);

// Paints the gradient; false (with the system's error) when it could not be painted.
bool fillVerticalGradient(const GradientRequest& request);
// The banded painting on its own, as used when the system has no gradient call.
bool fillVerticalGradientBands(const GradientRequest& request);

}  // namespace tessarin
