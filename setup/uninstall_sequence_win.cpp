// The uninstaller's run: the opening checks that stop before anything changes, the questions,
// the removal steps as a table, and the end with its summary.
#include <algorithm>
#include <vector>

#include "actions/finishing.h"
#include "actions/uninstall_registration.h"
#include "core/convert.h"
#include "core/desktop.h"
#include "core/fatal.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/process.h"
#include "core/registry.h"
#include "core/shell_notify.h"
#include "core/shutdown.h"
#include "core/special_folders.h"
#include "core/ui.h"
#include "core/wow64.h"
#include "package/install_script.h"
#include "services/conditional_deletion.h"
#include "services/exit.h"
#include "services/install_log.h"
#include "services/log_reports.h"
#include "services/pending_renames.h"
#include "services/progress.h"
#include "services/protected_paths.h"
#include "services/setup_state.h"
#include "services/step_sequence.h"
#include "services/system_path.h"
#include "services/uninstall_data.h"
#include "services/window_closing.h"
#include "setup/uninstall_sequence.h"
#include "ui/background_window.h"
#include "ui/wizard.h"
#include "uninstall/association_restore.h"
#include "uninstall/driver_removal.h"
#include "uninstall/firewall_removal.h"
#include "uninstall/msi_removal.h"
#include "uninstall/removal.h"
#include "uninstall/self_removal.h"
#include "uninstall/shared_file_release.h"
#include "uninstall/taskbar_unpin.h"
#include "uninstall/uninstall_entry.h"
#include "uninstall/uninstall_questions.h"

