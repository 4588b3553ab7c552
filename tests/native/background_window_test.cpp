// The background window's picture, placement and text arithmetic.
#include "ui/background_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace tessarin {
namespace {

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A packed bitmap: 40-byte header, colour table, rows padded to 4 bytes.
std::vector<uint8_t> packedBitmap(int32_t width, int32_t height, uint32_t bitCount,
                                  uint32_t colorsUsed = 0, uint32_t compression = 0) {
    uint32_t tableEntries = bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << bitCount) : colorsUsed;
    size_t stride = (size_t(width) * bitCount + 31) / 32 * 4;
    size_t rows = size_t(height < 0 ? -int64_t(height) : height);
    std::vector<uint8_t> b(40 + 4 * tableEntries + stride * rows, 0);
    put32(b, 0, 40);
    put32(b, 4, static_cast<uint32_t>(width));
    put32(b, 8, static_cast<uint32_t>(height));
    put16(b, 12, 1);
    put16(b, 14, bitCount);
    put32(b, 16, compression);
    put32(b, 32, colorsUsed);
    return b;
}

std::vector<uint8_t> bitmapFile(const std::vector<uint8_t>& packed, uint32_t gap = 0) {
    uint32_t header = 40, table = 0;
    // The test bitmaps of this helper have no colour table.
    std::vector<uint8_t> b(14 + header + table + gap, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(b.size() + packed.size() - 40));
    put32(b, 10, 14 + header + table + gap);
    std::memcpy(&b[14], packed.data(), header);
    b.insert(b.end(), packed.begin() + header, packed.end());
    return b;
}

bool parses(const std::vector<uint8_t>& b, BitmapView* out = nullptr) {
    BitmapView view;
    bool ok = parseBitmap(b.data(), static_cast<int32_t>(b.size()), view);
    if (out) *out = view;
    return ok;
}

TEST(BackgroundPicture, PackedAndFileFormsAreFound) {
    std::vector<uint8_t> packed = packedBitmap(5, 3, 24);
    BitmapView view;
    ASSERT_TRUE(parses(packed, &view));
    EXPECT_EQ(view.width, 5);
    EXPECT_EQ(view.height, 3);
    EXPECT_EQ(view.infoSize, 40);
    EXPECT_EQ(view.bits, packed.data() + 40);
    EXPECT_EQ(view.bitsSize, 16 * 3);

    std::vector<uint8_t> file = bitmapFile(packed, 6);  // pixels 6 bytes after the header
    ASSERT_TRUE(parses(file, &view));
    EXPECT_EQ(view.info, file.data() + 14);
    EXPECT_EQ(view.bits, file.data() + 14 + 40 + 6);
    EXPECT_EQ(view.bitsSize, 48);

    std::vector<uint8_t> indexed = packedBitmap(9, -4, 8);  // top-down, 256 colours
    ASSERT_TRUE(parses(indexed, &view));
    EXPECT_EQ(view.infoSize, 40 + 1024);
    EXPECT_EQ(view.height, 4);
    EXPECT_EQ(view.bitsSize, 12 * 4);

    std::vector<uint8_t> fields = packedBitmap(2, 2, 32, 0, 3);  // three masks follow
    fields.resize(fields.size() + 12);
    ASSERT_TRUE(parses(fields, &view));
    EXPECT_EQ(view.infoSize, 52);
}

