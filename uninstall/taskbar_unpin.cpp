#include "uninstall/taskbar_unpin.h"

#include "core/format.h"

namespace tessarin {

namespace {

// The folder the shell keeps its pinned links in, matched without regard to ASCII case: the
// recorded path comes from the roaming profile and may have been written in any case.
bool liesBelowUserPinned(const String& path) {
    static const char16_t kFolder[] = u"\\User Pinned\\";
    const size_t folderChars = sizeof(kFolder) / sizeof(kFolder[0]) - 1;
    int32_t chars = path.wideLength();
    for (int32_t at = 0; at + static_cast<int32_t>(folderChars) <= chars; ++at) {
        if (compareNoCaseWidePrefix(path.w_str() + at, kFolder, folderChars) == 0) return true;
    }
    return false;
}

}  // namespace

Vector<String> pinnedLinks(const Vector<FileDeletion>& deletions) {
    Vector<String> links;
    for (int32_t i = 0; i < deletions.count(); ++i) {
        if (deletions[i].kind != DeletionKind::File) continue;
        String path = deletionPathWide(deletions[i]);
        if (liesBelowUserPinned(path)) links.append(path);
    }
    return links;
}

bool unpinFromTaskbar(const Vector<FileDeletion>& deletions, TaskbarUnpinSystem& system,
                      Reporter& reporter) {
    Vector<String> links = pinnedLinks(deletions);
    for (int32_t i = 0; i < links.count(); ++i) {
        bool done = system.unpin(links[i]);
        reporter.log(formatWide(u"Unpin from taskbar(%s): %s\r\n", links[i].w_str(),
                                done ? u"OK" : u"FAIL"));
    }
    return links.count() > 0;
}

}  // namespace tessarin
