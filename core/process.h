// Thin wrappers over the process-level calls the entry needs.
#pragma once

#include "core/string.h"

namespace tessarin {

String currentCommandLine();                 // GetCommandLineW, UTF-16
String currentModulePath();                  // GetModuleFileNameW of the process, UTF-16
const void* currentImageBase();              // GetModuleHandleW(nullptr)
bool enablePrivilege(const char16_t* name);  // in the process token; false on failure
bool initializeOle();
void uninitializeOle();
void dispatchPendingMessages();
// SetErrorMode(SEM_FAILCRITICALERRORS): an empty removable drive answers a probe with its error
// code instead of a system dialog asking for a disk.
void failCriticalErrorsQuietly();  // PeekMessage/Dispatch until the queue is empty
[[noreturn]] void exitProcess(unsigned code);
[[noreturn]] void terminateProcess(unsigned code);

}  // namespace tessarin
