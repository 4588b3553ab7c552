// The install script format end to end: bytes laid out by hand field by field, what the build
// tool's writer makes of the same values, what the installer's reader gets back, and every
// range check from damaged scripts.
#include "package/script_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/convert.h"
#include "package/script_format.h"
#include "script_sample.h"
#include "tools/build/script_writer.h"

namespace tessarin {
namespace {

using testing::FakeScriptEnvironment;
using testing::minimalScript;
using testing::narrow;
using testing::richScript;
using testing::u16;
using testing::u8;

// An encoder written straight from the field table, independent of the shared field walk, so
// that a mistake in the walk shows up as a difference.
class HandBytes {
  public:
    void byte(uint32_t v) { out.push_back(static_cast<char>(v)); }
    void u16le(uint32_t v) {
        byte(v & 0xFF);
        byte(v >> 8 & 0xFF);
    }
    void i32(uint32_t v) {
        for (int i = 0; i < 4; ++i) byte(v >> (8 * i) & 0xFF);
    }
    void i64(uint64_t v) {
        i32(static_cast<uint32_t>(v));
        i32(static_cast<uint32_t>(v >> 32));
    }
    void dbl(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        i64(bits);
    }
    void raw(const String& s) { out.append(s.c_str(), static_cast<size_t>(s.length())); }
    void counted(const String& s) {  // short texts only: the one-byte length
        ASSERT_LT(s.length(), 255);
        byte(static_cast<uint32_t>(s.length()));
        raw(s);
    }
    void byteCounted(const String& s) {
        byte(static_cast<uint32_t>(s.length()));
        raw(s);
    }
    void u16Counted(const String& s) {
        u16le(static_cast<uint32_t>(s.length()));
        raw(s);
    }
    void i32Counted(const String& s) {
        i32(static_cast<uint32_t>(s.length()));
        raw(s);
    }
    void zstr8(const String& s) {
        raw(s);
        byte(0);
    }
    void zstr16(const String& s) {
        raw(s);
        u16le(0);
    }
    String bytes() const { return String(out.data(), static_cast<int32_t>(out.size())); }

