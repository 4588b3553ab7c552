// Benchmark (not a test): packing throughput of the build tool (one worker and all of them) and
// unpacking throughput of the installer's reader on a product tree, beside zlib's own inflate
// speed on the same blocks, all measured in the same run; then the memory the reader needs for
// one big file.
//
//   payload_bench STUB.exe TREE [--block-size N] [--level L] [--big-file MIB]
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/byte_order.h"
#include "package/payload_reader.h"
#include "package/payload_section.h"
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

// Reads every record as the installer does, handing each piece of file data to a consumer that
// only counts it; false on a corruption code.
bool unpackAll(const std::vector<uint8_t>& installer, uint64_t& bytes) {
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    const uint8_t* base = installer.data() + s.rawOffset;
    PayloadHeader h;
    String script;
    if (!openPayload(base, s.rawSize, h, script).ok()) return false;
    DataArea area;
    if (!area.open(base + h.dataOffset, size_t(h.DataSize), h, true).ok()) return false;
    bytes = 0;
    for (int32_t i = 0; i < h.FileCount; ++i) {
        FileRecord f;
        if (!area.nextFileRecord(i, f).ok()) return false;
        const uint8_t* piece;
        size_t size;
        do {
            if (!area.readData(piece, size).ok()) return false;
            bytes += size;
        } while (size > 0);
    }
    return !area.hasLeftover();
}

// Resident-set figures of this process in KiB (Linux): the current one and its peak.
struct ResidentSet {
    long current = -1;
    long peak = -1;
};

ResidentSet residentSet() {
    ResidentSet r;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) r.current = std::atol(line.c_str() + 6);
        if (line.rfind("VmHWM:", 0) == 0) r.peak = std::atol(line.c_str() + 6);
    }
    return r;
}

// Starts a new peak from the current resident set; false where the system cannot.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

// The reader's memory for one installer, in a process of its own so that no memory freed by
// earlier work hides what the reader takes: how far the resident set grows above what it was
// once the installer is in memory.
int measureReading(const char* path) {
    std::vector<uint8_t> installer = readFile(path);
    ResidentSet before = residentSet();
    if (!resetPeak() || before.current < 0) {
        std::printf("big file: the peak resident set cannot be measured here\n");
        return 0;
    }
    uint64_t bytes = 0;
    bool ok = unpackAll(installer, bytes);
    ResidentSet after = residentSet();
    std::printf(
        "big file (%.0f MiB in an installer of %.1f MiB): %s; resident set peak %.1f MiB "
        "above the %.1f MiB before reading\n",
        double(bytes) / (1024.0 * 1024.0), double(installer.size()) / (1024.0 * 1024.0),
        ok ? "read" : "NOT READ", double(after.peak - before.current) / 1024.0,
        double(before.current) / 1024.0);
    return ok ? 0 : 1;
}

// One file of the given size in an installer of its own, read by a new process.
void measureBigFile(const char* self, const std::vector<uint8_t>& stub, size_t mib,
                    size_t blockSize) {
    fs::path path = fs::temp_directory_path() / ("payload_bench_big_" + std::to_string(getpid()));
    {
        build::PayloadSpec spec;
        spec.script = String("benchmark script");
        spec.blockSize = blockSize;
        spec.level = 1;
        build::FileEntry f;
        f.name = String("big.bin");
        f.data.setLength(static_cast<int32_t>(mib << 20));
        for (int32_t i = 0; i < f.data.length(); ++i) f.data.data()[i] = char('a' + (i * 7) % 26);
        spec.files.push_back(std::move(f));
        std::vector<uint8_t> installer = build::buildInstaller(stub, spec);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(installer.data()),
                   std::streamsize(installer.size()));
    }
    std::fflush(stdout);
    std::string command = "'" + std::string(self) + "' --read-installer '" + path.string() + "'";
    if (std::system(command.c_str()) != 0) std::printf("big file: NOT READ\n");
    fs::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--read-installer") return measureReading(argv[2]);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: payload_bench STUB.exe TREE [--block-size N] [--level L] "
                     "[--big-file MIB]\n");
        return 2;
    }
    build::PayloadSpec spec;
    spec.script = String("benchmark script");
    size_t bigFile = 256;
    for (int i = 3; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--block-size")
            spec.blockSize = std::strtoul(argv[i + 1], nullptr, 10);
        else if (a == "--level")
            spec.level = std::atoi(argv[i + 1]);
        else if (a == "--big-file")
            bigFile = std::strtoul(argv[i + 1], nullptr, 10);
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

    // tessarin-build's own setting: a worker on every core.
    auto t0 = std::chrono::steady_clock::now();
    std::vector<uint8_t> installer = build::buildInstaller(stub, spec);
    double pack = seconds(t0);
    std::printf("pack (tessarin-build):   %8.1f MiB/s  (%.2f s, installer %.1f MiB, %u workers)\n",
                mb / pack, pack, double(installer.size()) / (1024.0 * 1024.0),
                std::max(1u, std::thread::hardware_concurrency()));
    spec.workers = 1;
    t0 = std::chrono::steady_clock::now();
    std::vector<uint8_t> single = build::buildInstaller(stub, spec);
    pack = seconds(t0);
    std::printf("pack, one worker:        %8.1f MiB/s  (%.2f s, %s)\n", mb / pack, pack,
                single == installer ? "the same bytes" : "DIFFERENT BYTES");
    single = std::vector<uint8_t>();

    t0 = std::chrono::steady_clock::now();
    uint64_t unpacked = 0;
    if (!unpackAll(installer, unpacked) || unpacked != total) return 1;
    double unpack = seconds(t0);
    std::printf("unpack (installer):      %8.1f MiB/s  (%.2f s)\n", mb / unpack, unpack);

    SetupSection s = locateSetupSection(installer.data(), installer.size());
    const uint8_t* base = installer.data() + s.rawOffset;
    PayloadHeader h;
    String script;
    if (!openPayload(base, s.rawSize, h, script).ok()) return 1;
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
    if (bigFile > 0) measureBigFile(argv[0], stub, bigFile, spec.blockSize);
    return 0;
}
