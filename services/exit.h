// The end of the process: the exit routine and the fatal-error handler that leads to it.
#pragma once

namespace tessarin {

// Ends the process: closes what the installer opened, in a fixed order, then exits with code.
[[noreturn]] void ExitSetup(unsigned code);
// The window the user interface keeps open for the whole run (the background window) is
// closed by this function at exit, after the log's working file and before the last
// messages are dispatched; the interface names it when it opens the window.
void closeAtExit(void (*closeWindow)());
// The core library's fatal-error handler, for 8-bit (code page 1252) and UTF-16 text: message
// box unless silent, then ExitSetup(1).
[[noreturn]] void FatalErrorHandler(const char* text);
[[noreturn]] void FatalErrorHandlerWide(const char16_t* text);

}  // namespace tessarin
