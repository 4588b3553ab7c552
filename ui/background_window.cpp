#include "ui/background_window.h"

#include "core/byte_order.h"

namespace tessarin {
namespace {

constexpr int32_t kFileHeaderSize = 14;        // BITMAPFILEHEADER
constexpr uint32_t kInfoHeaderSize = 40;       // BITMAPINFOHEADER
constexpr uint32_t kCompressionNone = 0;       // BI_RGB
constexpr uint32_t kCompressionBitFields = 3;  // BI_BITFIELDS
constexpr int32_t kLargestSide = 32767;
constexpr int32_t kSmallestPoints = 6;
constexpr int32_t kLargestPoints = 500;

bool validBitCount(uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

int64_t absolute(int64_t v) {
    return v < 0 ? -v : v;
}

// The colour table (and the three masks of a bit-field bitmap with the short header) follow the
// header; its size in bytes, or -1 when the header asks for more colours than its pixels use.
int64_t colorTableSize(uint32_t headerSize, uint32_t bitCount, uint32_t compression,
                       uint32_t colorsUsed) {
    int64_t masks =
        (compression == kCompressionBitFields && headerSize == kInfoHeaderSize) ? 12 : 0;
    if (bitCount <= 8) {
        uint32_t most = 1u << bitCount;
        if (colorsUsed > most) return -1;
        return masks + 4 * int64_t(colorsUsed ? colorsUsed : most);
    }
    if (colorsUsed > 256) return -1;
    return masks + 4 * int64_t(colorsUsed);
}

Rect centred(const Rect& area, int64_t width, int64_t height) {
    Rect r;
    r.left = static_cast<int32_t>(area.left + (area.width() - width) / 2);
    r.top = static_cast<int32_t>(area.top + (area.height() - height) / 2);
    r.right = static_cast<int32_t>(r.left + width);
    r.bottom = static_cast<int32_t>(r.top + height);
    return r;
}

Rect proportionalFit(const Rect& area, int32_t width, int32_t height) {
    int64_t aw = area.width(), ah = area.height();
    if (aw * height <= ah * width) return centred(area, aw, aw * height / width);
    return centred(area, ah * width / height, ah);
}

}  // namespace

BackgroundWindowSettings& backgroundWindowSettings() {
    static BackgroundWindowSettings settings;
    return settings;
}

bool backgroundWindowWanted(uint64_t productFlags) {
    return !(productFlags & kFlagNoBackgroundWindow);
}

bool backgroundWindowMaximized(uint64_t productFlags) {
    return (productFlags & kFlagBackgroundMaximized) != 0;
}

bool parseBitmap(const uint8_t* bytes, int32_t length, BitmapView& view) {
    view = BitmapView();
    if (!bytes || length <= 0) return false;
    int64_t infoStart = 0, bitsStart = -1;
    if (length >= kFileHeaderSize && bytes[0] == 'B' && bytes[1] == 'M') {
        infoStart = kFileHeaderSize;
        bitsStart = loadLe32(bytes + 10);
    }
    if (infoStart + kInfoHeaderSize > length) return false;
    const uint8_t* info = bytes + infoStart;
    uint32_t headerSize = loadLe32(info);
    int32_t width = static_cast<int32_t>(loadLe32(info + 4));
    int32_t height = static_cast<int32_t>(loadLe32(info + 8));
    uint32_t planes = loadLe16(info + 12), bitCount = loadLe16(info + 14);
    uint32_t compression = loadLe32(info + 16), colorsUsed = loadLe32(info + 32);
    if (headerSize < kInfoHeaderSize || headerSize > 1024 || planes != 1 ||
        !validBitCount(bitCount))
        return false;
    if (width <= 0 || width > kLargestSide || height == 0 || absolute(height) > kLargestSide)
        return false;
    if (compression != kCompressionNone &&
        !(compression == kCompressionBitFields && (bitCount == 16 || bitCount == 32)))
        return false;
    int64_t table = colorTableSize(headerSize, bitCount, compression, colorsUsed);
    if (table < 0) return false;
    int64_t infoSize = int64_t(headerSize) + table;
    if (bitsStart < 0) bitsStart = infoStart + infoSize;
    int64_t stride = (int64_t(width) * bitCount + 31) / 32 * 4;
    int64_t bitsSize = stride * absolute(height);
    if (infoStart + infoSize > length || bitsStart < infoStart + infoSize ||
        bitsStart + bitsSize > length)
        return false;
    view.info = info;
    view.infoSize = static_cast<int32_t>(infoSize);
    view.bits = bytes + bitsStart;
    view.bitsSize = static_cast<int32_t>(bitsSize);
    view.width = width;
    view.height = static_cast<int32_t>(absolute(height));
    return true;
}

Rect pictureArea(const Rect& client, int32_t bitmapSize) {
    int64_t percent = bitmapSize < 0 ? 0 : bitmapSize > 100 ? 100 : bitmapSize;
    int64_t w = client.width() > 0 ? client.width() * percent / 100 : 0;
    int64_t h = client.height() > 0 ? client.height() * percent / 100 : 0;
    return centred(client, w, h);
}

Rect picturePlacement(const Rect& area, int32_t pictureWidth, int32_t pictureHeight,
                      int32_t stretchMode) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || area.width() <= 0 || area.height() <= 0)
        return area;
    if (stretchMode == kStretchFit) return proportionalFit(area, pictureWidth, pictureHeight);
    if (stretchMode == kStretchWholeMultiple) {
        int32_t kx = area.width() / pictureWidth, ky = area.height() / pictureHeight;
        int32_t k = kx < ky ? kx : ky;
        if (k == 0) return proportionalFit(area, pictureWidth, pictureHeight);
        return centred(area, int64_t(k) * pictureWidth, int64_t(k) * pictureHeight);
    }
    return area;
}

