#include <windows.h>

#include "core/convert.h"
#include "core/font.h"
#include "services/exit.h"
#include "ui/background_window.h"

namespace tessarin {
namespace {

constexpr wchar_t kClassName[] = L"SEA Window Class";
constexpr char kClassNameNarrow[] = "SEA Window Class";
constexpr int32_t kTitleFactor = 26;
constexpr int32_t kCopyrightFactor = 16;
constexpr int32_t kHeaviestWeight = 900;

// The picture as it is painted: header and pixels copied out of the script's bytes, so that
// the header is aligned and stays valid whatever happens to those bytes.
struct Picture {
    String info;
    String bits;
    int32_t width = 0;
    int32_t height = 0;
    bool loaded() const { return width > 0; }
};

struct WindowState {
    HWND window = nullptr;
    Picture picture;
    bool registeredWide = false;
    bool registeredNarrow = false;
    // Once a gradient could not be drawn, the plain colour is used for the rest of the
    // process, whatever settings are applied later.
    bool gradientFailed = false;
};

WindowState& state() {
    static WindowState s;
    return s;
}

Picture loadPicture(const String& bytes) {
    Picture picture;
    BitmapView view;
    if (!parseBitmap(bytes.bytes(), bytes.length(), view)) return picture;
    picture.info.assign(reinterpret_cast<const char*>(view.info), view.infoSize);
    picture.bits.assign(reinterpret_cast<const char*>(view.bits), view.bitsSize);
    picture.width = view.width;
    picture.height = view.height;
    return picture;
}

Rect clientRect(HWND window) {
    RECT r = {};
    GetClientRect(window, &r);
    return {r.left, r.top, r.right, r.bottom};
}

// ---------------------------------------------------------------- background

void fillBackground(HDC dc, const Rect& client, BackgroundWindowSettings& settings) {
    if (state().gradientFailed) settings.MonoColor = true;
    if (!settings.MonoColor) {
        GradientRequest request{dc,
                                client.left,
                                client.top,
                                client.right - 1,
                                client.bottom - 1,
                                settings.TopColor,
                                settings.BottomColor};
        if (!backgroundGradientPainter()(request))
            state().gradientFailed = settings.MonoColor = true;
    }
    if (settings.MonoColor) {
        HBRUSH brush = CreateSolidBrush(settings.TopColor);
        RECT r = {client.left, client.top, client.right, client.bottom};
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
}

void drawPicture(HDC dc, const Picture& picture, const Rect& target) {
    StretchDIBits(dc, target.left, target.top, target.width(), target.height(), 0, 0, picture.width,
                  picture.height, picture.bits.c_str(),
                  reinterpret_cast<const BITMAPINFO*>(picture.info.c_str()), DIB_RGB_COLORS,
                  SRCCOPY);
}

void paintPicture(HDC dc, const Rect& client, const BackgroundWindowSettings& settings) {
    const Picture& picture = state().picture;
    if (!picture.loaded() || settings.BitmapSize <= 0) return;
    if (settings.StretchMode == kStretchTile) {
        PictureTiles tiles = pictureTiles(client, picture.width, picture.height);
        for (int32_t row = 0; row < tiles.rows; ++row)
            for (int32_t column = 0; column < tiles.columns; ++column) {
                int32_t x = client.left + column * picture.width;
                int32_t y = client.top + row * picture.height;
                drawPicture(dc, picture, {x, y, x + picture.width, y + picture.height});
            }
        return;
    }
    Rect target = picturePlacement(pictureArea(client, settings.BitmapSize), picture.width,
                                   picture.height, settings.StretchMode);
    int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    drawPicture(dc, picture, target);
    SetStretchBltMode(dc, oldMode);
}

// ---------------------------------------------------------------- text

struct TextJob {
    HDC dc = nullptr;
    const String* text = nullptr;
    const String* face = nullptr;
    int32_t dpi = 96;
    uint8_t shadowDepth = 0;
};

Font textFont(const TextJob& job, int32_t points) {
    return backgroundTextFont(*job.face, points, job.dpi);
}

SIZE textExtent(HDC dc, const String& text) {
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.w_str()), text.wideLength(),
                          &size);
    return size;
}

int32_t measureText(int32_t points, void* context) {
    const TextJob& job = *static_cast<const TextJob*>(context);
    Font font = textFont(job, points);
    HGDIOBJ old = SelectObject(job.dc, font.get());
    SIZE size = textExtent(job.dc, *job.text);
    SelectObject(job.dc, old);
    return size.cx + shadowOffset(job.shadowDepth, fontPixelHeight(points, job.dpi));
}

void drawTextAt(HDC dc, int32_t x, int32_t y, const String& text, uint32_t color) {
    SetTextColor(dc, color);
    TextOutW(dc, x, y, reinterpret_cast<const wchar_t*>(text.w_str()), text.wideLength());
}

void paintText(HDC dc, const Rect& client, const String& text, uint8_t position, uint32_t color,
               double size, int32_t factor, const String& face, uint8_t shadowDepth) {
    if (textBlank(text) || !textPositionValid(position)) return;
    TextMargins margins = textMargins(client);
    TextJob job{dc, &text, &face, GetDeviceCaps(dc, LOGPIXELSY), shadowDepth};
    int32_t points = fitTextPoints(nominalPoints(size, factor), client.width(), margins.horizontal,
                                   measureText, &job);
    Font font = textFont(job, points);
    HGDIOBJ old = SelectObject(dc, font.get());
    SIZE extent = textExtent(dc, text);
    int32_t shadow = shadowOffset(shadowDepth, fontPixelHeight(points, job.dpi));
    TextOrigin at = textOrigin(client, position, extent.cx, extent.cy, shadow, margins);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    if (shadow > 0) drawTextAt(dc, at.x + shadow, at.y + shadow, text, 0);
    drawTextAt(dc, at.x, at.y, text, color);
    SetBkMode(dc, oldMode);
    SelectObject(dc, old);
}

void paintTexts(HDC dc, const Rect& client, const BackgroundWindowSettings& s) {
    String title = s.DisplayTitle;
    if (textBlank(title) && s.defaultTitle) title = s.defaultTitle();
    paintText(dc, client, title, s.TitlePosition, s.TitleColor, s.TitleSize, kTitleFactor,
              s.TitleFont, s.TitleShadow);
    paintText(dc, client, s.CopyrightText, s.CopyrightPos, s.CopyrightColor, s.CopyrightSize,
              kCopyrightFactor, s.CopyrightFont, 0);
}

// ---------------------------------------------------------------- window

LRESULT defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                   : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    BackgroundWindowSettings& settings = backgroundWindowSettings();
    switch (message) {
        case WM_ERASEBKGND: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            Rect client = clientRect(window);
            fillBackground(dc, client, settings);
            paintPicture(dc, client, settings);
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (dc) paintTexts(dc, clientRect(window), settings);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_NCDESTROY:
            if (state().window == window) state().window = nullptr;
            break;
    }
    return defaultProcedure(window, message, wParam, lParam);
}

