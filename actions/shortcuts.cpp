#include "actions/shortcuts.h"

#include "core/convert.h"
#include "core/path.h"
#include "core/shell_link.h"
#include "services/install_log.h"
#include "services/progress.h"
#include "services/uninstall_data.h"

namespace tessarin {

namespace {

String wideOf(const String& path8) {
    String wide;
    pathToWide(path8.c_str(), path8.length(), wide);
    return wide;
}

// The script's 8-bit texts are in the system code page.
String wideOfAnsi(const String& text) {
    String wide;
    toWide(text.c_str(), text.length(), wide);
    return wide;
}

String narrowOf(const String& wide) {
    String narrow;
    toNarrow(wide.w_str(), wide.wideLength(), narrow, kCodePageSystem, "?");
    return narrow;
}

}  // namespace

void appendScriptShortcuts(const InstallScript& script, Vector<ShortcutRecord>& list) {
    for (const ScriptShortcut& s : script.Shortcuts) {
        ShortcutRecord r;
        r.target = s.Target;
        r.name = s.Name;
        r.icon = s.Icon;
        r.arguments = wideOfAnsi(s.Arguments);
        r.workingFolder = s.WorkingFolder;
        r.desktop = s.Desktop != 0;
        r.startMenu = s.StartMenu != 0;
        r.startup = s.Startup != 0;
        r.folder = s.Folder;
        r.windowState = s.WindowState;
        r.permanent = s.Permanent != 0;
        r.expandTarget = true;
        list.append(r);
    }
}

void appendUninstallerShortcuts(const UninstallerShortcuts& request, Vector<ShortcutRecord>& list) {
    ShortcutRecord base;
    base.quiet = true;
    base.target = pathText(request.uninstaller);
    String arguments(u"/u:\"");
    arguments.append(request.keyName);
    arguments.appendWide(u"\"");
    // UTF-16 to the link: a key name outside the system's code page still names the product.
    base.arguments = arguments;
    base.name = request.name;
    base.icon = request.icon;
    uint64_t flags = request.productFlags;
    if (flags & kFlagsUninstallerStartMenu) {
        ShortcutRecord r = base;
        r.startMenu = true;
        list.append(r);
    }
    if (flags & kFlagsUninstallerDesktop) {
        ShortcutRecord r = base;
        r.desktop = true;
        list.append(r);
    }
    if (flags & kFlagsUninstallerInFolder) {
        ShortcutRecord r = base;
        r.folder = pathText(request.uninstallDir);
        list.append(r);
    }
    if (flags & kFlagsLogStartMenu) {
        ShortcutRecord r;
        r.startMenu = true;
        r.target = pathText(request.logFile);
        r.name = request.logName;
        list.append(r);
    }
}

bool shortcutListRuns(bool portable, uint32_t productFlags2) {
    return !(portable && (productFlags2 & kFlags2NoPortableShortcuts));
}

bool taskbarPinAllowed(uint32_t major, uint32_t minor, bool portable) {
    return !portable && major == 6 && minor >= 1;
}

namespace {

String trimmed(const String& wide) {
    String t = wide;
    t.trimWide();
    return t;
}

// "~\"target\" rest": the quoted path becomes the target, the rest the arguments.
bool takeQuotedTarget(String& arguments, String& target) {
    if (!arguments.startsWithWide(u"~\"")) return false;
    String rest;
    arguments.substringWide(rest, 2, kWholeLength);
    int32_t end = 0;
    while (end < rest.wideLength() && rest.getWide(end) != u'"') ++end;
    rest.substringWide(target, 0, end);
    target = trimmed(target);
    String after;
    rest.substringWide(after, end < rest.wideLength() ? end + 1 : end, kWholeLength);
    arguments = trimmed(after);
    return true;
}

String defaultName(const String& text, const String& target) {
    String name = text;
    String file = fileName(target);
    if (name.replaceAllWide(u"%s", file.w_str(), 0, 1) == 0) name.append(file);
    return name;
}

}  // namespace

PreparedShortcut prepareShortcut(const ShortcutRecord& record, const ShortcutSettings& settings,
                                 ShortcutSystem& system) {
    PreparedShortcut p;
    p.target = wideOf(record.target);
    String arguments = record.arguments;
    system.expand(arguments);
    bool targetFromArguments = takeQuotedTarget(arguments, p.target);
    p.arguments = arguments;

    if (!record.icon.empty()) {
        // "%SystemDir%\shell32.dll" and the like are expanded first: only an icon that is
        // still relative then lies in the uninstall folder.
        p.icon = wideOf(record.icon);
        system.expand(p.icon);
        if (!isAbsolutePath(p.icon)) p.icon = joinPath(settings.uninstallDir, p.icon);
    }
    p.workingFolder = wideOf(record.workingFolder);
    system.expand(p.workingFolder);
    if (p.workingFolder.empty() || !system.folderExists(p.workingFolder))
        p.workingFolder = settings.installDir;

    if (record.expandTarget && !targetFromArguments) system.expand(p.target);
    bool hasColon = false;
    for (int32_t i = 0; i < p.target.wideLength(); ++i) hasColon |= p.target.getWide(i) == u':';
    if (!hasColon) p.target = joinPath(settings.installDir, p.target);

    p.name = trimmed(record.name);
    if (p.name.empty()) p.name = defaultName(settings.defaultNameText, p.target);

    if (settings.allUsers) p.options |= kShortcutAllUsers;
    if (record.windowState == 1) p.options |= kShortcutMinimized;
    if (record.windowState == 2) p.options |= kShortcutMaximized;
    return p;
}

namespace {

bool hasBackslash(const String& name) {
    for (int32_t i = 0; i < name.wideLength(); ++i)
        if (name.getWide(i) == u'\\') return true;
    return false;
}

class LinkMaker {
  public:
    LinkMaker(const ShortcutSettings& settings, ShortcutSystem& system)
        : settings_(settings), system_(system) {}

