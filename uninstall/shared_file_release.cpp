#include "uninstall/shared_file_release.h"

#include "core/convert.h"
#include "core/format.h"

namespace tessarin {

namespace {

String widePath(const String& path) {
    String wide;
    pathToWide(path.c_str(), path.length(), wide);
    return wide;
}

}  // namespace

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
