#include <windows.h>

#include "core/gradient.h"
#include "core/system_function_win.h"

namespace tessarin {
namespace {

using GradientFillFunction = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

// msimg32 is not on every old system; it is loaded on first use and kept for the process.
GradientFillFunction gradientFillFunction() {
    static const GradientFillFunction function =
        systemFunction<GradientFillFunction>(L"msimg32.dll", "GradientFill");
    return function;
}

TRIVERTEX toTriVertex(const GradientVertex& v) {
    TRIVERTEX t;
    t.x = v.x;
    t.y = v.y;
    t.Red = v.red;
    t.Green = v.green;
    t.Blue = v.blue;
    t.Alpha = v.alpha;
    return t;
}

bool fillBand(HDC dc, int32_t left, int32_t right, const GradientBand& band) {
    HBRUSH brush = CreateSolidBrush(band.color);
    if (!brush) return false;
    RECT r = {left, band.top, right, band.bottom};
    bool ok = FillRect(dc, &r, brush) != 0;
    DeleteObject(brush);
    return ok;
}

}  // namespace

bool fillVerticalGradient(const GradientRequest& request) {
    if (GradientFillFunction gradientFill = gradientFillFunction()) {
        GradientVertex first, second;
        gradientVertices(request, first, second);
        TRIVERTEX corners[2] = {toTriVertex(first), toTriVertex(second)};
        GRADIENT_RECT rect = {0, 1};
        if (gradientFill(static_cast<HDC>(request.dc), corners, 2, &rect, 1, GRADIENT_FILL_RECT_V))
            return true;
    }
    return fillVerticalGradientBands(request);
}

bool fillVerticalGradientBands(const GradientRequest& request) {
    HDC dc = static_cast<HDC>(request.dc);
    int32_t right = request.right < 0x7FFFFFFF ? request.right + 1 : request.right;
    int32_t n = gradientBandCount(request);
    for (int32_t i = 0; i < n; ++i)
        if (!fillBand(dc, request.left, right, gradientBand(request, i))) return false;
    return true;
}

}  // namespace tessarin
