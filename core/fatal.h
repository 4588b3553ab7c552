// The library's fatal-error path: a condition the program declares unrecoverable. The entry
// registers the process's handler (message box, exit); other modules may register hooks that
// run first (for example to finish the log).
#pragma once

namespace tessarin {

// Module names used in internal fatal error reports.
inline constexpr const char* kModuleCoreHeader = "c:\\g\\oq_core.h";
inline constexpr const char* kModuleCore = "c:\\g\\oq_core.cpp";
inline constexpr const char* kModuleThread = "c:\\g\\oq_thread.h";

// The display of a fatal error, for 8-bit text (code page 1252, the installer's own messages)
// and for UTF-16 text (messages that carry texts of any language). Neither should return.
using FatalHandler = void (*)(const char* text);
using FatalHandlerWide = void (*)(const char16_t* text);
using FatalErrorHook = void (*)(const char* text, void* context);

// Without a UTF-16 handler, UTF-16 reports reach the 8-bit one in code page 1252.
void setFatalErrorHandler(FatalHandler handler, FatalHandlerWide wideHandler = nullptr);
// Hooks run once each, newest first, before the handler; at most 100 of them are called.
void addFatalErrorHook(FatalErrorHook hook, void* context);

// Reports the first fatal error of the process and ends it with exit code 1. A fatal error
// raised while the first is being handled ends the process without a second report.
[[noreturn]] void fatalError(const char* text);
// The same for UTF-16 text; the hooks receive it in code page 1252.
[[noreturn]] void fatalErrorWide(const char16_t* text);
// "Internal Fatal Error\r\nModule: %s\r\nLine: %d"
[[noreturn]] void internalFatalError(const char* module, int line);

// Tests only: forget that a fatal error was reported.
void resetFatalErrorState();

}  // namespace tessarin
