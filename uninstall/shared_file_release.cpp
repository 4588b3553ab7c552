#include "uninstall/shared_file_release.h"

#include "core/convert.h"
#include "core/format.h"

namespace tessarin {

namespace {

// Takes a flag character off the given end of the piece; false when there is none.
bool takeFlag(String& piece, SharedFileEntry& entry, bool front) {
    if (piece.empty()) return false;
    int32_t at = front ? 0 : piece.length() - 1;
    switch (static_cast<unsigned char>(piece.c_str()[at])) {
        case '^':
            entry.comServer = true;
            break;
        case ' ':
            entry.permanent = true;
            break;
        case 0xA9:
            entry.typeLibrary = true;
            break;
        default:
            return false;
    }
    piece.replace(at, 1, nullptr, 0);
    return true;
}

String widePath(const String& path) {
    String wide;
    pathToWide(path.c_str(), path.length(), wide);
    return wide;
}

}  // namespace

Vector<SharedFileEntry> parseSharedFiles(const String& text) {
    Vector<SharedFileEntry> entries;
    const char* s = text.c_str();
    int32_t n = text.length();
    for (int32_t start = 0; start <= n;) {
        int32_t end = start;
        while (end < n && s[end] != '"') ++end;
        String piece(s + start, end - start);
        start = end + 1;
        if (piece.empty() || (piece.length() == 1 && piece.c_str()[0] == ';')) continue;
        SharedFileEntry entry;
        while (takeFlag(piece, entry, true)) {
        }
        while (takeFlag(piece, entry, false)) {
        }
        if (piece.empty()) continue;
        entry.path = piece;
        entries.append(entry);
    }
    return entries;
}

String sharedFileQuestionText(const String& questionTemplate, const String& path) {
    return fillPlaceholder(questionTemplate, path);
}

void releaseSharedFiles(const String& text, bool askBeforeDelete, SharedFileSystem& system,
                        Reporter& reporter) {
    if (text.empty()) return;
    if (!system.openCounts()) {
        reporter.error(String(kSharedCountAdjustError));
        return;
    }
    Vector<SharedFileEntry> entries = parseSharedFiles(text);
    for (int32_t i = 0; i < entries.count(); ++i) {
        const SharedFileEntry& entry = entries[i];
        uint32_t count = 0;
        if (!system.readCount(entry.path, count)) continue;
        // A count of zero (or a damaged negative one) is left as it is: nobody uses the file.
        bool unused = static_cast<int32_t>(count) < 1;
        if (!unused) {
            --count;
            system.writeCount(entry.path, count);
            unused = count == 0;
        }
        if (!unused || entry.permanent) continue;
        String path = widePath(entry.path);
        if (entry.comServer) system.unregisterComServer(path);
        if (entry.typeLibrary) system.unregisterTypeLibrary(path);
        if (system.fileExists(path)) {
            if (askBeforeDelete && system.userKeepsFile(path)) continue;
            system.deleteFile(path);
            if (system.fileExists(path)) continue;
        }
        system.deleteCount(entry.path);
    }
    system.closeCounts();
    system.forgetList();
}

}  // namespace tessarin
