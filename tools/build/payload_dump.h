// Describing an installer's payload as JSON: header fields and file records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessarin::build {

// Returns the JSON text, or throws std::runtime_error naming the fault (with its corruption
// code) when the payload is damaged.
std::string dumpInstaller(const std::vector<uint8_t>& installer);

// The installer with its ".setup" section cut out, as the installer builds its uninstaller.
std::vector<uint8_t> uninstallerImage(const std::vector<uint8_t>& installer);

}  // namespace tessarin::build
