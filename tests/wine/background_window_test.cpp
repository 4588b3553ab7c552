// The background window on the Wine display: the font its texts are drawn with, the way it is
// closed, and the plain fill that replaces a gradient which could not be drawn.
#include "ui/background_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "core/gradient.h"
#include "package/install_script.h"
#include "setup/script_hooks.h"

namespace tessarin {
namespace {

// The font's cell height (character height plus internal leading) is what the point size times
// the resolution gives.
TEST(BackgroundWindowScreen, TextFontHasTheCellHeightOfItsSize) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    for (const char* face : {"Tahoma", "Arial"}) {
        for (int32_t points : {6, 26, 39}) {
            for (int32_t dpi : {96, 144}) {
                Font font = backgroundTextFont(String(face), points, dpi);
                ASSERT_TRUE(font.valid());
                HGDIOBJ old = SelectObject(dc, font.get());
                TEXTMETRICW metrics = {};
                ASSERT_TRUE(GetTextMetricsW(dc, &metrics));
                SelectObject(dc, old);
                // The font mapper may round by a pixel; a character height would give a cell
                // about a fifth larger.
                EXPECT_NEAR(metrics.tmHeight, fontPixelHeight(points, dpi), 1)
                    << face << " " << points << " pt at " << dpi << " dpi";
            }
        }
    }
    DeleteDC(dc);
}

HWND showWindow(uint32_t top, uint32_t bottom) {
    BackgroundWindowSettings& settings = backgroundWindowSettings();
    settings = BackgroundWindowSettings();
    settings.TaskbarText = String(u"Background Window Test");
    settings.TopColor = top;
    settings.BottomColor = bottom;
    return static_cast<HWND>(CreateBackgroundWindow(false));
}

struct SeenMessage {
    UINT message;
    WPARAM wParam;
};
HWND g_watched = nullptr;
std::vector<SeenMessage> g_seen;

LRESULT CALLBACK watchMessages(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == g_watched)
        g_seen.push_back({sent->message, sent->wParam});
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The window leaves the screen minimized and only then is destroyed.
TEST(BackgroundWindowScreen, ClosingMinimizesTheWindowBeforeDestroyingIt) {
    HWND window = showWindow(colorRgb(10, 20, 30), colorRgb(200, 100, 0));
    ASSERT_NE(window, nullptr);
    g_watched = window;
    g_seen.clear();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watchMessages, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    closeBackgroundWindow();
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(backgroundWindow(), nullptr);
    size_t minimized = g_seen.size(), destroyed = g_seen.size();
    for (size_t i = 0; i < g_seen.size(); ++i) {
        if (g_seen[i].message == WM_SIZE && g_seen[i].wParam == SIZE_MINIMIZED && i < minimized)
            minimized = i;
        if (g_seen[i].message == WM_DESTROY && i < destroyed) destroyed = i;
    }
    ASSERT_LT(destroyed, g_seen.size()) << "no WM_DESTROY";
    EXPECT_LT(minimized, destroyed) << "not minimized before it was destroyed";
}

// A 32-bit top-down bitmap as large as the window's client area, in a memory DC.
class Canvas {
  public:
    explicit Canvas(HWND window) {
        RECT client;
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    int height() const { return height_; }
    uint32_t pixel(int x, int y) const {
        GdiFlush();
        uint32_t v = bits_[y * width_ + x];  // 0x00RRGGBB
        return colorRgb(v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF);
    }

  private:
    int width_ = 0, height_ = 0;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// Once a gradient could not be drawn, the window is filled with the top colour for the rest of
// the process, also after the script's appearance has been applied to it again.
TEST(BackgroundWindowScreen, FailedGradientGivesThePlainColourFromThenOn) {
    const uint32_t top = colorRgb(200, 30, 30), bottom = colorRgb(20, 40, 220);
    HWND window = showWindow(top, bottom);
    ASSERT_NE(window, nullptr);
    {
        Canvas before(window);
        SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(before.dc()), 0);
        ASSERT_NE(before.pixel(5, before.height() - 1), top) << "no gradient to begin with";
    }
    GradientPainter painter = backgroundGradientPainter();
    backgroundGradientPainter() = [](const GradientRequest&) { return false; };
    {
        Canvas failed(window);
        SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(failed.dc()), 0);
        EXPECT_EQ(failed.pixel(5, failed.height() - 1), top);
    }
    backgroundGradientPainter() = painter;
    InstallScript& script = installScript();
    script.TopColor = static_cast<int32_t>(top);
    script.BottomColor = static_cast<int32_t>(bottom);
    script.MonoColor = false;
    applyScriptToBackgroundWindow();
    Canvas after(window);
    SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(after.dc()), 0);
    for (int y : {0, after.height() / 2, after.height() - 1})
        EXPECT_EQ(after.pixel(5, y), top) << "row " << y;
    closeBackgroundWindow();
    installScript() = InstallScript();
}

}  // namespace
}  // namespace tessarin
