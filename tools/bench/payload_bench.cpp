// Benchmark (not a test): packing throughput of the build tool and unpacking throughput of the
// installer's reader on a product tree, beside zlib's own inflate speed on the same blocks,
// all measured in the same run.
//
//   payload_bench STUB.exe TREE [--block-size N] [--level L]
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "setup/payload_reader.h"
#include "setup/payload_section.h"
#include "tools/build/payload_writer.h"

using namespace tessarin;
namespace fs = std::filesystem;

namespace {

double seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: payload_bench STUB.exe TREE [--block-size N] [--level L]\n");
        return 2;
    }
    build::PayloadSpec spec;
    spec.script = String("benchmark script");
    for (int i = 3; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--block-size")
            spec.blockSize = std::strtoul(argv[i + 1], nullptr, 10);
        else if (a == "--level")
            spec.level = std::atoi(argv[i + 1]);
    }
    std::vector<uint8_t> stub = readFile(argv[1]);
    uint64_t total = 0;
    std::vector<fs::path> paths;
    for (const auto& e : fs::recursive_directory_iterator(argv[2]))
        if (e.is_regular_file()) paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& p : paths) {
        std::vector<uint8_t> data = readFile(p);
        build::FileEntry f;
        std::string rel = fs::relative(p, argv[2]).string();
        f.name = String(rel.c_str());
        f.targetPath = String(std::u16string(rel.begin(), rel.end()).c_str());
        f.data.assign(reinterpret_cast<const char*>(data.data()),
                      static_cast<int32_t>(data.size()));
        total += data.size();
        spec.files.push_back(std::move(f));
    }
    double mb = double(total) / (1024.0 * 1024.0);
    std::printf("tree: %zu files, %.1f MiB; block size %zu, zlib level %d\n", paths.size(), mb,
                spec.blockSize, spec.level);

    auto t0 = std::chrono::steady_clock::now();
    std::vector<uint8_t> installer = build::buildInstaller(stub, spec);
    double pack = seconds(t0);
    std::printf("pack (tessarin-build):   %8.1f MiB/s  (%.2f s, installer %.1f MiB)\n", mb / pack,
                pack, double(installer.size()) / (1024.0 * 1024.0));

    t0 = std::chrono::steady_clock::now();
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    const uint8_t* base = installer.data() + s.rawOffset;
    PayloadHeader h;
    String script;
    if (!openPayload(base, s.rawSize, h, script).ok()) return 1;
    DataArea area;
    if (!area.open(base + h.dataOffset, size_t(h.DataSize), h, true).ok()) return 1;
    uint64_t unpacked = 0;
    for (int32_t i = 0; i < h.FileCount; ++i) {
        FileRecord f;
        if (!area.nextFileRecord(i, f).ok()) return 1;
        unpacked += uint64_t(f.data.length());
    }
    double unpack = seconds(t0);
    if (unpacked != total) return 1;
    std::printf("unpack (installer):      %8.1f MiB/s  (%.2f s)\n", mb / unpack, unpack);

    // zlib alone on the same blocks: walk the data area and inflate each block.
    std::vector<std::vector<uint8_t>> blocks;
    const uint8_t* p = base + h.dataOffset;
    const uint8_t* end = p + h.DataSize;
    while (p + 8 <= end) {
        uint32_t len = loadLe32(p);
        blocks.emplace_back(p + 8, p + 8 + len);
        p += 8 + len;
    }
    std::vector<uint8_t> out(spec.blockSize + 1024);
    t0 = std::chrono::steady_clock::now();
    uint64_t inflated = 0;
    for (const auto& b : blocks) {
        uLongf n = static_cast<uLongf>(out.size());
        if (uncompress(out.data(), &n, b.data(), static_cast<uLong>(b.size())) != Z_OK) return 1;
        inflated += n;
    }
    double zlibTime = seconds(t0);
    std::printf("zlib inflate alone:      %8.1f MiB/s  (%.2f s, %zu blocks)\n",
                double(inflated) / (1024.0 * 1024.0) / zlibTime, zlibTime, blocks.size());
    std::printf("reader / zlib ratio:     %8.2f\n", zlibTime / unpack);
    return 0;
}
