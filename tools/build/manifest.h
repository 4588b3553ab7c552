// The build tool's manifest: a TOML file in which a publisher describes a product (names,
// folders, wizard, background window, files, shortcuts, registry, uninstall, languages and
// messages). readManifest turns it into the install script and the file records of an
// installer.
//
// Every error names the manifest file, the key and the reason; a manifest with any error
// produces nothing.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/install_script.h"
#include "tools/build/execution_level.h"
#include "tools/build/payload_writer.h"

namespace tessarin::build {

class ManifestError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Manifest {
    InstallScript script;        // the stored fields; the writer serialises them
    PayloadSpec payload;         // everything but the script bytes
    std::filesystem::path stub;  // "stub" of the manifest, empty when not given
    // What the installer's manifest asks Windows for; the stub says Admin.
    ExecutionLevel executionLevel = ExecutionLevel::Admin;
    // Combinations that build but that the publisher should know about, each naming the
    // manifest and the keys; the tool prints them and builds anyway.
    std::vector<std::string> warnings;
};

// Reads and checks the manifest; relative paths in it are taken from the manifest's folder.
// Throws ManifestError.
Manifest readManifest(const std::filesystem::path& file);

// A named option: the word it belongs to and its bit.
enum class OptionWord { ProductFlags, ProductFlags2 };
struct NamedOption {
    const char* name;
    OptionWord word;
    uint64_t bit;
    bool inverted;  // the name says "off" for a set bit ("background = false" sets the bit)
    const char* meaning;
};
const std::vector<NamedOption>& namedOptions();

// Matches a relative path (with "/") against a glob: "*" and "?" within one path element,
// "**" across elements.
bool globMatch(const std::string& pattern, const std::string& path);

}  // namespace tessarin::build