    void make(const ShortcutRecord& record) {
        PreparedShortcut p = prepareShortcut(record, settings_, system_);
        record_ = &record;
        prepared_ = &p;
        bool subfolder = hasBackslash(p.name);
        if (record.desktop) desktop(subfolder);
        if (record.startMenu) startMenu(subfolder);
        if (record.startup) startup();
        if (!record.folder.empty()) plain();
    }

  private:
    void desktop(bool subfolder) {
        if (!settings_.desktopShortcuts.empty()) {
            desktopFolderLink(subfolder);
            return;
        }
        const PreparedShortcut& p = *prepared_;
        status(p.name);
        String path;
        if (!system_.createDesktopLink(p.name, p.target, p.arguments, p.workingFolder, p.icon,
                                       p.options, path)) {
            failed(p.name);
            return;
        }
        if (settings_.productFlags & kFlagsLogEveryItem)
            logFormatWide(u"Desktop Shortcut(%s) >>> %s\r\n", p.name.w_str(), path.w_str());
        record(path, subfolder);
    }

    void desktopFolderLink(bool subfolder) {
        const PreparedShortcut& p = *prepared_;
        prepareDesktopFolder();
        String link = joinPath(settings_.desktopShortcuts, p.name);
        String path;
        if (!linkAt(link, path)) return;
        if (settings_.productFlags & kFlagsLogEveryItem)
            logFormatWide(u"Desktop Folder Shortcut(%s) >>> %s\r\n", p.name.w_str(), path.w_str());
        record(path, subfolder);
    }

    // Once, before the first link goes into it: the folder, recorded with its "Desktop.ini",
    // and its icon when the script carries one.
    void prepareDesktopFolder() {
        if (desktopFolderReady_) return;
        desktopFolderReady_ = true;
        const String& folder = settings_.desktopShortcuts;
        if (!system_.createFolder(folder)) {
            String reason = system_.lastErrorText();
            appendErrorFormat("Failed to create directory %s: %s\r\n\r\n", narrowOf(folder).c_str(),
                              reason.c_str());
        }
        UninstallData& data = uninstallData();
        data.recordDeletionWide(joinPath(folder, String(u"Desktop.ini")), DeletionKind::File);
        data.recordDeletionWide(folder, DeletionKind::Folder);
        if (!settings_.desktopFolderIcon) return;
        String icon = joinPath(settings_.uninstallDir, String(kDesktopFolderIconName));
        if (!system_.writeDesktopFolderIcon(icon)) {
            appendErrorFormat("Failed to create Desktop shortcut folder icon \"%s\"\r\n",
                              narrowOf(icon).c_str());
            return;
        }
        system_.setFolderIcon(folder, icon);
        data.recordDeletionWide(icon, DeletionKind::File);
    }

    void startMenu(bool subfolder) {
        const PreparedShortcut& p = *prepared_;
        String name = settings_.productStartMenu;
        name.appendWide(u"\\");
        name.append(p.name);
        status(name);
        String path;
        if (!system_.createProgramsMenuLink(name, p.target, p.arguments, p.workingFolder, p.icon,
                                            p.options, path)) {
            failed(name);
            return;
        }
        logFormatWide(u"Start Menu Shortcut(%s) >>> %s\r\n", p.name.w_str(), path.w_str());
        record(path, subfolder);
    }

