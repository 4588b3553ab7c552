// The end of the process: the exit routine and the fatal-error handler that leads to it.
#pragma once

namespace tessarin {

// Ends the process: closes what the installer opened, in a fixed order, then exits with code.
[[noreturn]] void ExitSetup(unsigned code);
// The core library's fatal-error handler, for 8-bit (code page 1252) and UTF-16 text: message
// box unless silent, then ExitSetup(1).
[[noreturn]] void FatalErrorHandler(const char* text);
[[noreturn]] void FatalErrorHandlerWide(const char16_t* text);

}  // namespace tessarin
