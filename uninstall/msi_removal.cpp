#include "uninstall/msi_removal.h"

#include "core/convert.h"
#include "core/format.h"
#include "core/path.h"

namespace tessarin {

namespace {

String widePath(const String& path) {
    String wide;
    pathToWide(path.c_str(), path.length(), wide);
    return wide;
}

// The package's file name for the error list: 8-bit, in the narrow path form where needed.
String packageFileName(const String& path) {
    return pathText(fileName(widePath(path)));
}

}  // namespace

bool parseMsiLine(const String& line, MsiPackageLine& package) {
    const char* s = line.c_str();
    int32_t comma = line.length() - 1;
    while (comma >= 0 && s[comma] != ',') --comma;
    if (comma < 0) return false;
    String level(s + comma + 1, line.length() - comma - 1);
    level.trim(" \t");
    int64_t number = 0;
    if (!parseDecimal(level, INT32_MAX, number)) return false;
    package.uiLevel = static_cast<int32_t>(number);
    String path(s, comma);
    path.trim(" \t");
    path.stripEnclosing('"');
    if (path.empty()) return false;
    package.path = path;
    return true;
}

void removeMsiPackages(Vector<String>& lines, bool silent, MsiSystem& system, Reporter& reporter) {
    Vector<String> kept;
    for (int32_t i = 0; i < lines.count(); ++i) {
        const String& line = lines[i];
        MsiPackageLine package;
        if (line.empty()) continue;
        if (!parseMsiLine(line, package)) {
            String wide;
            toWide(line.c_str(), line.length(), wide);
            reporter.log(formatWide(u"Skipped MSI line \"%s\": not a package path and a level\r\n",
                                    wide.w_str()));
            kept.append(line);
            continue;
        }
        String path = widePath(package.path);
        int32_t level = silent ? kMsiUiLevelNone : package.uiLevel;
        String text = formatWide(u"Uninstalling MSI package \"%s\"...", path.w_str());
        uint32_t result = system.uninstall(path, level);
        if (result == 0) {
            text.appendWide(u"OK\r\n");
            reporter.log(text);
            continue;
        }
        String reason = system.errorText(result);
        String reasonWide;
        toWide(reason.c_str(), reason.length(), reasonWide);
        formatAppendWide(text, u"FAILED code %d: %s\r\n", static_cast<int32_t>(result),
                         reasonWide.w_str());
        reporter.log(text);
        reporter.error(format("Failed to uninstall %s, code %d: %s\r\n",
                              packageFileName(package.path).c_str(), static_cast<int32_t>(result),
                              reason.c_str()));
        kept.append(line);
    }
    lines = kept;
}

}  // namespace tessarin
