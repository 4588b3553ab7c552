#include "uninstall/removal.h"

#include <algorithm>
#include <vector>

#include "core/convert.h"
#include "core/csv.h"
#include "core/format.h"
#include "core/path.h"
#include "core/platform_text.h"
#include "services/progress.h"

namespace tessarin {

namespace {

bool samePath(const String& a, const String& b) {
    String ca = comparablePath(a);
    return !ca.empty() && ca == comparablePath(b);
}

// Whether path lies below top (not top itself).
bool isInside(const String& path, const String& top) {
    String p = comparablePath(path);
    String t = comparablePath(top);
    if (p.empty() || t.empty() || p.wideLength() <= t.wideLength() + 1) return false;
    return p.startsWithWide(t.w_str()) && p.getWide(t.wideLength()) == u'\\';
}

bool isSystemSoftwareKey(const String& key);
bool isSystemClass(const String& name);

Vector<String> keyComponents(const String& subKey) {
    Vector<String> parts;
    String part;
    for (int32_t i = 0; i <= subKey.wideLength(); ++i) {
        char16_t c = i < subKey.wideLength() ? subKey.getWide(i) : u'\\';
        if (c != u'\\') {
            part.appendWideChar(c);
        } else if (!part.empty()) {
            parts.append(part);
            part = String();
        }
    }
    return parts;
}

String joinComponents(const Vector<String>& parts, int32_t from) {
    String joined;
    for (int32_t i = from; i < parts.count(); ++i) {
        if (i > from) joined.appendWideChar(u'\\');
        joined.append(parts[i]);
    }
    return joined;
}

// The keys of the class registration that the system and every program share.
bool isSharedClassesKey(const String& name) {
    static const char16_t* const kShared[] = {u"CLSID",      u"Interface", u"TypeLib",
                                              u"AppID",      u"*",         u"Directory",
                                              u"Folder",     u"Drive",     u"AllFilesystemObjects",
                                              u"Wow6432Node"};
    for (const char16_t* shared : kShared)
        if (name.equalsNoCaseWide(shared)) return true;
    return false;
}

// Whether a key tree of the deletion list is one the system owns: a whole hive key, a key
// right below a hive (Software, System, Control Panel, ...), the system's keys below
// Software down to their fourth level (Microsoft\Windows\CurrentVersion\Uninstall, ...), the
// control sets down to their services key, and the shared class keys. Products' own keys
// lie below those.
bool isSystemKeyTree(RegistryRoot root, const String& subKey) {
    Vector<String> parts = keyComponents(subKey);
    if (parts.empty()) return true;
    if (root == kHkeyClassesRoot)
        return parts.count() == 1 && (isSharedClassesKey(parts[0]) || isSystemClass(parts[0]));
    int32_t first = 0;
    if (root == kHkeyUsers && ++first >= parts.count()) return true;
    if (parts.count() - first == 1) return true;
    if (parts[first].equalsNoCaseWide(u"Software")) {
        if (parts[first + 1].equalsNoCaseWide(u"Wow6432Node") && ++first + 1 >= parts.count())
            return true;
        String below = joinComponents(parts, first + 1);
        if (parts.count() - first - 1 == 1) return isSystemSoftwareKey(below);
        if (parts[first + 1].equalsNoCaseWide(u"Classes"))
            return parts.count() - first == 3 &&
                   (isSharedClassesKey(parts[first + 2]) || isSystemClass(parts[first + 2]));
        return isSystemSoftwareKey(below) && parts.count() - first - 1 <= 4;
    }
    // System\CurrentControlSet\Services and the like: the product's keys are below them.
    return parts.count() - first <= 3;
}

// The class keys through which the system starts programs and opens documents of every kind,
// with the file types that lead to them.
bool isSystemClass(const String& name) {
    static const char16_t* const kClasses[] = {
        u"exefile",   u"batfile", u"cmdfile",
        u"comfile",   u"piffile", u"scrfile",
        u"htafile",   u"lnkfile", u"regfile",
        u"VBSFile",   u"VBEFile", u"JSFile",
        u"JSEFile",   u"WSFFile", u"WSHFile",
        u"mscfile",   u"cplfile", u"Msi.Package",
        u"Msi.Patch", u"Unknown", u"Microsoft.PowerShellScript.1",
        u".exe",      u".com",    u".bat",
        u".cmd",      u".pif",    u".scr",
        u".hta",      u".lnk",    u".reg",
        u".vbs",      u".vbe",    u".js",
        u".jse",      u".wsf",    u".wsh",
        u".msc",      u".cpl",    u".msi",
        u".msp",      u".ps1"};
    for (const char16_t* known : kClasses)
        if (name.equalsNoCaseWide(known)) return true;
    return false;
}

// Whether the key path parts[at...] begins with the backslash-separated names of prefix.
bool beginsWith(const Vector<String>& parts, int32_t at, const char16_t* prefix, bool exact) {
    Vector<String> wanted = keyComponents(String(prefix));
    if (parts.count() - at < wanted.count() || (exact && parts.count() - at != wanted.count()))
        return false;
    for (int32_t i = 0; i < wanted.count(); ++i)
        if (!parts[at + i].equalsNoCaseWide(wanted[i].w_str())) return false;
    return true;
}

// Keys below Software whose values the system lives by: its security policies, what it runs at
// logon and for every program, its own folders.
bool isSystemSoftwareValueKey(const Vector<String>& parts, int32_t at) {
    static const char16_t* const kTrees[] = {
        u"Policies\\Microsoft",
        u"Microsoft\\Windows\\CurrentVersion\\Policies",
        u"Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
        u"Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
        u"Microsoft\\Windows Defender",
    };
    static const char16_t* const kKeys[] = {
        u"Microsoft\\Windows\\CurrentVersion",
        u"Microsoft\\Windows NT\\CurrentVersion",
        u"Microsoft\\Windows NT\\CurrentVersion\\Windows",
    };
    for (const char16_t* tree : kTrees)
        if (beginsWith(parts, at, tree, false)) return true;
    for (const char16_t* key : kKeys)
        if (beginsWith(parts, at, key, true)) return true;
    return false;
}

// Whether a recorded value lies in a key the system owns, where deleting it could weaken or
// redirect the machine: a key of a root itself, the start-up and opening commands of the
// system's own classes (and a value right in a shared class key), anything in the system
// configuration (services, control sets) but the environment and the products' event sources,
// and the keys of isSystemSoftwareValueKey. The values that products add to the system's lists
// (Run, App Paths, the environment, their own classes) stay removable.
bool isSystemValueKey(RegistryRoot root, const String& subKey) {
    Vector<String> parts = keyComponents(subKey);
    int32_t at = root == kHkeyUsers ? 1 : 0;
    if (parts.count() <= at) return true;
    bool classes = root == kHkeyClassesRoot;
    if (!classes && parts[at].equalsNoCaseWide(u"Software")) {
        ++at;
        if (at < parts.count() && parts[at].equalsNoCaseWide(u"Wow6432Node")) ++at;
        if (at < parts.count() && parts[at].equalsNoCaseWide(u"Classes")) {
            classes = true;
            ++at;
        } else {
            return parts.count() == at || isSystemSoftwareValueKey(parts, at);
        }
    }
    if (classes) {
        if (at < parts.count() && parts[at].equalsNoCaseWide(u"Wow6432Node")) ++at;
        if (parts.count() == at) return true;
        return isSystemClass(parts[at]) ||
               (parts.count() == at + 1 && isSharedClassesKey(parts[at]));
    }
    if (root != kHkeyLocalMachine || !parts[at].equalsNoCaseWide(u"System")) return false;
    // System\<control set>\...
    if (beginsWith(parts, at + 2, u"Control\\Session Manager\\Environment", true)) return false;
    return !(beginsWith(parts, at + 2, u"Services\\EventLog", false) && parts.count() >= at + 6);
}

// A registry path of the deletion list: a root and a sub-key. Roots alone and the Software
// key itself are refused, since a damaged record must not wipe a hive.
bool splitRecordedKey(const String& path, RegistryRoot& root, String& subKey, Reporter& reporter) {
    root = splitRegistryRoot(path.w_str(), subKey);
    subKey.removeBackWideChar(u'\\');
    if (root == kRegistryNoRoot) {
        reporter.log(
            formatWide(u"Registry path without a known root skipped: %s\r\n", path.w_str()));
        return false;
    }
    if (subKey.empty() || subKey.equalsNoCaseWide(u"Software")) {
        reporter.error(
            format("Not removed: \"%s\" is a registry root.\r\n", pathText(path).c_str()));
        return false;
    }
    return true;
}

void removeRegistryEntry(const FileDeletion& deletion, RemovalSystem& system, Reporter& reporter) {
    String path = deletionPathWide(deletion);
    RegistryRoot root;
    String subKey;
    if (deletion.kind == DeletionKind::RegistryValue) {
        String keyPath, name;
        splitRegistryValue(path.w_str(), keyPath, name);
        if (!splitRecordedKey(keyPath, root, subKey, reporter)) return;
        if (isSystemValueKey(root, subKey)) {
            reporter.error(format("Not removed: \"%s\" is a value of a system registry key.\r\n",
                                  pathText(path).c_str()));
            return;
        }
        system.deleteValue(root, subKey, name, 0);
        return;
    }
    if (!splitRecordedKey(path, root, subKey, reporter)) return;
    if (isSystemKeyTree(root, subKey)) {
        reporter.error(
            format("Not removed: \"%s\" is a system registry key.\r\n", pathText(path).c_str()));
        return;
    }
    uint32_t view = deletion.kind == DeletionKind::RegistryKey64 ? kRegView64 : 0;
    system.deleteKey(root, subKey, false, view);
}

void removeRecordedFile(const FileDeletion& deletion, UninstallData& data,
                        const RemovalSettings& settings, RemovalSystem& system, Reporter& reporter,
                        RemovalOutcome& outcome) {
    String path = deletionPathWide(deletion);
    if (refuseProtectedPath(path, system.protectedFolders(), reporter)) return;
    if (!(settings.productFlags & kFlagsHideFileNames)) showStatusText(path);
    // Deleted at once; only a file that could not be deleted is looked up, since a file that is
    // not there any more is no failure.
    if (system.deleteFile(path)) {
        outcome.deletedFiles.add(path);
        return;
    }
    if (!system.fileExists(path)) return;
    String prefix;
    String text = data.text(kTextUndeletableFile);
    toNarrow(text.w_str(), text.wideLength(), prefix, kCodePageSystem, "?");
    reporter.error(format("%s %s\r\n", prefix.c_str(), deletion.path.c_str()));
    data.recordDeletion(deletion.path.c_str(), DeletionKind::File);
}

int32_t progressAfter(int32_t done, int32_t total) {
    int64_t span = kRemovalProgressLast - kRemovalProgressFirst;
    return kRemovalProgressFirst + static_cast<int32_t>(span * done / total);
}

// Removes folder and then each parent while the removal succeeds, at most limit folders. The
// climb ends at stop (never removed), and, with insideStop, at any folder not below it. A
// protected parent ends the climb without a report: only a recorded path is the record's
// fault.
void climbRemoving(const String& folder, const String& stop, bool insideStop, int32_t limit,
                   RemovalSystem& system) {
    String current = folder;
    for (int32_t level = 0; level < limit && !current.empty(); ++level) {
        if (samePath(current, stop)) return;
        if (insideStop && !isInside(current, stop)) return;
        if (protectedPathReason(current, system.protectedFolders())) return;
        if (!system.removeFolder(current)) return;
        current = parentFolder(current);
    }
}

// The text after "\HKAU\" (any case), or false for a key of one root.
bool allUsersKey(const String& key, String& rest) {
    rest = key;
    return rest.startsWithNoCase(u"\\HKAU\\", true);
}

String hiveKey(const String& hive, const String& subKey) {
    String key = hive;
    key.appendWide(u"\\");
    key.append(subKey);
    return key;
}

String joined(const String& prefix, const String& subKey) {
    String key = prefix;
    key.append(subKey);
    return key;
}

// The key above subKey, or false at the top component.
bool parentKey(String& key) {
    for (int32_t i = key.wideLength() - 1; i > 0; --i) {
        if (key.getWide(i) != u'\\') continue;
        key.setWideLength(i);
        return true;
    }
    return false;
}

void deleteKeyAndEmptyParents(RegistryRoot root, const String& prefix, const String& subKey,
                              uint32_t view, RemovalSystem& system) {
    system.deleteKey(root, joined(prefix, subKey), false, view);
    String key = subKey;
    for (int32_t level = 0; level < kMaxParentLevels && parentKey(key); ++level) {
        if (key.equalsNoCaseWide(u"Software")) return;
        if (!system.deleteKey(root, joined(prefix, key), true, view)) return;
    }
}

// The keys below Software that the system itself owns: a product key that names one of them
// (or, for Microsoft, its Windows keys) comes from a damaged record, and its whole tree would
// go with it.
bool isSystemSoftwareKey(const String& key) {
    static const char16_t* const kSystemKeys[] = {
        u"Microsoft",
        u"Classes",
        u"Policies",
        u"Wow6432Node",
        u"Clients",
        u"RegisteredApplications",
        u"Microsoft\\Windows",
        u"Microsoft\\Windows NT",
    };
    for (const char16_t* name : kSystemKeys)
        if (key.equalsNoCaseWide(name)) return true;
    String inside = key;
    return inside.startsWithNoCase(u"Microsoft\\Windows\\", true) ||
           inside.startsWithNoCase(u"Microsoft\\Windows NT\\", true);
}

int countBackslashes(const String& text) {
    int count = 0;
    for (int32_t i = 0; i < text.wideLength(); ++i) count += text.getWide(i) == u'\\';
    return count;
}

String fromUtf8(const String& field) {
    String wide;
    toWide(field.c_str(), field.length(), wide, kCodePageUtf8);
    return wide;
}

void removeTableKey(const String& key, uint32_t view, RemovalSystem& system) {
    if (countBackslashes(key) < 2) return;
    String rest;
    if (allUsersKey(key, rest)) {
        rest.removeBackWideChar(u'\\');
        if (rest.empty()) return;
        Vector<String> hives = system.userHives();
        for (int32_t i = 0; i < hives.count(); ++i)
            system.deleteKey(kHkeyUsers, hiveKey(hives[i], rest), true, view);
        return;
    }
    RegistryRoot root = splitRegistryRoot(key.w_str(), rest);
    rest.removeBackWideChar(u'\\');
    if (root == kRegistryNoRoot || rest.empty()) return;
    system.deleteKey(root, rest, true, view);
}

void refuseSystemValue(const String& key, const String& name, Reporter& reporter) {
    String path = key;
    path.removeBackWideChar(u'\\');
    path.appendWide(u"\\");
    path.append(name);
    reporter.error(format("Not removed: \"%s\" is a value of a system registry key.\r\n",
                          pathText(path).c_str()));
}

void removeTableValue(const String& key, const String& name, uint32_t view, RemovalSystem& system,
                      Reporter& reporter) {
    String rest;
    if (allUsersKey(key, rest)) {
        rest.removeBackWideChar(u'\\');
        if (isSystemValueKey(kHkeyCurrentUser, rest)) return refuseSystemValue(key, name, reporter);
        Vector<String> hives = system.userHives();
        for (int32_t i = 0; i < hives.count(); ++i)
            system.deleteValue(kHkeyUsers, hiveKey(hives[i], rest), name, view);
        return;
    }
    RegistryRoot root = splitRegistryRoot(key.w_str(), rest);
    rest.removeBackWideChar(u'\\');
    if (root == kRegistryNoRoot) return;
    if (isSystemValueKey(root, rest)) return refuseSystemValue(key, name, reporter);
    system.deleteValue(root, rest, name, view);
}

bool isValueDeletingAction(const String& field) {
    int32_t pos = 0;
    int32_t code = parseInt(field.c_str(), field.length(), pos);
    return pos == field.length() && (code == 2 || code == 3 || code == 5);
}

void removeTableRecord(const char* line, int32_t length, uint32_t view, RemovalSystem& system,
                       Reporter& reporter) {
    Vector<String> fields = csvSplit(line, length);
    if (fields.count() == 1) {
        removeTableKey(fromUtf8(fields[0]), view, system);
    } else if (fields.count() == 5 && isValueDeletingAction(fields[4])) {
        removeTableValue(fromUtf8(fields[0]), fromUtf8(fields[1]), view, system, reporter);
    }
}

}  // namespace

void removeRecordedItems(UninstallData& data, const RemovalSettings& settings,
                         RemovalSystem& system, Reporter& reporter, RemovalOutcome& outcome) {
    data.clearDeletions();
    setProgress(kRemovalProgressFirst);
    int32_t total = data.deletions.count();
    for (int32_t i = 0; i < total; ++i) {
        const FileDeletion& deletion = data.deletions[i];
        if (!deletion.path.empty()) {
            switch (deletion.kind) {
                case DeletionKind::Folder:
                    outcome.folders.append(deletion.path);
                    break;
                case DeletionKind::RegistryValue:
                case DeletionKind::RegistryKey:
                case DeletionKind::RegistryKey64:
                    removeRegistryEntry(deletion, system, reporter);
                    break;
                case DeletionKind::File:
                    removeRecordedFile(deletion, data, settings, system, reporter, outcome);
                    break;
            }
        }
        setProgress(progressAfter(i + 1, total));
    }
}

// Longest stored text first, so that a tree recorded top-down is removed from its leaves;
// folders of equal length keep their list order.
void removeRecordedFolders(const Vector<String>& folders, const RemovalSettings& settings,
                           RemovalSystem& system, Reporter& reporter) {
    std::vector<int32_t> order;
    for (int32_t i = 0; i < folders.count(); ++i) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return folders[a].length() > folders[b].length();
    });
    for (int32_t i : order) {
        FileDeletion stored{DeletionKind::Folder, folders[i]};
        String folder = deletionPathWide(stored);
        if (refuseProtectedPath(folder, system.protectedFolders(), reporter)) continue;
        if (!(settings.productFlags & kFlagsHideFileNames)) showStatusText(folder);
        climbRemoving(folder, settings.installDir, false, kMaxFolderClimb, system);
    }
}

