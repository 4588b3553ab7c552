// The background window: a window over the desktop (or maximized) painted with a vertical
// gradient or a plain colour, an optional picture, a large title and an optional copyright
// line. The wizard pages and the progress window are shown in front of it, and its taskbar
// button carries the installer's taskbar text.
//
// The appearance comes from BackgroundWindowSettings, which the script reader fills (the
// uninstaller fills it from the values stored in the uninstall key). The placement arithmetic
// is portable (background_window.cpp); the window itself is background_window_win.cpp.
#pragma once

#include <cstdint>

#include "core/font.h"
#include "core/geometry.h"
#include "core/gradient.h"
#include "core/string.h"
#include "core/ui.h"

namespace tessarin {

// TitlePosition and CopyrightPos.
inline constexpr uint8_t kTextNone = 0;
inline constexpr uint8_t kTextTopLeft = 1;
inline constexpr uint8_t kTextTopCentre = 2;
inline constexpr uint8_t kTextTopRight = 3;
inline constexpr uint8_t kTextBottomLeft = 4;
inline constexpr uint8_t kTextBottomCentre = 5;
inline constexpr uint8_t kTextBottomRight = 6;

// StretchMode.
inline constexpr int32_t kStretchToArea = 0;
inline constexpr int32_t kStretchFit = 1;
inline constexpr int32_t kStretchWholeMultiple = 2;
inline constexpr int32_t kStretchTile = 3;

// ProductFlags bits that concern the window.
inline constexpr uint64_t kFlagNoBackgroundWindow = 0x20000000;              // low word
inline constexpr uint64_t kFlagBackgroundMaximized = uint64_t(0x100) << 32;  // high word

// The picture file the installer leaves in the uninstall folder (with
// kFlagsBackgroundPicture), from which the uninstaller paints this window again.
inline constexpr const char16_t* kBackgroundPictureName = u"Installer Background.bmp";

struct BackgroundWindowSettings {
    String TaskbarText;   // UTF-16, the window's title
    String DisplayTitle;  // UTF-16; when blank, defaultTitle() is painted
    uint32_t TitleColor = 0;
    double TitleSize = 0;  // × 26 points
    String TitleFont;      // 8-bit face name
    uint8_t TitlePosition = kTextNone;
    uint8_t TitleShadow = 0;
    uint32_t TopColor = 0;
    uint32_t BottomColor = 0;
    bool MonoColor = false;  // TopColor equals BottomColor (the script says), or a gradient failed
    String Picture;          // device-independent bitmap bytes, packed or as a bitmap file
    int32_t BitmapSize = 0;  // percent of the window; 0 shows no picture
    int32_t StretchMode = kStretchToArea;
    int32_t BitmapTPI = 0;  // kept for the uninstaller only
    uint8_t CopyrightPos = kTextNone;
    uint32_t CopyrightColor = 0;
    double CopyrightSize = 0;            // × 16 points
    String CopyrightText;                // UTF-16
    String CopyrightFont;                // 8-bit face name
    bool maximized = false;              // shown maximized instead of over the work area
    ProgramIcons icons;                  // title bar and taskbar button
    String (*defaultTitle)() = nullptr;  // message 0 in the current language
};

// The process's appearance record.
BackgroundWindowSettings& backgroundWindowSettings();

bool backgroundWindowWanted(uint64_t productFlags);
bool backgroundWindowMaximized(uint64_t productFlags);

// Creates and shows the window from backgroundWindowSettings(); the window, or null when it
// could not be created.
void* CreateBackgroundWindow(bool minimized);
void* backgroundWindow();
// Paints the window again from backgroundWindowSettings() as they are now (after the rest of
// the script was read, or a language change: the default title follows it).
void repaintBackgroundWindow();
// Minimizes the window, destroys it and forgets it (the exit routine's step).
void closeBackgroundWindow();
// What the window paints its gradient with: fillVerticalGradient. Tests replace it to play a
// system on which the gradient cannot be drawn.
using GradientPainter = bool (*)(const GradientRequest& request);
GradientPainter& backgroundGradientPainter();
// The font of the title and the copyright line: the face at a cell height of points × dpi / 72
// pixels, heaviest weight.
Font backgroundTextFont(const String& face, int32_t points, int32_t dpi);

// --- Placement arithmetic -------------------------------------------------------------------

// A device-independent bitmap within a byte block: the header with its colour table and the
// pixel rows, both checked to lie inside the block.
struct BitmapView {
    const uint8_t* info = nullptr;
    int32_t infoSize = 0;
    const uint8_t* bits = nullptr;
    int32_t bitsSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // rows, positive also for top-down bitmaps
};
// Accepts a packed bitmap or a bitmap file of uncompressed (or bit-field) pixels.
bool parseBitmap(const uint8_t* bytes, int32_t length, BitmapView& view);

// The client rectangle shrunk about its centre to the given percentage (0..100).
Rect pictureArea(const Rect& client, int32_t bitmapSize);
// Where a picture of the given size is drawn inside the area for StretchMode 0, 1 or 2 (other
// modes are treated as 0).
Rect picturePlacement(const Rect& area, int32_t pictureWidth, int32_t pictureHeight,
                      int32_t stretchMode);
// Columns and rows of pictures at their own size that cover the client rectangle from its
// top-left corner.
struct PictureTiles {
    int32_t columns = 0;
    int32_t rows = 0;
};
PictureTiles pictureTiles(const Rect& client, int32_t pictureWidth, int32_t pictureHeight);

bool textPositionValid(uint8_t position);
// Margins between the text and the window's edges: width / 200 and height / 400.
struct TextMargins {
    int32_t horizontal = 0;
    int32_t vertical = 0;
};
TextMargins textMargins(const Rect& client);
// Text size in points before fitting: size × factor, kept within 1..500.
int32_t nominalPoints(double size, int32_t factor);
// Pixel height of a font of the given size.
int32_t fontPixelHeight(int32_t points, int32_t dpi);
// Offset of the title's shadow: depth × font height / 1300.
int32_t shadowOffset(uint8_t depth, int32_t fontHeight);
// The size the text is drawn at: from the nominal size down one point at a time until the
// measured width (text plus shadow) plus the horizontal margin is below the client width, or
// the size has reached 6 points.
using TextMeasure = int32_t (*)(int32_t points, void* context);
int32_t fitTextPoints(int32_t nominal, int32_t clientWidth, int32_t marginX, TextMeasure measure,
                      void* context);
// Top-left corner of the text for a position 1..6.
struct TextOrigin {
    int32_t x = 0;
    int32_t y = 0;
};
TextOrigin textOrigin(const Rect& client, uint8_t position, int32_t textWidth, int32_t textHeight,
                      int32_t shadow, const TextMargins& margins);
// Text that is empty or only blanks is not painted.
bool textBlank(const String& wide);

}  // namespace tessarin
