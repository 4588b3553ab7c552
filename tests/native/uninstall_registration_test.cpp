#include "actions/uninstall_registration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

class FakeVariables : public PathVariableValues {
  public:
    String value(PathVariable v) const override {
        return v == PathVariable::InstallDir ? fromUtf8("C:\\Apps\\Tool") : String();
    }
    bool expandEnvironment(String&) const override { return false; }
};

// One line per value: name, type as the registry sees it and data, or "deleted".
std::string describe(const UninstallValue& v) {
    std::string name = v.name.c_str();
    if (v.remove) return name + " deleted";
    switch (v.kind) {
        case UninstallValueKind::Wide:
            return name + " wide " + utf8(v.text);
        case UninstallValueKind::Expandable:
            return name + " expand " + utf8(v.text);
        case UninstallValueKind::Narrow:
            return name + " 8bit " + v.text.c_str();
        case UninstallValueKind::Real:
            return name + " real " + std::to_string(v.real);
        case UninstallValueKind::Number:
            return name + " dword " + std::to_string(v.number);
        case UninstallValueKind::ProductIcon:
            return name + " icon " + utf8(v.text);
        case UninstallValueKind::BadType:
            return name + " bad type " + std::to_string(v.number);
    }
    return name + " ?";
}

std::vector<std::string> describeAll(const InstallScript& script, const RegistrationFacts& facts) {
    std::vector<std::string> lines;
    for (const UninstallValue& v : uninstallKeyValues(script, facts, FakeVariables()))
        lines.push_back(describe(v));
    return lines;
}

std::string find(const std::vector<std::string>& lines, const std::string& name) {
    for (const std::string& line : lines)
        if (line.compare(0, name.size() + 1, name + " ") == 0) return line;
    return name + " absent";
}

InstallScript fullScript() {
    InstallScript s;
    s.ProductName = fromUtf8("Tool");
    s.CompanyName = fromUtf8("Acme");
    s.UninstallKeyName = fromUtf8("Tool Key");
    s.UninstallerName = "uninstall.exe";
    s.UninstallDir = fromUtf8("C:\\Apps\\Tool\\Uninstall");
    s.InstallDir = fromUtf8("C:\\Apps\\Tool");
    s.Version8 = "5.12.3";
    s.NoDowngradeBelow = "2.0";
    s.Bitness = 1;
    s.ProductIcon = String("icon");
    s.ProductRegistry = fromUtf8("Acme\\Tool");
    s.ProductStartMenu = fromUtf8("Acme Tool");
    s.SharedDir = fromUtf8("Acme");
    s.ProductFlags = 0xFFFFFFFF00008004ull;
    s.ProductFlags2 = 0x80000020u;
    s.UninstallBatch1 = "del a";
    s.UninstallSubdir = fromUtf8("Uninstall");
    s.AddToPathSubfolder = fromUtf8("bin");
    s.ShortcutMode = 1;
    s.NotifyURL = "http://example.invalid/u";
    s.SupportOffer = "offer";
    s.DesktopFolder = fromUtf8("Acme Folder");
    s.TitleColor = 0xFF;
    s.TitleSize = 24.5;
    s.TopColor = 0x10;
    s.BottomColor = 0x20;
    s.TitleShadow = 1;
    s.TitlePosition = 2;
    s.TitleFont = "Arial";
    s.TaskbarText = fromUtf8("Tool Setup");
    s.CopyrightText = fromUtf8("(c) Acme");
    s.CopyrightFont = "Tahoma";
    s.CopyrightSize = 8;
    s.CopyrightColor = -1;
    s.CopyrightPos = 3;
    s.BackgroundBitmap = String("BM");
    s.BitmapSize = 50;
    s.BitmapTPI = 96;
    s.StretchMode = 2;
    s.UninstallValues.append(
        ScriptUninstallValue{"HelpLink", 1, String("http://example.invalid/help")});
    s.UninstallValues.append(ScriptUninstallValue{"Data", 2, String("%InstallDir%\\data")});
    s.UninstallValues.append(ScriptUninstallValue{"Software\\Acme\\Count", 4, String("42")});
    s.UninstallValues.append(ScriptUninstallValue{"Empty", 1, String()});
    return s;
}

RegistrationFacts fullFacts() {
    RegistrationFacts f;
    f.installerPath = fromUtf8("D:\\setup.exe");
    f.fontList = "Font\"font.ttf";
    f.sharedFiles = "C:\\Common\\a.dll";
    f.spaceEstimate = 1024 * 1024;
    f.displayTitle = fromUtf8("Tool title");
    f.today = "20261210";
    return f;
}

