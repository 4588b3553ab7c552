// tessarin-build: packs a product into the installer stub, and describes built installers.
//
//   tessarin-build MANIFEST.toml -o OUT.exe [--stub STUB.exe] [--jobs N]
//   tessarin-build [--stub STUB.exe] --script SCRIPT.bin [--file PATH[=NAME]]... -o OUT.exe
//                  [--block-size N] [--cipher] [--key HEX16] [--external-data]
//                  [--image-check] [--stored-blocks] [--cut-section] [--jobs N]
//   tessarin-build --dump INSTALLER.exe
//   tessarin-build --uninstaller-image INSTALLER.exe OUT.exe
//
// With a manifest the tool writes the install script and the file records itself. The stub is
// taken from --stub, else from the manifest's "stub", else from TESSARIN_STUB, else from where
// an installation or the build tree keeps it (tools/build/stub_location.h).
//
// Without a manifest the script is given as the bytes of a finished install script; the flags
// that the script itself carries (compressed blocks, image check, external data) must be given to
// match it.
//
// --jobs N packs the data blocks on N threads (default: one per core); the installer's bytes do
// not depend on it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/build/execution_level.h"
#include "tools/build/file_argument.h"
#include "tools/build/manifest.h"
#include "tools/build/payload_dump.h"
#include "tools/build/payload_writer.h"
#include "tools/build/script_writer.h"
#include "tools/build/stub_kind.h"
#include "tools/build/stub_location.h"

namespace {

using tessarin::String;
using tessarin::build::PayloadSpec;

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open for reading");
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error(path + ": cannot open for writing");
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error(path + ": write failed");
}

int usage(const char* error) {
    std::fprintf(
        stderr,
        "tessarin-build: %s\n"
        "usage: tessarin-build MANIFEST.toml -o OUT.exe [--stub STUB.exe] [--jobs N]\n"
        "       tessarin-build [--stub STUB.exe] --script SCRIPT [--file PATH[=NAME]]... -o "
        "OUT.exe\n"
        "                      [--block-size N] [--cipher] [--key HEX16] [--external-data]\n"
        "                      [--image-check] [--stored-blocks] [--cut-section] [--jobs N]\n"
        "       tessarin-build --dump INSTALLER.exe\n"
        "       tessarin-build --uninstaller-image INSTALLER.exe OUT.exe\n",
        error);
    return 2;
}

std::array<uint8_t, 8> parseKey(const std::string& hex) {
    if (hex.size() != 16) throw std::runtime_error("--key: expected 16 hexadecimal digits");
    std::array<uint8_t, 8> key{};
    for (size_t i = 0; i < 8; ++i) {
        size_t used = 0;
        int v = std::stoi(hex.substr(2 * i, 2), &used, 16);
        if (used != 2) throw std::runtime_error("--key: not hexadecimal: " + hex);
        key[i] = static_cast<uint8_t>(v);
    }
    return key;
}

namespace fs = std::filesystem;

// Builds the installer and says which stub it carries, so that an installer built on the 64-bit
// test build is never taken for the product.
void pack(const std::string& stubPath, const PayloadSpec& spec, const std::string& output,
          tessarin::build::ExecutionLevel level = tessarin::build::ExecutionLevel::Admin) {
    std::vector<uint8_t> stub = readFile(stubPath);
    tessarin::build::StubKind kind = tessarin::build::stubKind(stub.data(), stub.size());
    // The stub asks for administrator rights already; other levels are written into its manifest.
    if (level != tessarin::build::ExecutionLevel::Admin)
        tessarin::build::setExecutionLevel(stub, level);
    writeFile(output, tessarin::build::buildInstaller(stub, spec));
    std::printf("tessarin-build: wrote %s on %s, the %s (%s, %s)\n", output.c_str(),
                stubPath.c_str(), kind.description, kind.format, kind.machineName);
}

// The running program's own file, which argv[0] names only when it was started by path.
fs::path programPath(const char* argv0) {
#ifdef _WIN32
    if (_pgmptr && *_pgmptr) return fs::path(_pgmptr);
#else
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self;
#endif
    return fs::path(argv0);
}

fs::path defaultStub(const char* argv0) {
    if (const char* env = std::getenv("TESSARIN_STUB"); env && *env) return env;
    return tessarin::build::findStub(programPath(argv0));
}

int buildFromManifest(const std::string& manifestPath, std::string stub, const std::string& output,
                      unsigned workers, const char* argv0) {
    tessarin::build::Manifest m = tessarin::build::readManifest(manifestPath);
    m.payload.workers = workers;
    for (const std::string& warning : m.warnings)
        std::fprintf(stderr, "tessarin-build: warning: %s\n", warning.c_str());
    if (stub.empty()) stub = (m.stub.empty() ? defaultStub(argv0) : m.stub).string();
    try {
        m.payload.script = tessarin::build::writeInstallScript(m.script);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(manifestPath + ": " + e.what());
    }
    pack(stub, m.payload, output, m.executionLevel);
    return 0;
}

int run(int argc, char** argv) {
    PayloadSpec spec;
    std::string stub, script, output, manifest;
    std::vector<std::string> args(argv + 1, argv + argc);
    auto value = [&](size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) throw std::runtime_error(args[i] + ": value missing");
        return args[++i];
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--dump") {
            std::string path = value(i);
            std::cout << tessarin::build::dumpInstaller(readFile(path));
            return 0;
        }
        if (a == "--uninstaller-image") {
            std::string in = value(i);
            std::string out = value(i);
            writeFile(out, tessarin::build::uninstallerImage(readFile(in)));
            return 0;
        }
        if (a == "--stub")
            stub = value(i);
        else if (a == "--script")
            script = value(i);
        else if (a == "--file")
            spec.files.push_back(tessarin::build::fileFromArgument(value(i)));
        else if (a == "-o" || a == "--output")
            output = value(i);
        else if (a == "--block-size") {
            long long n = std::stoll(value(i));
            if (n < 16 || n > (1 << 30))
                throw std::runtime_error("--block-size: 16 to 1073741824 bytes");
            spec.blockSize = static_cast<size_t>(n);
        } else if (a == "--jobs") {
            long long n = std::stoll(value(i));
            if (n < 1 || n > 256) throw std::runtime_error("--jobs: 1 to 256 threads");
            spec.workers = static_cast<unsigned>(n);
        } else if (a == "--cipher")
            spec.encipher = true;
        else if (a == "--key") {
            spec.key = parseKey(value(i));
            spec.encipher = true;
        } else if (a == "--external-data")
            spec.externalData = true;
        else if (a == "--image-check")
            spec.checkImage = true;
        else if (a == "--stored-blocks")
            spec.compressBlocks = false;
        else if (a == "--cut-section")
            spec.productFlags2 |= 0x20;
        else if (!a.empty() && a[0] != '-' && manifest.empty())
            manifest = a;
        else
            return usage(("unknown option " + a).c_str());
    }
    if (!manifest.empty()) {
        if (output.empty()) return usage("-o is required");
        if (!script.empty() || !spec.files.empty())
            return usage("a manifest replaces --script and --file");
        return buildFromManifest(manifest, stub, output, spec.workers, argv[0]);
    }
    if (script.empty() || output.empty()) return usage("--script and -o are required");
    if (stub.empty()) stub = defaultStub(argv[0]).string();
    std::vector<uint8_t> scriptBytes = readFile(script);
    spec.script.assign(reinterpret_cast<const char*>(scriptBytes.data()),
                       static_cast<int32_t>(scriptBytes.size()));
    pack(stub, spec, output);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessarin-build: %s\n", e.what());
        return 1;
    }
}