    std::string out;
};

String handBuilt(const InstallScript& s) {
    HandBytes b;
    b.i64(s.ProductFlags);  // 1
    b.byte(s.AutomaticModeByte);
    b.counted(s.TaskbarText);
    b.counted(s.DisplayTitle);
    b.dbl(s.TitleSize);  // 5
    b.i32(s.ProgressPlacement);
    b.u16le(s.StepDelay);
    b.byte(s.ShortcutMode);
    const FileDateTime& d = s.ScriptDate;
    for (int32_t v : {d.year, d.month, d.day, d.hour, d.minute, d.second}) b.i32(v);
    b.counted(s.CompanyName);  // 10
    b.counted(s.ProductName);
    b.counted(s.ProductDescription);
    b.byte(s.Bitness);
    b.byte(s.SharedBase);
    b.counted(s.SharedDir);  // 15
    b.counted(s.PortableSharedSubdir);
    b.zstr16(s.ProductStartMenu);
    b.counted(s.Version8);
    b.zstr16(s.DefaultInstallDir);
    b.zstr16(s.ProductRegistry);  // 20
    b.i32Counted(s.RegistryTable);
    b.counted(s.RegistryMergeText);
    b.i32(s.BitmapSize);
    b.i32(s.StretchMode);
    b.u16Counted(s.GreetingLink);  // 25
    b.i32(s.LicenseTexts.count());
    for (const String& t : s.LicenseTexts) b.i32Counted(t);
    b.i32(s.ReadmeTexts.count());
    for (const String& t : s.ReadmeTexts) b.i32Counted(t);
    b.counted(s.UninstallSubdir);
    b.zstr8(s.UninstallerName);
    b.counted(s.UninstallKeyName);  // 30
    b.zstr8(s.PreviousInstallKey);
    b.counted(s.BannerText);
    b.byte(s.PictureBorder);
    b.i32(s.TitleColor);
    b.byte(s.TitleShadow);  // 35
    b.byte(s.TitlePosition);
    b.zstr8(s.TitleFont);
    b.i32(s.TopColor);
    b.i32(s.BottomColor);
    b.i32(s.BackgroundBitmap.length());  // 40
    if (!s.BackgroundBitmap.empty()) {
        b.raw(s.BackgroundBitmap);
        b.i32(s.BitmapTPI);
    }
    b.byte(s.CopyrightPos);
    if (s.CopyrightPos) {
        b.i32(s.CopyrightColor);
        b.dbl(s.CopyrightSize);
        b.counted(s.CopyrightText);
        b.counted(s.CopyrightFont);
    }
    if (s.ProductFlags & 0x10000) {  // 42
        b.counted(s.PrerequisiteKey);
        b.counted(s.PrerequisiteName);
        b.counted(s.PrerequisiteVersion);
    }
    b.counted(s.StartSound);
    b.counted(s.DesktopFolder);
    b.i32Counted(s.DesktopFolderIcon);  // 45
    for (const String* t :
         {&s.PreInstallBatch, &s.PostInstallBatch, &s.ExitBatch, &s.UninstallBatch1,
          &s.UninstallBatch2, &s.UpgradeBatch, &s.ReinstallBatch})
        b.counted(*t);
    b.raw(String(reinterpret_cast<const char*>(s.StampRecord), 20));
    b.i32(s.ExcludedSystems);  // 50
    b.byte(s.ExternalData);
    b.counted(s.LaunchProgram);
    b.counted(s.ReadmeFile);
    b.counted(s.FinishDocument);
    for (const String* t :
         {&s.NotifyLaunch, &s.NotifyInstallStart, &s.NotifyFreshInstall, &s.NotifyUpgrade,
          &s.NotifyDowngrade, &s.NotifyReinstall, &s.NotifyURL, &s.GreetingLinkNotify})
        b.counted(*t);
    b.zstr8(s.UpgradeWarningBelow);
    b.byteCounted(s.NoDowngradeBelow);
    b.counted(s.Password);  // 65
    b.counted(s.MustUninstallBelow);
    b.counted(s.FirewallText);
    b.counted(s.AddToPathSubfolder);
    b.i64(static_cast<uint64_t>(s.ExtraSpace));
    for (int32_t layout : s.PageLayouts) b.i32(layout);  // 70
    if (s.ProductFlags & 0x4) b.i32Counted(s.UninstallIcon);
    for (const ConditionalDeletion& e : s.UninstallExtras) {
        b.zstr8(e.Path);
        b.byte(e.Kind);
        b.zstr8(e.Value);
        b.byte(e.Flags);
    }
    b.zstr8(u8("~~THE END~~"));
    b.i32(s.FileAssociations.count());
    for (const ScriptAssociation& a : s.FileAssociations) {
        b.i32(a.Mode);
        for (const String* t :
             {&a.Extension, &a.Label, &a.Description, &a.Verb, &a.VerbName, &a.Command})
            b.zstr8(*t);
        b.zstr16(a.Language);
        b.zstr8(a.Icon);
    }
    b.i32(s.Shortcuts.count());
    for (const ScriptShortcut& c : s.Shortcuts) {
        b.counted(c.Target);
        b.counted(c.Name);
        b.zstr8(c.Icon);
        b.counted(c.Arguments);
        b.zstr8(c.WorkingFolder);
        b.byte(c.Desktop);
        b.byte(c.StartMenu);
        b.byte(c.Startup);
        b.zstr8(c.Folder);
        b.byte(c.WindowState);
        b.byte(c.Permanent);
    }
    b.counted(s.RootShortcutCommand);  // 75
    b.counted(s.RootShortcutName);
    b.zstr16(s.PinCommand);
    b.zstr16(s.PinName);
    b.i32(s.UninstallValues.count());
    for (const ScriptUninstallValue& v : s.UninstallValues) {
        b.zstr8(v.Name);
        b.byte(v.Type);
        b.counted(v.Text);
    }
    b.u16Counted(s.SupportOffer);
    b.i32Counted(s.ProductIcon);
    for (const ProgramToClose& p : s.ProgramsToClose) {
        b.zstr8(p.ClassText);
        b.zstr8(p.TitleText);
        b.zstr8(p.DisplayName);
        b.byte(p.Action);
        b.byte(p.Options);
    }
    b.zstr8(u8("~~THE~END~~"));
    b.byte(s.Messages.Languages.count());  // 80
    b.i32(s.Messages.MessageCount);
    for (const String& name : s.Messages.Languages) b.zstr16(name);
    for (const String& text : s.Messages.Texts) b.zstr16(text);
    b.i32(0xD3E82B97u);
    return b.bytes();
}

int readScript(const String& bytes, FakeScriptEnvironment& env, InstallScript& s,
               uint32_t flags2 = 0) {
    ScriptSource source{bytes.bytes(), static_cast<size_t>(bytes.length()), bytes.hash(), flags2};
    return ReadInstallScript(source, env, s);
}

String writeUnchecked(const InstallScript& s) {
    build::ScriptWriteOptions options;
    options.checkRanges = false;
    return build::writeInstallScript(s, options);
}

#define SAME(field) EXPECT_TRUE(a.field == b.field) << #field
#define SAME_ITEM(list, i, field) \
    EXPECT_TRUE(a.list[i].field == b.list[i].field) << #list "." #field

// Every field that the script stores (not the values the reader derives from them).
void expectStoredFieldsEqual(const InstallScript& a, const InstallScript& b) {
    SAME(ProductFlags);
    SAME(AutomaticModeByte);
    SAME(TaskbarText);
    SAME(DisplayTitle);
    SAME(TitleSize);
    SAME(ProgressPlacement);
    SAME(StepDelay);
    SAME(ShortcutMode);
    EXPECT_EQ(0, std::memcmp(&a.ScriptDate, &b.ScriptDate, sizeof a.ScriptDate));
    SAME(CompanyName);
    SAME(ProductName);
    SAME(ProductDescription);
    SAME(Bitness);
    SAME(SharedBase);
    SAME(SharedDir);
    SAME(PortableSharedSubdir);
    SAME(ProductStartMenu);
    SAME(Version8);
    SAME(DefaultInstallDir);
    SAME(ProductRegistry);
    SAME(RegistryTable);
    SAME(RegistryMergeText);
    SAME(BitmapSize);
    SAME(StretchMode);
    SAME(GreetingLink);
    ASSERT_EQ(a.LicenseTexts.count(), b.LicenseTexts.count());
    for (int32_t i = 0; i < a.LicenseTexts.count(); ++i) SAME(LicenseTexts[i]);
    ASSERT_EQ(a.ReadmeTexts.count(), b.ReadmeTexts.count());
    for (int32_t i = 0; i < a.ReadmeTexts.count(); ++i) SAME(ReadmeTexts[i]);
    SAME(UninstallSubdir);
    SAME(UninstallerName);
    SAME(UninstallKeyName);
    SAME(PreviousInstallKey);
    SAME(BannerText);
    SAME(PictureBorder);
    SAME(TitleColor);
    SAME(TitleShadow);
    SAME(TitlePosition);
    SAME(TitleFont);
    SAME(TopColor);
    SAME(BottomColor);
    SAME(BackgroundBitmap);
    SAME(BitmapTPI);
    SAME(CopyrightPos);
    SAME(CopyrightColor);
    SAME(CopyrightSize);
    SAME(CopyrightText);
    SAME(CopyrightFont);
    SAME(PrerequisiteKey);
    SAME(PrerequisiteName);
    SAME(PrerequisiteVersion);
    SAME(StartSound);
    SAME(DesktopFolder);
    SAME(DesktopFolderIcon);
    SAME(PreInstallBatch);
    SAME(PostInstallBatch);
    SAME(ExitBatch);
    SAME(UninstallBatch1);
    SAME(UninstallBatch2);
    SAME(UpgradeBatch);
    SAME(ReinstallBatch);
    EXPECT_EQ(0, std::memcmp(a.StampRecord, b.StampRecord, sizeof a.StampRecord));
    SAME(ExcludedSystems);
    SAME(ExternalData);
    SAME(LaunchProgram);
    SAME(ReadmeFile);
    SAME(FinishDocument);
    SAME(NotifyLaunch);
    SAME(NotifyInstallStart);
    SAME(NotifyFreshInstall);
    SAME(NotifyUpgrade);
    SAME(NotifyDowngrade);
    SAME(NotifyReinstall);
    SAME(NotifyURL);
    SAME(GreetingLinkNotify);
    SAME(UpgradeWarningBelow);
    SAME(NoDowngradeBelow);
    SAME(Password);
    SAME(MustUninstallBelow);
    SAME(FirewallText);
    SAME(AddToPathSubfolder);
    SAME(ExtraSpace);
    EXPECT_EQ(0, std::memcmp(a.PageLayouts, b.PageLayouts, sizeof a.PageLayouts));
    SAME(UninstallIcon);
    ASSERT_EQ(a.UninstallExtras.count(), b.UninstallExtras.count());
    for (int32_t i = 0; i < a.UninstallExtras.count(); ++i) {
        SAME_ITEM(UninstallExtras, i, Path);
        SAME_ITEM(UninstallExtras, i, Kind);
        SAME_ITEM(UninstallExtras, i, Value);
        SAME_ITEM(UninstallExtras, i, Flags);
    }
    ASSERT_EQ(a.FileAssociations.count(), b.FileAssociations.count());
    for (int32_t i = 0; i < a.FileAssociations.count(); ++i) {
        SAME_ITEM(FileAssociations, i, Mode);
        SAME_ITEM(FileAssociations, i, Extension);
        SAME_ITEM(FileAssociations, i, Label);
        SAME_ITEM(FileAssociations, i, Description);
        SAME_ITEM(FileAssociations, i, Verb);
        SAME_ITEM(FileAssociations, i, VerbName);
        SAME_ITEM(FileAssociations, i, Command);
        SAME_ITEM(FileAssociations, i, Language);
        SAME_ITEM(FileAssociations, i, Icon);
    }
    ASSERT_EQ(a.Shortcuts.count(), b.Shortcuts.count());
    for (int32_t i = 0; i < a.Shortcuts.count(); ++i) {
        SAME_ITEM(Shortcuts, i, Target);
        SAME_ITEM(Shortcuts, i, Name);
        SAME_ITEM(Shortcuts, i, Icon);
        SAME_ITEM(Shortcuts, i, Arguments);
        SAME_ITEM(Shortcuts, i, WorkingFolder);
        SAME_ITEM(Shortcuts, i, Desktop);
        SAME_ITEM(Shortcuts, i, StartMenu);
        SAME_ITEM(Shortcuts, i, Startup);
        SAME_ITEM(Shortcuts, i, Folder);
        SAME_ITEM(Shortcuts, i, WindowState);
        SAME_ITEM(Shortcuts, i, Permanent);
    }
    SAME(RootShortcutCommand);
    SAME(RootShortcutName);
    SAME(PinCommand);
    SAME(PinName);
    ASSERT_EQ(a.UninstallValues.count(), b.UninstallValues.count());
    for (int32_t i = 0; i < a.UninstallValues.count(); ++i) {
        SAME_ITEM(UninstallValues, i, Name);
        SAME_ITEM(UninstallValues, i, Type);
        SAME_ITEM(UninstallValues, i, Text);
    }
    SAME(SupportOffer);
    SAME(ProductIcon);
    ASSERT_EQ(a.ProgramsToClose.count(), b.ProgramsToClose.count());
    for (int32_t i = 0; i < a.ProgramsToClose.count(); ++i) {
        SAME_ITEM(ProgramsToClose, i, ClassText);
        SAME_ITEM(ProgramsToClose, i, TitleText);
        SAME_ITEM(ProgramsToClose, i, DisplayName);
        SAME_ITEM(ProgramsToClose, i, Action);
        SAME_ITEM(ProgramsToClose, i, Options);
    }
    SAME(Messages.MessageCount);
    ASSERT_EQ(a.Messages.Languages.count(), b.Messages.Languages.count());
    for (int32_t i = 0; i < a.Messages.Languages.count(); ++i) SAME(Messages.Languages[i]);
    ASSERT_EQ(a.Messages.Texts.count(), b.Messages.Texts.count());
    for (int32_t i = 0; i < a.Messages.Texts.count(); ++i) SAME(Messages.Texts[i]);
}

TEST(ScriptFormat, WriterAndReaderAgreeWithHandBuiltBytes) {
    for (const InstallScript& script : {richScript(), minimalScript()}) {
        String hand = handBuilt(script);
        String written = build::writeInstallScript(script);
        ASSERT_EQ(narrow(hand), narrow(written));

        FakeScriptEnvironment env;
        InstallScript read;
        ASSERT_EQ(readScript(hand, env, read), 0);
        expectStoredFieldsEqual(script, read);
    }
}

TEST(ScriptFormat, RichScriptDerivedValues) {
    FakeScriptEnvironment env;
    InstallScript s;
    ASSERT_EQ(readScript(build::writeInstallScript(richScript()), env, s), 0);
    EXPECT_TRUE(s.Version.equalsWide(u"2.5.1"));
    EXPECT_FALSE(s.MonoColor);
    EXPECT_TRUE(s.BackgroundMaximized);
    EXPECT_EQ(s.Messages.CurrentLanguage, 1);
    EXPECT_TRUE(s.InstallDir.equalsWide(u"C:\\Program Files (x86)\\Vendor\\Product"));
    EXPECT_EQ(narrow(s.InstallDir8), "C:\\Program Files (x86)\\Vendor\\Product");
    EXPECT_TRUE(s.DesktopShortcuts.equalsWide(u"C:\\Users\\Public\\Desktop\\Desktop Folder"));
    EXPECT_EQ(narrow(s.DesktopShortcuts8), "C:\\Users\\Public\\Desktop\\Desktop Folder");
    EXPECT_TRUE(s.message(0).equalsWide(u"Title"));
    EXPECT_TRUE(s.message(2).equalsWide(u"Product \u00e9 on C:\\Windows"));
    std::vector<std::string> expected = {"automatic off", "window", "networking",
                                         "launch https://example.com/launch", "uninstaller image"};
    EXPECT_EQ(env.events, expected);
}

// The primitives -----------------------------------------------------------------------------

String bytesOf(std::initializer_list<int> values, size_t padding = 0, char fill = 'x') {
    std::string b;
    for (int v : values) b.push_back(static_cast<char>(v));
    b.append(padding, fill);
    return String(b.data(), static_cast<int32_t>(b.size()));
}

TEST(ScriptCursor, CountedLengthForms) {
    struct Case {
        const char* name;
        String bytes;
        bool ok;
        int32_t length;
    } cases[] = {
        {"one byte", bytesOf({5}, 5), true, 5},
        {"zero", bytesOf({0}), true, 0},
        {"254 in one byte", bytesOf({254}, 254), true, 254},
        {"three bytes", bytesOf({255, 0x10, 0x01}, 272), true, 272},
        {"three bytes, high byte only", bytesOf({255, 0x00, 0x02}, 512), true, 512},
        {"six bytes", bytesOf({255, 255, 0x2C, 0x01, 0, 0}, 300), true, 300},
        {"six bytes, zero", bytesOf({255, 255, 0, 0, 0, 0}), true, 0},
        {"above 0x40000000", bytesOf({255, 255, 0x01, 0, 0, 0x40}, 16), false, 0},
        {"negative int32", bytesOf({255, 255, 0xFF, 0xFF, 0xFF, 0xFF}, 16), false, 0},
        {"0x40000000 past the end", bytesOf({255, 255, 0, 0, 0, 0x40}, 16), false, 0},
        {"shorter than its length", bytesOf({255, 0x10, 0x01}, 271), false, 0},
        {"cut inside the length", bytesOf({255, 255, 1}), false, 0},
    };
    for (const Case& c : cases) {
        ScriptCursor cursor(c.bytes.bytes(), static_cast<size_t>(c.bytes.length()));
        String value("stale");
        EXPECT_EQ(cursor.readCounted(value), c.ok) << c.name;
        EXPECT_EQ(value.length(), c.length) << c.name;
        EXPECT_TRUE(cursor.atEnd()) << c.name;
        if (c.ok && c.length > 0) {
            EXPECT_EQ(value.c_str()[0], 'x') << c.name;
        }
    }
}

TEST(ScriptCursor, WriterLengthFormsReadBack) {
    struct Case {
        uint32_t length;
        int prefix;
    } cases[] = {{0, 1},   {254, 1},   {255, 6},   {256, 3},   {272, 3},  {511, 6},
                 {512, 3}, {65279, 6}, {65534, 3}, {65535, 6}, {65536, 6}};
    for (const Case& c : cases) {
        String b;
        build::appendCountedLength(b, c.length);
        EXPECT_EQ(b.length(), c.prefix) << c.length;
        b.append(std::string(c.length, 'y').c_str(), static_cast<int32_t>(c.length));
        ScriptCursor cursor(b.bytes(), static_cast<size_t>(b.length()));
        String value;
        EXPECT_TRUE(cursor.readCounted(value)) << c.length;
        EXPECT_EQ(static_cast<uint32_t>(value.length()), c.length);
        EXPECT_TRUE(cursor.atEnd());
    }
}

// A read that runs past the end gives an empty or zero value, and every later read fails too.
TEST(ScriptCursor, PastTheEndLeavesValuesEmpty) {
    using Read = std::function<bool(ScriptCursor&, std::string&)>;
    auto text = [](auto method) {
        return Read([method](ScriptCursor& c, std::string& v) {
            String s("stale");
            bool ok = (c.*method)(s);
            v = narrow(s);
            return ok;
        });
    };
    auto number = [](auto method, auto zero) {
        return Read([method, zero](ScriptCursor& c, std::string& v) {
            auto n = zero;
            n = decltype(zero)(7);
            bool ok = (c.*method)(n);
            v = std::to_string(static_cast<long long>(n));
            return ok;
        });
    };
    struct Case {
        const char* name;
        String bytes;
        Read read;
        std::string value;
    } cases[] = {
        {"byte", bytesOf({}), number(&ScriptCursor::readByte, uint8_t(0)), "0"},
        {"uint16", bytesOf({1}), number(&ScriptCursor::readUInt16, uint16_t(0)), "0"},
        {"int32", bytesOf({1, 2, 3}), number(&ScriptCursor::readInt32, int32_t(0)), "0"},
        {"int64", bytesOf({1, 2, 3, 4, 5, 6, 7}), number(&ScriptCursor::readInt64, int64_t(0)),
         "0"},
        {"byte-counted", bytesOf({3, 'a', 'b'}), text(&ScriptCursor::readByteCounted), ""},
        {"uint16-counted", bytesOf({3, 0, 'a'}), text(&ScriptCursor::readUInt16Counted), ""},
        {"int32-counted", bytesOf({3, 0, 0, 0, 'a'}), text(&ScriptCursor::readInt32Counted), ""},
        {"int32-counted negative", bytesOf({0xFF, 0xFF, 0xFF, 0xFF}, 8),
         text(&ScriptCursor::readInt32Counted), ""},
        {"zstr8 unterminated", bytesOf({'a', 'b'}), text(&ScriptCursor::readZstr8), ""},
        {"zstr16 unterminated", bytesOf({'a', 0, 'b'}), text(&ScriptCursor::readZstr16), ""},
        // The zero character is a whole aligned pair: 'a' 0 | 0 'b' holds none.
        {"zstr16 misaligned zeros", bytesOf({'a', 0, 0, 'b'}), text(&ScriptCursor::readZstr16), ""},
    };
    for (const Case& c : cases) {
        ScriptCursor cursor(c.bytes.bytes(), static_cast<size_t>(c.bytes.length()));
        std::string value;
        EXPECT_FALSE(c.read(cursor, value)) << c.name;
        EXPECT_EQ(value, c.value) << c.name;
        EXPECT_TRUE(cursor.atEnd()) << c.name;
        uint8_t next = 9;
        EXPECT_FALSE(cursor.readByte(next)) << c.name;
        EXPECT_EQ(next, 0) << c.name;
    }
}

TEST(ScriptCursor, TextsAndNumbers) {
    String b = bytesOf({'a',  'b',  0,    'c', 0, 0, 0, 2, 0, 'x',  'y', 0x78,
                        0x56, 0x34, 0x12, 0,   0, 0, 0, 0, 0, 0xF8, 0x3F});
    ScriptCursor c(b.bytes(), static_cast<size_t>(b.length()));
    String s;
    ASSERT_TRUE(c.readZstr8(s));
    EXPECT_EQ(narrow(s), "ab");
    ASSERT_TRUE(c.readZstr16(s));
    EXPECT_TRUE(s.equalsWide(u"c"));
    ASSERT_TRUE(c.readUInt16Counted(s));
    EXPECT_EQ(narrow(s), "xy");
    int32_t i;
    ASSERT_TRUE(c.readInt32(i));
    EXPECT_EQ(i, 0x12345678);
    double d;
    ASSERT_TRUE(c.readDouble(d));
    EXPECT_EQ(d, 1.5);
    EXPECT_TRUE(c.atEnd());
}

// Range checks --------------------------------------------------------------------------------

template <class T>
void appendCopies(Vector<T>& list, int32_t n, const T& value) {
    for (int32_t i = 0; i < n; ++i) list.append(value);
}

// Offsets in a written minimal script, counted from its end: closing value, the one text and
// the one language name ("English", 16 bytes), MessageCount, LanguageCount.
constexpr int32_t kFromEndMessageCount = 4 + 12 + 16 + 4;
constexpr int32_t kFromEndLanguageCount = kFromEndMessageCount + 1;
// From the start: ProductFlags, automatic byte, two empty counted texts, double, int32.
constexpr int32_t kStepDelayOffset = 8 + 1 + 1 + 1 + 8 + 4;

void patch(String& b, int32_t at, std::initializer_list<int> values) {
    for (int v : values) b.set(at++, static_cast<char>(v));
}

TEST(ScriptReader, RangeChecks) {
    using Change = std::function<void(InstallScript&)>;
    using Damage = std::function<void(String&)>;
    struct Case {
        const char* name;
        Change change;
        Damage damage;
        int code;
    } cases[] = {
        {"StepDelay 9999", [](InstallScript& s) { s.StepDelay = 9999; }, nullptr, 0},
        {"StepDelay 10000", [](InstallScript& s) { s.StepDelay = 10000; }, nullptr, 19},
        {"StepDelay patched to 0xFFFF", nullptr,
         [](String& b) {
             patch(b, kStepDelayOffset, {0xFF, 0xFF});
         },
         19},
        {"20 licences", [](InstallScript& s) { appendCopies(s.LicenseTexts, 20, u8("L")); },
         nullptr, 0},
        {"21 licences", [](InstallScript& s) { appendCopies(s.LicenseTexts, 21, u8("L")); },
         nullptr, 24},
        {"21 readmes", [](InstallScript& s) { appendCopies(s.ReadmeTexts, 21, u8("R")); }, nullptr,
         26},
        {"BitmapSize 100", [](InstallScript& s) { s.BitmapSize = 100; }, nullptr, 0},
        {"BitmapSize 101", [](InstallScript& s) { s.BitmapSize = 101; }, nullptr, 39},
        {"BitmapSize -1", [](InstallScript& s) { s.BitmapSize = -1; }, nullptr, 39},
        {"1000 uninstall extras",
         [](InstallScript& s) {
             appendCopies(s.UninstallExtras, 1000, {u8("p"), 0, u8(""), 0});
         },
         nullptr, 0},
        {"1001 uninstall extras",
         [](InstallScript& s) {
             appendCopies(s.UninstallExtras, 1001, {u8("p"), 0, u8(""), 0});
         },
         nullptr, 0},
        {"1002 uninstall extras",
         [](InstallScript& s) {
             appendCopies(s.UninstallExtras, 1002, {u8("p"), 0, u8(""), 0});
         },
         nullptr, 38},
        {"1000 associations",
         [](InstallScript& s) { appendCopies(s.FileAssociations, 1000, ScriptAssociation()); },
         nullptr, 0},
        {"1001 associations",
         [](InstallScript& s) { appendCopies(s.FileAssociations, 1001, ScriptAssociation()); },
         nullptr, 36},
        {"1000 shortcuts",
         [](InstallScript& s) { appendCopies(s.Shortcuts, 1000, ScriptShortcut()); }, nullptr, 0},
        {"1001 shortcuts",
         [](InstallScript& s) { appendCopies(s.Shortcuts, 1001, ScriptShortcut()); }, nullptr, 48},
        {"1001 uninstall values",
         [](InstallScript& s) { appendCopies(s.UninstallValues, 1001, ScriptUninstallValue()); },
         nullptr, 37},
        {"1000 programs to close",
         [](InstallScript& s) {
             appendCopies(s.ProgramsToClose, 1000, {u8("c"), u8(""), u8(""), 0, 0});
         },
         nullptr, 0},
        {"1001 programs to close",
         [](InstallScript& s) {
             appendCopies(s.ProgramsToClose, 1001, {u8("c"), u8(""), u8(""), 0, 0});
         },
         nullptr, 41},
        {"LanguageCount patched to 0", nullptr,
         [](String& b) { patch(b, b.length() - kFromEndLanguageCount, {0}); }, 30},
        {"LanguageCount patched to 201", nullptr,
         [](String& b) { patch(b, b.length() - kFromEndLanguageCount, {201}); }, 30},
        {"200 languages",
         [](InstallScript& s) {
             appendCopies(s.Messages.Languages, 199, u16(u"L"));
             appendCopies(s.Messages.Texts, 199, u16(u"T"));
         },
         nullptr, 0},
        {"MessageCount patched to 0", nullptr,
         [](String& b) {
             patch(b, b.length() - kFromEndMessageCount, {0, 0, 0, 0});
         },
         31},
        {"MessageCount 10001", [](InstallScript& s) { s.Messages.MessageCount = 10001; }, nullptr,
         31},
        {"closing value damaged", nullptr, [](String& b) { patch(b, b.length() - 1, {0xD4}); }, 32},
        {"script cut inside the message table", nullptr,
         [](String& b) { b.setLength(b.length() - 10); }, 32},
        {"script cut after the first fields", nullptr, [](String& b) { b.setLength(40); }, 38},
    };
    for (const Case& c : cases) {
        InstallScript script = minimalScript();
        if (c.change) c.change(script);
        String bytes = writeUnchecked(script);
        if (c.damage) c.damage(bytes);
        FakeScriptEnvironment env;
        InstallScript read;
        EXPECT_EQ(readScript(bytes, env, read), c.code) << c.name;
        int raised = 0;
        for (const std::string& e : env.events)
            if (e.rfind("corruption", 0) == 0) {
                ++raised;
                EXPECT_EQ(e, "corruption " + std::to_string(c.code)) << c.name;
            }
        EXPECT_EQ(raised, c.code ? 1 : 0) << c.name;
        // A failed check stops the reading: the launch steps never run.
        EXPECT_EQ(env.events.back() == "uninstaller image", c.code == 0) << c.name;
    }
}

TEST(ScriptReader, ChecksumIsComparedAfterTheBackgroundWindow) {
    String bytes = build::writeInstallScript(minimalScript());
    FakeScriptEnvironment env;
    InstallScript s;
    ScriptSource source{bytes.bytes(), static_cast<size_t>(bytes.length()), bytes.hash() + 1, 0};
    EXPECT_EQ(ReadInstallScript(source, env, s), 25);
    std::vector<std::string> expected = {"window", "corruption 25"};
    EXPECT_EQ(env.events, expected);
}

TEST(ScriptReader, CutScriptReadsWhatItHas) {
    String bytes = build::writeInstallScript(richScript());
    // Cut inside the last message text: everything before it is read, the rest is empty.
    bytes.setLength(bytes.length() - 4 - 6);
    FakeScriptEnvironment env;
    InstallScript s;
    EXPECT_EQ(readScript(bytes, env, s), 32);
    EXPECT_TRUE(s.NotifyURL.equals("https://example.com/uninstall"));
    EXPECT_EQ(s.ProgramsToClose.count(), 2);
    EXPECT_TRUE(s.message(1).equalsWide(u"Line 1\r\nLine 2"));
    EXPECT_TRUE(s.Messages.text(2, 1).empty());
    EXPECT_TRUE(s.Messages.text(2, 0).equalsWide(u"<product>"));
}

TEST(ScriptWriter, RefusesWhatCannotBeRead) {
    using Change = std::function<void(InstallScript&)>;
    struct Case {
        const char* name;
        Change change;
    } cases[] = {
        {"range check", [](InstallScript& s) { s.BitmapSize = 101; }},
        {"end marker as an entry",
         [](InstallScript& s) {
             s.UninstallExtras.append({u8("~~THE END~~"), 0, u8(""), 0});
         }},
        {"end marker as a program",
         [](InstallScript& s) {
             s.ProgramsToClose.append({u8("~~THE~END~~"), u8(""), u8(""), 0, 0});
         }},
        {"zero inside zstr8", [](InstallScript& s) { s.TitleFont = String("a\0b", 3); }},
        {"zero inside zstr16", [](InstallScript& s) { s.PinName = String(u"a\0b", 3); }},
        {"byte-counted too long",
         [](InstallScript& s) { s.NoDowngradeBelow = u8(std::string(256, 'v').c_str()); }},
        {"too many texts", [](InstallScript& s) { s.Messages.Texts.append(u16(u"extra")); }},
    };
    for (const Case& c : cases) {
        InstallScript s = minimalScript();
        c.change(s);
        EXPECT_THROW(build::writeInstallScript(s), std::runtime_error) << c.name;
    }
}

// What the reader makes of the values ---------------------------------------------------------

TEST(ScriptReader, CurrentLanguageIsTheLastEnglish) {
    struct Case {
        std::vector<const char16_t*> names;
        int32_t current;
    } cases[] = {
        {{u"Deutsch"}, 0},
        {{u"Deutsch", u"Fran\u00e7ais"}, 0},
        {{u"Deutsch", u"English"}, 1},
        {{u"English", u"Deutsch", u"English"}, 2},
        {{u"Deutsch", u"english", u"English (US)", u"English "}, 0},
    };
    for (const Case& c : cases) {
        InstallScript script = minimalScript();
        script.Messages.Languages.clear();
        script.Messages.Texts.clear();
        for (const char16_t* name : c.names) {
            script.Messages.Languages.append(u16(name));
            script.Messages.Texts.append(u16(name));
        }
        FakeScriptEnvironment env;
        InstallScript s;
        ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
        EXPECT_EQ(s.Messages.CurrentLanguage, c.current);
        EXPECT_TRUE(s.message(0).equalsWide(c.names[static_cast<size_t>(c.current)]));
    }
}

TEST(ScriptReader, InstallDirFromTheDefaultFolder) {
    struct Case {
        const char16_t* folder;
        uint8_t bitness;
        const char16_t* override;
        const char16_t* installDir;
    } cases[] = {
        {u"Vendor\\App", 0, u"", u"C:\\Program Files (x86)\\Vendor\\App"},
        {u"Vendor\\App", 2, u"", u"C:\\Program Files (x86)\\Vendor\\App"},
        {u"Vendor\\App", 1, u"", u"C:\\Program Files\\Vendor\\App"},
        {u"", 0, u"", u"C:\\Program Files (x86)\\Product"},
        {u"<os>\\App", 0, u"", u"C:\\Windows\\App"},
        {u"%CommonDir%\\App", 0, u"", u"C:\\Program Files (x86)\\Common Files\\App"},
        {u"D:\\Apps\\App", 1, u"", u"D:\\Apps\\App"},
        {u"\\\\server\\share\\App", 0, u"", u"\\\\server\\share\\App"},
        {u"\\Apps\\App", 0, u"", u"C:\\Apps\\App"},
        {u"<master>", 0, u"", u"<master>"},
        {u"HKLM\\Software\\Vendor\\Path", 0, u"", u"HKLM\\Software\\Vendor\\Path"},
        {u"HKCU\\Software\\Vendor\\Path", 1, u"", u"HKCU\\Software\\Vendor\\Path"},
        {u"<master>\\App", 0, u"", u"C:\\Program Files (x86)\\<master>\\App"},
        {u"Vendor\\App", 0, u"E:\\Chosen", u"E:\\Chosen"},
        {u"<master>", 0, u"relative", u"relative"},
    };
    for (const Case& c : cases) {
        InstallScript script = minimalScript();
        script.ProductName = u16(u"Product");
        script.DefaultInstallDir = u16(c.folder);
        script.Bitness = c.bitness;
        FakeScriptEnvironment env;
        env.installDir = u16(c.override);
        InstallScript s;
        ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
        EXPECT_TRUE(s.InstallDir.equalsWide(c.installDir)) << narrow(pathText(s.InstallDir));
        EXPECT_TRUE(s.DefaultInstallDir.equalsWide(c.folder));
        EXPECT_TRUE(s.InstallDir8 == pathText(s.InstallDir));
    }
}

TEST(ScriptReader, InstallDirTwinUsesTheNarrowPathForm) {
    InstallScript script = minimalScript();
    script.DefaultInstallDir = u16(u"D:\\Caf\u00e9");
    FakeScriptEnvironment env;
    InstallScript s;
    ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
    EXPECT_EQ(narrow(s.InstallDir8), "|D:\\Caf\xC3\xA9");
}

TEST(ScriptReader, SilentModeChangesTheFlags) {
    const uint64_t all = ~uint64_t(0);
    struct Case {
        uint64_t stored;
        bool silent;
        uint64_t loaded;
    } cases[] = {
        {0, false, 0},
        {all, false, all},
        {0, true, 0x00200000 | 0x00400000 | 0x10000000 | 0x20000000 | highWord(0x800)},
        {all, true,
         all & ~(uint64_t(0x80) | 0x80000000u |
                 highWord(0x4 | 0x8 | 0x10 | 0x200 | 0x1000 | 0x80000))},
    };
    for (const Case& c : cases) {
        InstallScript script = minimalScript();
        script.ProductFlags = c.stored;
        FakeScriptEnvironment env;
        env.silent = c.silent;
        InstallScript s;
        ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
        EXPECT_EQ(s.ProductFlags, c.loaded) << std::hex << c.stored << " " << c.silent;
        // Silent mode always sets the no-background-window bit.
        bool window = std::find(env.events.begin(), env.events.end(), "window") != env.events.end();
        EXPECT_EQ(window, !(c.loaded & kFlagsNoBackgroundWindow));
    }
}

TEST(ScriptReader, AutomaticModeByte) {
    struct Case {
        uint8_t value;
        bool silent;
        const char* event;  // nullptr: AutomaticMode left alone
    } cases[] = {
        {0, false, nullptr},         {1, false, "automatic on"}, {1, true, "automatic on"},
        {2, false, "automatic off"}, {2, true, nullptr},         {3, false, nullptr},
    };
    for (const Case& c : cases) {
        InstallScript script = minimalScript();
        script.AutomaticModeByte = c.value;
        FakeScriptEnvironment env;
        env.silent = c.silent;
        InstallScript s;
        ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
        std::vector<std::string> automatic;
        for (const std::string& e : env.events)
            if (e.rfind("automatic", 0) == 0) automatic.push_back(e);
        EXPECT_EQ(automatic.size(), c.event ? 1u : 0u) << int(c.value) << c.silent;
        if (c.event && !automatic.empty()) {
            EXPECT_EQ(automatic[0], c.event);
        }
    }
}

TEST(ScriptReader, Flags2Bit400OnlyOnNewerSystems) {
    struct Case {
        uint32_t platform, major, minor;
        uint8_t product;
        bool kept;
    } cases[] = {
        {kPlatformNt, 10, 0, kProductWorkstation, true},
        {kPlatformNt, 6, 0, kProductWorkstation, true},
        {kPlatformNt, 5, 2, kProductServer, true},
        {kPlatformNt, 5, 2, kProductDomainController, true},
        {kPlatformNt, 5, 2, kProductWorkstation, false},  // XP x64
        {kPlatformNt, 5, 1, kProductWorkstation, false},
        {kPlatformNt, 5, 0, kProductServer, false},
        {kPlatformWindows9x, 4, 90, kProductWorkstation, false},
    };
    for (const Case& c : cases) {
        FakeScriptEnvironment env;
        env.osInfo.platform = c.platform;
        env.osInfo.major = c.major;
        env.osInfo.minor = c.minor;
        env.osInfo.productType = c.product;
        InstallScript s;
        ASSERT_EQ(readScript(build::writeInstallScript(minimalScript()), env, s, 0xFFFFFFFF), 0);
        EXPECT_EQ(s.ProductFlags2, c.kept ? 0xFFFFFFFFu : 0xFFFFFBFFu) << c.major << "." << c.minor;
    }
}

TEST(ScriptReader, DefaultsFollowTheNamesReadBefore) {
    InstallScript script = minimalScript();
    script.ProductName = u16(u"Script Name");
    script.CompanyName = u16(u"Vendor");
    FakeScriptEnvironment env;
    InstallScript s;
    ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
    EXPECT_TRUE(s.ProductName.equalsWide(u"Script Name"));
    EXPECT_TRUE(s.ProductDescription.equalsWide(u"Script Name"));
    EXPECT_TRUE(s.SharedDir.equalsWide(u"Vendor"));
    EXPECT_TRUE(s.ProductStartMenu.equalsWide(u"Script Name"));
    EXPECT_TRUE(s.UninstallKeyName.equalsWide(u"Script Name"));
    EXPECT_TRUE(s.DesktopFolder.empty());
    EXPECT_TRUE(s.MonoColor);

    // /n: wins over the script; a blank company leaves the shared folder to the product;
    // a blank key name and the desktop-folder option take the product name too.
    script.CompanyName = u16(u"  ");
    script.UninstallKeyName = u16(u" \t");
    script.ProductFlags = kFlagsDesktopFolderIsProduct;
    env.productName = u16(u"Command Line Name");
    ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
    EXPECT_TRUE(s.ProductName.equalsWide(u"Command Line Name"));
    EXPECT_TRUE(s.ProductDescription.equalsWide(u"Command Line Name"));
    EXPECT_TRUE(s.SharedDir.equalsWide(u"Command Line Name"));
    EXPECT_TRUE(s.UninstallKeyName.equalsWide(u"Command Line Name"));
    EXPECT_TRUE(s.DesktopFolder.equalsWide(u"Command Line Name"));
    EXPECT_TRUE(s.InstallDir.equalsWide(u"C:\\Program Files (x86)\\Command Line Name"));
}

TEST(ScriptReader, DesktopShortcutsFolder) {
    struct Case {
        uint8_t mode;
        const char16_t* folder;
        const char16_t* shortcuts;
    } cases[] = {
        {1, u"Vendor", u"C:\\Users\\Public\\Desktop\\Vendor"},
        {0, u"Vendor", u"C:\\Users\\me\\Desktop\\Vendor"},
        {2, u"", u"C:\\Users\\me\\Desktop"},
    };
    for (const Case& c : cases) {
        InstallScript script = minimalScript();
        script.ShortcutMode = c.mode;
        script.DesktopFolder = u16(c.folder);
        FakeScriptEnvironment env;
        InstallScript s;
        ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
        EXPECT_TRUE(s.DesktopShortcuts.equalsWide(c.shortcuts));
        EXPECT_TRUE(s.DesktopShortcuts8 == pathText(c.shortcuts));
    }
}

TEST(ScriptReader, MessagesAreNormalisedAndExpanded) {
    InstallScript script = minimalScript();
    script.ProductName = u16(u"Prod<os>");
    script.ProductDescription = u16(u"Desc <product>");
    script.BannerText = u16(u"Welcome to <product> - <description>");
    script.Messages.MessageCount = 3;
    script.Messages.Texts.clear();
    script.Messages.Texts.append(u16(u"a\nb\rc\r\nd\n\re"));
    script.Messages.Texts.append(u16(u"<product>|<description>|<os>|<Product>|<os"));
    script.Messages.Texts.append(u16(u""));
    FakeScriptEnvironment env;
    InstallScript s;
    ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
    EXPECT_TRUE(s.message(0).equalsWide(u"a\r\nb\r\nc\r\nd\r\ne"));
    // Replacements are not searched again.
    EXPECT_TRUE(s.message(1).equalsWide(u"Prod<os>|Desc <product>|C:\\Windows|<Product>|<os"));
    EXPECT_TRUE(s.message(2).empty());
    EXPECT_TRUE(s.message(3).empty());
    EXPECT_TRUE(s.message(-1).empty());
    EXPECT_TRUE(s.BannerText.equalsWide(u"Welcome to Prod<os> - Desc <product>"));
}

TEST(ScriptReader, EnvironmentCalls) {
    struct Case {
        const char* name;
        uint64_t flags;
        uint8_t bitness;
        bool minimized;
        std::vector<std::string> events;
    } cases[] = {
        {"plain", 0, 0, false, {"window", "networking", "launch ", "uninstaller image"}},
        {"minimized",
         0,
         0,
         true,
         {"window minimized", "networking", "launch ", "uninstaller image"}},
        {"no background window",
         kFlagsNoBackgroundWindow,
         0,
         false,
         {"networking", "launch ", "uninstaller image"}},
        {"64-bit product",
         0,
         1,
         false,
         {"window", "redirection off", "networking", "launch ", "uninstaller image"}},
    };
    for (const Case& c : cases) {
        InstallScript script = minimalScript();
        script.ProductFlags = c.flags;
        script.Bitness = c.bitness;
        FakeScriptEnvironment env;
        env.minimized = c.minimized;
        InstallScript s;
        ASSERT_EQ(readScript(build::writeInstallScript(script), env, s), 0);
        EXPECT_EQ(env.events, c.events) << c.name;
        EXPECT_EQ(s.RedirectionOff, c.bitness == 1) << c.name;
    }
}

}  // namespace
}  // namespace tessarin
