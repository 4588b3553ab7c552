#include "actions/uninstall_registration.h"

#include "core/convert.h"
#include "core/path.h"
#include "core/registry.h"

namespace tessarin {

namespace {

class ValueList {
  public:
    void wide(const char* name, const String& text, bool dropIfEmpty = false) {
        add(name, UninstallValueKind::Wide, text, dropIfEmpty);
    }
    void narrow(const char* name, const String& text, bool dropIfEmpty = false) {
        add(name, UninstallValueKind::Narrow, text, dropIfEmpty);
    }
    void number(const char* name, uint32_t value, bool present = true) {
        UninstallValue& v = add(name, UninstallValueKind::Number, String(), false);
        v.number = value;
        v.remove = !present;
    }
    void real(const char* name, double value) {
        add(name, UninstallValueKind::Real, String(), false).real = value;
    }
    UninstallValue& add(const char* name, UninstallValueKind kind, const String& text,
                        bool dropIfEmpty) {
        UninstallValue& v = values.emplace_back();
        v.name = String(name);
        v.kind = kind;
        v.text = text;
        v.remove = dropIfEmpty && text.empty();
        return v;
    }
    std::vector<UninstallValue> values;
};

String decimal(int64_t value) {
    String text;
    appendDecimal(text, value);
    return text;
}

// The integer at the start of a text, 0 when it does not begin with one.
uint32_t leadingNumber(const String& text) {
    int32_t pos = 0;
    int32_t value = parseInt(text.c_str(), text.length(), pos);
    return value == INT32_MIN ? 0 : static_cast<uint32_t>(value);
}

void addVersionNumbers(ValueList& list, const String& version) {
    int32_t dot = -1;
    for (int32_t i = 0; i < version.length() && dot < 0; ++i)
        if (version.get(i) == '.') dot = i;
    if (dot < 0) return;
    String before, after;
    version.substring(before, 0, dot);
    version.substring(after, dot + 1, version.length() - dot - 1);
    list.number("VersionMajor", leadingNumber(before));
    list.number("VersionMinor", leadingNumber(after));
}

// The EstimatedSize value: kilobytes, when that is at least one and fits a DWORD.
void addEstimatedSize(ValueList& list, uint64_t bytes) {
    const uint64_t kilobytes = bytes / 1024;
    const bool fits = kilobytes >= 1 && kilobytes <= 0xFFFFFFFFu;
    list.number("EstimatedSize", fits ? static_cast<uint32_t>(kilobytes) : 0, fits);
}

void addBackground(ValueList& list, const InstallScript& script, const RegistrationFacts& facts) {
    list.wide("DisplayTitle", facts.displayTitle);
    list.number("TitleColor", static_cast<uint32_t>(script.TitleColor));
    list.real("TitleSize", script.TitleSize);
    list.number("TopColor", static_cast<uint32_t>(script.TopColor));
    list.number("BottomColor", static_cast<uint32_t>(script.BottomColor), !script.MonoColor);
    list.number("MonoColor", script.MonoColor ? 1 : 0);
    list.number("TitleShadow", script.TitleShadow);
    list.number("TitlePosition", script.TitlePosition);
    list.narrow("TitleFont", script.TitleFont);
    list.wide("TaskbarText", script.TaskbarText);
    list.wide("CopyrightText", script.CopyrightText);
    list.narrow("CopyrightFont", script.CopyrightFont);
    list.real("CopyrightSize", script.CopyrightSize);
    list.narrow("CopyrightColor", decimal(script.CopyrightColor));
    list.number("CopyrightPos", script.CopyrightPos);
    const bool picture =
        (script.ProductFlags & kFlagsBackgroundPicture) != 0 && !script.BackgroundBitmap.empty();
    list.number("BitmapSize", static_cast<uint32_t>(script.BitmapSize), picture);
    list.number("BitmapTPI", static_cast<uint32_t>(script.BitmapTPI),
                picture && script.BitmapTPI != -1);
    list.number("StretchMode", static_cast<uint32_t>(script.StretchMode), picture);
}

UninstallValue scriptValue(const ScriptUninstallValue& given, const PathVariableValues& variables) {
    UninstallValue v;
    v.name = given.Name;
    v.fromScript = true;
    String text;
    toWide(given.Text.c_str(), given.Text.length(), text);
    expandPathVariables(text, variables);
    switch (given.Type) {
        case 1:
        case 2:
            v.kind = given.Type == 1 ? UninstallValueKind::Wide : UninstallValueKind::Expandable;
            v.text = text;
            v.remove = text.empty();
            break;
        case 4: {
            int32_t pos = 0;
            int32_t value = parseIntWide(text.w_str(), text.wideLength(), pos);
            v.kind = UninstallValueKind::Number;
            v.number = value == INT32_MIN ? 0 : static_cast<uint32_t>(value);
            break;
        }
        default:
            v.kind = UninstallValueKind::BadType;
            v.number = given.Type;
            break;
    }
    return v;
}

}  // namespace

String uninstallerPath(const InstallScript& script) {
    String name;
    toWide(script.UninstallerName.c_str(), script.UninstallerName.length(), name);
    return joinPath(script.UninstallDir, name);
}

String uninstallerArguments(const InstallScript& script) {
    String text(u"/u:\"");
    text.append(script.UninstallKeyName);
    text.appendWideChar(u'"');
    return text;
}

namespace {
String commandLine(const InstallScript& script, const char16_t* between) {
    String text(u"\"");
    text.append(uninstallerPath(script));
    text.appendWide(between);
    text.append(uninstallerArguments(script));
    return text;
}
}  // namespace

String uninstallString(const InstallScript& script) {
    return commandLine(script, u"\" ");
}

String quietUninstallString(const InstallScript& script) {
    return commandLine(script, u"\" /a ");
}

String uninstallKeyPath(const InstallScript& script) {
    return joinPath(String(kUninstallKeyParent), script.UninstallKeyName);
}

std::vector<UninstallValue> uninstallKeyValues(const InstallScript& script,
                                               const RegistrationFacts& facts,
                                               const PathVariableValues& variables) {
    ValueList list;
    list.wide("UninstallString", uninstallString(script));
    list.wide("QuietUninstallString", quietUninstallString(script));
    list.wide("DisplayName", script.ProductName);
    list.wide("InstallSource", facts.installerPath);
    list.wide("Publisher", script.CompanyName, true);
    list.number("Bitness", script.Bitness);
    list.narrow("DisplayVersion", script.Version8, true);
    list.narrow("NoDowngradeBelow", script.NoDowngradeBelow, true);
    if (!script.ProductIcon.empty())
        list.add("DisplayIcon", UninstallValueKind::ProductIcon,
                 joinPath(script.UninstallDir, String(kProductIconName)), false);
    addVersionNumbers(list, script.Version8);
    list.wide("ProductRegistry", script.ProductRegistry, true);
    list.wide("ProductStartMenu", script.ProductStartMenu, true);
    list.wide("SharedPath", script.SharedDir, true);
    list.narrow("ProductFonts", facts.fontList, true);
    list.narrow("ProductFlags", decimal(static_cast<int64_t>(script.ProductFlags)));
    list.narrow("ProductFlags2", decimal(script.ProductFlags2));
    list.narrow("UninstallBatch1", script.UninstallBatch1, true);
    list.narrow("UninstallBatch2", script.UninstallBatch2, true);
    list.narrow("SharedFiles", facts.sharedFiles, true);
    list.wide("UninstallSubdir", script.UninstallSubdir, true);
    list.wide("AddToPathSubfolder", script.AddToPathSubfolder, true);
    list.number("ShortcutMode", script.ShortcutMode);
    list.narrow("NotifyURL", script.NotifyURL, true);
    list.narrow("SupportOffer", script.SupportOffer, true);
    list.wide("DesktopFolder", script.DesktopFolder, true);
    addEstimatedSize(list, facts.spaceEstimate);
    addBackground(list, script, facts);
    for (const ScriptUninstallValue& given : script.UninstallValues)
        list.values.push_back(scriptValue(given, variables));
    list.wide("InstallLocation", script.InstallDir);
    list.narrow("InstallDate", facts.today);
    return std::move(list.values);
}

}  // namespace tessarin