    void startup() {
        const PreparedShortcut& p = *prepared_;
        String link = joinPath(system_.startupFolder(settings_.allUsers), p.name);
        String path;
        if (!linkAt(link, path)) return;
        logFormatWide(u"Startup Shortcut(%s) >>> %s\r\n", p.name.w_str(), path.w_str());
        record(path, false);
    }

    void plain() {
        const PreparedShortcut& p = *prepared_;
        String folder = wideOf(record_->folder);
        system_.expand(folder);
        String link = joinPath(folder, p.name);
        String path;
        if (!linkAt(link, path)) return;
        logFormatWide(u"Shortcut(%s) >>> %s\r\n", p.name.w_str(), path.w_str());
        record(path, true);
    }

    // The link at a path of its own (".lnk" is added): the status line shows it, a failure is
    // reported. False when it was not made.
    bool linkAt(const String& link, String& path) {
        const PreparedShortcut& p = *prepared_;
        status(link);
        if (system_.createLink(link, p.target, p.arguments, p.workingFolder, p.icon, p.options,
                               path))
            return true;
        failed(link);
        return false;
    }

    void status(const String& link) {
        if (settings_.productFlags & kFlagsHideFileNames) return;
        String shown = link;
        shown.appendWide(u".lnk");
        system_.showStatus(shown);
    }

    void record(const String& path, bool withFolder) {
        if (record_->permanent) return;
        uninstallData().recordDeletionWide(path, DeletionKind::File);
        if (withFolder)
            uninstallData().recordDeletionWide(parentFolder(path), DeletionKind::Folder);
    }

    void failed(const String& link) {
        if (record_->quiet) return;
        String line = settings_.failureText;
        line.appendChar(' ');
        line.append(narrowOf(link));
        line.append("\r\n");
        line.append(system_.lastErrorText());
        line.append("\r\n\r\n");
        appendError(line.c_str(), line.length());
    }

    const ShortcutSettings& settings_;
    ShortcutSystem& system_;
    const ShortcutRecord* record_ = nullptr;
    const PreparedShortcut* prepared_ = nullptr;
    bool desktopFolderReady_ = false;
};

}  // namespace

void createShortcutLinks(const Vector<ShortcutRecord>& list, const ShortcutSettings& settings,
                         ShortcutSystem& system) {
    if (list.empty()) return;
    if (settings.productFlags & kFlagsLogEveryItem) logText8("\r\n");
    LinkMaker maker(settings, system);
    for (const ShortcutRecord& record : list) maker.make(record);
}

String rootShortcutPath(const String& installDir, const String& name) {
    String link;
    link.appendWideChar(installDir.empty() ? u'C' : installDir.getWide(0));
    link.appendWide(u":\\");
    link.append(name);
    link.appendWide(u".lnk");
    return link;
}

namespace {

// Splits after a leading quoted token; false when the text does not begin with a quote.
bool splitQuoted(const String& text, String& program, String& arguments) {
    if (text.empty() || text.getWide(0) != u'"') return false;
    int32_t end = 1;
    while (end < text.wideLength() && text.getWide(end) != u'"') ++end;
    text.substringWide(program, 1, end - 1);
    String rest;
    text.substringWide(rest, end < text.wideLength() ? end + 1 : end, kWholeLength);
    arguments = trimmed(rest);
    return true;
}

}  // namespace

void splitFirstToken(const String& command, String& program, String& arguments) {
    String text = trimmed(command);
    if (splitQuoted(text, program, arguments)) return;
    int32_t end = 0;
    while (end < text.wideLength() && text.getWide(end) != u' ') ++end;
    text.substringWide(program, 0, end);
    String rest;
    text.substringWide(rest, end, kWholeLength);
    arguments = trimmed(rest);
}

void splitPinCommand(const String& command, String& program, String& arguments) {
    if (splitQuoted(command, program, arguments)) return;
    program = command;
    arguments = String();
}

String pinnedLinkPath(const String& appData, const String& pinName) {
    String path = joinPath(appData, String(u"Microsoft\\Internet Explorer\\Quick Launch\\User "
                                           u"Pinned\\TaskBar"));
    path = joinPath(path, pinName);
    path.appendWide(u".lnk");
    return path;
}

Vector<ShortcutRecord>& shortcutList() {
    static Vector<ShortcutRecord> list;
    return list;
}

}  // namespace tessarin
