#include "uninstall/uninstall_entry.h"

#include <climits>

#include "core/convert.h"
#include "core/format.h"
#include "core/path.h"
#include "services/uninstall_data.h"

namespace tessarin {

namespace {

inline constexpr int kCodePageUtf8 = 65001;

// A whole text of decimal digits with an optional minus sign, within the signed 64-bit range.
bool parseDecimal64(const String& text, int64_t& value) {
    const char* p = text.c_str();
    const int32_t n = text.length();
    int32_t i = 0;
    const bool negative = n > 0 && p[0] == '-';
    if (negative) ++i;
    if (i == n) return false;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(p[i] - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// Reads values one at a time, applying defaults and limits and logging what it refuses.
class EntryReader {
  public:
    EntryReader(EntryValues& values, Reporter& reporter) : values_(values), reporter_(reporter) {}

    String wide(const char* name, const String& fallback = String(), int32_t limit = 0) {
        String text;
        if (!values_.wideText(name, text)) return fallback;
        return withinLimit(name, text.wideLength(), limit) ? text : fallback;
    }
    String narrow(const char* name, const String& fallback = String(), int32_t limit = 0) {
        String text;
        if (!values_.narrowText(name, text)) return fallback;
        return withinLimit(name, text.length(), limit) ? text : fallback;
    }
    uint32_t number(const char* name, uint32_t fallback) {
        uint32_t value = 0;
        return values_.number(name, value) ? value : fallback;
    }
    int32_t signedNumber(const char* name, int32_t fallback) {
        return static_cast<int32_t>(number(name, static_cast<uint32_t>(fallback)));
    }
    double real(const char* name, double fallback) {
        String text;
        if (!values_.narrowText(name, text)) return fallback;
        int32_t pos = 0;
        double value = parseDouble(text.c_str(), text.length(), pos);
        if (pos > 0) return value;
        refuse(name, "is not a number");
        return fallback;
    }
    // Decimal text within [low, high].
    int64_t decimal(const char* name, int64_t fallback, int64_t low, int64_t high) {
        String text;
        if (!values_.narrowText(name, text)) return fallback;
        int64_t value = 0;
        if (parseDecimal64(text, value) && value >= low && value <= high) return value;
        refuse(name, "is not a number in range");
        return fallback;
    }
    EntryValues& values() { return values_; }

  private:
    bool withinLimit(const char* name, int32_t chars, int32_t limit) {
        if (limit <= 0 || chars <= limit) return true;
        refuse(name, "is longer than 4096 characters");
        return false;
    }
    void refuse(const char* name, const char* why) {
        String line;
        toWide(
            format("The uninstall entry's value \"%s\" %s and was ignored.\r\n", name, why).c_str(),
            kWholeLength, line);
        reporter_.log(line);
    }

    EntryValues& values_;
    Reporter& reporter_;
};

void readAppearance(EntryReader& r, UninstallSettings& s) {
    s.DisplayTitle = r.wide("DisplayTitle");
    s.TitleSize = r.real("TitleSize", 1);
    s.TitleColor = r.signedNumber("TitleColor", r.values().systemColour(kSystemColourWindowText));
    s.TitleShadow = r.number("TitleShadow", 1);
    s.TopColor = r.signedNumber("TopColor", r.values().systemColour(kSystemColourWindow));
    s.BottomColor = r.signedNumber("BottomColor", 0);
    s.MonoColor = r.number("MonoColor", 1);
    s.TitlePosition = r.number("TitlePosition", 0);
    s.TitleFont = r.narrow("TitleFont");
    s.TaskbarText = r.wide("TaskbarText", String(u"Setup"));
    s.CopyrightText = r.wide("CopyrightText");
    s.CopyrightFont = r.narrow("CopyrightFont");
    s.CopyrightSize = r.real("CopyrightSize", 0);
    s.CopyrightColor =
        static_cast<int32_t>(r.decimal("CopyrightColor", 0, INT32_MIN, int64_t{UINT32_MAX}));
    s.CopyrightPos = r.number("CopyrightPos", 0);
}

}  // namespace

String readUninstallSettings(const String& name, EntryValues& values, UninstallSettings& s,
                             Reporter& reporter) {
    EntryReader r(values, reporter);
    s.DisplayName = r.wide("DisplayName", name, kEntryTextLimit);
    if (s.DisplayName.empty()) s.DisplayName = name;
    s.InstallLocation = r.wide("InstallLocation", String(), kEntryTextLimit);
    s.ProductFlags = static_cast<uint64_t>(r.decimal("ProductFlags", 0, INT64_MIN, INT64_MAX));
    s.ProductFlags2 =
        static_cast<uint32_t>(r.decimal("ProductFlags2", 0, INT32_MIN, int64_t{UINT32_MAX}));
    s.Bitness = r.number("Bitness", 0);
    readAppearance(r, s);
    s.DisplayVersion = r.wide("DisplayVersion");
    s.DisplayVersion8 = r.narrow("DisplayVersion");
    s.UninstallSubdir = r.wide("UninstallSubdir", String(), kEntryTextLimit);
    s.AddToPathSubfolder = r.wide("AddToPathSubfolder", String(), kEntryTextLimit);
    s.ProductFonts = r.narrow("ProductFonts");
    s.ShortcutMode = r.number("ShortcutMode", 0);
    s.NotifyURL = r.narrow("NotifyURL");
    s.DesktopFolder = r.wide("DesktopFolder", String(), kEntryTextLimit);
    if (s.ProductFlags & kEntryFlagBackgroundPicture) {
        s.BitmapTPI = r.signedNumber("BitmapTPI", -1);
        s.StretchMode = r.signedNumber("StretchMode", 0);
        s.BitmapSize = r.signedNumber("BitmapSize", 0);
    }
    s.SupportOffer = r.narrow("SupportOffer");
    s.SharedPath = r.wide("SharedPath", String(), kEntryTextLimit);
    s.ProductStartMenu = r.wide("ProductStartMenu", String(), kEntryTextLimit);
    s.UninstallBatch1 = r.narrow("UninstallBatch1");
    s.UninstallBatch2 = r.narrow("UninstallBatch2");
    s.SharedFiles = r.narrow("SharedFiles");
    s.ProductRegistry = r.wide("ProductRegistry", String(), kEntryTextLimit);
    s.UninstallString = r.wide("UninstallString", String(), kEntryTextLimit);

    if (s.InstallLocation.empty()) return corruptEntryMessage(s.DisplayName);
    s.uninstallFolder = s.UninstallSubdir.empty() ? s.InstallLocation
                                                  : joinPath(s.InstallLocation, s.UninstallSubdir);
    s.portable = values.onPortableDrive(s.InstallLocation);
    return String();
}

String notInstalledMessage(const String& name) {
    return formatWide(u"No product named '%s' is installed.", name.w_str());
}

String permissionDeniedMessage() {
    return String(u"Permission denied.  Please run the uninstaller with administrator rights.");
}

String inaccessibleEntryMessage(const String& name) {
    return formatWide(
        u"Unable to access the uninstall information for:\r\n%s\r\n\r\n"
        u"The uninstallation cannot be performed.",
        name.w_str());
}

String corruptEntryMessage(const String& displayName) {
    return formatWide(
        u"The uninstall information for %s is corrupt.\r\n\r\n"
        u"The uninstallation cannot be performed.",
        displayName.w_str());
}

// ---- Protection of the records -------------------------------------------------------------

namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;

// Whether the record at path may be read: it is missing (the reading says so), or only trusted
// accounts can change it. A record whose protection cannot be read is not trusted.
bool recordTrusted(const String& path, const SecurityReader& read,
                   const std::vector<uint8_t>& ownSid) {
    ObjectSecurity security;
    uint32_t error = read(path, security);
    if (error == kErrorFileNotFound || error == kErrorPathNotFound) return true;
    return error == 0 && changeableOnlyByTrusted(security, ownSid);
}

}  // namespace

String unprotectedRecordsMessage(const String& displayName, const String& uninstallFolder,
                                 const SecurityReader& read, const std::vector<uint8_t>& ownSid) {
    const String file = joinPath(uninstallFolder, String(kUninstallDataFileName));
    for (const String* path : {&uninstallFolder, &file}) {
        if (recordTrusted(*path, read, ownSid)) continue;
        return formatWide(
            u"The uninstall information for %s is not protected: users who are not "
            u"administrators can change it.\r\n\r\nPath: %s\r\n\r\n"
            u"The uninstallation cannot be performed.",
            displayName.w_str(), path->w_str());
    }
    return String();
}

// ---- Fonts -------------------------------------------------------------------------------

namespace {

// Font names are UTF-8; a name that is not is taken in the system code page.
String fontName(const String& text) {
    String name;
    if (!toWide(text.c_str(), text.length(), name, kCodePageUtf8))
        toWide(text.c_str(), text.length(), name);
    return name;
}

}  // namespace

// Splitting at every double quote puts the quoted texts at the odd positions: the blanks
// between them fall on the even ones.
std::vector<ProductFont> parseProductFonts(const String& list) {
    std::vector<String> quoted;
    const char* p = list.c_str();
    const int32_t n = list.length();
    int32_t start = 0;
    for (int32_t field = 0, i = 0; i <= n; ++i) {
        if (i < n && p[i] != '"') continue;
        if (field % 2 == 1) quoted.emplace_back(p + start, i - start);
        ++field;
        start = i + 1;
    }
    std::vector<ProductFont> fonts;
    for (size_t i = 0; i + 1 < quoted.size(); i += 2) {
        if (quoted[i + 1].empty()) continue;
        ProductFont& font = fonts.emplace_back();
        font.name = fontName(quoted[i]);
        pathToWide(quoted[i + 1].c_str(), quoted[i + 1].length(), font.file);
    }
    return fonts;
}

namespace {

void reportFailure(Reporter& reporter, FontSystem& system, const char16_t* what,
                   const String& subject, uint32_t code) {
    reporter.log(formatWide(u"Failed to %s %s: %s\r\n", what, subject.w_str(),
                            system.errorText(code).w_str()));
}

// One font: its registration, its place in the font table and its file.
void removeFont(const ProductFont& font, const String& folder, FontSystem& system,
                Reporter& reporter) {
    if (uint32_t code = system.deleteRegistration(font.name))
        reportFailure(reporter, system, u"delete the registration of font", font.name, code);
    const String path = joinPath(folder, font.file);
    // A font that this session never loaded is not in the table: nothing to report.
    system.removeResource(path);
    if (uint32_t code = system.deleteFontFile(path))
        reportFailure(reporter, system, u"delete font file", path, code);
}

}  // namespace

int32_t removeFonts(const FontRemoval& request, FontSystem& system, Reporter& reporter) {
    if (request.list.empty()) return 0;
    const String folder = system.fontsFolder();
    int32_t removed = 0;
    for (const ProductFont& font : parseProductFonts(request.list)) {
        if (request.ask) {
            String question = request.question;
            question.replaceAllWide(u"%s", font.name.w_str());
            if (!system.confirm(question, request.caption)) continue;
        }
        removeFont(font, folder, system, reporter);
        ++removed;
    }
    system.clearFontList();
    if (removed > 0) system.broadcastFontChange();
    return removed;
}

}  // namespace tessarin
