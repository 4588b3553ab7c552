#include "services/command_line.h"

#include <utility>

#include "core/chars.h"
#include "core/convert.h"
#include "core/format.h"
#include "core/platform_text.h"

namespace tessarin {
namespace {

String errorWithToken(const char* error, const String& token) {
    String text(error);
    String narrow;
    toNarrow(token.w_str(), token.wideLength(), narrow, 1252, "?");
    text.append(narrow);
    return text;
}

bool isExactly(const String& rest, const char16_t* word) {
    return rest.equalsNoCaseWide(word);
}

// Value of a batch option: system ANSI text, closing quote dropped, backquotes as quotes and
// "~~" as line breaks.
String batchCommands(const String& value) {
    String narrow;
    toNarrow(value.w_str(), value.wideLength(), narrow, kCodePageSystem, "?");
    narrow.removeBackChar('"');
    narrow.replaceAll("`", "\"");
    narrow.replaceAll("~~", "\r\n");
    return narrow;
}

// Applies one option (leading "/" or "-" already removed). False for an unknown option.
bool applyOption(String rest, CommandLineOptions& o) {
    if (isExactly(rest, u"A")) {
        o.AutomaticMode = true;
    } else if (rest.startsWithNoCase(u"D:", true)) {
        rest.stripEnclosingWide(u'"');
        o.InstallDir = rest;
        o.hasInstallDir = true;
        o.installDirPath = pathText(o.InstallDir);
    } else if (rest.startsWithNoCase(u"N:", true)) {
        rest.stripEnclosingWide(u'"');
        o.ProductName = rest;
        o.hasProductName = true;
    } else if (rest.startsWithNoCase(u"U", true)) {
        o.UninstallMode = true;
        if (rest.removeFrontWideChar(u':')) {
            rest.stripEnclosingWide(u'"');
            o.uninstallProductName = rest;
        }
    } else if (rest.startsWithNoCase(u"R:\"", true)) {
        rest.removeBackWideChar(u'"');
        rest.replaceAllWide(u"`", u"\"");
        o.RunAfterInstall = rest;
    } else if (rest.startsWithNoCase(u"B1:\"", true)) {
        o.ExtraPreInstallCommands = batchCommands(rest);
    } else if (rest.startsWithNoCase(u"B2:\"", true)) {
        o.ExtraPostInstallCommands = batchCommands(rest);
    } else if (rest.startsWithNoCase(u"B3:\"", true)) {
        o.ExtraExitCommands = batchCommands(rest);
    } else if (isExactly(rest, u"Silent")) {
        o.AutomaticMode = true;
        o.SilentMode = true;
    } else if (isExactly(rest, u"MIN")) {
        o.StartMinimized = true;
    } else {
        return false;
    }
    return true;
}

}  // namespace

String nextCommandLineToken(const char16_t*& text) {
    String token;
    if (!text) return token;
    while (*text && isWhiteSpace(*text)) ++text;
    const char16_t* start = text;
    bool quoted = false;
    for (; *text; ++text) {
        if (*text == u'"')
            quoted = !quoted;
        else if (!quoted && isWhiteSpace(*text))
            break;
    }
    token.assignWide(start, static_cast<int32_t>(text - start));
    return token;
}

bool parseCommandLine(const char16_t* commandLine, CommandLineOptions& options, String& error) {
    const char16_t* cursor = commandLine;
    nextCommandLineToken(cursor);  // the program path
    for (int i = 0; i < kMaxCommandLineTokens; ++i) {
        String token = nextCommandLineToken(cursor);
        if (token.empty()) break;
        char16_t first = token.getWide(0);
        if (first != u'/' && first != u'-') {
            error = errorWithToken("Unexpected command line parameter:\r\n", token);
            return false;
        }
        String rest = token;
        rest.removeFrontWide(1);
        if (!applyOption(std::move(rest), options)) {
            error = errorWithToken("Illegal command line atom:\r\n", token);
            return false;
        }
    }
    return true;
}

String usageMessage(const String& error, const String& programFileName) {
    return format(
        "%s\r\n\r\nUsage:\r\n%s [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] "
        "[/d:\"dir\"] [/n:\"name\"] [/u:\"name\"] [/r:\"program\"] [/silent]\r\n\r\n"
        "/a                  \tAutomatic mode.\r\n"
        "/d:\"dir\"        \tOverride installation path.\r\n"
        "/b1:\"commands\"\tAdd commands to the end of the Pre-Installation Batch.\r\n"
        "/b2:\"commands\"\tAdd commands to the end of the Post-Installation Batch.\r\n"
        "/b3:\"commands\"\tAdd commands to the end of the Installation-Exit Batch.\r\n"
        "/n:\"name\"\tOverride product name.\r\n"
        "/u:\"name\"\tUninstall product by name.\r\n"
        "/r:\"program\"\tRun the specified program after a successful installation.\r\n"
        "/silent\tDisplay no user interface.",
        error.c_str(), programFileName.c_str());
}

}  // namespace tessarin
