#include "setup/uninstall_sequence.h"

#include "core/format.h"
#include "core/path.h"
#include "package/install_script.h"
#include "services/uninstall_data.h"
#include "ui/background_window.h"
#include "uninstall/uninstall_entry.h"

namespace tessarin {

void restoreInstallState(const UninstallSettings& s, const UninstallData& data,
                         InstallScript& script) {
    script.ProductName = s.DisplayName;
    script.ProductDescription = s.DisplayName;
    script.InstallDir = s.InstallLocation;
    script.UninstallSubdir = s.UninstallSubdir;
    script.UninstallDir = s.uninstallFolder;
    script.SharedDir = s.SharedPath;
    script.ProductFlags = s.ProductFlags;
    script.ProductFlags2 = s.ProductFlags2;
    script.Bitness = static_cast<uint8_t>(s.Bitness);
    script.Version = s.DisplayVersion;
    script.Version8 = s.DisplayVersion8;
    script.ProductStartMenu = s.ProductStartMenu;
    script.ShortcutMode = static_cast<uint8_t>(s.ShortcutMode);
    script.DesktopFolder = s.DesktopFolder;
    script.ProductRegistry = s.ProductRegistry;
    script.AddToPathSubfolder = s.AddToPathSubfolder;
    script.NotifyURL = s.NotifyURL;
    script.SupportOffer = s.SupportOffer;
    script.UninstallBatch1 = s.UninstallBatch1;
    script.UninstallBatch2 = s.UninstallBatch2;
    script.BannerText = data.banner;
    MessageTable& messages = script.Messages;
    messages.Languages.clear();
    messages.Languages.append(String());
    messages.CurrentLanguage = 0;
    messages.Texts = data.texts;
    messages.MessageCount = data.texts.count();
}

void backgroundSettingsFromEntry(const UninstallSettings& s, BackgroundWindowSettings& w) {
    w.TaskbarText = s.TaskbarText;
    w.DisplayTitle = s.DisplayTitle;
    w.TitleColor = static_cast<uint32_t>(s.TitleColor);
    w.TitleSize = s.TitleSize;
    w.TitleFont = s.TitleFont;
    w.TitlePosition = static_cast<uint8_t>(s.TitlePosition);
    w.TitleShadow = static_cast<uint8_t>(s.TitleShadow);
    w.TopColor = static_cast<uint32_t>(s.TopColor);
    w.BottomColor = static_cast<uint32_t>(s.BottomColor);
    w.MonoColor = s.MonoColor != 0;
    w.BitmapSize = s.BitmapSize;
    w.StretchMode = s.StretchMode;
    w.BitmapTPI = s.BitmapTPI;
    w.CopyrightPos = static_cast<uint8_t>(s.CopyrightPos);
    w.CopyrightColor = static_cast<uint32_t>(s.CopyrightColor);
    w.CopyrightSize = s.CopyrightSize;
    w.CopyrightText = s.CopyrightText;
    w.CopyrightFont = s.CopyrightFont;
    w.maximized = backgroundWindowMaximized(s.ProductFlags);
}

bool entryMessageShown(bool automatic, bool silent, uint64_t productFlags) {
    if (silent) return false;
    return !automatic || (productFlags & kEntryFlagEntryMessagesWhenAutomatic) != 0;
}

String failureReport(const String& reportTemplate, const String& errors) {
    return fillPlaceholder(reportTemplate, errors);
}

}  // namespace tessarin
