#include <windows.h>

#include "actions/file_installation.h"
#include "actions/pre_install.h"
#include "actions/rollback.h"
#include "actions/shared_files.h"
#include "actions/shortcuts.h"
#include "actions/uninstall_registration.h"
#include "core/convert.h"
#include "core/crash_guard.h"
#include "core/date_time.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/icon_replacement.h"
#include "core/path.h"
#include "core/process.h"
#include "core/registry.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "package/payload.h"
#include "package/payload_format.h"
#include "services/install_log.h"
#include "services/log_reports.h"
#include "services/setup_state.h"
#include "services/uninstall_data.h"

namespace tessarin {

namespace {

String errorText8(DWORD error) {
    String text = systemErrorText8(error);
    text.trim();
    return text;
}

// ---- The uninstaller file ------------------------------------------------------------------

struct IconJob {
    const String* executable;
    const String* icon;
    Reporter* reporter;
};

void replaceUninstallerIcon(void* context) {
    IconJob& job = *static_cast<IconJob*>(context);
    bool opened = false;
    if (replaceExecutableIcon(*job.executable, *job.icon, opened)) return;
    job.reporter->log(String(opened ? u"Failed to replace uninstaller icon.\r\n"
                                    : u"Failed to open uninstaller for icon replacement.\r\n"));
}

bool stampScriptDate(const String& path, const FileDateTime& date) {
    uint64_t time = 0;
    if (date.isUnset() || !recordToFileTime(date, time)) return false;
    File file;
    return file.open(path.w_str(), kFileOpenExisting | kFileNoRead) == kFileOk &&
           file.setLastWriteTime(time);
}

// A temporary file in the uninstaller's folder; the failure line names the uninstaller.
String temporaryBeside(const String& target, Reporter& reporter) {
    String temp = temporaryFileName(parentFolder(target));
    if (temp.empty())
        reporter.error(
            format("Failed to register '%s' for replacement because no temporary file "
                   "could be created.\r\n%s\r\n\r\n",
                   pathText(target).c_str(), errorText8(GetLastError()).c_str()));
    return temp;
}

// Moves the finished temporary file onto the uninstaller, at the next restart when the
// uninstaller is in use. True when a restart is needed.
bool moveIntoPlace(const String& temp, const String& target, Reporter& reporter) {
    if (moveFile(temp, target)) return false;
    if (moveFile(temp, target, kMoveAtReboot)) {
        reporter.log(
            formatWide(u"\"%s\" was successfully registered for replacement.\r\n"
                       u"Temporary file is \"%s\"\r\nReboot will be required.\r\n\r\n",
                       target.w_str(), temp.w_str()));
        return true;
    }
    DWORD error = GetLastError();
    reporter.error(
        format("Failed to register '%s' for replacement with temporary file '%s'\r\n"
               "%s\r\n\r\n",
               pathText(target).c_str(), pathText(temp).c_str(), errorText8(error).c_str()));
    deleteFile(temp);
    return false;
}

// The prepared image is written to a temporary name beside the uninstaller, given its icon and
// time stamp there, and only then moved into place: a failed write never leaves a partial
// uninstaller, and a replacement at the restart carries the icon too.
bool writeUninstallerImage(const InstallScript& script, const String& image, const String& target,
                           Reporter& reporter) {
    String temp = temporaryBeside(target, reporter);
    if (temp.empty()) return false;
    if (writeFile(temp, image.c_str(), image.length()) != kFileOk) {
        reporter.error(format("Failed to write the uninstaller '%s'.\r\n%s\r\n\r\n",
                              pathText(target).c_str(), errorText8(GetLastError()).c_str()));
        deleteFile(temp);
        return false;
    }
    if (!script.UninstallIcon.empty()) {
        IconJob job{&temp, &script.UninstallIcon, &reporter};
        runGuarded(replaceUninstallerIcon, &job);
    }
    stampScriptDate(temp, script.ScriptDate);
    return moveIntoPlace(temp, target, reporter);
}

bool copyInstaller(const String& installer, const String& target, Reporter& reporter) {
    if (copyFile(installer, target)) return false;
    String temp = temporaryBeside(target, reporter);
    if (temp.empty()) return false;
    clearFileAttributes(temp);
    if (!copyFile(installer, temp)) {
        DWORD error = GetLastError();
        deleteFile(temp);
        reporter.error(
            format("Failed to register '%s' for replacement because no temporary file "
                   "could be created.\r\n%s\r\n\r\n",
                   pathText(target).c_str(), errorText8(error).c_str()));
        return false;
    }
    return moveIntoPlace(temp, target, reporter);
}

// ---- The uninstall key ---------------------------------------------------------------------

bool writeOne(RegistryKey& key, const char* name, const UninstallValue& v) {
    if (v.remove) return key.deleteValue(name) != kRegDeleteFailed;
    switch (v.kind) {
        case UninstallValueKind::Wide:
        case UninstallValueKind::ProductIcon:
            return key.writeText(name, v.text, kRegConvertName);
        case UninstallValueKind::Expandable:
            return key.writeText(name, v.text, kRegConvertName | kRegExpandable);
        case UninstallValueKind::Narrow:
            return key.writeText(name, v.text);
        case UninstallValueKind::Real:
            return key.writeReal(name, v.real);
        case UninstallValueKind::Number:
            return key.writeNumber(name, v.number);
        case UninstallValueKind::BadType:
            break;
    }
    return false;
}

// A script value whose name holds a backslash goes to the key named before it: below a root it
// names, or else below the uninstall key.
bool writeScriptValue(RegistryKey& key, const UninstallValue& v) {
    String keyPath, valueName;
    splitRegistryValue(v.name.c_str(), keyPath, valueName);
    if (keyPath.empty()) return writeOne(key, v.name.c_str(), v);
    String rest;
    String wideKey;
    toWide(keyPath.c_str(), keyPath.length(), wideKey);
    RegistryRoot root = splitRegistryRoot(wideKey.w_str(), rest);
    int opened = root != kRegistryNoRoot
                     ? key.open(root, rest.w_str(), 0, kRegAccessWriteValues)
                     : key.openRelative(wideKey.w_str(), 0, kRegAccessWriteValues);
    if (opened == kRegOpenFailed) return false;
    bool written = writeOne(key, valueName.c_str(), v);
    DWORD error = GetLastError();
    key.close();
    SetLastError(error);
    return written;
}

void writeValues(RegistryKey& key, const std::vector<UninstallValue>& values,
                 const InstallScript& script, Reporter& reporter, String& firstError) {
    for (const UninstallValue& v : values) {
        if (v.kind == UninstallValueKind::BadType) raiseCorruption(kCodeBadUninstallValueType);
        if (v.fromScript) {
            if (!writeScriptValue(key, v))
                reporter.error(format("Failed to save data in registry key \"%s\": %s\r\n",
                                      v.name.c_str(), errorText8(GetLastError()).c_str()));
            continue;
        }
        if (v.kind == UninstallValueKind::ProductIcon) {
            const bool existed = fileExists(v.text);
            if (writeFile(v.text, script.ProductIcon.c_str(), script.ProductIcon.length()) !=
                kFileOk)
                continue;
            uninstallData().recordDeletionWide(v.text, DeletionKind::File);
            if (existed) installRollback().kept.add(v.text);
        }
        if (!writeOne(key, v.name.c_str(), v) && &v == &values.front())
            firstError = errorText8(GetLastError());
    }
}

bool readsBack(RegistryKey& key, const String& expected) {
    RegistryValue value;
    return key.read(u"UninstallString", value) && value.type == kRegTypeSz &&
           value.text == expected;
}

// The value is written in the form and the view the next installation reads it in: "HKLM\..."
// (or "\HKLM\...") in the 32-bit view. A key it makes gets the system's default security, so
// that no ordinary user can point the next installation elsewhere.
void rememberInstallFolder(const InstallScript& script) {
    if (script.PreviousInstallKey.empty()) return;
    String path;
    toWide(script.PreviousInstallKey.c_str(), script.PreviousInstallKey.length(), path);
    if (path.getWide(0) != u'\\') path.prependWide(u"\\");
    RegistryKey key;
    key.writeTextByPath(path.w_str(), script.InstallDir, kRegNoSecurity, kRegView32);
}

}  // namespace

bool InstallUninstaller(const InstallScript& script, const RegistrationFacts& facts,
                        Reporter& reporter) {
    const String target = uninstallerPath(script);
    if ((script.ProductFlags2 & kFlags2CutSetupSection) && facts.uninstallerImage &&
        !facts.uninstallerImage->empty())
        return writeUninstallerImage(script, *facts.uninstallerImage, target, reporter);
    return copyInstaller(facts.installerPath, target, reporter);
}

bool RegisterUninstallEntry(const InstallScript& script, const RegistrationFacts& facts,
                            Reporter& reporter) {
    String firstError;
    bool registered = false;
    {
        RegistryKey key;
        const String path = uninstallKeyPath(script);
        const int opened = key.open(kHkeyLocalMachine, path.w_str(), kRegNoSecurity,
                                    kRegAccessWriteValues | kRegView32);
        if (opened == kRegOpenFailed) {
            firstError = errorText8(GetLastError());
        } else {
            InstallRollback& rollback = installRollback();
            rollback.entryCreated = opened == kRegCreated;
            rollback.entryWritten = true;
            writeValues(key, uninstallKeyValues(script, facts, systemPathVariableValues()), script,
                        reporter, firstError);
            registered = readsBack(key, uninstallString(script));
        }
    }
    rememberInstallFolder(script);
    if (registered) return true;
    if (!firstError.empty()) reporter.error(format("System error: %s\r\n", firstError.c_str()));
    reporter.error(
        String("Unable to save the uninstall information to the registry.  Uninstall "
               "will not work properly.\r\n\r\n"));
    return false;
}

void AddUninstallerShortcuts() {
    const InstallScript& script = installScript();
    UninstallerShortcuts request;
    request.productFlags = script.ProductFlags;
    request.uninstaller = uninstallerPath(script);
    request.keyName = script.UninstallKeyName;
    request.name = Message(kMessageUninstallShortcut);
    request.icon = installUninstallerIcon();
    request.uninstallDir = script.UninstallDir;
    request.logFile = installLogPath(script.UninstallDir);
    request.logName = Message(kMessageLogShortcut);
    appendUninstallerShortcuts(request, shortcutList());
}

void RegisterUninstaller() {
    const InstallScript& script = installScript();
    InstallLogReporter reporter;
    // Without a file name the uninstaller's path would be the folder itself.
    if (script.UninstallerName.empty()) {
        reporter.error(
            String("The install script names no uninstaller file: the uninstaller "
                   "was not placed and the product not registered.\r\n\r\n"));
        return;
    }
    RegistrationFacts facts;
    facts.installerPath = currentModulePath();
    String image = UninstallerImage(setupPayload());
    facts.uninstallerImage = &image;
    facts.fontList = fileInstallationState().fontList;
    // A reinstallation, upgrade or downgrade: fonts an earlier installation registered stay
    // listed while their files are there.
    if (preInstallState().replacingInstallation)
        facts.fontList = carriedFontList(
            facts.fontList, preInstallState().previousFonts, [](const String& fileName8) {
                String file;
                pathToWide(fileName8.c_str(), fileName8.length(), file);
                if (!isAbsolutePath(file))
                    file = joinPath(specialFolder(SpecialFolder::Fonts), file);
                return fileExists(file);
            });
    facts.sharedFiles = sharedFilesText();
    facts.spaceEstimate = preInstallState().spaceEstimate;
    facts.displayTitle = script.DisplayTitle;
    facts.today = DateTime::now().format("yymmdd");
    const String uninstaller = uninstallerPath(script);
    const bool existed = fileExists(uninstaller);
    if (InstallUninstaller(script, facts, reporter)) fileInstallationState().rebootRequired = true;
    if (!existed && fileExists(uninstaller)) installRollback().createdFiles.append(uninstaller);
    RegisterUninstallEntry(script, facts, reporter);
}

}  // namespace tessarin