namespace tessarin {
namespace {

constexpr const char16_t* kUninstallIconName = u"uninstall.ico";
// The largest background picture read back: a full-screen picture of a large display at 32 bits
// a pixel, with room to spare. A bigger file is not one the installer wrote.
constexpr int64_t kLargestBackgroundPicture = 64 * 1024 * 1024;

// What the run has found out and what later steps need.
struct UninstallRun {
    String name;
    UninstallSettings settings;
    RegistryKey entry;  // the product's uninstall key, open for reading and writing
    bool redirectionOff = false;
    void* redirectionOldValue = nullptr;
    RemovalOutcome removal;
};

UninstallRun& run() {
    static UninstallRun state;
    return state;
}

UninstallSettings& settings() {
    return run().settings;
}

Reporter& reporter() {
    static InstallLogReporter reporter;
    return reporter;
}

bool automatic() {
    return setupState().AutomaticMode;
}

bool silent() {
    return setupState().SilentMode;
}

bool flag(uint64_t bit) {
    return (settings().ProductFlags & bit) != 0;
}

// The registry view of the product's own keys: the 64-bit view for a 64-bit product, else the
// process's own.
uint32_t productView() {
    return settings().Bitness == 1 ? kRegView64 : 0;
}

void* owner() {
    return backgroundWindow();
}

int ask(const String& text, const String& caption, unsigned flags) {
    return showMessageBox(owner(), text, caption, flags);
}

// The messages of the opening steps: the caption is text 21 once Uninstall.DAT gave one.
void showEntryMessage(const String& text) {
    if (!entryMessageShown(automatic(), silent(), settings().ProductFlags)) return;
    String caption = Message(kTextErrorCaption);
    if (caption.empty()) caption.assignWide(u"Error");
    ask(text, caption, kMbOk | kMbIconError);
}

// The pause after the steps that change what the shell shows, so that the display can follow.
void pauseOnProgress() {
    lingerForStepDelay(kUninstallStepPause, automatic());
}

String fromAnsiText(const String& text) {
    String wide;
    toWide(text.c_str(), text.length(), wide);
    return wide;
}

// ---- Opening --------------------------------------------------------------------------------

// A 64-bit product's files are seen without the WOW64 redirection for the whole run. A 64-bit
// build of the uninstaller has no redirection to switch off.
void switchOffRedirection() {
    if (settings().Bitness != 1 || sizeof(void*) == 8 || !is64BitWindows()) return;
    UninstallRun& r = run();
    if (!disableFileSystemRedirection(r.redirectionOldValue))
        fatalError("Wow64DisableWow64FsRedirection() failed");
    r.redirectionOff = true;
}

void restoreRedirection() {
    UninstallRun& r = run();
    if (!r.redirectionOff) return;
    revertFileSystemRedirection(r.redirectionOldValue);
    r.redirectionOff = false;
}

void loadUninstallIcon() {
    String path = joinPath(settings().uninstallFolder, String(kUninstallIconName));
    if (!fileExists(path)) return;
    ProgramIcons icons = loadIconFile(path);
    if (icons.large || icons.small) setupState().icons = icons;
}

// The picture the installer kept for the window, when the product keeps one; empty when there
// is none to use (the window then goes without). Read only after the uninstall folder was found
// out of ordinary users' reach.
String readBackgroundPicture() {
    if (!flag(kFlagsBackgroundPicture)) return String();
    String path = joinPath(settings().uninstallFolder, String(kBackgroundPictureName));
    File file;
    if (file.open(extendedLengthPath(path).w_str(),
                  kFileOpenExisting | kFileNoWrite | kFileShareRead) != kFileOk)
        return String();
    const int64_t size = file.size();
    String bytes;
    if (size <= 0 || size > kLargestBackgroundPicture ||
        !file.readRange(bytes, 0, static_cast<int32_t>(size)))
        return String();
    return bytes;
}

void showBackgroundWindow() {
    if (flag(kFlagNoBackgroundWindow) || silent()) return;
    BackgroundWindowSettings& window = backgroundWindowSettings();
    backgroundSettingsFromEntry(settings(), window);
    window.Picture = readBackgroundPicture();
    window.icons = setupState().icons;
    CreateBackgroundWindow(setupState().options.StartMinimized);
}

// The entry, the settings and Uninstall.DAT; false after the message that stops the run.
bool openInstallation(const String& name) {
    UninstallRun& r = run();
    r.name = name;
    String message = OpenUninstallEntry(name, r.entry, r.settings, reporter());
    if (!message.empty()) {
        showEntryMessage(message);
        return false;
    }
    if (settings().forcesAutomaticMode()) setupState().AutomaticMode = true;
    switchOffRedirection();
    // Before the icon: nothing of the uninstall folder is read until it is known to be safe.
    message = CheckUninstallRecords(settings());
    if (!message.empty()) {
        showEntryMessage(message);
        return false;
    }
    loadUninstallIcon();
    showBackgroundWindow();
    message = LoadUninstallData(settings(), uninstallData(), reporter());
    if (!message.empty()) {
        showEntryMessage(message);
        return false;
    }
    restoreInstallState(settings(), uninstallData(), installScript());
    return true;
}

// ---- Programs to close ------------------------------------------------------------------------

[[noreturn]] void cancelUninstallation() {
    if (!automatic())
        ask(Message(kTextCancelled), Message(kTextCancelledCaption), kMbOk | kMbIconWarning);
    ExitSetup(uninstallExitCode(UninstallEnd::Declined, settings().ProductFlags2));
}

// Cancel to a question about a program ends the uninstallation.
void closeWindowsOfPhase(int32_t phase) {
    const Vector<WindowCloseRule>& rules = uninstallData().closeRules;
    if (rules.empty()) return;
    if (CloseWindowsForPhase(rules, phase, Message(kTextCloseProgram),
                             Message(kTextUninstallerCaption), silent(),
                             owner()) == WindowClosingResult::Cancelled)
        cancelUninstallation();
}

// The removal question; No ends the process.
// Then the product's support address, when it has one: choosing support ends the
// uninstallation with nothing changed.
void askToRemove() {
    if (automatic()) return;
    if (!ConfirmUninstall(Message(kTextRemovalQuestion), Message(kTextUninstallerCaption), owner()))
        ExitSetup(uninstallExitCode(UninstallEnd::Declined, settings().ProductFlags2));
    String address = fromAnsiText(settings().SupportOffer);
    if (isSupportAddress(address) &&
        OfferSupport(address, Message(kTextUninstallerCaption), owner()))
        ExitSetup(uninstallExitCode(UninstallEnd::NotPerformed, settings().ProductFlags2));
}

// ---- Removal steps --------------------------------------------------------------------------

bool beforeRemovalBatchGiven() {
    return !settings().UninstallBatch1.empty();
}

void RunBeforeRemovalBatch() {
    runScriptBatch(BatchKind::Uninstall1);
    run().entry.deleteValue("UninstallBatch1");
}

bool associationsRecorded() {
    return !uninstallData().associations.empty();
}

void RestoreAssociations() {
    RestoreFileAssociations(uninstallData().associations, settings().DisplayName, productView(),
                            reporter());
    pauseOnProgress();
}

bool fontsListed() {
    return !settings().ProductFonts.empty();
}

void RemoveFonts() {
    RemoveProductFonts(settings(), automatic(), uninstallData(), run().entry, reporter());
    pauseOnProgress();
}

bool installLogGoes() {
    return !flag(kEntryFlagKeepInstallLog);
}

void DeleteInstallLog() {
    deleteFile(joinPath(settings().uninstallFolder, String(kInstallLogName)));
}

bool sharedFilesListed() {
    return !settings().SharedFiles.empty();
}

void ReleaseProductSharedFiles() {
    const UninstallData& data = uninstallData();
    ReleaseSharedFiles(settings().SharedFiles,
                       askBeforeSharedDelete(automatic(), uint32_t(settings().ProductFlags)),
                       data.text(59), data.text(35), run().entry, reporter());
}

// The shell needs a moment to take the buttons away before their links are deleted.
void UnpinTaskbarButtons() {
    if (UnpinFromTaskbar(uninstallData().deletions, reporter())) pauseOnProgress();
}

bool packagesListed() {
    return !uninstallData().msi.empty();
}

// A package that stays keeps its line for the rewritten record.
void RemovePackages() {
    showStatusMessage(kStatusRemovingPackages);
    RemoveMsiPackages(uninstallData().msi, silent(), reporter());
    pauseOnProgress();
}

RemovalSettings removalSettings() {
    return RemovalSettings{settings().InstallLocation, settings().ProductFlags};
}

void RemoveRecordedItems() {
    removeRecordedItems(uninstallData(), removalSettings(), systemRemoval(), reporter(),
                        run().removal);
}

// Reboot-time operations on the files just deleted would bring nothing back or fail; the
// script's own rules for the uninstaller then delete what they name.
void CarryOutUninstallDeletions() {
    removePendingOperations(run().removal.deletedFiles, DeletionPhase::Uninstall, reporter());
    carryOutConditionalDeletions(uninstallData().conditionalDeletions, DeletionPhase::Uninstall,
                                 settings().InstallLocation, reporter(), settings().ProductFlags);
}

// A folder that still holds something (a file that stayed, or the install folder with the
// uninstaller) stays recorded, so that whoever empties it later removes it too.
void RemoveRecordedFolders() {
    const Vector<String>& folders = run().removal.folders;
    removeRecordedFolders(folders, removalSettings(), systemRemoval(), reporter());
    UninstallData& data = uninstallData();
    for (int32_t i = 0; i < folders.count(); ++i) {
        FileDeletion folder{DeletionKind::Folder, folders[i]};
        if (folderExists(deletionPathWide(folder)))
            data.recordDeletion(folders[i].c_str(), DeletionKind::Folder);
    }
}

// The recorded folders that hold the install folder: the installation made them above it.
// Deepest first.
Vector<String> recordedFoldersAbove() {
    String install = comparablePath(settings().InstallLocation);
    std::vector<String> above;
    const Vector<String>& folders = run().removal.folders;
    for (int32_t i = 0; i < folders.count(); ++i) {
        String path = deletionPathWide(FileDeletion{DeletionKind::Folder, folders[i]});
        String compared = comparablePath(path);
        if (compared.empty() || compared.wideLength() >= install.wideLength()) continue;
        if (install.startsWithWide(compared.w_str()) &&
            install.w_str()[compared.wideLength()] == u'\\')
            above.push_back(path);
    }
    std::stable_sort(above.begin(), above.end(), [](const String& a, const String& b) {
        return a.wideLength() > b.wideLength();
    });
    Vector<String> result;
    for (String& path : above) result.append(std::move(path));
    return result;
}

// What stays is written back, so that a later run retries it.
void RewriteUninstallData() {
    UninstallData& data = uninstallData();
    const String path = uninstallDataPath(settings().uninstallFolder);
    if (writeUninstallDataFile(data, path) != kFileOk)
        reporter().log(formatWide(u"Unable to write \"%s\"\r\n", path.w_str()));
    data.clearDeletions();
}

void RemoveStartMenu() {
    removeStartMenuFolder(settings().ProductStartMenu, settings().ShortcutMode == 1, reporter());
    pauseOnProgress();
}

bool productKeyGiven() {
    return !settings().ProductRegistry.empty();
}

void RemoveProductKey() {
    removeProductRegistry(settings().ProductRegistry, productView(), systemRemoval(), reporter());
    run().entry.deleteValue("ProductRegistry");
}

void RemoveRegistryEntries() {
    removeRegistryTable(uninstallData().registryTable, productView(), systemRemoval(), reporter());
}

bool firewallListed() {
    return !uninstallData().firewall.empty();
}

// The install state is restored, so the path variables name the installation's folders.
void RemoveFirewallRules() {
    RemoveFirewallExceptions(uninstallData().firewall, settings().InstallLocation,
                             systemPathVariableValues(), reporter());
}

bool driversListed() {
    return !uninstallData().inf.empty();
}

void RemoveDrivers() {
    RemoveDriverPackages(uninstallData().inf, reporter());
}

// Only a folder the installation made goes whole, and only when no failure left the rewritten
// Uninstall.DAT in it for the next run.
bool installFolderGoesWhole() {
    return installFolderGoesWhole(settings().ProductFlags, run().removal.folders,
                                  settings().InstallLocation, !errorList().empty());
}

void RemoveInstallFolder() {
    removeFolderWithContents(settings().InstallLocation, reporter());
}

void RemoveSharedFolder() {
    if (!settings().SharedPath.empty()) removeFolder(settings().SharedPath);
}

bool nothingFailed() {
    return errorList().empty();
}

void deleteUninstallEntry() {
    UninstallRun& r = run();
    r.entry.closeAll();
    RegistryKey parent;
    if (parent.open(kHkeyLocalMachine, kUninstallKeyParent, kRegOpenExisting,
                    kRegAccessDelete | kRegView32) != kRegOpenFailed)
        parent.deleteKey(r.name.w_str(), 0, kRegView32);
}

// Only a removal without failures takes the record and the entry away.
void RemoveEntryAndData() {
    deleteFile(uninstallDataPath(settings().uninstallFolder));
    if (flag(kEntryFlagAddedToPath))
        AddToSystemPath(false, settings().AddToPathSubfolder, settings().InstallLocation,
                        reporter());
    if (!settings().UninstallBatch2.empty()) {
        runScriptBatch(BatchKind::Uninstall2);
        run().entry.deleteValue("UninstallBatch2");
    }
    deleteUninstallEntry();
}

void CloseRemoval() {
    run().entry.closeAll();
    String menu = specialFolder(settings().ShortcutMode == 1 ? SpecialFolder::ProgramsMenuAllUsers
                                                             : SpecialFolder::ProgramsMenu);
    notifyFolderUpdated(menu);
}

constexpr int32_t kNone = -1;

// clang-format off
const SequenceStep kUninstallSequence[] = {
    // # step                                   runs when                action                       status                   %
    {10, "uninstall batch before removal",      beforeRemovalBatchGiven, RunBeforeRemovalBatch,       kStatusRemovingFiles,    1,     false, false},
    {11, "file associations",                   associationsRecorded,    RestoreAssociations,         kStatusRemovingFonts,    3,     false, false},
    {12, "fonts",                               fontsListed,             RemoveFonts,                 kStatusRemovingLog,      5,     false, false},
    {13, "installation log",                    installLogGoes,          DeleteInstallLog,            0,                       kNone, false, false},
    {14, "shared files",                        sharedFilesListed,       ReleaseProductSharedFiles,   0,                       kNone, false, false},
    {15, "taskbar pins",                        nullptr,                 UnpinTaskbarButtons,         0,                       kNone, false, false},
    {16, "MSI packages",                        packagesListed,          RemovePackages,              0,                       10,    false, false},
    {17, "deletion list",                       nullptr,                 RemoveRecordedItems,         0,                       92,    false, false},
    {18, "reboot-time operations and rules",    nullptr,                 CarryOutUninstallDeletions,  0,                       93,    false, false},
    {19, "emptied folders",                     nullptr,                 RemoveRecordedFolders,       0,                       kNone, false, false},
    {20, "uninstall data rewritten",            nullptr,                 RewriteUninstallData,        0,                       kNone, false, false},
    {21, "Start-menu folder",                   nullptr,                 RemoveStartMenu,             kStatusRemovingRegistry, 95,    false, false},
    {22, "product key",                         productKeyGiven,         RemoveProductKey,            0,                       kNone, false, false},
    {23, "registry entries",                    nullptr,                 RemoveRegistryEntries,       0,                       96,    false, false},
    {24, "firewall exceptions",                 firewallListed,          RemoveFirewallRules,         0,                       97,    false, false},
    {25, "drivers",                             driversListed,           RemoveDrivers,               0,                       kNone, false, false},
    {26, "install folder",                      installFolderGoesWhole,  RemoveInstallFolder,         0,                       98,    false, false},
    {26, "shared folder",                       nullptr,                 RemoveSharedFolder,          0,                       kNone, false, false},
    {27, "uninstall data and entry",            nothingFailed,           RemoveEntryAndData,          0,                       kNone, false, false},
    {28, "closing",                             nullptr,                 CloseRemoval,                0,                       100,   false, false},
};
// clang-format on

// ---- The end ---------------------------------------------------------------------------------

bool restartNeeded() {
    return flag(kRestartNeededUninstall);
}

UninstallEnd restartIfNeeded() {
    if (!restartNeeded()) return UninstallEnd::Completed;
    if (!automatic() && ask(Message(kTextRestartQuestion), Message(kTextRestartCaption),
                            kMbYesNo | kMbIconQuestion) != kIdYes)
        return UninstallEnd::RestartRequired;
    shutDown(kShutdownRestart, 0, kRestartReason);
    return UninstallEnd::RestartStarted;
}

UninstallEnd endSuccessfully() {
    if (!automatic() && (settings().ProductFlags2 & kEntryFlags2CompletionMessage))
        ask(Message(kTextCompletion), Message(kTextCompletionCaption), kMbOk | kMbIconInformation);
    UninstallEnd end = restartIfNeeded();
    const String& command = setupState().options.RunAfterInstall;
    if (!command.empty()) launch(command, kLaunchProgramFolder);
    return end;
}

UninstallEnd endWithFailures() {
    if (!automatic())
        ask(failureReport(Message(kTextFailureReport), fromAnsiText(errorList())),
            Message(kTextRestartCaption), kMbOk | kMbIconWarning);
    return UninstallEnd::Failed;
}

UninstallResult resultOf(UninstallEnd end) {
    UninstallResult result;
    result.end = end;
    result.productFlags2 = settings().ProductFlags2;
    result.installDir = settings().InstallLocation;
    result.uninstallSubdir = settings().UninstallSubdir;
    result.installedUninstaller = splitCommand(settings().UninstallString).program;
    result.notifyUrl = settings().NotifyURL;
    result.foldersAbove = recordedFoldersAbove();
    return result;
}

}  // namespace

UninstallResult RunUninstallation(const String& name) {
    if (!openInstallation(name)) return resultOf(UninstallEnd::Failed);
    closeWindowsOfPhase(kClosePhaseBeforeQuestion);
    askToRemove();
    closeWindowsOfPhase(kClosePhaseAfterQuestion);
    OpenProgressWindow(true);
    runSequenceSteps(kUninstallSequence, kUninstallStepPause, automatic());
    restoreRedirection();
    if (flag(kEntryFlagProgressWindow)) {
        pauseOnProgress();
        CloseProgressWindow();
    }
    return resultOf(nothingFailed() ? endSuccessfully() : endWithFailures());
}

}  // namespace tessarin
