#include "actions/pre_install.h"
#include "core/convert.h"
#include "core/desktop.h"
#include "core/fatal.h"
#include "core/file_system.h"
#include "core/file_time.h"
#include "core/folder_protection.h"
#include "core/format.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/privilege.h"
#include "core/process.h"
#include "core/program_label.h"
#include "core/registry.h"
#include "core/restore_point.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "core/temp_name.h"
#include "core/ui.h"
#include "core/wow64.h"
#include "services/batch.h"
#include "services/exit.h"
#include "services/exit_codes.h"
#include "services/install_log.h"
#include "services/log_reports.h"
#include "services/path_variables.h"
#include "services/progress.h"
#include "services/setup_state.h"
#include "services/uninstall_data.h"
#include "services/window_closing.h"
#include "ui/background_window.h"
#include "ui/wizard.h"

namespace tessarin {

namespace {

InstallScript& script() {
    return installScript();
}

bool automatic() {
    return setupState().AutomaticMode;
}

int ask(const String& text, const String& caption, unsigned flags) {
    return showMessageBox(backgroundWindow(), text, caption, flags);
}

[[noreturn]] void refuse() {
    ExitSetup(installExitCode(InstallEnd::Refused, script().ProductFlags2));
}

[[noreturn]] void cancel() {
    ExitSetup(installExitCode(InstallEnd::Cancelled, script().ProductFlags2));
}

// The message first unless AutomaticMode keeps quiet, then the refusal. The script's messages
// are filled (fillPlaceholders), never used as formats: a conversion too many in a translation
// must not read arguments that are not there.
[[noreturn]] void refuseWith(const String& text, unsigned icon) {
    if (!automatic()) ask(text, programLabelWide(), icon);
    refuse();
}

String fromAnsi(const String& text) {
    String wide;
    if (!text.empty()) toWide(text.c_str(), text.length(), wide);
    return wide;
}

// The uninstall key of a product, below HKEY_LOCAL_MACHINE.
String uninstallKeyOf(const String& name) {
    String key(kUninstallKeyParent);
    key.appendWide(u"\\");
    key.append(name);
    return key;
}

// "HKLM\Key\Value" and "\HKLM\Key\Value" alike, read as UTF-16 text.
String readValueByPath(const String& path8) {
    String path = fromAnsi(path8);
    if (path.getWide(0) != u'\\') path.prependWide(u"\\");
    RegistryKey key;
    return key.readTextByPath(path.w_str(), String(), kRegView32);
}

// ---- RunPreInstallChecks ------------------------------------------------------------------

void checkBitness() {
    const InstallScript& s = script();
    if (bitnessRefused(s.Bitness, is64BitWindows()))
        refuseWith(Message(81), s.Bitness == 2 ? kMbIconQuestion : kMbIconInformation);
    if (s.Bitness == 1 && !s.RedirectionOff) {
        void* old = nullptr;
        if (!disableFileSystemRedirection(old))
            fatalError("Wow64DisableWow64FsRedirection() failed");
        script().RedirectionOff = true;
        script().RedirectionOldValue = old;
    }
}

void checkExcludedSystem() {
    if (!systemExcluded(script().ExcludedSystems, osRecord())) return;
    String name = fromAnsi(osName(0));
    refuseWith(fillPlaceholder(Message(61), name), kMbIconError);
}

void checkPrerequisite() {
    InstallScript& s = script();
    if ((s.ProductFlags & kFlagsPrerequisite) == 0) return;
    String keyName = fromAnsi(s.PrerequisiteKey);
    if (keyName.empty()) keyName = s.ProductName;
    String displayName = fromAnsi(s.PrerequisiteName);
    if (displayName.empty()) displayName = s.ProductName;

    RegistryKey key;
    bool installed = key.open(kHkeyLocalMachine, uninstallKeyOf(keyName).w_str(), kRegOpenExisting,
                              kRegAccessRead | kRegView32) != kRegOpenFailed &&
                     (!key.readText(u"UninstallString").empty() ||
                      !key.readText(u"QuietUninstallString").empty());
    String folder = installed ? key.readText(u"InstallLocation") : String();
    String version = installed ? key.readText("DisplayVersion") : String();
    if (installed && s.DefaultInstallDir.equalsWide(u"<master>")) {
        if (folder.empty()) {
            installed = false;
        } else {
            s.InstallDir = folder;
            s.InstallDir8 = pathText(folder);
        }
    }
    if (!installed) refuseWith(fillPlaceholder(Message(12), displayName), kMbIconError);
    if (!s.PrerequisiteVersion.empty() && versionBelow(version, s.PrerequisiteVersion)) {
        String minimum = fromAnsi(s.PrerequisiteVersion);
        refuseWith(fillPlaceholders(Message(112), {displayName, minimum}), kMbIconError);
    }
}

void checkSingleInstance() {
    if ((script().ProductFlags & kFlagsSingleInstance) && anotherInstanceRunning())
        refuseWith(Message(91), kMbIconError);
}

void examinePreviousInstallation() {
    InstallScript& s = script();
    if ((s.ProductFlags & kFlagsUninstallEntry) == 0) return;
    PreviousInstallation previous = readPreviousInstallation(s);
    PreInstallState& state = preInstallState();
    state.previousFolder = previous.folder;
    state.oldVersion8 = previous.oldVersion8;
    state.previousSharedFiles = previous.sharedFiles8;
    state.previousFonts = previous.fonts8;
    state.previousStartMenu = previous.startMenu;
    state.previousUninstallFolder = previous.uninstallFolder;
    s.OldVersion = fromAnsi(previous.oldVersion8);
    if ((s.ProductFlags2 & kFlags2RemovePreviousKey) && !s.PreviousInstallKey.empty())
        uninstallData().recordDeletion(s.PreviousInstallKey.c_str(), DeletionKind::RegistryValue);
    state.replacingInstallation = folderExists(previous.folder);
}

void playStartSound() {
    if (!automatic() && !script().StartSound.empty()) playSoundFromMemory(script().StartSound);
}

// Message 99 (107 when uninstalling) until an asked-about window is gone; Cancel ends the
// installation.
void closePrograms() {
    Vector<ProgramToClose>& list = script().ProgramsToClose;
    if (list.empty()) return;
    const bool uninstalling = setupState().options.UninstallMode;
    if (closeWindows(installCloseRules(list), Message(uninstalling ? 107 : 99),
                     Message(uninstalling ? 55 : 65), setupState().SilentMode,
                     backgroundWindow()) == WindowClosingResult::Cancelled)
        CancelInstallation();
    keepProgramsForUninstaller(list);
    progressClock().pumpAndWait(333);
    if (backgroundWindow() != nullptr) bringWindowForward(backgroundWindow());
}

// ---- DecideTargetFolder ---------------------------------------------------------------------

void setInstallDir(const String& folder) {
    script().InstallDir = folder;
    script().InstallDir8 = pathText(folder);
}

[[noreturn]] void forceUninstallation() {
    setupState().AutomaticMode = false;
    RegistryKey key;
    String command;
    if (key.open(kHkeyLocalMachine, uninstallKeyOf(script().UninstallKeyName).w_str(),
                 kRegOpenExisting, kRegAccessRead | kRegView32) != kRegOpenFailed) {
        command = key.readText(u"QuietUninstallString");
        if (command.empty()) command = key.readText(u"UninstallString");
    }
    if (command.empty()) {
        ask(Message(9), programLabelWide(), kMbOk | kMbIconError);
        refuse();
    }
    if (AskForcedUninstallation()) launch(forcedUninstallCommand(command, currentCommandLine()), 0);
    refuse();
}

void takePreviousFolder() {
    InstallScript& s = script();
    PreInstallState& state = preInstallState();
    if (forcedUninstallWanted(s.ProductFlags, s.MustUninstallBelow, state.oldVersion8))
        forceUninstallation();

    RegistryKey key;
    String noDowngrade;
    if (key.open(kHkeyLocalMachine, uninstallKeyOf(s.UninstallKeyName).w_str(), kRegOpenExisting,
                 kRegAccessRead | kRegView32) != kRegOpenFailed)
        noDowngrade = key.readText("NoDowngradeBelow");
    if (noDowngradeRefuses(noDowngrade, s.Version8)) {
        noDowngrade.trim();
        refuseWith(fillPlaceholder(Message(106), fromAnsi(noDowngrade)), kMbIconError);
    }

    state.upgradeKind = upgradeKind(s.ProductFlags, state.oldVersion8, s.Version8);
    if (!automatic() && (s.ProductFlags & kFlagsNoUpgradeQuestion) == 0) {
        String question =
            replaceQuestion(Message(state.upgradeKind), state.previousFolder, Message(7));
        if (!AskYesNo(question, Message(2))) CancelInstallation();
        if (upgradeWarningWanted(s.ProductFlags, state.oldVersion8, s.UpgradeWarningBelow) &&
            !AskOkCancel(Message(72), Message(20)))
            cancel();
    }
    setInstallDir(state.previousFolder);
}

// The folders above the install folder that the installation makes are recorded, so that the
// uninstaller takes them away again once they are empty.
void createInstallFolder() {
    const String& folder = script().InstallDir;
    if (CreateInstallFolder(folder)) return;
    String text = Message(25);
    text.appendWide(u"\r\n");
    text.append(folder);
    text.appendWide(u"\r\n\r\n");
    text.append(systemErrorText(lastSystemError()));
    if (!automatic()) ask(text, programLabelWide(), kMbOk | kMbIconError);
    ExitSetup(installExitCode(InstallEnd::Failed, script().ProductFlags2));
}

// "<product>", "<description>" and "<os>" of the Start-menu folder, or the previous folder.
void decideStartMenu() {
    InstallScript& s = script();
    PreInstallState& state = preInstallState();
    if (state.replacingInstallation) {
        if (!state.previousStartMenu.empty()) s.ProductStartMenu = state.previousStartMenu;
        return;
    }
    expandScriptTokens(s.ProductStartMenu, s.ProductName, s.ProductDescription, s.WindowsFolder);
    ShowStartMenuPage();
}

// ---- PrepareSystem --------------------------------------------------------------------------

void beginRestorePoint() {
    InstallScript& s = script();
    if ((s.ProductFlags2 & kFlags2RestorePoint) == 0) return;
    showStatusMessage(97);
    logText8("Creating restore point...");
    String description = s.ProductName;
    if (!s.Version.empty()) {
        description.appendWide(u" ");
        description.append(s.Version);
    }
    String message;
    if (restorePoint().begin(description, message)) {
        logText8("OK\r\n");
        preInstallState().restorePointStarted = true;
    } else {
        logText8("FAILED\r\n");
        if (!message.empty() && message.trailingLineBreaks() == 0) message.append("\r\n");
        logText8(message.c_str(), message.length());
        s.ProductFlags2 &= ~kFlags2RestorePoint;
    }
    clearStatus();
}

void grantEveryone(const String& folder) {
    logFormatWide(u"Granting rights to directory \"%s\"...", folder.w_str());
    uint32_t error = grantFullAccess(folder, SecuredObject::File);
    if (error == 0) {
        logText8("OK\r\n");
    } else {
        logFormatWide(u"FAILED code %d: %s\r\n\r\n", static_cast<int>(error),
                      systemErrorText(error).w_str());
    }
}

void protectUninstallData(const String& folder) {
    logFormatWide(u"Protecting uninstall data folder \"%s\"...", folder.w_str());
    uint32_t error = protectUninstallFolder(folder);
    if (error == 0) {
        logText8("OK\r\n");
    } else {
        logFormatWide(u"FAILED code %d: %s\r\n\r\n", static_cast<int>(error),
                      systemErrorText(error).w_str());
    }
}

void createLoggedFolder(const String& folder, const char16_t* what) {
    if (createFolder(folder)) return;
    logFormatWide(u"Failed to create %s \"%s\": %s\r\n", what, folder.w_str(),
                  systemErrorText(lastSystemError()).w_str());
}

void prepareFolders() {
    InstallScript& s = script();
    const bool elevated = runsElevated();
    s.UninstallSubdir = uninstallSubfolder(s.UninstallSubdir, elevated, s.ProductFlags);
    s.UninstallDir =
        s.UninstallSubdir.empty() ? s.InstallDir : joinPath(s.InstallDir, s.UninstallSubdir);
    if (s.ProductFlags & kFlagsEveryoneInstallDir) grantEveryone(s.InstallDir);
    if (!s.UninstallSubdir.empty()) {
        createLoggedFolder(s.UninstallDir, u"uninstall data folder");
        if (uninstallFolderProtected(elevated, s.ProductFlags))
            protectUninstallData(s.UninstallDir);
    }
    // The shared folder is made absolute whether or not the product has an uninstaller: a
    // relative one would put the shared files below the folder the installer was started in.
    int selector = sharedBaseSelector(s.SharedBase, s.Bitness);
    String base =
        selector == 0 ? specialFolder(SpecialFolder::AppDataAllUsers) : commonFilesFolder(selector);
    s.SharedDir = sharedFolderPath(s.SharedDir, base, s.InstallDir, s.PortableSharedSubdir,
                                   preInstallState().portable);
    if (s.SharedDir.empty()) return;
    createLoggedFolder(s.SharedDir, u"shared folder");
    if (s.ProductFlags & kFlagsEveryoneSharedDir) grantEveryone(s.SharedDir);
}

void runBatchOf(BatchKind kind, const String& extra) {
    const SetupState& setup = setupState();
    BatchRequest request = batchRequest(kind, script(), setup.AutomaticMode, setup.SilentMode);
    request.commands = batchCommands(request.commands, extra);
    if (request.commands.empty()) return;
    InstallLogBatchReport report([](const String& text) {
        if (!setupState().SilentMode) ask(text, programLabelWide(), kMbOk | kMbIconError);
    });
    runBatch(request, systemPathVariableValues(), report);
}

void runPreInstallBatches() {
    const PreInstallState& state = preInstallState();
    runBatchOf(BatchKind::PreInstallation, setupState().options.ExtraPreInstallCommands);
    if (upgradeBatchRuns(state.upgradeKind)) runBatchOf(BatchKind::Upgrade, String());
    if (reinstallBatchRuns(state.replacingInstallation, state.upgradeKind, script().ProductFlags2))
        runBatchOf(BatchKind::Reinstall, String());
}

}  // namespace

// ---- The running system ------------------------------------------------------------------

PreviousInstallation readPreviousInstallation(const InstallScript& s) {
    PreviousInstallation previous;
    RegistryKey key;
    if (key.open(kHkeyLocalMachine, uninstallKeyOf(s.UninstallKeyName).w_str(), kRegOpenExisting,
                 kRegAccessAll | kRegView32) != kRegOpenFailed) {
        previous.keyFound = true;
        previous.folder = key.readText(u"InstallLocation");
        previous.oldVersion8 = key.readText("DisplayVersion");
        previous.sharedFiles8 = key.readText("SharedFiles");
        previous.fonts8 = key.readText("ProductFonts");
        previous.startMenu = key.readText(u"ProductStartMenu");
        const String subdir = key.readText(u"UninstallSubdir");
        if (!previous.folder.empty())
            previous.uninstallFolder =
                subdir.empty() ? previous.folder : joinPath(previous.folder, subdir);
    }
    if (previous.folder.empty() && !s.PreviousInstallKey.empty())
        previous.folder = readValueByPath(s.PreviousInstallKey);
    return previous;
}

bool registryDefaultFolder(const String& defaultDir, String& folder, String& refusal) {
    RegistryRoot root = kRegistryNoRoot;
    String keyPath, valueName;
    folder.clear();
    if (!registryFolderSource(defaultDir, root, keyPath, valueName)) return false;
    RegistryKey key;
    if (key.open(root, keyPath.w_str(), kRegOpenExisting, kRegAccessRead) != kRegOpenFailed)
        folder = key.readText(valueName.w_str());
    if (folder.empty()) {
        refusal = formatWide(u"Failed to obtain installation path from \"%s\"", defaultDir.w_str());
        return false;
    }
    expandPathVariables(folder);
    if (!folderExists(folder)) {
        refusal = formatWide(u"Installation path \"%s\" obtained from \"%s\" does not exist.",
                             folder.w_str(), defaultDir.w_str());
        return false;
    }
    return true;
}

bool anotherInstanceRunning() {
    return !takeSingleInstanceMutex(kSingleInstanceMutex);
}

// ---- The three steps ----------------------------------------------------------------------

void RunPreInstallChecks() {
    ShowLanguagePage();
    setProgramLabel(Message(0));
    repaintBackgroundWindow();
    checkBitness();
    checkExcludedSystem();
    checkPrerequisite();
    checkSingleInstance();
    examinePreviousInstallation();
    playStartSound();
    ShowGreetingPage();
    AskPassword();
    ShowLicensePages();
    ShowReadmePages();
    closePrograms();
}

void DecideTargetFolder() {
    InstallScript& s = script();
    PreInstallState& state = preInstallState();
    RegistryRoot root = kRegistryNoRoot;
    String keyPath, valueName;
    if (registryFolderSource(s.DefaultInstallDir, root, keyPath, valueName)) {
        String folder, refusal;
        if (!registryDefaultFolder(s.DefaultInstallDir, folder, refusal))
            refuseWith(refusal, kMbIconError);
        setInstallDir(folder);
    } else if ((s.ProductFlags & kFlagsUninstallEntry) && state.replacingInstallation) {
        takePreviousFolder();
    } else if (!automatic() && (s.ProductFlags & kFlagsChooseFolder)) {
        ChooseFolderLoop();
    } else {
        createInstallFolder();
    }
    setInstallDir(s.InstallDir);
    state.portable = onPortableDrive(s.InstallDir);
    decideStartMenu();
}

void PrepareSystem() {
    InstallScript& s = script();
    PreInstallState& state = preInstallState();
    OpenProgressWindow();
    // The install-start notification is sent here once notifications exist.
    startLogBody();
    beginRestorePoint();
    showStatusMessage(113);
    setProgress(1);
    prepareFolders();
    if (!state.spaceEstimated) {
        state.spaceEstimate = estimateSpaceFor(s.InstallDir);
        state.spaceEstimated = true;
    }
    if (state.portable && (s.ProductFlags & kFlagsPortableWithoutEntry))
        s.ProductFlags &= ~kFlagsUninstallEntry;
    runPreInstallBatches();
    showStatusMessage(8);
    setProgress(2);
}

}  // namespace tessarin
