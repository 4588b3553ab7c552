// The banded gradient and the gradient call's corners, computed without a screen.
#include "core/gradient.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tessarin {
namespace {

GradientRequest request(int32_t top, int32_t height, uint32_t topColor, uint32_t bottomColor) {
    GradientRequest r;
    r.left = 5;
    r.right = 44;
    r.top = top;
    r.bottom = top + height - 1;
    r.topColor = topColor;
    r.bottomColor = bottomColor;
    return r;
}

TEST(Gradient, BandHeightFollowsTheRectangleHeight) {
    struct Case {
        int32_t height, band;
    } cases[] = {{0, 1},   {1, 1},   {100, 1}, {447, 1}, {448, 2},
                 {671, 2}, {672, 3}, {900, 3}, {5000, 3}};
    for (const Case& c : cases) EXPECT_EQ(gradientBandHeight(c.height), c.band) << c.height;
}

// The bands cover every row of the rectangle exactly once, in order, and the last band may be
// cut short by the rectangle's bottom.
TEST(Gradient, BandsTileTheRectangle) {
    struct Case {
        int32_t height, count, lastHeight;
    } cases[] = {{100, 100, 1}, {900, 300, 3}, {901, 301, 1}, {500, 250, 2}, {1, 1, 1}};
    for (const Case& c : cases) {
        GradientRequest r = request(-7, c.height, 0, 0xFFFFFF);
        ASSERT_EQ(gradientBandCount(r), c.count) << c.height;
        int32_t row = r.top;
        for (int32_t i = 0; i < c.count; ++i) {
            GradientBand band = gradientBand(r, i);
            ASSERT_EQ(band.top, row) << c.height << " band " << i;
            ASSERT_GT(band.bottom, band.top);
            row = band.bottom;
        }
        EXPECT_EQ(row, r.bottom + 1) << c.height;
        GradientBand last = gradientBand(r, c.count - 1);
        EXPECT_EQ(last.bottom - last.top, c.lastHeight) << c.height;
    }
}

// Each channel runs from its top value in the first band to its bottom value in the last,
// rising or falling in even steps.
TEST(Gradient, BandColoursStepEvenlyFromTopToBottom) {
    const uint32_t top = colorRgb(250, 0, 128), bottom = colorRgb(10, 255, 128);
    for (int32_t height : {100, 300, 900}) {
        GradientRequest r = request(0, height, top, bottom);
        int32_t n = gradientBandCount(r);
        EXPECT_EQ(gradientBand(r, 0).color, top);
        EXPECT_EQ(gradientBand(r, n - 1).color, bottom);
        for (int32_t i = 1; i < n; ++i) {
            uint32_t a = gradientBand(r, i - 1).color, b = gradientBand(r, i).color;
            int red = int(colorRed(b)) - int(colorRed(a));
            int green = int(colorGreen(b)) - int(colorGreen(a));
            double redStep = -240.0 / (n - 1), greenStep = 255.0 / (n - 1);
            EXPECT_LE(std::abs(red - redStep), 1.0) << height << " band " << i;
            EXPECT_LE(std::abs(green - greenStep), 1.0) << height << " band " << i;
            EXPECT_EQ(colorBlue(b), 128u);
        }
    }
}

TEST(Gradient, EmptyRectangleHasNoBands) {
    GradientRequest r = request(10, 0, 0, 0xFFFFFF);
    EXPECT_EQ(gradientBandCount(r), 0);
    r = request(10, 5, 0, 0xFFFFFF);
    r.right = r.left - 1;
    EXPECT_EQ(gradientBandCount(r), 0);
}

// The corners of the system call: 8-bit channels in the high byte of 16, the second corner
// just past the inclusive bottom-right.
TEST(Gradient, VerticesCarryTheColoursInTheHighByte) {
    GradientRequest r = request(3, 20, colorRgb(0x01, 0x80, 0xFF), colorRgb(0xFE, 0x00, 0x7F));
    GradientVertex first, second;
    gradientVertices(r, first, second);
    EXPECT_EQ(first.x, 5);
    EXPECT_EQ(first.y, 3);
    EXPECT_EQ(first.red, 0x0100);
    EXPECT_EQ(first.green, 0x8000);
    EXPECT_EQ(first.blue, 0xFF00);
    EXPECT_EQ(first.alpha, 0);
    EXPECT_EQ(second.x, 45);
    EXPECT_EQ(second.y, 23);
    EXPECT_EQ(second.red, 0xFE00);
    EXPECT_EQ(second.green, 0);
    EXPECT_EQ(second.blue, 0x7F00);
}

}  // namespace
}  // namespace tessarin
