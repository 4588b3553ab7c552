#include "services/install_log.h"

#include <cstdarg>

#include "core/convert.h"
#include "core/path.h"
#include "core/platform_text.h"
#include "package/script_format.h"

namespace tessarin {

namespace {

LogBody* gBody = nullptr;

void writeBody(const String& bytes) {
    if (gBody && !bytes.empty()) gBody->append(bytes.c_str(), bytes.length());
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

String utf8FromWide(const String& text) {
    String out;
    int32_t n = text.wideLength();
    if (n == 0) return out;
    // A lone surrogate has no UTF-8 form: it becomes "?" (the system would write U+FFFD or
    // fail, depending on its version).
    String cleaned = text;
    char16_t* c = cleaned.wideData();
    for (int32_t i = 0; i < n; ++i) {
        if (isHighSurrogate(c[i]) && i + 1 < n && isLowSurrogate(c[i + 1]))
            ++i;
        else if (isHighSurrogate(c[i]) || isLowSurrogate(c[i]))
            c[i] = u'?';
    }
    if (!toNarrow(cleaned.w_str(), n, out, kCodePageUtf8)) out.clear();
    return out;
}

String utf8FromNarrow(const char* text, int32_t length, int codePage) {
    if (!text) return String();
    if (length == kWholeLength) length = static_cast<int32_t>(narrowTextLength(text));
    if (length <= 0) return String();
    String wide;
    if (!toWide(text, length, wide, codePage)) {
        // A code page without a mapping for some byte: keep the ASCII, mark the rest.
        wide.clear();
        for (int32_t i = 0; i < length; ++i) {
            unsigned char b = static_cast<unsigned char>(text[i]);
            wide.appendWideChar(b < 0x80 ? char16_t(b) : u'?');
        }
    }
    return utf8FromWide(wide);
}

// ---- Body and writers ---------------------------------------------------------------------

void setLogBody(LogBody* body) {
    gBody = body;
}

LogBody* logBody() {
    return gBody;
}

void logText8(const char* text, int32_t length) {
    if (gBody) writeBody(utf8FromNarrow(text, length, 1252));
}

void logText(const String& text) {
    if (gBody) writeBody(utf8FromWide(text));
}

void logWide(const char16_t* text) {
    if (gBody && text) logText(String(text));
}

void logRaw(const void* bytes, int32_t length) {
    if (gBody && bytes && length > 0) gBody->append(bytes, length);
}

void logFormat(const char* fmt, ...) {
    if (!gBody) return;
    String text;
    va_list args;
    va_start(args, fmt);
    formatAppendV(text, fmt, args);
    va_end(args);
    logText8(text.c_str(), text.length());
}

void logFormatWide(const char16_t* fmt, ...) {
    if (!gBody) return;
    String text;
    va_list args;
    va_start(args, fmt);
    formatAppendWideV(text, fmt, args);
    va_end(args);
    logText(text);
}

void logConcat(std::initializer_list<const char*> texts) {
    if (!gBody) return;
    String joined;
    for (const char* t : texts) {
        if (!t) break;
        joined.append(t);
    }
    logText8(joined.c_str(), joined.length());
}

void logConcatWide(std::initializer_list<const char16_t*> texts) {
    if (!gBody) return;
    String joined;
    for (const char16_t* t : texts) {
        if (!t) break;
        joined.appendWide(t);
    }
    logText(joined);
}

// ---- Error list -----------------------------------------------------------------------------

String& errorList() {
    static String errors;
    return errors;
}

void appendError(const char* text, int32_t length) {
    if (text) errorList().append(text, length);
}

void appendErrorFormat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    formatAppendV(errorList(), fmt, args);
    va_end(args);
}

// ---- Install.log ----------------------------------------------------------------------------

InstallLogHeader installLogHeader(const InstallScript& script, bool reinstall, const DateTime& now,
                                  const String& osName) {
    InstallLogHeader h;
    h.productName = script.ProductName;
    h.installDate = now;
    h.showInstallType = (script.ProductFlags & kFlagsUninstallEntry) != 0;
    h.reinstall = reinstall;
    h.installDir = script.InstallDir;
    h.version = script.Version;
    h.oldVersion = script.OldVersion;
    h.osName = osName;
    return h;
}

namespace {

void appendLabelled(String& out, const char* label, const String& utf8Value) {
    out.append(label);
    out.append(utf8Value);
    out.append("\r\n");
}

}  // namespace

String installLogHeaderText(const InstallLogHeader& h) {
    String out;
    appendLabelled(out, "Installation log for: ", utf8FromWide(h.productName));
    appendLabelled(out, "Install date: ", h.installDate.format("yy/mm/dd HH:ii:ss"));
    if (h.showInstallType)
        appendLabelled(out, "Install type: ", String(h.reinstall ? "Reinstall" : "New"));
    appendLabelled(out, "Install location: ", utf8FromWide(h.installDir));
    appendLabelled(out, "Installer version: ", String(kLogInstallerVersion));
    if (h.version.wideLength() > 0)
        appendLabelled(out, "Product version: ", utf8FromWide(h.version));
    if (h.oldVersion.wideLength() > 0)
        appendLabelled(out, "Overwriting version: ", utf8FromWide(h.oldVersion));
    appendLabelled(out, "Operating system: ",
                   utf8FromNarrow(h.osName.c_str(), h.osName.length(), kCodePageSystem));
    return out;
}

String installLogBlockHead(const InstallLogHeader& header, bool fileHadContent) {
    String head(fileHadContent ? kLogSeparator : kLogByteOrderMark);
    head.append(installLogHeaderText(header));
    return head;
}

String installLogBlockTail(const String& errors, const String& successLine) {
    String tail("\r\n");
    if (errors.empty()) {
        tail.append(utf8FromWide(successLine));
        tail.append("\r\n");
    } else {
        tail.append(kLogFailureSummary);
        tail.append(utf8FromNarrow(errors.c_str(), errors.length(), kCodePageSystem));
    }
    return tail;
}

String installLogBlock(const InstallLogHeader& header, const String& body, bool fileHadContent,
                       const String& errors, const String& successLine) {
    String block = installLogBlockHead(header, fileHadContent);
    block.append(body);
    block.append(installLogBlockTail(errors, successLine));
    return block;
}

bool installLogWanted(uint64_t productFlags, const String& errors) {
    return (productFlags & kFlagsKeepLog) || !errors.empty();
}

bool convertLegacyLog(const String& existing, String& converted) {
    converted.clear();
    if (existing.empty()) return false;
    const int32_t markLength = 3;
    if (existing.length() >= markLength &&
        String(existing.c_str(), markLength).equals(kLogByteOrderMark))
        return false;
    converted.assign(kLogByteOrderMark);
    converted.append(utf8FromNarrow(existing.c_str(), existing.length(), 1252));
    return true;
}

bool LogBody::readPieces(const std::function<bool(const String& piece)>& take) {
    String content;
    return read(content) && take(content);
}

// Logs grow with every installation and bodies with every file: only the mark at the start of
// the log is read, and the body is copied a piece at a time.
bool appendInstallLog(LogFile& file, const String& path, const InstallLogHeader& header,
                      LogBody* body, const String& errors, const String& successLine) {
    if (!file.open(path)) return false;
    const int32_t markLength = 3;
    String start;
    // An unreadable log is treated as empty: the new block still gets its byte-order mark.
    if (!file.readStart(markLength, start)) start.clear();
    bool hadContent = !start.empty();
    if (hadContent && !start.equals(kLogByteOrderMark)) {
        String existing, converted;
        if (file.read(existing) && convertLegacyLog(existing, converted)) file.replace(converted);
    }
    file.append(installLogBlockHead(header, hadContent));
    if (body) body->readPieces([&](const String& piece) { return file.append(piece); });
    file.append(installLogBlockTail(errors, successLine));
    file.close();
    return true;
}

String installLogPath(const String& uninstallDir) {
    return joinPath(uninstallDir, String(kInstallLogName));
}

}  // namespace tessarin
