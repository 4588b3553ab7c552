#include <ole2.h>
#include <shellapi.h>
#include <windows.h>

#include "core/convert.h"
#include "core/dialog.h"
#include "core/file_system.h"
#include "core/handle_win.h"
#include "core/process.h"
#include "core/system_error.h"
#include "core/ui.h"
#include "core/wide_win.h"

namespace tessarin {

String currentCommandLine() {
    return String(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}

String currentModulePath() {
    String path;
    for (DWORD size = MAX_PATH;; size *= 2) {
        path.setWideLength(static_cast<int32_t>(size));
        DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.wideData()), size);
        if (n == 0) {
            path.clear();
            return path;
        }
        if (n < size) {
            path.setWideLength(static_cast<int32_t>(n));
            return path;
        }
    }
}

const void* currentImageBase() {
    return GetModuleHandleW(nullptr);
}

void failCriticalErrorsQuietly() {
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
}

bool initializeOle() {
    return SUCCEEDED(OleInitialize(nullptr));
}

void uninitializeOle() {
    OleUninitialize();
}

void dispatchPendingMessages() {
    while (pumpOneMessage(nullptr)) {
    }
}

void exitProcess(unsigned code) {
    ExitProcess(code);
}

void terminateProcess(unsigned code) {
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code);
}

// ---- Launch ------------------------------------------------------------------------------

namespace {

// Pumping keeps the caller's windows alive while the program runs; without it the caller
// blocks until the end.
void waitForEnd(HANDLE process, bool pump) {
    if (!pump) {
        WaitForSingleObject(process, INFINITE);
        return;
    }
    while (WaitForSingleObject(process, kLaunchPumpSliceMilliseconds) == WAIT_TIMEOUT)
        dispatchPendingMessages();
}

String workingFolderFor(const String& commandLine, uint32_t options, const String& given) {
    if (!given.empty() || !(options & kLaunchProgramFolder)) return given;
    String folder = programFolderOf(commandLine);
    return folderExists(folder) ? folder : String();
}

int32_t startProcess(const String& commandLine, uint32_t options, const String& workingFolder,
                     uint32_t* processId) {
    LaunchPlan plan = launchPlan(options);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (plan.setShowWindow) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = plan.showWindow;
    }
    String folder = workingFolderFor(commandLine, options, workingFolder);
    String line = commandLine;  // CreateProcessW may write into the command line
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, win(line.wideData()), nullptr, nullptr, plan.inheritHandles,
                        plan.creationFlags, nullptr, folder.empty() ? nullptr : win(folder),
                        &startup, &info))
        return kLaunchNotStarted;
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    if (processId != nullptr) *processId = info.dwProcessId;
    if (!(options & kLaunchWait)) return kLaunchExitCodeUnknown;
    waitForEnd(process.get(), (options & kLaunchPumpMessages) != 0);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) return kLaunchExitCodeUnknown;
    return static_cast<int32_t>(code);
}

}  // namespace

int32_t launch(const String& commandLine, uint32_t options, const String& workingFolder,
               uint32_t* processId) {
    if (commandLine.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kLaunchNotStarted;
    }
    try {
        int32_t result = startProcess(commandLine, options, workingFolder, processId);
        if (result == kLaunchNotStarted && (options & kLaunchFailureBox)) {
            DWORD error = GetLastError();
            showMessageBox(nullptr, launchFailureText(commandLine, systemErrorText(error)),
                           String(u"Error"), kMbIconError);
            SetLastError(error);
        }
        return result;
    } catch (...) {
        SetLastError(static_cast<DWORD>(E_UNEXPECTED));
        return kLaunchNotStarted;
    }
}

bool endProcess(void* process, unsigned exitCode) {
    return TerminateProcess(process != nullptr ? static_cast<HANDLE>(process) : GetCurrentProcess(),
                            exitCode) != 0;
}

// ---- Shell open --------------------------------------------------------------------------

namespace {

const wchar_t* orNull(const String& s) {
    return s.empty() ? nullptr : win(s);
}

intptr_t systemShellExecute(const String& verb, const String& file, const String& parameters,
                            const String& folder, int showCommand) {
    HINSTANCE result = ShellExecuteW(nullptr, orNull(verb), win(file), orNull(parameters),
                                     orNull(folder), showCommand);
    return reinterpret_cast<intptr_t>(result);
}

ShellExecuteFunction shellExecuteCall = systemShellExecute;

// Files and folders may be in the narrow path form; parameters and verbs are plain text.
String pathOrText(const char* text) {
    String wide;
    if (text != nullptr && *text != 0) pathToWide(text, kWholeLength, wide);
    return wide;
}

String plainText(const char* text) {
    String wide;
    if (text != nullptr && *text != 0) toWide(text, kWholeLength, wide);
    return wide;
}

}  // namespace

ShellExecuteFunction setShellExecute(ShellExecuteFunction call) {
    ShellExecuteFunction previous = shellExecuteCall;
    shellExecuteCall = call != nullptr ? call : systemShellExecute;
    return previous;
}

bool shellOpen(const String& file, const String& parameters, const String& folder,
               const String& verb, int showCommand) {
    if (file.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    intptr_t result =
        shellExecuteWithElevation(shellExecuteCall, file, parameters, folder, verb, showCommand);
    if (result <= 32) return false;
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool shellVerb(const String& file, const String& verb) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = win(verb);
    info.lpFile = win(file);
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

bool shellOpen8(const char* file, const char* parameters, const char* folder, const char* verb,
                int showCommand) {
    String wideFile = pathOrText(file);
    String local = localPathOfFileUrl(wideFile);
    if (!local.empty() && (fileExists(local) || folderExists(local))) wideFile = local;
    return shellOpen(wideFile, plainText(parameters), pathOrText(folder), plainText(verb),
                     showCommand);
}

}  // namespace tessarin
