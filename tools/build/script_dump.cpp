#include "tools/build/script_dump.h"

#include <cstdio>

#include "package/script_reader.h"
#include "tools/build/json_text.h"

namespace tessarin::build {
namespace {

// The system as the dump presents it: folders are shown by the variables that stand for them
// and nothing is done to the machine.
class DumpEnvironment final : public ScriptEnvironment {
  public:
    DumpEnvironment() {
        os_.major = 10;
        os_.platform = kPlatformNt;
        os_.is64Bit = true;
    }
    bool silentMode() const override { return false; }
    bool startMinimized() const override { return false; }
    String productNameOverride() const override { return String(); }
    String installDirOverride() const override { return String(); }
    void setAutomaticMode(bool) override {}
    const OsRecord& os() const override { return os_; }
    String windowsFolder() const override { return String(u"%WinDir%"); }
    String programFilesFolder(bool for64BitProduct) const override {
        return String(for64BitProduct ? u"%ProgramsDir64%" : u"%ProgramsDir32%");
    }
    String desktopFolder(bool allUsers) const override {
        return String(allUsers ? u"%DesktopAllDir%" : u"%DesktopDir%");
    }
    void expandPathVariables(String&) const override {}
    bool disableFileSystemRedirection(void*&) override { return true; }
    void createBackgroundWindow(bool) override {}
    void startNetworking() override {}
    void notifyLaunch(const String&) override {}
    void prepareUninstallerImage(const InstallScript&) override {}
    void raiseCorruption(int) override {}

  private:
    OsRecord os_;
};

std::string hex64(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "\"0x%016llX\"", static_cast<unsigned long long>(v));
    return buf;
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

class Object {
  public:
    Object& field(const char* name, const std::string& json) {
        text_ += (text_.empty() ? "{" : ",") + std::string("\n    \"") + name + "\":" + json;
        return *this;
    }
    Object& wide(const char* name, const String& v) { return field(name, jsonWide(v)); }
    Object& narrow(const char* name, const String& v) { return field(name, jsonAnsi(v)); }
    Object& path(const char* name, const String& v) { return field(name, jsonPath(v)); }
    Object& integer(const char* name, int64_t v) { return field(name, std::to_string(v)); }
    Object& size(const char* name, const String& v) { return integer(name, v.length()); }
    std::string done() const { return text_.empty() ? "{}" : text_ + "\n  }"; }

  private:
    std::string text_;
};

std::string wideList(const Vector<String>& list) {
    std::string out = "[";
    for (int32_t i = 0; i < list.count(); ++i) out += (i ? "," : "") + jsonWide(list[i]);
    return out + "]";
}

std::string shortcuts(const InstallScript& s) {
    std::string out = "[";
    for (int32_t i = 0; i < s.Shortcuts.count(); ++i) {
        const ScriptShortcut& c = s.Shortcuts[i];
        out += std::string(i ? "," : "") + "{\"name\":" + jsonWide(c.Name) +
               ",\"target\":" + jsonPath(c.Target) + ",\"desktop\":" + std::to_string(c.Desktop) +
               ",\"startMenu\":" + std::to_string(c.StartMenu) +
               ",\"startup\":" + std::to_string(c.Startup) + "}";
    }
    return out + "]";
}

}  // namespace

int readScriptForDump(const String& script, uint32_t scriptCheck, uint32_t productFlags2,
                      InstallScript& out) {
    DumpEnvironment env;
    ScriptSource source;
    source.bytes = script.bytes();
    source.size = static_cast<size_t>(script.length());
    source.scriptCheck = scriptCheck;
    source.productFlags2 = productFlags2;
    return ReadInstallScript(source, env, out);
}

std::string scriptJson(const InstallScript& s) {
    Object o;
    o.field("productFlags", hex64(s.ProductFlags))
        .integer("automaticModeByte", s.AutomaticModeByte)
        .wide("productName", s.ProductName)
        .wide("companyName", s.CompanyName)
        .wide("productDescription", s.ProductDescription)
        .narrow("version", s.Version8)
        .integer("bitness", s.Bitness)
        .wide("defaultInstallDir", s.DefaultInstallDir)
        .wide("sharedDir", s.SharedDir)
        .wide("productStartMenu", s.ProductStartMenu)
        .wide("productRegistry", s.ProductRegistry)
        .integer("shortcutMode", s.ShortcutMode)
        .integer("stepDelay", s.StepDelay)
        .wide("taskbarText", s.TaskbarText)
        .wide("displayTitle", s.DisplayTitle)
        .field("titleSize", number(s.TitleSize))
        .integer("titleColor", s.TitleColor)
        .integer("titlePosition", s.TitlePosition)
        .integer("topColor", s.TopColor)
        .integer("bottomColor", s.BottomColor)
        .size("backgroundBitmapBytes", s.BackgroundBitmap)
        .integer("bitmapSize", s.BitmapSize)
        .integer("stretchMode", s.StretchMode)
        .wide("copyrightText", s.CopyrightText)
        .wide("bannerText", s.BannerText)
        .integer("licensePages", s.LicenseTexts.count())
        .integer("readmePages", s.ReadmeTexts.count())
        .wide("uninstallSubdir", s.UninstallSubdir)
        .narrow("uninstallerName", s.UninstallerName)
        .wide("uninstallKeyName", s.UninstallKeyName)
        .wide("desktopFolder", s.DesktopFolder)
        .wide("desktopShortcuts", s.DesktopShortcuts)
        .path("launchProgram", s.LaunchProgram)
        .integer("externalData", s.ExternalData)
        .narrow("notifyLaunch", s.NotifyLaunch)
        .narrow("mustUninstallBelow", s.MustUninstallBelow)
        .integer("uninstallExtras", s.UninstallExtras.count())
        .integer("fileAssociations", s.FileAssociations.count())
        .field("shortcuts", shortcuts(s))
        .integer("uninstallValues", s.UninstallValues.count())
        .integer("programsToClose", s.ProgramsToClose.count())
        .field("languages", wideList(s.Messages.Languages))
        .integer("currentLanguage", s.Messages.CurrentLanguage)
        .integer("messageCount", s.Messages.MessageCount);
    return o.done();
}

}  // namespace tessarin::build
