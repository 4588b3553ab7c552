// Files named on the command line of the raw mode (--file PATH[=NAME]).
#pragma once

#include <string>

#include "tools/build/payload_writer.h"

namespace tessarin::build {

// Reads PATH and makes its record: NAME (default: PATH's file name) becomes the record's name in
// the narrow path form, with "/" turned into "\", and its UTF-16 target path; the attributes are
// left as the installer writes them. Throws std::runtime_error naming the argument.
FileEntry fileFromArgument(const std::string& argument);

}  // namespace tessarin::build
