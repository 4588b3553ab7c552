// The library's fatal-error path: a condition the program declares unrecoverable. The entry
// registers the process's handler (message box, exit); other modules may register hooks that
// run first (for example to finish the log).
#pragma once

namespace tessarin {

// Module names used in internal fatal error reports.
inline constexpr const char* kModuleCoreHeader = "c:\\g\\oq_core.h";
inline constexpr const char* kModuleCore = "c:\\g\\oq_core.cpp";
inline constexpr const char* kModuleThread = "c:\\g\\oq_thread.h";

using FatalHandler = void (*)(const char* text);  // should not return
using FatalErrorHook = void (*)(const char* text, void* context);

void setFatalErrorHandler(FatalHandler handler);
// Hooks run once each, newest first, before the handler; at most 100 of them are called.
void addFatalErrorHook(FatalErrorHook hook, void* context);

// Reports the first fatal error of the process and ends it with exit code 1. A fatal error
// raised while the first is being handled ends the process without a second report.
[[noreturn]] void fatalError(const char* text);
// "Internal Fatal Error\r\nModule: %s\r\nLine: %d"
[[noreturn]] void internalFatalError(const char* module, int line);

// Tests only: forget that a fatal error was reported.
void resetFatalErrorState();

}  // namespace tessarin
