#include "services/system_path.h"

#include "core/format.h"
#include "core/path.h"
#include "core/platform_text.h"

namespace tessarin {

namespace {

// A run of UTF-16 characters of the PATH text: [start, end).
struct Entry {
    int32_t start;
    int32_t end;
};

int32_t withoutTrailingBackslash(const char16_t* text, int32_t start, int32_t end) {
    return end > start && text[end - 1] == u'\\' ? end - 1 : end;
}

bool entryIs(const String& path, Entry entry, const String& folder) {
    const char16_t* p = path.w_str();
    int32_t end = withoutTrailingBackslash(p, entry.start, entry.end);
    int32_t folderEnd = withoutTrailingBackslash(folder.w_str(), 0, folder.wideLength());
    int32_t n = end - entry.start;
    if (n != folderEnd || n == 0) return false;
    return compareInvariantNoCase(p + entry.start, n, folder.w_str(), n) == 0;
}

// The first entry at or after position from that is folder; false when there is none.
bool findEntry(const String& path, const String& folder, int32_t from, Entry& found) {
    const char16_t* p = path.w_str();
    int32_t n = path.wideLength();
    for (int32_t start = from; start <= n;) {
        int32_t end = start;
        while (end < n && p[end] != u';') ++end;
        found = {start, end};
        if (entryIs(path, found, folder)) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

String systemPathFolder(const String& subfolder, const String& installDir) {
    if (subfolder.empty()) return installDir;
    if (isAbsolutePath(subfolder)) return subfolder;
    return joinPath(installDir, subfolder);
}

bool pathWithFolder(const String& path, const String& folder, String& result) {
    Entry found;
    if (folder.empty() || findEntry(path, folder, 0, found)) return false;
    result = path;
    if (!result.empty() && result.getWide(result.wideLength() - 1) != u';')
        result.appendWideChar(u';');
    result.appendWide(folder.w_str(), folder.wideLength());
    return true;
}

bool pathWithoutFolder(const String& path, const String& folder, String& result) {
    if (folder.empty()) return false;
    String text = path;
    bool removed = false;
    Entry found;
    for (int32_t from = 0; findEntry(text, folder, from, found);) {
        // The entry goes with the ";" after it, or with the one before it when it is last.
        int32_t start = found.start;
        int32_t end = found.end;
        if (end < text.wideLength())
            ++end;
        else if (start > 0)
            --start;
        text.replaceWide(start, end - start, nullptr, 0);
        from = start;
        removed = true;
    }
    if (removed) result = text;
    return removed;
}

void editSystemPath(bool add, const String& subfolder, const String& installDir,
                    SystemPathAccess& access, Reporter& reporter) {
    String path;
    if (!access.readPath(path) || path.empty()) return;
    String folder = systemPathFolder(subfolder, installDir);
    if (folder.empty()) return;
    if (add && !access.folderExists(folder)) {
        reporter.log(formatWide(u"Couldn't add \"%s\" to the PATH because it does not exist.\r\n",
                                folder.w_str()));
        return;
    }
    String changed;
    if (!(add ? pathWithFolder(path, folder, changed) : pathWithoutFolder(path, folder, changed)))
        return;
    if (!access.writePath(changed)) {
        reporter.log(formatWide(add ? u"Couldn't add \"%s\" to the PATH.\r\n"
                                    : u"Couldn't remove \"%s\" from the PATH.\r\n",
                                folder.w_str()));
        return;
    }
    access.announceChange();
}

}  // namespace tessarin
