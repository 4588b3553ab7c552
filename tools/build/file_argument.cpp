#include "tools/build/file_argument.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "core/convert.h"
#include "core/platform_text.h"
#include "package/payload_format.h"

namespace tessarin::build {

namespace fs = std::filesystem;

FileEntry fileFromArgument(const std::string& argument) {
    auto fail = [&](const std::string& why) {
        throw std::runtime_error("--file " + argument + ": " + why);
    };
    size_t eq = argument.find('=');
    std::string path = argument.substr(0, eq);
    std::string name =
        eq == std::string::npos ? path.substr(path.find_last_of('/') + 1) : argument.substr(eq + 1);
    std::replace(name.begin(), name.end(), '/', '\\');
    if (name.empty()) fail("empty name");
    std::error_code ec;
    uintmax_t size = fs::file_size(fs::u8path(path), ec);
    if (ec) fail("cannot open for reading (" + ec.message() + ")");
    if (size > uintmax_t(kMaxStoredFileSize))
        fail(std::to_string(size) +
             " bytes; the installer takes at most 1073741824 (1 GiB) per file");
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof()) fail("cannot be read");

    FileEntry f;
    String wide;
    if (!toWide(name.c_str(), static_cast<int32_t>(name.size()), wide, kCodePageUtf8))
        fail("the name is not UTF-8");
    f.name = pathText(wide);
    f.targetPath = wide;
    f.data.assign(bytes.data(), static_cast<int32_t>(bytes.size()));
    return f;
}

}  // namespace tessarin::build
