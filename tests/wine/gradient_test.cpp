// Gradients painted into a 32-bit bitmap and read back pixel by pixel.
#include "core/gradient.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

namespace tessarin {
namespace {

constexpr uint32_t kSentinel = colorRgb(1, 2, 3);

// A top-down 32-bit DIB section selected into a memory DC, filled with the sentinel colour.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i) bits_[i] = 0x010203;
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    uint32_t pixel(int x, int y) const {
        GdiFlush();
        uint32_t v = bits_[y * width_ + x];  // 0x00RRGGBB
        return colorRgb(v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF);
    }

  private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

bool closeColour(uint32_t a, uint32_t b, int tolerance) {
    return std::abs(int(colorRed(a)) - int(colorRed(b))) <= tolerance &&
           std::abs(int(colorGreen(a)) - int(colorGreen(b))) <= tolerance &&
           std::abs(int(colorBlue(a)) - int(colorBlue(b))) <= tolerance;
}

// Without the system's gradient call, each band is one solid colour: 1-pixel bands over 100
// rows, 3-pixel bands over 900.
TEST(GradientPainting, BandsAreSolidRowsOfTheComputedColours) {
    for (int height : {100, 900}) {
        Canvas canvas(20, height + 4);
        GradientRequest r{canvas.dc(),         3, 2, 15, height + 1, colorRgb(250, 10, 0),
                          colorRgb(0, 90, 240)};
        ASSERT_TRUE(fillVerticalGradientBands(r));
        int32_t n = gradientBandCount(r);
        for (int32_t i = 0; i < n; ++i) {
            GradientBand band = gradientBand(r, i);
            for (int y = band.top; y < band.bottom; ++y)
                for (int x : {3, 9, 15})
                    ASSERT_EQ(canvas.pixel(x, y), band.color) << height << ":" << y;
        }
        EXPECT_EQ(gradientBand(r, 1).top - gradientBand(r, 0).top, height == 100 ? 1 : 3);
        EXPECT_NE(canvas.pixel(9, 2 + 3), canvas.pixel(9, 2 + 2 + (height == 100 ? 0 : 4)));
        for (int y : {0, 1, height + 2, height + 3})
            EXPECT_EQ(canvas.pixel(9, y), kSentinel) << height << ": row " << y << " painted";
        for (int y = 2; y < height + 2; y += 50) {
            EXPECT_EQ(canvas.pixel(2, y), kSentinel);
            EXPECT_EQ(canvas.pixel(16, y), kSentinel);
        }
    }
}

// The system's call paints the inclusive rectangle from the top colour to the bottom colour.
TEST(GradientPainting, SystemGradientCoversTheInclusiveRectangle) {
    Canvas canvas(30, 220);
    const uint32_t top = colorRgb(200, 30, 30), bottom = colorRgb(20, 40, 220);
    GradientRequest r{canvas.dc(), 5, 10, 24, 209, top, bottom};
    ASSERT_TRUE(fillVerticalGradient(r));
    EXPECT_EQ(canvas.pixel(5, 10), top);
    EXPECT_EQ(canvas.pixel(24, 10), top);
    EXPECT_TRUE(closeColour(canvas.pixel(24, 209), bottom, 2)) << std::hex << canvas.pixel(24, 209);
    for (int y = 11; y <= 209; ++y) {
        EXPECT_LE(colorRed(canvas.pixel(15, y)), colorRed(canvas.pixel(15, y - 1))) << y;
        EXPECT_GE(colorBlue(canvas.pixel(15, y)), colorBlue(canvas.pixel(15, y - 1))) << y;
    }
    EXPECT_EQ(canvas.pixel(15, 9), kSentinel);
    EXPECT_EQ(canvas.pixel(15, 210), kSentinel);
    EXPECT_EQ(canvas.pixel(4, 100), kSentinel);
    EXPECT_EQ(canvas.pixel(25, 100), kSentinel);
}

}  // namespace
}  // namespace tessarin
