#include "tools/build/stub_location.h"

#include <stdexcept>
#include <string>

namespace tessarin::build {

namespace fs = std::filesystem;

std::vector<fs::path> stubCandidates(const fs::path& toolPath) {
    fs::path bin = toolPath.parent_path();
    if (bin.empty()) bin = ".";
    return {bin / ".." / "share" / "tessarin" / kStubFileName, bin / kStubFileName,
            bin / ".." / "cross" / kStubFileName};
}

fs::path findStub(const fs::path& toolPath) {
    std::string looked;
    for (const fs::path& candidate : stubCandidates(toolPath)) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate.lexically_normal();
        looked += (looked.empty() ? "" : ", ") + candidate.lexically_normal().string();
    }
    throw std::runtime_error(
        std::string("no installer stub: ") + kStubFileName + " is in none of " + looked +
        "; name one with --stub STUB.exe, the manifest's \"stub\" key or the TESSARIN_STUB "
        "environment variable");
}

}  // namespace tessarin::build
