#include "services/pending_renames.h"

#include "core/chars.h"
#include "core/format.h"

namespace tessarin {

namespace {

String lowerAscii(const String& path) {
    String lower = path;
    for (int32_t i = 0; i < lower.wideLength(); ++i)
        lower.setWide(i, static_cast<char16_t>(toLowerAscii(lower.getWide(i))));
    return lower;
}

String withoutPrefix(const String& path) {
    int32_t skip = 0;
    while (skip < path.wideLength()) {
        char16_t c = path.getWide(skip);
        if (c != u'\\' && c != u'?' && c != u'!') break;
        ++skip;
    }
    String rest;
    path.substringWide(rest, skip, kWholeLength);
    return rest;
}

}  // namespace

void PathSet::add(const String& path) {
    set_.set(lowerAscii(path), true);
}

bool PathSet::contains(const String& path) const {
    return set_.find(lowerAscii(path)) != nullptr;
}

String pendingOperationKey(const String& path) {
    return lowerAscii(withoutPrefix(path));
}

Vector<String> splitPendingOperations(const String& data) {
    Vector<String> strings;
    const char16_t* p = data.w_str();
    int32_t n = data.wideLength();
    // The final zero ends the list; every string before it ends with its own zero.
    if (n > 0 && p[n - 1] == 0) --n;
    for (int32_t start = 0; start < n;) {
        int32_t end = start;
        while (end < n && p[end] != 0) ++end;
        strings.append(String(p + start, end - start));
        start = end + 1;
    }
    return strings;
}

String joinPendingOperations(const Vector<String>& strings) {
    String data;
    for (const String& s : strings) {
        data.appendWide(s.w_str(), s.wideLength());
        data.appendWideChar(0);
    }
    data.appendWideChar(0);
    return data;
}

namespace {

// Takes out of strings (pairs, the list read from the value) every pair that paths names.
void dropPendingOperations(PendingRenameSystem& system, Vector<String>& strings,
                           const PathSet& paths, DeletionPhase phase, Reporter& reporter) {
    bool installing = phase == DeletionPhase::Install;
    if (installing) reporter.log(String(u"\r\n"));
    bool removed = false;
    for (int32_t i = 0; i + 1 < strings.count();) {
        const String& source = strings[i];
        const String& target = strings[i + 1];
        bool drop = false;
        if (!target.empty()) {
            if (paths.contains(pendingOperationKey(target))) {
                String shown = withoutPrefix(target);
                if (installing)
                    reporter.log(
                        formatWide(u"File \"%s\" was removed from the list of pending moves.\r\n",
                                   shown.w_str()));
                system.recycle(withoutPrefix(source));
                drop = true;
            }
        } else {
            String key = pendingOperationKey(source);
            if (key.empty()) {
                drop = true;
            } else if (paths.contains(key)) {
                String shown = withoutPrefix(source);
                if (installing)
                    reporter.log(formatWide(
                        u"File \"%s\" was removed from the list of pending deletions.\r\n",
                        shown.w_str()));
                drop = true;
            }
        }
        if (drop) {
            strings.remove(i + 1);
            strings.remove(i);
            removed = true;
        } else {
            i += 2;
        }
    }
    if (removed) system.write(strings);
}

// The value's strings in pairs (an odd list ends with a deletion); false when there are none.
bool readPendingOperations(PendingRenameSystem& system, Vector<String>& strings) {
    if (!system.read(strings) || strings.empty()) return false;
    if (strings.count() % 2) strings.append(String());
    return true;
}

}  // namespace

void removePendingOperations(PendingRenameSystem& system, const PathSet& paths, DeletionPhase phase,
                             Reporter& reporter) {
    Vector<String> strings;
    if (!readPendingOperations(system, strings)) return;
    dropPendingOperations(system, strings, paths, phase, reporter);
}

// The list holds every file the installation wrote, the value usually nothing: only the paths
// that the value names are looked up, so the set stays as small as the value.
void removePendingOperations(PendingRenameSystem& system, const PathList& paths,
                             DeletionPhase phase, Reporter& reporter) {
    Vector<String> strings;
    if (!readPendingOperations(system, strings)) return;
    PathSet named;
    for (int32_t i = 0; i + 1 < strings.count(); i += 2)
        named.add(pendingOperationKey(strings[i + 1].empty() ? strings[i] : strings[i + 1]));
    PathSet listed;
    paths.forEach([&](const String& path) {
        if (named.contains(path)) listed.add(path);
    });
    dropPendingOperations(system, strings, listed, phase, reporter);
}

}  // namespace tessarin
