// The portable decisions of launching programs and of the shell open.
#include "core/process.h"

#include "core/chars.h"
#include "core/convert.h"
#include "core/path.h"
#include "core/platform_text.h"

namespace tessarin {
namespace {

// CreateProcessW creation flags and ShowWindow commands.
constexpr uint32_t kCreateNewConsole = 0x10;
constexpr uint32_t kNormalPriorityClass = 0x20;
constexpr uint32_t kIdlePriorityClass = 0x40;
constexpr uint32_t kHighPriorityClass = 0x80;
constexpr uint16_t kShowHide = 0;
constexpr uint16_t kShowMaximize = 3;
constexpr uint16_t kShowMinimize = 6;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

LaunchPlan launchPlan(uint32_t options) {
    LaunchPlan plan;
    plan.creationFlags = kNormalPriorityClass;
    if (options & kLaunchHighPriority)
        plan.creationFlags |= kHighPriorityClass;
    else if (options & kLaunchIdlePriority)
        plan.creationFlags |= kIdlePriorityClass;
    if (options & kLaunchNewConsole) plan.creationFlags |= kCreateNewConsole;
    plan.setShowWindow = (options & (kLaunchMaximized | kLaunchMinimized | kLaunchHidden)) != 0;
    plan.showWindow = (options & kLaunchMaximized)   ? kShowMaximize
                      : (options & kLaunchMinimized) ? kShowMinimize
                                                     : kShowHide;
    plan.inheritHandles = (options & kLaunchInheritHandles) != 0;
    return plan;
}

String programFolderOf(const String& commandLine) {
    String folder = parentFolder(commandLine);
    folder.removeFrontWideChar(u'"');
    return folder;
}

namespace {

// Where a program name ends in an unquoted command: after the first ".exe", ".com", ".bat" or
// ".cmd" that a blank or the end follows, so that blanks in folder names stay part of the
// program; otherwise at the first blank.
int32_t unquotedProgramEnd(const char16_t* text, int32_t start, int32_t length) {
    static const char16_t* const kExtensions[] = {u".exe", u".com", u".bat", u".cmd"};
    for (int32_t i = start; i + 4 <= length; ++i) {
        if (text[i] != u'.' || (i + 4 < length && text[i + 4] != u' ')) continue;
        for (const char16_t* extension : kExtensions) {
            bool same = true;
            for (int32_t k = 1; k < 4 && same; ++k) {
                char16_t c = text[i + k];
                if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
                same = c == extension[k];
            }
            if (same) return i + 4;
        }
    }
    int32_t end = start;
    while (end < length && text[end] != u' ') ++end;
    return end;
}

}  // namespace

SplitCommand splitCommand(const String& command) {
    const char16_t* text = command.w_str();
    int32_t length = command.wideLength();
    int32_t start = 0;
    while (start < length && text[start] == u' ') ++start;
    SplitCommand split;
    int32_t next;
    if (start < length && text[start] == u'"') {
        int32_t end = start + 1;
        while (end < length && text[end] != u'"') ++end;
        command.substringWide(split.program, start + 1, end - start - 1);
        next = end < length ? end + 1 : end;
    } else {
        int32_t end = unquotedProgramEnd(text, start, length);
        command.substringWide(split.program, start, end - start);
        next = end;
    }
    while (next < length && text[next] == u' ') ++next;
    command.substringWide(split.arguments, next, kWholeLength);
    return split;
}

String systemProgramCommand(const String& systemFolder, const char16_t* program,
                            const String& arguments) {
    String command(u"\"");
    command.append(joinPath(systemFolder, String(program)));
    command.appendWide(u"\" ");
    command.append(arguments);
    return command;
}

String launchFailureText(const String& commandLine, const String& systemText) {
    String text(u"Unable to create process:\r\n");
    text.append(commandLine);
    text.appendWide(u"\r\n\r\n");
    text.append(systemText);
    return text;
}

intptr_t shellExecuteWithElevation(ShellExecuteFunction call, const String& file,
                                   const String& parameters, const String& folder,
                                   const String& verb, int showCommand) {
    intptr_t result = call(verb, file, parameters, folder, showCommand);
    // Only opening may need rights the user can grant; other verbs are refused as they are.
    bool opening = verb.empty() || verb.equalsNoCaseWide(u"open");
    if (result == kShellAccessDenied && opening)
        result = call(String(u"runas"), file, parameters, folder, showCommand);
    return result;
}

String localPathOfFileUrl(const String& url) {
    String rest = url;
    if (!rest.startsWithNoCase(u"file:///", true)) return String();
    // Escapes stand for UTF-8 bytes; characters written as they are join them as UTF-8 too.
    String utf8;
    if (!toNarrow(rest.w_str(), rest.wideLength(), utf8, kCodePageUtf8)) return String();
    String bytes;
    for (int32_t i = 0; i < utf8.length(); ++i) {
        char c = utf8.get(i);
        int high = c == '%' ? hexValue(utf8.get(i + 1)) : -1;
        int low = high >= 0 ? hexValue(utf8.get(i + 2)) : -1;
        if (low >= 0) {
            bytes.appendChar(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            bytes.appendChar(c == '/' ? '\\' : c);
        }
    }
    String path;
    if (!bytes.empty() && !toWide(bytes.c_str(), bytes.length(), path, kCodePageUtf8))
        return String();
    return path;
}

}  // namespace tessarin