// The picture comes from the script: every size and offset is checked against the block.
TEST(BackgroundPicture, MalformedBitmapsAreRefused) {
    std::vector<std::vector<uint8_t>> bad;
    std::vector<uint8_t> b = packedBitmap(5, 3, 24);
    b.pop_back();  // one pixel byte short
    bad.push_back(b);
    bad.push_back(packedBitmap(0, 3, 24));
    b = packedBitmap(5, 3, 24);
    put32(b, 4, static_cast<uint32_t>(-5));
    bad.push_back(b);
    bad.push_back(packedBitmap(5, 0, 24));
    b = packedBitmap(5, 1, 24);
    put32(b, 8, 0x80000000u);  // height INT32_MIN
    bad.push_back(b);
    bad.push_back(packedBitmap(40000, 1, 1));
    bad.push_back(packedBitmap(5, 3, 7));
    bad.push_back(packedBitmap(5, 3, 8, 0, 1));   // run-length encoded
    bad.push_back(packedBitmap(5, 3, 24, 0, 3));  // bit fields need 16 or 32 bits
    b = packedBitmap(5, 3, 8);
    put32(b, 32, 300);  // more colours than 8 bits address
    bad.push_back(b);
    b = packedBitmap(5, 3, 24);
    put32(b, 0, 12);  // the old core header
    bad.push_back(b);
    b = packedBitmap(5, 3, 24);
    put16(b, 12, 2);  // planes
    bad.push_back(b);
    b = bitmapFile(packedBitmap(5, 3, 24));
    put32(b, 10, 20);  // pixels inside the header
    bad.push_back(b);
    b = bitmapFile(packedBitmap(5, 3, 24));
    put32(b, 10, 0xFFFFFFF0u);  // pixels past the end
    bad.push_back(b);
    bad.push_back(std::vector<uint8_t>(39, 0));
    bad.push_back({});
    for (size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(parses(bad[i])) << "case " << i;
}

TEST(BackgroundPicture, AreaShrinksAboutTheCentre) {
    Rect client{0, 0, 1000, 800};
    EXPECT_EQ(pictureArea(client, 50), (Rect{250, 200, 750, 600}));
    EXPECT_EQ(pictureArea(client, 100), client);
    EXPECT_EQ(pictureArea(client, 150), client);
    EXPECT_EQ(pictureArea(client, 0).width(), 0);
    EXPECT_EQ(pictureArea(Rect{10, 20, 111, 221}, 33), (Rect{44, 87, 77, 153}));
}

TEST(BackgroundPicture, PlacementForEachStretchMode) {
    const Rect area{320, 256, 960, 768};  // 640 × 512
    struct Case {
        int32_t width, height, mode;
        Rect placed;
    } cases[] = {
        {50, 30, kStretchToArea, area},
        {50, 30, kStretchFit, {320, 320, 960, 704}},              // 640 × 384
        {50, 30, kStretchWholeMultiple, {340, 332, 940, 692}},    // 12 × (50 × 30)
        {30, 60, kStretchFit, {512, 256, 768, 768}},              // 256 × 512
        {700, 100, kStretchWholeMultiple, {320, 466, 960, 557}},  // too big: fitted, 640 × 91
        {640, 512, kStretchWholeMultiple, area},
        {50, 30, 7, area},
    };
    for (const Case& c : cases)
        EXPECT_EQ(picturePlacement(area, c.width, c.height, c.mode), c.placed)
            << c.width << "x" << c.height << " mode " << c.mode;
}

TEST(BackgroundPicture, TilesCoverTheWindow) {
    PictureTiles t = pictureTiles(Rect{0, 0, 1000, 800}, 300, 300);
    EXPECT_EQ(t.columns, 4);
    EXPECT_EQ(t.rows, 3);
    t = pictureTiles(Rect{0, 0, 600, 600}, 300, 300);
    EXPECT_EQ(t.columns, 2);
    EXPECT_EQ(t.rows, 2);
    t = pictureTiles(Rect{0, 0, 600, 600}, 0, 300);
    EXPECT_EQ(t.columns, 0);
}

TEST(BackgroundText, SizesShadowAndMargins) {
    EXPECT_EQ(nominalPoints(2.0, 26), 52);
    EXPECT_EQ(nominalPoints(1.5, 16), 24);
    EXPECT_EQ(nominalPoints(0.0, 26), 1);
    EXPECT_EQ(nominalPoints(-3.0, 26), 1);
    EXPECT_EQ(nominalPoints(std::numeric_limits<double>::quiet_NaN(), 26), 1);
    EXPECT_EQ(nominalPoints(1e12, 26), 500);
    EXPECT_EQ(fontPixelHeight(52, 96), 69);
    EXPECT_EQ(fontPixelHeight(39, 120), 65);
    EXPECT_EQ(shadowOffset(100, 69), 5);
    EXPECT_EQ(shadowOffset(100, -69), 5);
    EXPECT_EQ(shadowOffset(0, 69), 0);
    EXPECT_EQ(shadowOffset(255, 500), 98);
    TextMargins m = textMargins(Rect{0, 0, 1280, 1024});
    EXPECT_EQ(m.horizontal, 6);
    EXPECT_EQ(m.vertical, 2);
    m = textMargins(Rect{0, 0, 199, 399});
    EXPECT_EQ(m.horizontal, 0);
    EXPECT_EQ(m.vertical, 0);
}

struct Measured {
    int32_t perPoint;
    std::vector<int32_t> asked;
};

int32_t measure(int32_t points, void* context) {
    Measured* m = static_cast<Measured*>(context);
    m->asked.push_back(points);
    return points * m->perPoint;
}

// A title too wide for the window shrinks one point at a time, never below 6 points.
TEST(BackgroundText, FittingShrinksOnePointAtATime) {
    Measured m{20, {}};
    EXPECT_EQ(fitTextPoints(52, 1000, 5, measure, &m), 49);  // 49 × 20 + 5 < 1000
    EXPECT_EQ(m.asked, (std::vector<int32_t>{52, 51, 50, 49}));

    m = {20, {}};
    EXPECT_EQ(fitTextPoints(52, 1045, 5, measure, &m), 51);  // 52 × 20 + 5 is not below 1045
    EXPECT_EQ(m.asked, (std::vector<int32_t>{52, 51}));

    m = {100000, {}};
    EXPECT_EQ(fitTextPoints(12, 1000, 5, measure, &m), 6);
    EXPECT_EQ(m.asked, (std::vector<int32_t>{12, 11, 10, 9, 8, 7}));

    m = {100000, {}};
    EXPECT_EQ(fitTextPoints(4, 1000, 5, measure, &m), 4);
    EXPECT_TRUE(m.asked.empty());
}

TEST(BackgroundText, OriginForEachPosition) {
    const Rect client{0, 0, 1000, 800};
    const TextMargins margins{5, 2};
    struct Case {
        uint8_t position;
        int32_t x, y;
    } cases[] = {{1, 5, 2}, {2, 398, 2}, {3, 791, 2}, {4, 5, 744}, {5, 398, 744}, {6, 791, 744}};
    for (const Case& c : cases) {
        TextOrigin o = textOrigin(client, c.position, 200, 50, 4, margins);
        EXPECT_EQ(o.x, c.x) << int(c.position);
        EXPECT_EQ(o.y, c.y) << int(c.position);
    }
    EXPECT_FALSE(textPositionValid(0));
    EXPECT_FALSE(textPositionValid(7));
    EXPECT_TRUE(textPositionValid(6));
}

TEST(BackgroundText, BlankTexts) {
    EXPECT_TRUE(textBlank(String()));
    EXPECT_TRUE(textBlank(String(u" \t\r\n")));
    EXPECT_FALSE(textBlank(String(u"  x ")));
}

TEST(BackgroundWindowFlags, FromProductFlags) {
    EXPECT_TRUE(backgroundWindowWanted(0));
    EXPECT_FALSE(backgroundWindowWanted(0x20000000));
    EXPECT_TRUE(backgroundWindowWanted(uint64_t(0x20000000) << 32));
    EXPECT_FALSE(backgroundWindowMaximized(0x100));
    EXPECT_TRUE(backgroundWindowMaximized(uint64_t(0x100) << 32));
}

}  // namespace
}  // namespace tessarin
