// Finding the installer stub when the publisher names none.
#pragma once

#include <filesystem>
#include <vector>

namespace tessarin::build {

inline constexpr const char* kStubFileName = "tessarin-setup.exe";

// The places where the stub of a tool at toolPath is looked for, in order:
//   BIN/../share/tessarin/   an installation (make install: PREFIX/bin and PREFIX/share/tessarin)
//   BIN/                     beside the tool (the Windows release zip)
//   BIN/../cross/            the build tree (the tool in build/native, the stub in build/cross)
std::vector<std::filesystem::path> stubCandidates(const std::filesystem::path& toolPath);

// The first candidate that is a file. Throws std::runtime_error naming the places looked at
// and the ways to give a stub.
std::filesystem::path findStub(const std::filesystem::path& toolPath);

}  // namespace tessarin::build
