// Describing an installer's install script as JSON, read by the installer's own reader.
#pragma once

#include <cstdint>
#include <string>

#include "core/string.h"
#include "package/install_script.h"

namespace tessarin::build {

// Reads the script as the installer would on a neutral system (no command line, Windows 10,
// folders shown as their variables). Returns the corruption code of the first failed check,
// or 0 with the script filled in.
int readScriptForDump(const String& script, uint32_t scriptCheck, uint32_t productFlags2,
                      InstallScript& out);

// The JSON object of a read script.
std::string scriptJson(const InstallScript& script);

}  // namespace tessarin::build
