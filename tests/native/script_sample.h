// Install scripts for the reader's tests, the fuzz seeds and the fuzz target: a script with
// every field set, a minimal one, and an environment that answers from fixed values and
// records what the reader asks of it.
#pragma once

#include <string>
#include <vector>

#include "core/string.h"
#include "package/install_script.h"
#include "package/script_format.h"
#include "package/script_reader.h"

namespace tessarin::testing {

inline String u16(const char16_t* text) {
    return String(text);
}
inline String u8(const char* text) {
    return String(text);
}

inline std::string narrow(const String& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length()));
}

// The smallest script the reader accepts: one language, one message, every text empty.
inline InstallScript minimalScript() {
    InstallScript s;
    s.Messages.MessageCount = 1;
    s.Messages.Languages.append(u16(u"English"));
    s.Messages.Texts.append(u16(u"Setup"));
    return s;
}

// Every field set to its own value, every optional part present, every list with entries.
inline InstallScript richScript() {
    InstallScript s;
    s.ProductFlags = kFlagsUninstallEntry | kFlagsPrerequisite | 0x80 | highWord(0x4 | 0x100);
    s.AutomaticModeByte = 2;
    s.TaskbarText = u16(u"Taskbar text");
    s.DisplayTitle = u16(u"Display title");
    s.TitleSize = 1.75;
    s.ProgressPlacement = 3;
    s.StepDelay = 250;
    s.ShortcutMode = 1;
    s.ScriptDate = FileDateTime{2021, 6, 30, 12, 34, 56};
    s.CompanyName = u16(u"Company");
    s.ProductName = u16(u"Product \u00e9");
    s.ProductDescription = u16(u"Description");
    s.Bitness = 0;
    s.SharedBase = 2;
    s.SharedDir = u16(u"Shared");
    s.PortableSharedSubdir = u16(u"PortableShared");
    s.ProductStartMenu = u16(u"Start Menu Folder");
    s.Version8 = u8("2.5.1");
    s.DefaultInstallDir = u16(u"Vendor\\Product");
    s.ProductRegistry = u16(u"Software\\Vendor\\Product");
    s.RegistryTable =
        u8("HKLM\\Software\\Vendor\r\n\"HKLM\\Software\\Vendor\",\"Name\",1,\"v\",0\r\n");
    s.RegistryMergeText = u8("REGEDIT4\r\n");
    s.BitmapSize = 100;
    s.StretchMode = 1;
    s.GreetingLink = u16(u"https://example.com/greeting");
    s.LicenseTexts.append(u8("Licence one"));
    s.LicenseTexts.append(u8("Licence two"));
    s.ReadmeTexts.append(u8("Readme"));
    s.UninstallSubdir = u16(u"Uninstall");
    s.UninstallerName = u8("uninstall.exe");
    s.UninstallKeyName = u16(u"ProductKey");
    s.PreviousInstallKey = u8("HKLM\\Software\\Vendor\\Product\\Path");
    s.BannerText = u16(u"Banner");
    s.PictureBorder = 3;
    s.TitleColor = 0x00FFEEDD;
    s.TitleShadow = 4;
    s.TitlePosition = 5;
    s.TitleFont = u8("Tahoma");
    s.TopColor = 0x00102030;
    s.BottomColor = 0x00405060;
    s.BackgroundBitmap = String("BM-not-really-a-bitmap", 22);
    s.BitmapTPI = 96;
    s.CopyrightPos = 6;
    s.CopyrightColor = 0x00C0C0C0;
    s.CopyrightSize = 0.5;
    s.CopyrightText = u16(u"(c) Vendor");
    s.CopyrightFont = u8("Arial");
    s.PrerequisiteKey = u8("Runtime");
    s.PrerequisiteName = u8("Runtime Name");
    s.PrerequisiteVersion = u8("1.0");
    s.StartSound = String("RIFF\0\0\0\0WAVE", 12);
    s.DesktopFolder = u16(u"Desktop Folder");
    s.DesktopFolderIcon = String("\0\0\1\0icon", 8);
    s.PreInstallBatch = u8("echo pre\r\n");
    s.PostInstallBatch = u8("echo post\r\n");
    s.ExitBatch = u8("echo exit\r\n");
    s.UninstallBatch1 = u8("echo u1\r\n");
    s.UninstallBatch2 = u8("echo u2\r\n");
    s.UpgradeBatch = u8("echo upgrade\r\n");
    s.ReinstallBatch = u8("echo reinstall\r\n");
    for (int i = 0; i < kStampRecordSize; ++i) s.StampRecord[i] = static_cast<uint8_t>(0xA0 + i);
    s.ExcludedSystems = 0x11;
    s.ExternalData = 1;
    s.LaunchProgram = u8("%InstallDir%\\product.exe");
    s.ReadmeFile = u16(u"readme.txt");
    s.FinishDocument = u16(u"finish.html");
    s.NotifyLaunch = u8("https://example.com/launch");
    s.NotifyInstallStart = u8("https://example.com/start");
    s.NotifyFreshInstall = u8("https://example.com/fresh");
    s.NotifyUpgrade = u8("https://example.com/upgrade");
    s.NotifyDowngrade = u8("https://example.com/downgrade");
    s.NotifyReinstall = u8("https://example.com/reinstall");
    s.NotifyURL = u8("https://example.com/uninstall");
    s.GreetingLinkNotify = u8("https://example.com/link");
    s.UpgradeWarningBelow = u8("2.0");
    s.NoDowngradeBelow = u8("1.5");
    s.Password = u16(u"secret");
    s.MustUninstallBelow = u8("1.0");
    s.FirewallText = u8("%InstallDir%\\product.exe;Product;0;0\r\n");
    s.AddToPathSubfolder = u16(u"bin");
    s.ExtraSpace = 0x123456789A;
    for (int i = 0; i < kPageLayoutCount; ++i) s.PageLayouts[i] = i % 4;
    s.UninstallIcon = String("\0\0\1\0uninstall", 13);
    s.UninstallExtras.append({u8("%InstallDir%\\*.tmp"), 1, u8("1.2"), 8});
    s.UninstallExtras.append({u8("%InstallDir%\\cache"), 6, u8("100"), 2});
    s.FileAssociations.append({1, u8(".prd"), u8("Product.Doc"), u8("Product document"), u8("open"),
                               u8("&Open"), u8("\"%InstallDir%\\product.exe\" \"%1\""),
                               u16(u"English"), u8("%InstallDir%\\doc.ico")});
    s.FileAssociations.append({2, u8("txt"), u8("!"), u8(""), u8("edit"), u8("Edit"),
                               u8("notepad \"%1\""), u16(u""), u8("")});
    s.Shortcuts.append({u8("%InstallDir%\\product.exe"), u16(u"Product"), u8("icon.ico"),
                        u8("-start"), u8("%InstallDir%"), 1, 1, 0, u8(""), 2, 0});
    s.Shortcuts.append({u8("readme.txt"), u16(u"Docs\\Readme"), u8(""), u8(""), u8(""), 0, 1, 1,
                        u8("%InstallDir%\\links"), 0, 1});
    s.RootShortcutCommand = u8("\"%InstallDir%\\product.exe\" /portable");
    s.RootShortcutName = u8("Product Portable");
    s.PinCommand = u16(u"\"%InstallDir%\\product.exe\"");
    s.PinName = u16(u"Product Pin");
    s.UninstallValues.append({u8("HelpLink"), 1, u8("https://example.com/help")});
    s.UninstallValues.append({u8("Software\\Vendor\\Count"), 4, u8("7")});
    s.SupportOffer = u8("Support offer");
    s.ProductIcon = String("\0\0\1\0product", 11);
    s.ProgramsToClose.append({u8("ProductWindow"), u8("*Product"), u8("Product"), 2, 3});
    s.ProgramsToClose.append({u8(""), u8("Helper"), u8("Helper"), 0, 1});
    s.Messages.MessageCount = 3;
    s.Messages.Languages.append(u16(u"Deutsch"));
    s.Messages.Languages.append(u16(u"English"));
    const char16_t* texts[] = {u"Titel",
                               u"Title",
                               u"Zeile 1\r\nZeile 2",
                               u"Line 1\r\nLine 2",
                               u"<product>",
                               u"<product> on <os>"};
    for (const char16_t* t : texts) s.Messages.Texts.append(u16(t));
    return s;
}

