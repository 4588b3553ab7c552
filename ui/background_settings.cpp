#include "ui/background_settings.h"

namespace tessarin {

void backgroundSettingsFromScript(const InstallScript& s, BackgroundWindowSettings& w) {
    w.TaskbarText = s.TaskbarText;
    w.DisplayTitle = s.DisplayTitle;
    w.TitleColor = static_cast<uint32_t>(s.TitleColor);
    w.TitleSize = s.TitleSize;
    w.TitleFont = s.TitleFont;
    w.TitlePosition = s.TitlePosition;
    w.TitleShadow = s.TitleShadow;
    w.TopColor = static_cast<uint32_t>(s.TopColor);
    w.BottomColor = static_cast<uint32_t>(s.BottomColor);
    w.MonoColor = s.MonoColor;
    w.Picture = s.BackgroundBitmap;
    w.BitmapSize = s.BitmapSize;
    w.StretchMode = s.StretchMode;
    w.BitmapTPI = s.BitmapTPI;
    w.CopyrightPos = s.CopyrightPos;
    w.CopyrightColor = static_cast<uint32_t>(s.CopyrightColor);
    w.CopyrightSize = s.CopyrightSize;
    w.CopyrightText = s.CopyrightText;
    w.CopyrightFont = s.CopyrightFont;
    w.maximized = s.BackgroundMaximized;
}

}  // namespace tessarin
