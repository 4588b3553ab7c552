// The process's unhandled-exception filter.
#pragma once

#include <cstdint>

namespace tessarin {

// Exceptions the filter leaves to the system: breakpoints, single steps, non-continuable
// continuation attempts and C++ exceptions.
bool crashFilterIgnores(uint32_t exceptionCode);

// Installs the filter. Until a crash callback is registered it lets the system handle every
// exception (continue search).
void installCrashFilter();

}  // namespace tessarin
