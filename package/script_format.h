// The install script format, defined once for the installer's reader and tessarin-build's
// writer: the order of the fields, the primitive of each, the range checks with their
// corruption codes, and the points at which the reader acts on what it has read so far.
//
// Nothing in the script is named or tagged; a field is known only by its position, so
// visitInstallScript below is the format. It drives an Io object through the fields:
//
//   static constexpr bool kReading;     true for the reader, false for the writer
//   byte(uint8_t&), uint16(uint16_t&), int32(int32_t&, FieldRule), int64(int64_t&),
//   int64(uint64_t&), real(double&), bytes(uint8_t*, size_t), date(FileDateTime&),
//   bytesInto(String&, int32_t n)        n raw bytes
//   counted(String&, FieldRule), byteCounted(String&), uint16Counted(String&),
//   int32Counted(String&), zstr8(String&), zstr16(String&, FieldRule)
//   bool check(bool ok, int code)   false stops the walk (the reader raises the code)
//   bool step(ScriptStep)           the reader's work between fields; false stops the walk
//   bool exhausted() const          the reader has run past the end of the script
//
// The reader reads each value into the reference it is given; the writer writes it.
#pragma once

#include <cstdint>

#include "package/install_script.h"
#include "package/payload_format.h"

namespace tessarin {

inline constexpr uint32_t kScriptClosingValue = 0xD3E82B97u;
inline constexpr uint32_t kMaxCountedLength = 0x40000000u;

inline constexpr uint16_t kMaxStepDelay = 9999;
inline constexpr int32_t kMaxBitmapSize = 100;
inline constexpr int32_t kMaxLicenseTexts = 20;
inline constexpr int32_t kMaxReadmeTexts = 20;
inline constexpr int32_t kMaxUninstallExtras = 1001;  // the 1002nd entry is refused
inline constexpr int32_t kMaxFileAssociations = 1000;
inline constexpr int32_t kMaxShortcuts = 1000;
inline constexpr int32_t kMaxUninstallValues = 1000;
inline constexpr int32_t kMaxProgramsToClose = 1000;
inline constexpr int32_t kMaxLanguages = 200;
inline constexpr int32_t kMaxMessages = 10000;
inline constexpr int32_t kStampRecordSize = 20;

// End markers of the two lists without a count, compared byte for byte.
inline constexpr const char* kUninstallExtrasEnd = "~~THE END~~";
inline constexpr const char* kProgramsToCloseEnd = "~~THE~END~~";

// Corruption codes of the script (besides kCodeScriptCheck, 25).
enum ScriptCode : int {
    kCodeStepDelay = 19,
    kCodeLicenseCount = 24,
    kCodeReadmeCount = 26,
    kCodeLanguageCount = 30,
    kCodeMessageCount = 31,
    kCodeClosingValue = 32,
    kCodeAssociationCount = 36,
    kCodeUninstallValueCount = 37,
    kCodeUninstallExtras = 38,
    kCodeBitmapSize = 39,
    kCodeProgramsToClose = 41,
    kCodeShortcutCount = 48,
};

// ProductFlags bits (low word = bits 0-31, high word = bits 32-63).
inline constexpr uint64_t highWord(uint32_t bits) {
    return uint64_t(bits) << 32;
}
inline constexpr uint64_t kFlagsUninstallEntry = 0x4;    // field 71 present
inline constexpr uint64_t kFlagsPrerequisite = 0x10000;  // field 42 present
inline constexpr uint64_t kFlagsNoBackgroundWindow = 0x20000000;
inline constexpr uint64_t kFlagsBackgroundMaximized = highWord(0x100);
inline constexpr uint64_t kFlagsDesktopFolderIsProduct = highWord(0x4000000);

// What SilentMode does to the loaded ProductFlags: no folder, Start-menu or greeting page, no
// background or progress window, no upgrade questions, no cancellation.
inline constexpr uint64_t kSilentClearedFlags =
    0x80 | 0x80000000u | highWord(0x4 | 0x8 | 0x10 | 0x200 | 0x1000 | 0x80000);
inline constexpr uint64_t kSilentSetFlags =
    0x00200000 | 0x00400000 | 0x10000000 | 0x20000000 | highWord(0x800);
// The silent changes must not change which fields a script holds.
static_assert(((kSilentClearedFlags | kSilentSetFlags) &
               (kFlagsUninstallEntry | kFlagsPrerequisite)) == 0);

// ProductFlags2 bit kept only on NT 6.0 and later and on server editions of NT 5.2.
inline constexpr uint32_t kFlags2NewerSystemsOnly = 0x400;

// What the reader does with a value beyond storing it.
enum class FieldRule {
    None,
    ProductName,         // stored only when no name is set yet (/n: wins)
    ProductDescription,  // empty: ProductName
    SharedDir,           // empty: CompanyName, or ProductName when that is blank
    ProductStartMenu,    // empty: ProductName
    Version,             // also makes the UTF-16 twin
    UninstallKeyName,    // blank: ProductName
    DesktopFolder,       // empty and ProductFlags high 0x4000000: ProductName
    BottomColor,         // sets MonoColor
    MessageText,         // line breaks become CR LF
};

// Points between fields at which the reader acts.
enum class ScriptStep {
    HeaderRead,         // after field 6: modes, flags, background window, checksum
    BitnessRead,        // after field 13: file-system redirection for 64-bit products
    DefaultFolderRead,  // after field 19: InstallDir
    DesktopRead,        // after field 45: DesktopShortcuts
    LanguagesRead,      // after field 82: the current language
    Closed,             // after a good closing value
};

namespace script_format_detail {

template <class Io, class T>
void sizeForReading(Vector<T>& list, int32_t n) {
    if constexpr (Io::kReading) list.setCount(n);
}

// A list with an int32 count in front.
template <class Io, class T, class Entry>
bool countedList(Io& io, Vector<T>& list, int32_t max, int code, Entry entry) {
    int32_t n = list.count();
    io.int32(n, FieldRule::None);
    if (!io.check(n >= 0 && n <= max, code)) return false;
    sizeForReading<Io>(list, n);
    for (int32_t i = 0; i < n; ++i) entry(list[i]);
    return true;
}

// A list whose entries start with a zstr8 and that ends with an entry of just the marker.
template <class Io, class T, class Entry>
bool markedList(Io& io, Vector<T>& list, String T::*first, const char* marker, int32_t max,
                int code, Entry rest) {
    for (int32_t i = 0;; ++i) {
        String item;
        if constexpr (!Io::kReading) item = i < list.count() ? list[i].*first : String(marker);
        io.zstr8(item);
        if constexpr (Io::kReading) {
            if (item.equals(marker)) return true;
        } else {
            if (i == list.count()) return true;
        }
        // Past the end every item reads empty and the marker never comes: the list can only
        // run into its limit, so the reader fails there at once.
        if (!io.check(i < max && !io.exhausted(), code)) return false;
        if constexpr (Io::kReading) {
            list.append(T());
            list[i].*first = std::move(item);
        }
        rest(list[i]);
    }
}

}  // namespace script_format_detail

// Walks the script's fields in order; false when a check or a step stopped it.
template <class Io>
bool visitInstallScript(Io& io, InstallScript& s) {
    using namespace script_format_detail;
    using R = FieldRule;
    io.int64(s.ProductFlags);  // 1
    io.byte(s.AutomaticModeByte);
    io.counted(s.TaskbarText, R::None);
    io.counted(s.DisplayTitle, R::None);
    io.real(s.TitleSize);  // 5
    io.int32(s.ProgressPlacement, R::None);
    if (!io.step(ScriptStep::HeaderRead)) return false;

    io.uint16(s.StepDelay);
    if (!io.check(s.StepDelay <= kMaxStepDelay, kCodeStepDelay)) return false;
    io.byte(s.ShortcutMode);
    io.date(s.ScriptDate);
    io.counted(s.CompanyName, R::None);  // 10
    io.counted(s.ProductName, R::ProductName);
    io.counted(s.ProductDescription, R::ProductDescription);
    io.byte(s.Bitness);
    if (!io.step(ScriptStep::BitnessRead)) return false;
    io.byte(s.SharedBase);
    io.counted(s.SharedDir, R::SharedDir);  // 15
    io.counted(s.PortableSharedSubdir, R::None);
    io.zstr16(s.ProductStartMenu, R::ProductStartMenu);
    io.counted(s.Version8, R::Version);

    io.zstr16(s.DefaultInstallDir, R::None);
    if (!io.step(ScriptStep::DefaultFolderRead)) return false;

    io.zstr16(s.ProductRegistry, R::None);  // 20
    io.int32Counted(s.RegistryTable);
    io.counted(s.RegistryMergeText, R::None);
    io.int32(s.BitmapSize, R::None);
    if (!io.check(s.BitmapSize >= 0 && s.BitmapSize <= kMaxBitmapSize, kCodeBitmapSize))
        return false;
    io.int32(s.StretchMode, R::None);
    io.uint16Counted(s.GreetingLink);  // 25
    auto text = [&io](String& t) { io.int32Counted(t); };
    if (!countedList(io, s.LicenseTexts, kMaxLicenseTexts, kCodeLicenseCount, text)) return false;
    if (!countedList(io, s.ReadmeTexts, kMaxReadmeTexts, kCodeReadmeCount, text)) return false;
    io.counted(s.UninstallSubdir, R::None);
    io.zstr8(s.UninstallerName);
    io.counted(s.UninstallKeyName, R::UninstallKeyName);  // 30
    io.zstr8(s.PreviousInstallKey);
    io.counted(s.BannerText, R::None);
    io.byte(s.PictureBorder);
    io.int32(s.TitleColor, R::None);
    io.byte(s.TitleShadow);  // 35
    io.byte(s.TitlePosition);
    io.zstr8(s.TitleFont);
    io.int32(s.TopColor, R::None);
    io.int32(s.BottomColor, R::BottomColor);

    int32_t bitmapBytes = s.BackgroundBitmap.length();  // 40
    io.int32(bitmapBytes, R::None);
    if (bitmapBytes > 0) {
        io.bytesInto(s.BackgroundBitmap, bitmapBytes);
        io.int32(s.BitmapTPI, R::None);
    }
    io.byte(s.CopyrightPos);
    if (s.CopyrightPos != 0) {
        io.int32(s.CopyrightColor, R::None);
        io.real(s.CopyrightSize);
        io.counted(s.CopyrightText, R::None);
        io.counted(s.CopyrightFont, R::None);
    }
    if (s.ProductFlags & kFlagsPrerequisite) {
        io.counted(s.PrerequisiteKey, R::None);
        io.counted(s.PrerequisiteName, R::None);
        io.counted(s.PrerequisiteVersion, R::None);
    }
    io.counted(s.StartSound, R::None);
    io.counted(s.DesktopFolder, R::DesktopFolder);
    io.int32Counted(s.DesktopFolderIcon);  // 45
    if (!io.step(ScriptStep::DesktopRead)) return false;

    for (String* batch : {&s.PreInstallBatch, &s.PostInstallBatch, &s.ExitBatch, &s.UninstallBatch1,
                          &s.UninstallBatch2, &s.UpgradeBatch, &s.ReinstallBatch})
        io.counted(*batch, R::None);
    io.bytes(s.StampRecord, kStampRecordSize);
    io.int32(s.ExcludedSystems, R::None);  // 50
    io.byte(s.ExternalData);
    io.counted(s.LaunchProgram, R::None);
    io.counted(s.ReadmeFile, R::None);
    io.counted(s.FinishDocument, R::None);
    for (String* address :
         {&s.NotifyLaunch, &s.NotifyInstallStart, &s.NotifyFreshInstall, &s.NotifyUpgrade,
          &s.NotifyDowngrade, &s.NotifyReinstall, &s.NotifyURL, &s.GreetingLinkNotify})  // 55-62
        io.counted(*address, R::None);
    io.zstr8(s.UpgradeWarningBelow);
    io.byteCounted(s.NoDowngradeBelow);
    io.counted(s.Password, R::None);  // 65
    io.counted(s.MustUninstallBelow, R::None);
    io.counted(s.FirewallText, R::None);
    io.counted(s.AddToPathSubfolder, R::None);
    io.int64(s.ExtraSpace);
    for (int32_t& layout : s.PageLayouts) io.int32(layout, R::None);  // 70

    if (s.ProductFlags & kFlagsUninstallEntry) io.int32Counted(s.UninstallIcon);
    if (!markedList(io, s.UninstallExtras, &ConditionalDeletion::Path, kUninstallExtrasEnd,
                    kMaxUninstallExtras, kCodeUninstallExtras, [&io](ConditionalDeletion& e) {
                        io.byte(e.Kind);
                        io.zstr8(e.Value);
                        io.byte(e.Flags);
                    }))
        return false;
    if (!countedList(io, s.FileAssociations, kMaxFileAssociations, kCodeAssociationCount,
                     [&io](ScriptAssociation& a) {
                         io.int32(a.Mode, R::None);
                         for (String* t : {&a.Extension, &a.Label, &a.Description, &a.Verb,
                                           &a.VerbName, &a.Command})
                             io.zstr8(*t);
                         io.zstr16(a.Language, R::None);
                         io.zstr8(a.Icon);
                     }))
        return false;
    if (!countedList(io, s.Shortcuts, kMaxShortcuts, kCodeShortcutCount, [&io](ScriptShortcut& c) {
            io.counted(c.Target, R::None);
            io.counted(c.Name, R::None);
            io.zstr8(c.Icon);
            io.counted(c.Arguments, R::None);
            io.zstr8(c.WorkingFolder);
            io.byte(c.Desktop);
            io.byte(c.StartMenu);
            io.byte(c.Startup);
            io.zstr8(c.Folder);
            io.byte(c.WindowState);
            io.byte(c.Permanent);
        }))
        return false;
    io.counted(s.RootShortcutCommand, R::None);  // 75
    io.counted(s.RootShortcutName, R::None);
    io.zstr16(s.PinCommand, R::None);
    io.zstr16(s.PinName, R::None);
    if (!countedList(io, s.UninstallValues, kMaxUninstallValues, kCodeUninstallValueCount,
                     [&io](ScriptUninstallValue& v) {
                         io.zstr8(v.Name);
                         io.byte(v.Type);
                         io.counted(v.Text, R::None);
                     }))
        return false;
    io.uint16Counted(s.SupportOffer);
    io.int32Counted(s.ProductIcon);
    if (!markedList(io, s.ProgramsToClose, &ProgramToClose::ClassText, kProgramsToCloseEnd,
                    kMaxProgramsToClose, kCodeProgramsToClose, [&io](ProgramToClose& p) {
                        io.zstr8(p.TitleText);
                        io.zstr8(p.DisplayName);
                        io.byte(p.Action);
                        io.byte(p.Options);
                    }))
        return false;

    MessageTable& m = s.Messages;  // 80-83
    uint8_t languages = static_cast<uint8_t>(m.Languages.count());
    io.byte(languages);
    if (!io.check(languages >= 1 && languages <= kMaxLanguages, kCodeLanguageCount)) return false;
    io.int32(m.MessageCount, R::None);
    if (!io.check(m.MessageCount >= 1 && m.MessageCount <= kMaxMessages, kCodeMessageCount))
        return false;
    sizeForReading<Io>(m.Languages, languages);
    for (String& name : m.Languages) io.zstr16(name, R::None);
    if (!io.step(ScriptStep::LanguagesRead)) return false;
    int32_t texts = m.MessageCount * languages;
    // Past the end every further text would be empty; the table simply stays short.
    for (int32_t k = 0; k < texts && !io.exhausted(); ++k) {
        if constexpr (Io::kReading) m.Texts.append(String());
        io.zstr16(m.Texts[k], R::MessageText);
    }

    int32_t closing = static_cast<int32_t>(kScriptClosingValue);
    io.int32(closing, R::None);
    if (!io.check(static_cast<uint32_t>(closing) == kScriptClosingValue, kCodeClosingValue))
        return false;
    return io.step(ScriptStep::Closed);
}

}  // namespace tessarin
