// The execution level that the installer's application manifest asks Windows for. The stub's
// manifest (resource RT_MANIFEST 1) says level="requireAdministrator"; the tool rewrites those
// bytes in place for another level, padding with blanks inside the element so that the resource
// keeps its size and nothing else in the image moves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessarin::build {

enum class ExecutionLevel { Admin, Highest, User };

// "requireAdministrator", "highestAvailable" or "asInvoker".
const char* manifestLevelName(ExecutionLevel level);

// Where the application manifest's bytes lie in the file. Throws std::runtime_error naming what
// is missing or damaged: no resource directory, no manifest resource 1, a directory that points
// outside the file.
struct ByteRange {
    size_t offset = 0;
    size_t size = 0;
};
ByteRange findApplicationManifest(const std::vector<uint8_t>& image);

// Rewrites the level attribute of the manifest's requestedExecutionLevel element. Throws
// std::runtime_error when the stub has no such element or the new value does not fit in the
// room the stub left for it.
void setExecutionLevel(std::vector<uint8_t>& image, ExecutionLevel level);

}  // namespace tessarin::build
