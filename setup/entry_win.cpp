// The Windows entry of the installer and uninstaller.
#include <windows.h>

#include "actions/pre_install.h"
#include "core/convert.h"
#include "core/dialog.h"
#include "core/fatal.h"
#include "core/file_system.h"
#include "core/memory.h"
#include "core/privilege.h"
#include "core/process.h"
#include "core/program_label.h"
#include "core/system_function_win.h"
#include "core/ui.h"
#include "package/payload.h"
#include "services/command_line.h"
#include "services/crash_filter.h"
#include "services/exit.h"
#include "services/setup_state.h"
#include "setup/install_sequence.h"
#include "setup/script_environment.h"
#include "setup/uninstall_sequence.h"
#include "uninstall/self_removal.h"

namespace tessarin {
namespace {

constexpr const char* kNoInstallationData =
    "This program performs installations and uninstallations.\r\n"
    "There is no installation data present.\r\n"
    "No uninstallation parameters were specified.\r\n\r\n"
    "You should not delete this program or execute it directly.";

String programFileName() {
    String path = currentModulePath();
    const char16_t* w = path.w_str();
    int32_t start = 0;
    for (int32_t i = 0; i < path.wideLength(); ++i)
        if (w[i] == u'\\' || w[i] == u'/' || w[i] == u':') start = i + 1;
    String name, narrow;
    path.substringWide(name, start, kWholeLength);
    toNarrow(name.w_str(), name.wideLength(), narrow, 1252, "?");
    return narrow;
}

// Before anything else loads a library or touches a drive.
void protectProcess() {
    restrictLibrarySearch();
    failCriticalErrorsQuietly();
}

void startUp(HINSTANCE instance) {
    protectProcess();
    SetupState& state = setupState();
    state.programLabel = String(kProgramLabel);
    state.programLabelWide = String(kProgramLabelWide);
    setProgramLabel(state.programLabelWide);
    initializeDialogFramework(state.programLabel, state.programLabelWide);
    installCrashFilter();
    state.oleInitialized = initializeOle();
    setPrivilege("SeTakeOwnershipPrivilege", true);
    installOutOfMemoryHandler();
    setFatalErrorHandler(FatalErrorHandler, FatalErrorHandlerWide);
    state.instance = instance;
    state.icons = loadProgramIcons(instance, 1);
}

void readCommandLine() {
    SetupState& state = setupState();
    String error;
    bool ok = parseCommandLine(currentCommandLine().w_str(), state.options, error);
    state.AutomaticMode = state.options.AutomaticMode;
    state.SilentMode = state.options.SilentMode;
    if (!ok) fatalError(usageMessage(error, programFileName()).c_str());
}

[[noreturn]] void runUninstallMode() {
    const CommandLineOptions& options = setupState().options;
    if (options.uninstallProductName.empty())
        fatalError(usageMessage(String("Product name required"), programFileName()).c_str());
    UninstallResult result = RunUninstallation(options.uninstallProductName);
    if (result.succeeded()) {
        // The uninstall notification to result.notifyUrl is sent here once notifications exist.
        // The process ends only once its folders are gone, so that whoever waits for it sees
        // the removal done.
        RemoveUninstaller(result.installDir, result.uninstallSubdir, result.installedUninstaller);
        for (const String& folder : result.foldersAbove) removeFolder(folder);
    }
    ExitSetup(uninstallExitCode(result.end, result.productFlags2));
}

[[noreturn]] void runInstallMode() {
    Payload& payload = setupPayload();
    if (!OpenPayload(payload)) fatalError(kNoInstallationData);
    LoadInstallScript(payload);
    RunPreInstallChecks();
    DecideTargetFolder();
    PrepareSystem();
    RunInstallSequence();
}

}  // namespace
}  // namespace tessarin

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace tessarin;
    startUp(instance);
    readCommandLine();
    if (setupState().options.UninstallMode) runUninstallMode();
    runInstallMode();
}
