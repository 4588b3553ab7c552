// The file sets of a manifest ([[files]]): source folders, glob patterns, and what each set's
// files are (kind, target, overwrite mode, options), turned into the payload's file records.
#pragma once

#include <filesystem>
#include <vector>

#include "tools/build/payload_writer.h"

namespace tessarin::build {

class Section;

// Reads every [[files]] table of the manifest's top-level section.
std::vector<FileEntry> readFileSets(Section& top);

}  // namespace tessarin::build