PictureTiles pictureTiles(const Rect& client, int32_t pictureWidth, int32_t pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || client.width() <= 0 || client.height() <= 0)
        return {};
    return {static_cast<int32_t>((int64_t(client.width()) + pictureWidth - 1) / pictureWidth),
            static_cast<int32_t>((int64_t(client.height()) + pictureHeight - 1) / pictureHeight)};
}

bool textPositionValid(uint8_t position) {
    return position >= kTextTopLeft && position <= kTextBottomRight;
}

TextMargins textMargins(const Rect& client) {
    return {client.width() / 200, client.height() / 400};
}

int32_t nominalPoints(double size, int32_t factor) {
    double points = size * factor;
    if (!(points >= 1)) return 1;
    if (points > kLargestPoints) return kLargestPoints;
    return static_cast<int32_t>(points);
}

int32_t fontPixelHeight(int32_t points, int32_t dpi) {
    return mulDiv(points, dpi, 72);
}

int32_t shadowOffset(uint8_t depth, int32_t fontHeight) {
    int64_t height = absolute(fontHeight);
    return static_cast<int32_t>(depth * height / 1300);
}

int32_t fitTextPoints(int32_t nominal, int32_t clientWidth, int32_t marginX, TextMeasure measure,
                      void* context) {
    for (int32_t points = nominal;; --points) {
        if (points <= kSmallestPoints) return points;
        int64_t width = measure(points, context);
        if (width + marginX < clientWidth) return points;
    }
}

TextOrigin textOrigin(const Rect& client, uint8_t position, int32_t textWidth, int32_t textHeight,
                      int32_t shadow, const TextMargins& margins) {
    TextOrigin origin;
    switch ((position - 1) % 3) {
        case 0:
            origin.x = client.left + margins.horizontal;
            break;
        case 1:
            origin.x = client.left + (client.width() - textWidth - shadow) / 2;
            break;
        default:
            origin.x = client.right - margins.horizontal - textWidth - shadow;
            break;
    }
    if (position <= kTextTopRight)
        origin.y = client.top + margins.vertical;
    else
        origin.y = client.bottom - textHeight - shadow - margins.vertical;
    return origin;
}

bool textBlank(const String& wide) {
    return isBlankWide(wide);
}

}  // namespace tessarin