// Answers from fixed values; records what the reader did to the system as event texts.
class FakeScriptEnvironment : public ScriptEnvironment {
  public:
    FakeScriptEnvironment() {
        osInfo.major = 10;
        osInfo.platform = kPlatformNt;
    }

    bool silentMode() const override { return silent; }
    bool startMinimized() const override { return minimized; }
    String productNameOverride() const override { return productName; }
    String installDirOverride() const override { return installDir; }
    void setAutomaticMode(bool on) override {
        events.push_back(on ? "automatic on" : "automatic off");
    }
    const OsRecord& os() const override { return osInfo; }
    String windowsFolder() const override { return u16(u"C:\\Windows"); }
    String programFilesFolder(bool for64BitProduct) const override {
        return for64BitProduct ? u16(u"C:\\Program Files") : u16(u"C:\\Program Files (x86)");
    }
    String desktopFolder(bool allUsers) const override {
        return allUsers ? u16(u"C:\\Users\\Public\\Desktop") : u16(u"C:\\Users\\me\\Desktop");
    }
    // Stands in for the path variables: one name is enough to see that expansion happens.
    void expandPathVariables(String& text) const override {
        text.replaceAllWide(u"%CommonDir%", u"C:\\Program Files (x86)\\Common Files");
    }
    bool disableFileSystemRedirection(void*& oldValue) override {
        events.push_back("redirection off");
        oldValue = this;
        return redirectionWorks;
    }
    void createBackgroundWindow(bool minimizedWindow) override {
        events.push_back(minimizedWindow ? "window minimized" : "window");
    }
    void startNetworking() override { events.push_back("networking"); }
    void notifyLaunch(const String& address) override {
        events.push_back("launch " + narrow(address));
    }
    void prepareUninstallerImage(const InstallScript&) override {
        events.push_back("uninstaller image");
    }
    void raiseCorruption(int code) override {
        events.push_back("corruption " + std::to_string(code));
    }

    bool silent = false;
    bool minimized = false;
    bool redirectionWorks = true;
    String productName;
    String installDir;
    OsRecord osInfo;
    std::vector<std::string> events;
};

}  // namespace tessarin::testing
