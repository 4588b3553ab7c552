#include "actions/file_installation.h"

#include "core/convert.h"
#include "core/format.h"
#include "core/path.h"
#include "core/platform_text.h"
#include "core/version.h"
#include "services/progress.h"

namespace tessarin {

namespace {

bool hasDateCheck(int32_t kind) {
    return kind == kFileKindShared || kind == kFileKindFont;
}

bool hasVersionCheck(int32_t kind) {
    return kind >= kFileKindSystem && kind <= kFileKindVersioned;
}

FileDecision logged(const char* message, bool recordRefused = false) {
    FileDecision d;
    d.message.assign(message);
    d.recordRefused = recordRefused;
    return d;
}

FileDateTime recordDate(const FileRecord& record) {
    return FileDateTime::read(record.date);
}

// Kinds 1 and 4: the existing file stays unless it is older; an unset or unreadable date
// makes it out of date.
FileDecision decideByDate(const FileRecord& record, const String& target, bool portable,
                          ExistingFiles& files) {
    FileDateTime ours = recordDate(record);
    FileDateTime theirs;
    bool outOfDate = ours.isUnset() || !files.timeStamp(target, theirs) || theirs.isUnset() ||
                     compareFileDates(theirs, ours) < 0;
    if (!outOfDate) {
        bool keep =
            portable && record.kind == kFileKindShared && !(record.options & kFileOptionPermanent);
        return logged(" is up to date.\r\n", keep);
    }
    FileDecision d;
    d.install = true;
    d.foundExisting = true;
    d.message.assign(" is out of date and will be replaced.\r\n");
    return d;
}

// Kinds 6 to 9: a newer version is not enough, the date must be newer too; either refusal
// stops the record.
FileDecision decideByVersionAndDate(const FileRecord& record, const String& target,
                                    ExistingFiles& files) {
    bool recordRefused =
        record.kind == kFileKindVersioned && !(record.options & kFileOptionPermanent);
    String reasons;
    if (!record.label.empty()) {
        String existing = files.versionText(target);
        if (!existing.empty()) {
            if (compareVersions(record.label.c_str(), existing.c_str()) <= 0) {
                FileDecision d;
                d.recordRefused = recordRefused;
                formatAssign(d.message,
                             " was not installed because its version (%s) is not newer than %s\r\n",
                             record.label.c_str(), existing.c_str());
                return d;
            }
            formatAssign(reasons, "its version (%s) is newer than %s", record.label.c_str(),
                         existing.c_str());
        }
    }
    FileDateTime ours = recordDate(record);
    FileDateTime theirs;
    if (files.timeStamp(target, theirs)) {
        String oursText = fileDateText(ours);
        String theirsText = fileDateText(theirs);
        bool later = !ours.isUnset() && (theirs.isUnset() || compareFileDates(ours, theirs) > 0);
        if (!later) {
            FileDecision d;
            d.recordRefused = recordRefused;
            formatAssign(d.message,
                         " was not installed because its date (%s) is not newer than %s.\r\n",
                         oursText.c_str(), theirsText.c_str());
            return d;
        }
        if (!reasons.empty()) reasons.append(" and ");
        formatAppend(reasons, "its date (%s) is newer than %s", oursText.c_str(),
                     theirsText.c_str());
    }
    FileDecision d;
    d.install = true;
    d.foundExisting = true;
    if (reasons.empty()) {
        d.message.assign(" is out of date and will be replaced.\r\n");
    } else {
        d.message.assign(" needs replacement because ");
        d.message.append(reasons);
        d.message.append("\r\n");
    }
    return d;
}

}  // namespace

bool isKnownFileKind(int32_t kind) {
    return kind == kFileKindProgram || kind == kFileKindShared ||
           (kind >= kFileKindFont && kind <= kFileKindApplet);
}

int32_t overwriteMode(int32_t options) {
    return (options & kFileOptionOverwriteMask) >> 2;
}

bool isCountedRecord(int32_t kind, int32_t options, bool portable) {
    if (options & kFileOptionPermanent) return false;
    switch (kind) {
        case kFileKindProgram:
        case kFileKindStartup:
        case kFileKindVersioned:
        case kFileKindDriver:
        case kFileKindMsi:
        case kFileKindApplet:
            return true;
        case kFileKindShared:
            return portable;
        default:
            return false;
    }
}

int compareFileDates(const FileDateTime& a, const FileDateTime& b) {
    const int32_t left[] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
    const int32_t right[] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
    for (int i = 0; i < 6; ++i) {
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    }
    return 0;
}

String fileDateText(const FileDateTime& date) {
    if (date.isUnset()) return String("no date");
    return DateTime::fromRecord(date).format(nullptr);
}

int32_t fileProgress(int32_t index, int32_t count) {
    if (count <= 0) return 28;
    return static_cast<int32_t>(int64_t{index} * 62 / count + 28);
}

bool fileNameHidden(const FileRecord& record, uint64_t productFlags) {
    return (productFlags & kFlagsHideFileNames) != 0 || record.name == String(kHiddenFileName);
}

bool fileShortcutRecord(const FileRecord& record, const String& target, ShortcutRecord& shortcut) {
    bool bits = (record.options & (kFileOptionDesktopShortcut | kFileOptionStartMenuShortcut)) != 0;
    if (!(record.kind == kFileKindStartup || (record.kind == kFileKindProgram && bits))) {
        return false;
    }
    shortcut = ShortcutRecord();
    shortcut.desktop = (record.options & kFileOptionDesktopShortcut) != 0;
    shortcut.startMenu = (record.options & kFileOptionStartMenuShortcut) != 0;
    shortcut.startup = record.kind == kFileKindStartup;
    shortcut.permanent = (record.options & kFileOptionPermanent) != 0;
    shortcut.target = pathText(target);
    // A label that is not UTF-8 is taken as it stands rather than dropped.
    if (!toWide(record.label.c_str(), record.label.length(), shortcut.name, kCodePageUtf8)) {
        toWide(record.label.c_str(), record.label.length(), shortcut.name);
    }
    shortcut.icon = record.shortcutIcon;
    toWide(record.arguments.c_str(), record.arguments.length(), shortcut.arguments);
    shortcut.workingFolder = record.auxiliary;
    return true;
}

String fontListEntry(const String& displayName, const String& fileName8) {
    String entry("\"");
    entry.append(displayName);
    entry.append("\" \"");
    entry.append(fileName8);
    entry.append("\" ");
    return entry;
}

namespace {

// The quoted texts of a ProductFonts text, in order: display name, file name, display name, ...
Vector<String> quotedTexts(const String& list) {
    Vector<String> texts;
    const char* p = list.c_str();
    int32_t start = -1;
    for (int32_t i = 0; i < list.length(); ++i) {
        if (p[i] != '"') continue;
        if (start < 0) {
            start = i + 1;
        } else {
            texts.append(String(p + start, i - start));
            start = -1;
        }
    }
    return texts;
}

bool listsFontFile(const Vector<String>& texts, const String& fileName) {
    for (int32_t i = 1; i < texts.count(); i += 2)
        if (texts[i].length() == fileName.length() &&
            compareNoCaseAscii(texts[i].c_str(), fileName.c_str(),
                               static_cast<size_t>(fileName.length())) == 0)
            return true;
    return false;
}

}  // namespace

String carriedFontList(const String& current, const String& previous,
                       const std::function<bool(const String& fileName8)>& present) {
    String list = current;
    Vector<String> listed = quotedTexts(current);
    const Vector<String> earlier = quotedTexts(previous);
    for (int32_t i = 0; i + 1 < earlier.count(); i += 2) {
        const String& fileName = earlier[i + 1];
        if (fileName.empty() || listsFontFile(listed, fileName) || !present(fileName)) continue;
        list.append(fontListEntry(earlier[i], fileName));
        listed.append(earlier[i]);
        listed.append(fileName);
    }
    return list;
}

String fontStatusText(const String& message77, const String& fileName) {
    String text = message77;
    text.replaceAllWide(u"<file>", fileName.w_str());
    return text;
}

FileDecision decideFile(const FileRecord& record, const String& target, bool portable,
                        ExistingFiles& files) {
    bool counted = isCountedRecord(record.kind, record.options, portable);
    switch (overwriteMode(record.options)) {
        case 1:
        case 5:
            return FileDecision();
        case 2:
            if (!files.exists(target)) {
                return logged(" was not installed because it does not already exist.\r\n");
            }
            break;
        case 3:
            if (files.exists(target)) {
                return logged(" was not installed because it already exists.\r\n", counted);
            }
            break;
        case 4: {
            FileDateTime ours = recordDate(record);
            FileDateTime theirs;
            if (files.timeStamp(target, theirs) && !ours.isUnset() && !theirs.isUnset() &&
                compareFileDates(theirs, ours) > 0) {
                return logged(" was not installed because the existing file is newer.\r\n",
                              counted);
            }
            break;
        }
        default:
            break;
    }
    bool checked = hasDateCheck(record.kind) || hasVersionCheck(record.kind);
    if (!checked || !files.exists(target)) {
        FileDecision d;
        d.install = true;
        return d;
    }
    return hasDateCheck(record.kind) ? decideByDate(record, target, portable, files)
                                     : decideByVersionAndDate(record, target, files);
}

namespace {

String baseFolder(int32_t kind, const FileFolders& folders) {
    switch (kind) {
        case kFileKindShared:
            return folders.sharedDir;
        case kFileKindFont:
            return folders.fontsDir;
        case kFileKindSystem:
        case kFileKindCom:
        case kFileKindTypeLib:
            return folders.systemDir;
        default:
            return folders.installDir;
    }
}

bool hasBackslash(const String& path) {
    for (int32_t i = 0; i < path.wideLength(); ++i) {
        if (path.getWide(i) == u'\\') return true;
    }
    return false;
}

// A portable installation keeps shared files below SharedDir: only a plain relative path is
// taken from TargetPath there.
bool portableTargetUsable(const String& targetPath) {
    return hasBackslash(targetPath) && !isAbsolutePath(targetPath) &&
           targetPath.getWide(0) != u'%' && targetPath.getWide(0) != u'\\';
}

}  // namespace

FileTarget resolveFileTarget(const FileRecord& record, const FileFolders& folders,
                             void (*expand)(String& text)) {
    FileTarget target;
    pathToWide(record.name.c_str(), record.name.length(), target.workingName);
    String given = record.targetPath;
    if (!given.empty() && record.kind == kFileKindShared && folders.portable &&
        !portableTargetUsable(given)) {
        given = String();
    }
    if (!given.empty()) {
        if (!hasBackslash(given)) target.workingName = given;
        if (expand) expand(given);
        given.removeFrontWideChar(u'\\');
        if (!isAbsolutePath(given)) {
            given = joinPath(
                record.kind == kFileKindShared ? folders.sharedDir : folders.installDir, given);
        }
        if (given.wideLength() > 0 && given.getWide(given.wideLength() - 1) == u'\\') {
            given.append(fileName(target.workingName));
        }
        target.path = given;
        target.createFolder = true;
    } else if (record.options & kFileOptionUninstallDir) {
        target.path = joinPath(folders.uninstallDir, target.workingName);
    } else {
        target.path = joinPath(baseFolder(record.kind, folders), target.workingName);
        target.createFolder =
            baseFolder(record.kind, folders).equalsWide(folders.installDir.w_str()) &&
            record.kind != kFileKindShared;
    }
    return target;
}

bool BytesFileData::next(const uint8_t*& piece, size_t& size) {
    piece = bytes_.bytes();
    size = given_ ? 0 : static_cast<size_t>(bytes_.length());
    given_ = true;
    return true;
}

bool BytesFileData::rewind() {
    given_ = false;
    return true;
}

FileInstallationState& fileInstallationState() {
    static FileInstallationState state;
    return state;
}

}  // namespace tessarin