void removeEmptyFolderTree(const String& folder, const String& top, RemovalSystem& system,
                           Reporter& reporter) {
    if (!isInside(folder, top)) return;
    if (refuseProtectedPath(folder, system.protectedFolders(), reporter)) return;
    climbRemoving(folder, top, true, kMaxParentLevels, system);
}

void removeProductRegistry(const String& productKey, uint32_t view, RemovalSystem& system,
                           Reporter& reporter) {
    String key = productKey;
    key.trimWide(u"\\ ");
    if (key.empty()) return;
    String subKey(u"Software\\");
    subKey.append(key);
    if (isSystemSoftwareKey(key) || isSystemKeyTree(kHkeyLocalMachine, subKey)) {
        reporter.error(format("Not removed: \"Software\\%s\" is a key of the system.\r\n",
                              pathText(key).c_str()));
        return;
    }
    deleteKeyAndEmptyParents(kHkeyLocalMachine, String(), subKey, view, system);
    Vector<String> hives = system.userHives();
    for (int32_t i = 0; i < hives.count(); ++i)
        deleteKeyAndEmptyParents(kHkeyUsers, hiveKey(hives[i], String()), subKey, view, system);
}

void removeRegistryTable(const String& table, uint32_t view, RemovalSystem& system,
                         Reporter& reporter) {
    const char* text = table.c_str();
    int32_t length = table.length();
    int32_t start = 0;
    while (start < length) {
        // A quoted field may hold line breaks (a multi-line value's data): a record ends at the
        // first line break outside quotes.
        int32_t end = start;
        bool quoted = false;
        for (; end < length; ++end) {
            if (text[end] == '"') quoted = !quoted;
            if (!quoted && (text[end] == '\r' || text[end] == '\n')) break;
        }
        if (end > start) removeTableRecord(text + start, end - start, view, system, reporter);
        start = end + 1;
    }
}

}  // namespace tessarin
