#include <windows.h>

#include "actions/file_installation.h"
#include "actions/finishing.h"
#include "actions/pre_install.h"
#include "actions/uninstall_registration.h"
#include "core/convert.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/path.h"
#include "core/process.h"
#include "core/restore_point.h"
#include "core/shell_launch.h"
#include "core/shell_notify.h"
#include "core/shutdown.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "core/ui.h"
#include "core/wow64.h"
#include "package/install_script.h"
#include "services/batch.h"
#include "services/conditional_deletion.h"
#include "services/exit.h"
#include "services/exit_codes.h"
#include "services/install_log.h"
#include "services/log_reports.h"
#include "services/path_variables.h"
#include "services/progress.h"
#include "services/record_merge.h"
#include "services/setup_state.h"
#include "services/uninstall_data.h"
#include "ui/background_window.h"
#include "ui/wizard.h"

namespace tessarin {
namespace {

bool hideFileNames() {
    return (installScript().ProductFlags & kFlagsHideFileNames) != 0;
}

// Writes one file for the user or the uninstaller and records it; a failure is not reported.
void writeRecordedFile(const String& path, const String& bytes) {
    if (!hideFileNames()) showStatusText(path);
    if (writeFile(path, bytes.c_str(), bytes.length()) == kFileOk)
        uninstallData().recordDeletionWide(path, DeletionKind::File);
}

void writeTextFiles(const Vector<String>& texts, const char16_t* base) {
    for (const TextFile& file : textFileNames(texts, base))
        writeRecordedFile(joinPath(installScript().InstallDir, file.name), texts[file.index]);
}

void showBatchError(const String& text) {
    if (!setupState().SilentMode) showMessageBox(nullptr, text, Message(21), kMbOk | kMbIconError);
}

bool askForRestart() {
    if (setupState().SilentMode) return true;
    return showMessageBox(nullptr, Message(kMessageRestartQuestion),
                          Message(kMessageRestartCaption),
                          MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

void removeFolderIfEmpty(const String& folder) {
    if (!folder.empty() && removableFolder(folder)) removeFolder(folder);
}

void appendLaunchFailure(const char16_t* what, const String& command) {
    String text(what);
    text.append(command);
    text.appendWide(u"\r\n");
    text.append(systemErrorText(GetLastError()));
    text.appendWide(u"\r\n");
    appendToInstallLogFile(text);
}

// A finish option's document: expanded, made absolute against the install folder, opened with
// the shell's default verb.
void openDocument(const String& document) {
    if (document.empty()) return;
    String path = document;
    expandPathVariables(path);
    if (!isAbsolutePath(path)) path = joinPath(installScript().InstallDir, path);
    shellOpen(path);
}

void launchProgram() {
    const InstallScript& script = installScript();
    String command;
    // The narrow path form: "|" and UTF-8 for a path outside the system's code page.
    pathToWide(script.LaunchProgram.c_str(), script.LaunchProgram.length(), command);
    expandPathVariables(command);
    if (command.empty()) return;
    SplitCommand split = splitCommand(command);
    // Started by the desktop shell, the program gets the user's rights instead of the
    // installer's.
    if (!(script.ProductFlags2 & kFlags2LaunchDirectly) &&
        launchThroughDesktopShell(split.program, split.arguments, script.InstallDir))
        return;
    if (launch(command, 0, script.InstallDir) == kLaunchNotStarted)
        appendLaunchFailure(u"Failed to launch app: ", command);
}

void showLog() {
    String path = installLogPath(installScript().UninstallDir);
    if (shellOpen(path)) return;
    launch(
        systemProgramCommand(systemFolder(), u"notepad.exe", formatWide(u"\"%s\"", path.w_str())),
        0);
}

}  // namespace

void runScriptBatch(BatchKind kind) {
    const SetupState& state = setupState();
    InstallLogBatchReport report(showBatchError);
    runBatch(batchRequest(kind, installScript(), state.AutomaticMode, state.SilentMode),
             systemPathVariableValues(), report);
}

bool restartRequired() {
    return fileInstallationState().rebootRequired ||
           (installScript().ProductFlags & kRestartNeededInstall) != 0;
}

void WriteUserFiles() {
    const InstallScript& script = installScript();
    if ((script.ProductFlags & kFlagsBackgroundPicture) && !script.BackgroundBitmap.empty()) {
        String bytes = bitmapFileBytes(script.BackgroundBitmap);
        if (!bytes.empty())
            writeRecordedFile(joinPath(script.UninstallDir, String(kBackgroundPictureName)), bytes);
    }
    if (script.ProductFlags & kFlagsReadmeFiles) writeTextFiles(script.ReadmeTexts, u"readme");
    if (script.ProductFlags & kFlagsLicenseFiles) writeTextFiles(script.LicenseTexts, u"eula");
}

void WriteUninstallData() {
    const InstallScript& script = installScript();
    UninstallData& data = uninstallData();
    takeInstallerTexts(data, script);
    takeUninstallCloseRules(data, script.ProgramsToClose);
    // A reinstallation, upgrade or downgrade: what earlier installations made stays recorded.
    if (preInstallState().replacingInstallation)
        carryPreviousInstallationRecord(preInstallState().previousUninstallFolder,
                                        fileInstallationState().writtenUnrecorded);
    InstallLogReporter reporter;
    saveUninstallData(data, script.UninstallDir, Message(kMessageItemFailed), reporter);
}

void RunPostInstallBatch() {
    runScriptBatch(BatchKind::PostInstallation);
}

void RefreshDesktop() {
    notifyDesktopUpdated(installScript().ShortcutMode == 1);
}

void CommitRestorePoint() {
    if (!(installScript().ProductFlags2 & kFlags2RestorePoint)) return;
    if (!restorePoint().end()) logText8("Failed to commit restore point.\r\n");
}

namespace {
bool& restartChosen() {
    static bool chosen = false;
    return chosen;
}
}  // namespace

void CloseInstallation() {
    InstallScript& script = installScript();
    const SetupState& state = setupState();
    CloseProgressWindow();
    if (!state.options.RunAfterInstall.empty())
        logFormatWide(u"Launch on exit: %s\r\n", state.options.RunAfterInstall.w_str());
    finishInstallLog(preInstallState().replacingInstallation);
    ShowSummaryPage(errorList());
    bool restart = false;
    switch (restartChoice(restartRequired(), state.AutomaticMode, script.ProductFlags)) {
        case RestartChoice::None:
            break;
        case RestartChoice::Restart:
            restart = true;
            break;
        case RestartChoice::Ask:
            restart = askForRestart();
            break;
    }
    runScriptBatch(BatchKind::InstallationExit);
    removeFolderIfEmpty(script.SharedDir);
    removeFolderIfEmpty(script.UninstallDir);
    removeFolderIfEmpty(script.InstallDir);
    if (script.RedirectionOff) {
        revertFileSystemRedirection(script.RedirectionOldValue);
        script.RedirectionOff = false;
    }
    restartChosen() = restart;
}

void EndInstallation() {
    bool restart = restartChosen();
    const InstallScript& script = installScript();
    bool failed = !errorList().empty();
    if (restart) {
        shutDown(kShutdownRestart, 0, kRestartReason);
        ExitSetup(installExitCode(InstallEnd::RestartStarted, script.ProductFlags2));
    }
    setCurrentDirectory(script.InstallDir);
    const String& runAfter = setupState().options.RunAfterInstall;
    if (!failed && !runAfter.empty() && launch(runAfter, kLaunchProgramFolder) == kLaunchNotStarted)
        appendLaunchFailure(u"Failed to launch command: ", runAfter);
    const FinishOptions& options = finishOptions();
    if (options.openReadme) openDocument(script.ReadmeFile);
    if (options.launchProgram) launchProgram();
    if (options.showLog) showLog();
    if (options.openDocument) openDocument(script.FinishDocument);
    InstallEnd end = failed              ? InstallEnd::Failed
                     : restartRequired() ? InstallEnd::RestartRequired
                                         : InstallEnd::Completed;
    ExitSetup(installExitCode(end, script.ProductFlags2));
}

}  // namespace tessarin
