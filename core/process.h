// Processes: the running process's own facts, starting programs and waiting for them, opening
// documents through the shell, and ending processes.
//
// The decisions (creation flags, show state, working folder, the shell's elevation retry, the
// "file:///" form) are portable (process.cpp); the calls are in process_win.cpp.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

String currentCommandLine();     // GetCommandLineW, UTF-16
String currentModulePath();      // GetModuleFileNameW of the process, UTF-16
const void* currentImageBase();  // GetModuleHandleW(nullptr)
bool initializeOle();
void uninitializeOle();
void dispatchPendingMessages();  // PeekMessage/Dispatch until the queue is empty
// SetErrorMode(SEM_FAILCRITICALERRORS): an empty removable drive answers a probe with its error
// code instead of a system dialog asking for a disk.
void failCriticalErrorsQuietly();
[[noreturn]] void exitProcess(unsigned code);
[[noreturn]] void terminateProcess(unsigned code);

// ---- Launch ------------------------------------------------------------------------------

enum LaunchOptions : uint32_t {
    kLaunchWait = 0x1,  // wait for the end and return the exit code
    kLaunchNewConsole = 0x2,
    kLaunchIdlePriority = 0x4,
    kLaunchHighPriority = 0x8,  // wins over kLaunchIdlePriority
    kLaunchHidden = 0x10,
    kLaunchMaximized = 0x20,  // wins over kLaunchMinimized and kLaunchHidden
    kLaunchMinimized = 0x40,  // wins over kLaunchHidden
    kLaunchFailureBox = 0x80,
    kLaunchPumpMessages = 0x100,  // dispatch window messages while waiting
    kLaunchInheritHandles = 0x200,
    kLaunchProgramFolder = 0x800,  // no working folder given: the program's own folder
};

// Results besides an exit code.
inline constexpr int32_t kLaunchNotStarted = INT32_MIN;           // 0x80000000
inline constexpr int32_t kLaunchExitCodeUnknown = INT32_MIN + 1;  // 0x80000001
inline constexpr uint32_t kLaunchPumpSliceMilliseconds = 75;

// How the options become CreateProcessW's arguments.
struct LaunchPlan {
    uint32_t creationFlags = 0;
    bool setShowWindow = false;  // STARTF_USESHOWWINDOW
    uint16_t showWindow = 0;     // SW_*
    bool inheritHandles = false;
};
LaunchPlan launchPlan(uint32_t options);
// The working folder kLaunchProgramFolder asks for: the command line up to its last
// backslash, without a leading double quote. The caller uses it only when it exists.
String programFolderOf(const String& commandLine);
// A command split into its program (without quotes) and its arguments: a leading quoted part
// is the program; otherwise the text up to the first program extension (".exe", ".com",
// ".bat", ".cmd") that ends a word, so that blanks in folder names stay part of the program,
// or else up to the first blank.
struct SplitCommand {
    String program;
    String arguments;
};
SplitCommand splitCommand(const String& command);

// The command line of a program of the system's folder: its full path in quotes, then the
// arguments. By its bare name it would be looked for in the starting program's own folder and
// the current folder first, where anyone may have put a program of that name.
String systemProgramCommand(const String& systemFolder, const char16_t* program,
                            const String& arguments);
// The text of the failure box: "Unable to create process:", the command line, the system text.
String launchFailureText(const String& commandLine, const String& systemText);

// Starts the command line (passed whole to CreateProcessW) and returns the exit code when
// waiting, kLaunchExitCodeUnknown when the process started but its code is not known, or
// kLaunchNotStarted with the last error set. processId may be null.
int32_t launch(const String& commandLine, uint32_t options, const String& workingFolder = String(),
               uint32_t* processId = nullptr);

// TerminateProcess of the process handle, or of the current process when it is null.
bool endProcess(void* process, unsigned exitCode);

// ---- Shell open --------------------------------------------------------------------------

inline constexpr int32_t kShellAccessDenied = 5;  // ShellExecuteW's SE_ERR_ACCESSDENIED

// The system's ShellExecuteW as the shell open calls it: its result (above 32 is success).
using ShellExecuteFunction = intptr_t (*)(const String& verb, const String& file,
                                          const String& parameters, const String& folder,
                                          int showCommand);
// The elevation rule on top of the call: a refusal with access denied for no verb or "open"
// is asked once more with "runas". Returns the last call's result.
intptr_t shellExecuteWithElevation(ShellExecuteFunction call, const String& file,
                                   const String& parameters, const String& folder,
                                   const String& verb, int showCommand);
// "file:///C:/a%20b/c.txt" to "C:\a b\c.txt" (UTF-16); empty when the text is not of that form.
String localPathOfFileUrl(const String& url);

// ShellExecuteW with the elevation retry; an empty file fails with ERROR_INVALID_NAME. A
// result above 32 is success and clears the last error. Texts are UTF-16.
bool shellOpen(const String& file, const String& parameters = String(),
               const String& folder = String(), const String& verb = String(), int showCommand = 1);
// 8-bit texts: a file or folder in the narrow path form ("|" and UTF-8) is decoded, the rest
// is taken in the system code page; a "file:///" file becomes its local path when that exists.
bool shellOpen8(const char* file, const char* parameters = nullptr, const char* folder = nullptr,
                const char* verb = nullptr, int showCommand = 1);

// Carries out a verb of the shell (UTF-16) on a file without any dialog of the shell: an unknown
// verb or a missing file fails quietly, with the system's error as the last error.
bool shellVerb(const String& file, const String& verb);

// The ShellExecuteW call shellOpen makes; tests replace it to play refusals. Returns the
// previous one; null restores the system's.
ShellExecuteFunction setShellExecute(ShellExecuteFunction call);

}  // namespace tessarin