LRESULT CALLBACK backgroundProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return onMessage(window, message, wParam, lParam);
    } catch (...) {
        return defaultProcedure(window, message, wParam, lParam);
    }
}

bool registerWide(HINSTANCE instance) {
    if (state().registeredWide) return true;
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = backgroundProcedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    state().registeredWide = RegisterClassW(&wc) != 0;
    return state().registeredWide;
}

bool registerNarrow(HINSTANCE instance) {
    if (state().registeredNarrow) return true;
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = backgroundProcedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kClassNameNarrow;
    state().registeredNarrow = RegisterClassA(&wc) != 0;
    return state().registeredNarrow;
}

// The work area, or a 1 × 1 rectangle and the maximized flag when it cannot be had.
RECT windowArea(BackgroundWindowSettings& settings) {
    RECT area;
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) && area.right > area.left &&
        area.bottom > area.top)
        return area;
    settings.maximized = true;
    return {0, 0, 1, 1};
}

HWND createWindow(const BackgroundWindowSettings& settings, const RECT& area, DWORD style) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    int w = area.right - area.left, h = area.bottom - area.top;
    if (registerWide(instance)) {
        HWND window = CreateWindowExW(
            0, kClassName, reinterpret_cast<const wchar_t*>(settings.TaskbarText.w_str()), style,
            area.left, area.top, w, h, nullptr, nullptr, instance, nullptr);
        if (window) return window;
    }
    if (!registerNarrow(instance)) return nullptr;
    String title;
    toNarrow(settings.TaskbarText.w_str(), settings.TaskbarText.wideLength(), title, 1252, "?");
    return CreateWindowExA(0, kClassNameNarrow, title.c_str(), style, area.left, area.top, w, h,
                           nullptr, nullptr, instance, nullptr);
}

}  // namespace

GradientPainter& backgroundGradientPainter() {
    static GradientPainter painter = fillVerticalGradient;
    return painter;
}

// A positive height asks for the cell height, which is what points × dpi / 72 gives.
Font backgroundTextFont(const String& face, int32_t points, int32_t dpi) {
    FontRequest request;
    request.face = face;
    request.height = fontPixelHeight(points, dpi);
    request.weight = kHeaviestWeight;
    return createFont(request);
}

void* CreateBackgroundWindow(bool minimized) {
    BackgroundWindowSettings& settings = backgroundWindowSettings();
    if (state().window) return state().window;
    state().picture = loadPicture(settings.Picture);
    RECT area = windowArea(settings);
    HWND window = createWindow(settings, area, WS_POPUP | (minimized ? WS_MINIMIZE : 0));
    if (!window) return nullptr;
    closeAtExit(closeBackgroundWindow);
    state().window = window;
    setWindowIcons(window, settings.icons);
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, settings.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    if (minimized) ShowWindow(window, SW_MINIMIZE);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return window;
}

void* backgroundWindow() {
    return state().window;
}

// The settings may have changed since the window was made (the script's picture and colours
// are read after the window is created), so the picture is taken again.
void repaintBackgroundWindow() {
    if (!state().window) return;
    state().picture = loadPicture(backgroundWindowSettings().Picture);
    RedrawWindow(state().window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// The window leaves the screen minimized before it is destroyed, as the exit routine shows it.
void closeBackgroundWindow() {
    HWND window = state().window;
    if (!window) return;
    ShowWindow(window, SW_MINIMIZE);
    DestroyWindow(window);
    state().window = nullptr;
}

}  // namespace tessarin
