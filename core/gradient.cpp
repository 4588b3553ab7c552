#include "core/gradient.h"

namespace tessarin {
namespace {

uint16_t wideChannel(uint32_t channel) {
    return static_cast<uint16_t>(channel << 8);
}

int32_t pastEdge(int32_t inclusive) {
    return inclusive < 0x7FFFFFFF ? inclusive + 1 : inclusive;
}

int64_t rowCount(const GradientRequest& r) {
    if (r.right < r.left || r.bottom < r.top) return 0;
    return int64_t(r.bottom) - r.top + 1;
}

int32_t bandStep(int64_t rows) {
    return gradientBandHeight(rows > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(rows));
}

// Channel of band i of n: the top value at the first band, the bottom value at the last, evenly
// stepped in between.
uint32_t bandChannel(uint32_t from, uint32_t to, int32_t i, int32_t n) {
    if (n < 2) return from;
    int64_t delta = int64_t(to) - int64_t(from);
    return static_cast<uint32_t>(int64_t(from) + delta * i / (n - 1));
}

GradientVertex vertex(int32_t x, int32_t y, uint32_t color) {
    return {x,
            y,
            wideChannel(colorRed(color)),
            wideChannel(colorGreen(color)),
            wideChannel(colorBlue(color)),
            0};
}

}  // namespace

void gradientVertices(const GradientRequest& request, GradientVertex& first,
                      GradientVertex& second) {
    first = vertex(request.left, request.top, request.topColor);
    second = vertex(pastEdge(request.right), pastEdge(request.bottom), request.bottomColor);
}

int32_t gradientBandHeight(int32_t height) {
    int32_t band = height / 224;
    return band < 1 ? 1 : band > 3 ? 3 : band;
}

int32_t gradientBandCount(const GradientRequest& request) {
    int64_t rows = rowCount(request);
    int32_t step = bandStep(rows);
    return static_cast<int32_t>((rows + step - 1) / step);
}

GradientBand gradientBand(const GradientRequest& request, int32_t i) {
    int64_t rows = rowCount(request);
    int32_t step = bandStep(rows);
    int32_t n = gradientBandCount(request);
    int64_t top = int64_t(request.top) + int64_t(i) * step;
    int64_t end = int64_t(pastEdge(request.bottom));
    int64_t bottom = top + step < end ? top + step : end;
    uint32_t a = request.topColor, b = request.bottomColor;
    uint32_t color = colorRgb(bandChannel(colorRed(a), colorRed(b), i, n),
                              bandChannel(colorGreen(a), colorGreen(b), i, n),
                              bandChannel(colorBlue(a), colorBlue(b), i, n));
    return {static_cast<int32_t>(top), static_cast<int32_t>(bottom), color};
}

}  // namespace tessarin
