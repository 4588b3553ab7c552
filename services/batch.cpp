// The batch file's text, its encoding for the console, and the batches of the install script.
#include "services/batch.h"

#include "core/convert.h"
#include "core/format.h"
#include "core/path.h"
#include "core/platform_text.h"
#include "package/install_script.h"

namespace tessarin {
namespace {

using V = PathVariable;

struct BatchVariable {
    const char16_t* name;
    PathVariable variable;
};

// The quoted form keeps blanks and special characters of folders and names inside the value.
constexpr BatchVariable kQuoted[] = {
    {u"InstallDir", V::InstallDir},
    {u"Bits", V::Bits},
    {u"UninstallDir", V::UninstallDir},
    {u"SharedDir", V::SharedDir},
    {u"InstallerFilepath", V::InstallerFilepath},
    {u"InstallerDir", V::InstallerDir},
    {u"InstallerFilename", V::InstallerFilename},
    {u"InstallerDrive", V::InstallerDrive},
    {u"SystemDir", V::SystemDir},
    {u"DeviceDir", V::DeviceDir},
    {u"MediaDir", V::MediaDir},
    {u"FavoritesDir", V::FavoritesDir},
    {u"FavoritesAllDir", V::FavoritesAllDir},
    {u"FontDir", V::FontDir},
    {u"DesktopDir", V::DesktopDir},
    {u"DesktopAllDir", V::DesktopAllDir},
    {u"DesktopShortcuts", V::DesktopShortcuts},
    {u"DocumentDir", V::DocumentDir},
    {u"DocumentAllDir", V::DocumentAllDir},
    {u"ProductName", V::ProductName},
    {u"CompanyName", V::CompanyName},
    {u"ProgramsDir", V::ProgramsDir},
    {u"ProgramsDir32", V::ProgramsDir32},
    {u"ProgramsDir64", V::ProgramsDir64},
    {u"StartMenuAllDir", V::StartMenuAllDir},
    {u"StartMenuChosen", V::StartMenuChosen},
    {u"StartMenuDir", V::StartMenuDir},
    {u"SMProgramsDir", V::SMProgramsDir},
    {u"SMProgramsAllDir", V::SMProgramsAllDir},
    {u"StartupDir", V::StartupDir},
    {u"StartupAllDir", V::StartupAllDir},
    {u"CommonDir", V::CommonDir},
    {u"CommonDir32", V::CommonDir32},
    {u"CommonDir64", V::CommonDir64},
    {u"Inetpub", V::Inetpub},
    {u"AppDataDir", V::AppDataDir},
    {u"AppDataAllDir", V::AppDataAllDir},
};
static_assert(sizeof kQuoted / sizeof kQuoted[0] == 37);

constexpr BatchVariable kUnquoted[] = {
    {u"InstallDrive", V::InstallDrive},
    {u"BootDrive", V::BootDrive},
    {u"Version", V::Version},
    {u"OldVersion", V::OldVersion},
    {u"Portable", V::Portable},
    {u"OldVersionMajor", V::OldVersionMajor},
    {u"OldVersionMinor", V::OldVersionMinor},
    {u"OS", V::OS},
    {u"OSMajor", V::OSMajor},
    {u"OSMinor", V::OSMinor},
    {u"OSName", V::OSName},
};
static_assert(sizeof kUnquoted / sizeof kUnquoted[0] == 11);

constexpr int kCodePage1252 = 1252;

struct BatchOptions {
    const char* title;   // null: never announced
    uint32_t titleBit;   // in ProductFlags2
    uint64_t hiddenBit;  // in ProductFlags (high word bits shifted up by 32)
    String InstallScript::*commands;
};

constexpr uint64_t highWord(uint32_t bit) {
    return static_cast<uint64_t>(bit) << 32;
}

BatchOptions optionsOf(BatchKind kind) {
    switch (kind) {
        case BatchKind::PreInstallation:
            return {"Pre-Installation Batch", 0x40, 0x800000, &InstallScript::PreInstallBatch};
        case BatchKind::Upgrade:
            return {"Upgrade Batch", 0x100, highWord(0x10000000), &InstallScript::UpgradeBatch};
        case BatchKind::Reinstall:
            return {"Reinstall Batch", 0x200, highWord(0x20000000), &InstallScript::ReinstallBatch};
        case BatchKind::PostInstallation:
            return {"Post-Installation Batch", 0x80, 0x1000000, &InstallScript::PostInstallBatch};
        case BatchKind::InstallationExit:
            return {nullptr, 0, 0x2000000, &InstallScript::ExitBatch};
        case BatchKind::Uninstall1:
            return {nullptr, 0, 0x4000000, &InstallScript::UninstallBatch1};
        case BatchKind::Uninstall2:
            break;
    }
    return {nullptr, 0, 0x8000000, &InstallScript::UninstallBatch2};
}

void appendLine(String& text, const char16_t* a, const String& value, const char16_t* b) {
    text.appendWide(a);
    text.append(value);
    text.appendWide(b);
}

// The commands line by line, each with its own line break, without PAUSE lines.
String withoutPauseLines(const String& commands) {
    String kept;
    const char16_t* w = commands.w_str();
    int32_t n = commands.wideLength();
    for (int32_t start = 0; start < n;) {
        int32_t end = start;
        while (end < n && w[end] != u'\r' && w[end] != u'\n') ++end;
        int32_t next = end;
        if (next < n && w[next] == u'\r') ++next;
        if (next < n && w[next] == u'\n' && (next == end || w[next - 1] == u'\r')) ++next;
        String line;
        commands.substringWide(line, start, end - start);
        if (!isPauseLine(line)) kept.appendWide(w + start, next - start);
        start = next;
    }
    return kept;
}

bool isAscii(const String& text) {
    const char16_t* w = text.w_str();
    for (int32_t i = 0; i < text.wideLength(); ++i)
        if (w[i] > 127) return false;
    return true;
}

}  // namespace

BatchRequest batchRequest(BatchKind kind, const InstallScript& script, bool automatic,
                          bool silent) {
    BatchOptions options = optionsOf(kind);
    BatchRequest request;
    request.commands = script.*options.commands;
    request.hidden = silent || (script.ProductFlags & options.hiddenBit) != 0;
    if (options.title != nullptr && (script.ProductFlags2 & options.titleBit))
        request.title.assign(options.title);
    request.automatic = automatic;
    return request;
}

bool isPauseLine(const String& line) {
    String text = line;
    text.trimWide(u" \r\n\t");
    if (text.removeFrontWideChar(u'@')) text.trimWide(u" \r\n\t");
    return text.equalsNoCaseWide(u"PAUSE");
}

String batchText(const PathVariableValues& values, const String& commands, bool dropPause) {
    String text(u"@echo off\r\n");
    for (const BatchVariable& v : kQuoted) {
        text.appendWide(u"SET \"");
        text.appendWide(v.name);
        appendLine(text, u"=", values.value(v.variable), u"\"\r\n");
    }
    for (const BatchVariable& v : kUnquoted) {
        text.appendWide(u"SET ");
        text.appendWide(v.name);
        appendLine(text, u"=", values.value(v.variable), u"\r\n");
    }
    String wide;
    if (!commands.empty()) toWide(commands.c_str(), commands.length(), wide, kCodePage1252);
    text.append(dropPause ? withoutPauseLines(wide) : wide);
    return text;
}

String encodeForConsole(const String& text, bool utf8Console) {
    String bytes;
    if (!utf8Console || isAscii(text)) {
        bytes.assign("@chcp 1252 >nul\r\n");
        String converted;
        toNarrow(text.w_str(), text.wideLength(), converted, kCodePage1252, "?", kNoBestFit);
        bytes.append(converted);
    } else {
        bytes.assign("@chcp 65001 >nul\r\n");
        String converted;
        toNarrow(text.w_str(), text.wideLength(), converted, kCodePageUtf8);
        bytes.append(converted);
    }
    bytes.normalizeLineEndings();
    if (!bytes.endsWith("\r\n")) bytes.append("\r\n");
    return bytes;
}

bool consoleReadsUtf8(bool ntFamily, uint32_t major, uint32_t minor) {
    return ntFamily && (major > 6 || (major == 6 && minor >= 1));
}

String batchCommandLine(const String& interpreter, const String& batchFile, const String& capture) {
    String line = formatWide(u"\"%s\" /s /c \"\"%s\"", interpreter.w_str(), batchFile.w_str());
    if (!capture.empty()) formatAppendWide(line, u" > \"%s\"", capture.w_str());
    line.appendWide(u"\"");
    return line;
}

String commandInterpreter(const String& expandedComspec, bool windows9x,
                          const String& windowsFolder, const String& systemFolder) {
    if (!expandedComspec.empty() && !expandedComspec.equalsNoCaseWide(u"%comspec%"))
        return expandedComspec;
    if (windows9x) return joinPath(windowsFolder, String(u"command.com"));
    return joinPath(systemFolder, String(u"cmd.exe"));
}

}  // namespace tessarin
