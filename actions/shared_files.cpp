#include "actions/shared_files.h"

#include "core/convert.h"
#include "core/string.h"
#include "services/install_log.h"
#include "services/shared_file_list.h"

namespace tessarin {

String sharedFileEntry(const String& path, int32_t kind, bool permanent, bool portable) {
    char mark = 0;
    switch (kind) {
        case kKindSharedFolderFile:
            if (portable) return String();
            break;
        case kKindSystemFile:
            break;
        case kKindSystemComServer:
            if (portable) return String();
            mark = kSharedMarkComServer;
            break;
        case kKindSystemTypeLibrary:
            mark = kSharedMarkTypeLibrary;
            break;
        default:
            return String();
    }
    // A permanent file is only counted, whatever its kind asks for at zero.
    if (permanent) mark = kSharedMarkPermanent;
    String entry = path;
    if (mark) entry.appendChar(mark);
    return entry;
}

String sharedFileCountPath(const String& entry) {
    String path = entry;
    path.removeBackChar(kSharedMarkComServer);
    path.removeBackChar(kSharedMarkPermanent);
    path.removeBackChar(kSharedMarkTypeLibrary);
    return path;
}

bool sharedFilesCounted(uint64_t productFlags, bool portable) {
    return (productFlags & kFlagsUninstallEntry) && !portable;
}

namespace {

// Whether text holds item, ASCII letters compared without regard to case.
bool containsNoCase(const String& text, const String& item) {
    int32_t n = item.length();
    for (int32_t i = 0; i + n <= text.length(); ++i) {
        if (compareNoCaseAscii(text.c_str() + i, item.c_str(), static_cast<size_t>(n)) == 0)
            return true;
    }
    return false;
}

void logCountFailure(const String& path, const String& errorText) {
    String wide;
    pathToWide(path.c_str(), path.length(), wide);
    logText8("Failed to increment reference count of shared file \"");
    logText(wide);
    logText8("\" : ");
    logText(errorText);
    logText8("\r\n");
}

const String& pathOf(const SharedFileEntry& entry) {
    return entry.path;
}
const String& pathOf(const String& path) {
    return path;
}

// The mark an entry was listed with; a permanent file's mark wins, as when it was listed.
char entryMark(const SharedFileEntry& entry) {
    if (entry.permanent) return kSharedMarkPermanent;
    if (entry.comServer) return kSharedMarkComServer;
    if (entry.typeLibrary) return kSharedMarkTypeLibrary;
    return 0;
}

// Whether the listed paths (of a SharedFiles text, or plain) name path, ASCII letters compared
// without regard to case.
template <typename Listed>
bool listedBefore(const Vector<Listed>& previous, const String& path) {
    for (int32_t i = 0; i < previous.count(); ++i) {
        const String& listed = pathOf(previous[i]);
        if (listed.length() == path.length() &&
            compareNoCaseAscii(listed.c_str(), path.c_str(), static_cast<size_t>(path.length())) ==
                0)
            return true;
    }
    return false;
}

}  // namespace

String countSharedFiles(const Vector<String>& list, const String& previous,
                        SharedFileCounts& counts, Vector<String>* raised) {
    String text;
    if (!counts.open()) {
        appendError(kSharedCountKeyError);
        return text;
    }
    const Vector<SharedFileEntry> before = parseSharedFiles(previous);
    Vector<String> listedNow;
    for (const String& entry : list) {
        String quoted("\"");
        quoted.append(entry);
        quoted.appendChar('"');
        // A file is counted once per installation, however many records name it.
        if (containsNoCase(text, quoted)) continue;
        String path = sharedFileCountPath(entry);
        // A reinstallation of the product: the count it took then still stands for it.
        if (!listedBefore(before, path) || !counts.counted(path)) {
            String errorText;
            if (!counts.increment(path, errorText)) {
                logCountFailure(path, errorText);
            } else if (raised) {
                raised->append(path);
            }
        }
        if (!text.empty()) text.appendChar(';');
        text.append(quoted);
        listedNow.append(path);
    }
    // A file the product counted before and this installation does not list keeps the
    // product's count: it stays listed, so that the uninstaller takes the count back.
    for (const SharedFileEntry& entry : before) {
        if (listedBefore(listedNow, entry.path) || !counts.counted(entry.path)) continue;
        if (!text.empty()) text.appendChar(';');
        text.appendChar('"');
        text.append(entry.path);
        if (char mark = entryMark(entry)) text.appendChar(mark);
        text.appendChar('"');
        listedNow.append(entry.path);
    }
    counts.close();
    return text;
}

Vector<String>& sharedFileList() {
    static Vector<String> list;
    return list;
}

String& sharedFilesText() {
    static String text;
    return text;
}

}  // namespace tessarin
