// Which installer stub an executable is: the 32-bit product stub (PE32, i386) or the 64-bit build
// of the same sources (PE32+, x86-64). The section writer handles both the same way: every
// optional-header field it reads or changes lies at the same offset in both formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessarin::build {

struct StubKind {
    uint16_t machine = 0;  // the PE header's machine field
    int bits = 0;          // 32 or 64; 0 for a machine the installer is not built for
    const char* format = "";
    const char* machineName = "";
    const char* description = "";
};

// Reads the machine and the optional header's magic. Throws std::runtime_error naming what is
// wrong for a file that is no PE executable, or one for another machine.
StubKind stubKind(const uint8_t* file, size_t size);

// The "stub" object of the JSON description of an installer.
std::string stubJson(const StubKind& kind);

}  // namespace tessarin::build