TEST(UninstallRegistration, EveryValueInItsOrderWithItsType) {
    const std::vector<std::string> expected = {
        "UninstallString wide \"C:\\Apps\\Tool\\Uninstall\\uninstall.exe\" /u:\"Tool Key\"",
        "QuietUninstallString wide \"C:\\Apps\\Tool\\Uninstall\\uninstall.exe\" /a /u:\"Tool Key\"",
        "DisplayName wide Tool",
        "InstallSource wide D:\\setup.exe",
        "Publisher wide Acme",
        "Bitness dword 1",
        "DisplayVersion 8bit 5.12.3",
        "NoDowngradeBelow 8bit 2.0",
        "DisplayIcon icon C:\\Apps\\Tool\\Uninstall\\product.ico",
        "VersionMajor dword 5",
        "VersionMinor dword 12",
        "ProductRegistry wide Acme\\Tool",
        "ProductStartMenu wide Acme Tool",
        "SharedPath wide Acme",
        "ProductFonts 8bit Font\"font.ttf",
        "ProductFlags 8bit -4294934524",
        "ProductFlags2 8bit 2147483680",
        "UninstallBatch1 8bit del a",
        "UninstallBatch2 deleted",
        "SharedFiles 8bit C:\\Common\\a.dll",
        "UninstallSubdir wide Uninstall",
        "AddToPathSubfolder wide bin",
        "ShortcutMode dword 1",
        "NotifyURL 8bit http://example.invalid/u",
        "SupportOffer 8bit offer",
        "DesktopFolder wide Acme Folder",
        "EstimatedSize dword 1024",
        "DisplayTitle wide Tool title",
        "TitleColor dword 255",
        "TitleSize real 24.500000",
        "TopColor dword 16",
        "BottomColor dword 32",
        "MonoColor dword 0",
        "TitleShadow dword 1",
        "TitlePosition dword 2",
        "TitleFont 8bit Arial",
        "TaskbarText wide Tool Setup",
        "CopyrightText wide (c) Acme",
        "CopyrightFont 8bit Tahoma",
        "CopyrightSize real 8.000000",
        "CopyrightColor 8bit -1",
        "CopyrightPos dword 3",
        "BitmapSize dword 50",
        "BitmapTPI dword 96",
        "StretchMode dword 2",
        "HelpLink wide http://example.invalid/help",
        "Data expand C:\\Apps\\Tool\\data",
        "Software\\Acme\\Count dword 42",
        "Empty deleted",
        "InstallLocation wide C:\\Apps\\Tool",
        "InstallDate 8bit 20261210",
    };
    EXPECT_EQ(describeAll(fullScript(), fullFacts()), expected);
}

TEST(UninstallRegistration, ValuesThatDependOnTheScript) {
    struct Case {
        const char* what;
        void (*change)(InstallScript&, RegistrationFacts&);
        std::vector<std::string> expected;
    } cases[] = {
        {"version without a dot",
         [](InstallScript& s, RegistrationFacts&) { s.Version8 = "7"; },
         {"VersionMajor absent", "VersionMinor absent", "DisplayVersion 8bit 7"}},
        {"version with a text part",
         [](InstallScript& s, RegistrationFacts&) { s.Version8 = "beta.x"; },
         {"VersionMajor dword 0", "VersionMinor dword 0"}},
        {"no version",
         [](InstallScript& s, RegistrationFacts&) { s.Version8 = String(); },
         {"DisplayVersion deleted", "VersionMajor absent"}},
        {"1023 bytes",
         [](InstallScript&, RegistrationFacts& f) { f.spaceEstimate = 1023; },
         {"EstimatedSize deleted"}},
        {"1024 bytes",
         [](InstallScript&, RegistrationFacts& f) { f.spaceEstimate = 1024; },
         {"EstimatedSize dword 1"}},
        {"4 TiB",
         [](InstallScript&, RegistrationFacts& f) { f.spaceEstimate = 1ull << 42; },
         {"EstimatedSize deleted"}},
        {"largest that fits",
         [](InstallScript&, RegistrationFacts& f) {
             f.spaceEstimate = 0xFFFFFFFFull * 1024 + 1023;
         },
         {"EstimatedSize dword 4294967295"}},
        {"empty company",
         [](InstallScript& s, RegistrationFacts&) { s.CompanyName = String(); },
         {"Publisher deleted"}},
        {"single-coloured background",
         [](InstallScript& s, RegistrationFacts&) { s.MonoColor = true; },
         {"BottomColor deleted", "MonoColor dword 1"}},
        {"no picture flag",
         [](InstallScript& s, RegistrationFacts&) { s.ProductFlags &= ~0x8000ull; },
         {"BitmapSize deleted", "BitmapTPI deleted", "StretchMode deleted"}},
        {"picture flag without picture data",
         [](InstallScript& s, RegistrationFacts&) { s.BackgroundBitmap = String(); },
         {"BitmapSize deleted", "StretchMode deleted"}},
        {"picture without TPI",
         [](InstallScript& s, RegistrationFacts&) { s.BitmapTPI = -1; },
         {"BitmapTPI deleted", "BitmapSize dword 50"}},
        {"no product icon",
         [](InstallScript& s, RegistrationFacts&) { s.ProductIcon = String(); },
         {"DisplayIcon absent"}},
        {"empty title font is still written",
         [](InstallScript& s, RegistrationFacts&) { s.TitleFont = String(); },
         {"TitleFont 8bit "}},
        {"empty product name is still written",
         [](InstallScript& s, RegistrationFacts&) { s.ProductName = String(); },
         {"DisplayName wide "}},
        {"script value of type 3",
         [](InstallScript& s, RegistrationFacts&) {
             s.UninstallValues.append(ScriptUninstallValue{"Odd", 3, String("x")});
         },
         {"Odd bad type 3"}},
    };
    for (const Case& c : cases) {
        InstallScript script = fullScript();
        RegistrationFacts facts = fullFacts();
        c.change(script, facts);
        std::vector<std::string> lines = describeAll(script, facts);
        for (const std::string& line : c.expected) {
            std::string name = line.substr(0, line.find(' '));
            EXPECT_EQ(find(lines, name), line) << c.what;
        }
    }
}

TEST(UninstallRegistration, TheQuietCommandDiffersOnlyByTheQuietSwitch) {
    InstallScript s = fullScript();
    std::string plain = utf8(uninstallString(s));
    std::string quiet = utf8(quietUninstallString(s));
    size_t at = plain.find("\" ") + 1;
    EXPECT_EQ(quiet, plain.substr(0, at) + " /a" + plain.substr(at));
    EXPECT_EQ(utf8(uninstallKeyPath(s)),
              "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool Key");
}

}  // namespace
}  // namespace tessarin
