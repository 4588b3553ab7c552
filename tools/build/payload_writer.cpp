#include "tools/build/payload_writer.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "core/byte_order.h"
#include "core/payload_cipher.h"
#include "package/payload_format.h"
#include "package/payload_reader.h"
#include "tools/build/block_compression.h"
#include "tools/build/stub_kind.h"

namespace tessarin::build {
namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putBytes(Bytes& b, const void* p, size_t n) {
    const uint8_t* u = static_cast<const uint8_t*>(p);
    b.insert(b.end(), u, u + n);
}
void putCString(Bytes& b, const String& s) {
    putBytes(b, s.c_str(), static_cast<size_t>(s.length()));
    b.push_back(0);
}
void putWideCString(Bytes& b, const String& s) {
    putBytes(b, s.c_str(), static_cast<size_t>(s.wideLength()) * 2);
    b.push_back(0);
    b.push_back(0);
}
uint32_t get32(const Bytes& b, size_t at) {
    return loadLe32(&b[at]);
}
void set32(Bytes& b, size_t at, uint32_t v) {
    storeLe32(&b[at], v);
}
constexpr uint32_t kPageSize = 0x1000;

uint32_t alignUp(uint32_t v, uint32_t a) {
    return (v + a - 1) / a * a;
}

Bytes fileRecord(const FileEntry& f) {
    Bytes r;
    putCString(r, f.name);
    put32(r, static_cast<uint32_t>(f.kind));
    put32(r, static_cast<uint32_t>(f.options));
    put32(r, static_cast<uint32_t>(f.attributes));
    putBytes(r, f.date, sizeof f.date);
    putCString(r, f.label);
    if (f.options & 0x3) putCString(r, f.shortcutIcon);
    putCString(r, f.arguments);
    putWideCString(r, f.targetPath);
    putCString(r, f.auxiliary);
    if (f.kind == kKindInstallerPackage) put32(r, static_cast<uint32_t>(f.uiLevel));
    putBytes(r, f.data.c_str(), static_cast<size_t>(f.data.length()));
    put32(r, f.data.hash());
    return r;
}

// A data block as the installer reads it: the decoded bytes zlib-packed (when the blocks are
// compressed), then enciphered (when the payload is). check is the checksum of the result.
struct PackedBlock {
    String bytes;
    uint32_t check = 0;
};

bool packBlock(const PayloadSpec& spec, const uint8_t* key, const Bytes& raw, PackedBlock& out) {
    String block;
    if (!spec.compressBlocks)
        block.assign(reinterpret_cast<const char*>(raw.data()), static_cast<int32_t>(raw.size()));
    else if (!compressBlock(raw.data(), raw.size(), block, spec.level))
        return false;
    if (spec.encipher)
        block = encipherPayloadBuffer(key, block.bytes(), static_cast<size_t>(block.length()));
    out.check = block.hash();
    out.bytes = std::move(block);
    return true;
}

unsigned workerCount(unsigned asked) {
    if (asked > 0) return asked;
    unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

// Packs blocks on worker threads and hands them back in the order they came in. At most two
// blocks per worker are under way, so memory stays bounded however large the product is.
class ParallelPacker {
  public:
    using Emit = std::function<void(const PackedBlock&)>;

    ParallelPacker(const PayloadSpec& spec, const uint8_t* key, unsigned workers, Emit emit)
        : spec_(spec), key_(key), limit_(2 * size_t{workers}), emit_(std::move(emit)) {
        try {
            for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { work(); });
        } catch (...) {
            stop();  // a thread the system refused: the ones started end before the error goes on
            throw;
        }
    }
    ~ParallelPacker() { stop(); }
    ParallelPacker(const ParallelPacker&) = delete;
    ParallelPacker& operator=(const ParallelPacker&) = delete;

    void submit(Bytes raw) {
        while (jobs_.size() >= limit_) emitOldest();
        auto job = std::make_unique<Job>();
        job->raw = std::move(raw);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.push_back(job.get());
            jobs_.push_back(std::move(job));
        }
        jobReady_.notify_one();
    }
    void drain() {
        while (!jobs_.empty()) emitOldest();
    }

  private:
    struct Job {
        Bytes raw;
        PackedBlock packed;
        bool done = false;
        bool failed = false;
    };

    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        jobReady_.notify_all();
        for (std::thread& t : threads_) t.join();
        threads_.clear();
    }

    // jobs_ belongs to the calling thread; the workers see a job only through waiting_ and
    // report through its done flag.
    void emitOldest() {
        std::unique_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            jobDone_.wait(lock, [this] { return jobs_.front()->done; });
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        if (job->failed) throw std::runtime_error("compression failed");
        emit_(job->packed);
    }

    void work() {
        while (true) {
            Job* job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                jobReady_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
                if (stop_) return;
                job = waiting_.front();
                waiting_.pop_front();
            }
            bool ok = false;
            try {
                ok = packBlock(spec_, key_, job->raw, job->packed);
            } catch (...) {
                ok = false;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                job->done = true;
                job->failed = !ok;
                job->raw = Bytes();
            }
            jobDone_.notify_all();
        }
    }

    const PayloadSpec& spec_;
    const uint8_t* key_;
    size_t limit_;
    Emit emit_;
    std::mutex mutex_;
    std::condition_variable jobReady_, jobDone_;
    std::deque<std::unique_ptr<Job>> jobs_;  // in the order of the stream
    std::deque<Job*> waiting_;               // not taken by a worker yet
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

// Cuts the record stream into blocks of at most blockSize decoded bytes. A record length is
// never split: when fewer than four bytes are left in a block, the block is closed early.
// Blocks are packed on the calling thread with one worker, else on a pool; either way they
// enter the area in stream order.
class BlockWriter {
  public:
    BlockWriter(const PayloadSpec& spec, const uint8_t* key) : spec_(spec), key_(key) {
        unsigned workers = workerCount(spec.workers);
        if (workers > 1)
            packer_ = std::make_unique<ParallelPacker>(spec, key, workers,
                                                       [this](const PackedBlock& b) { append(b); });
    }

    void addRecord(const Bytes& record) {
        if (spec_.blockSize - current_.size() < 4) flush();
        put32(current_, static_cast<uint32_t>(record.size()));
        size_t done = 0;
        while (done < record.size()) {
            if (current_.size() == spec_.blockSize) flush();
            size_t n = std::min(record.size() - done, spec_.blockSize - current_.size());
            putBytes(current_, record.data() + done, n);
            done += n;
        }
    }
    Bytes finish() {
        flush();
        if (packer_) packer_->drain();
        return std::move(area_);
    }

  private:
    void flush() {
        if (current_.empty()) return;
        if (packer_) {
            packer_->submit(std::move(current_));
            current_ = Bytes();
            return;
        }
        PackedBlock packed;
        if (!packBlock(spec_, key_, current_, packed))
            throw std::runtime_error("compression failed");
        append(packed);
        current_.clear();
    }
    void append(const PackedBlock& b) {
        put32(area_, static_cast<uint32_t>(b.bytes.length()));
        put32(area_, b.check);
        putBytes(area_, b.bytes.c_str(), static_cast<size_t>(b.bytes.length()));
    }

    const PayloadSpec& spec_;
    const uint8_t* key_;
    Bytes current_;
    Bytes area_;
    std::unique_ptr<ParallelPacker> packer_;  // last: stopped before the rest goes
};

struct PeLayout {
    uint32_t pe = 0;
    uint32_t sections = 0;
    uint32_t table = 0;
    uint32_t fileAlignment = 0;
    uint32_t sectionAlignment = 0;
    uint32_t sizeOfHeaders = 0;
};

PeLayout readPe(const Bytes& stub) {
    auto fail = [](const char* why) { throw std::runtime_error(std::string("stub: ") + why); };
    if (stub.size() < 0x200 || stub[0] != 'M' || stub[1] != 'Z') fail("not an MZ executable");
    stubKind(stub.data(), stub.size());  // an i386 PE32 or an x86-64 PE32+ program
    PeLayout l;
    l.pe = get32(stub, 60);
    if (l.pe < 64 || l.pe > 4096 || l.pe + 24 > stub.size() ||
        std::memcmp(&stub[l.pe], "PE\0\0", 4))
        fail("no PE header within the first 4096 bytes");
    l.sections = loadLe16(&stub[l.pe + 6]);
    uint32_t optSize = loadLe16(&stub[l.pe + 20]);
    uint32_t opt = l.pe + 24;
    if (optSize < 64 || opt + optSize > stub.size()) fail("optional header missing");
    l.sectionAlignment = get32(stub, opt + 32);
    l.fileAlignment = get32(stub, opt + 36);
    l.sizeOfHeaders = get32(stub, opt + 60);
    l.table = opt + optSize;
    if (l.sections + 1 > 99) fail("too many sections");
    if (l.table + (l.sections + 1) * 40 > l.sizeOfHeaders)
        fail("no room for another section header");
    for (uint32_t i = 0; i < l.sections; ++i)
        if (std::memcmp(&stub[l.table + i * 40], ".setup\0", 7) == 0)
            fail("already has a .setup section");
    if (!l.fileAlignment || !l.sectionAlignment) fail("bad alignment");
    return l;
}

std::string byteCount(uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

}  // namespace

void checkPayloadLimits(uint64_t packedScript, uint64_t dataOffset, uint64_t dataArea) {
    constexpr uint64_t kMaxInt32 = 0x7FFFFFFF;
    if (packedScript > uint64_t(kMaxScriptPackedSize)) {
        throw std::runtime_error("the packed install script is " + byteCount(packedScript) +
                                 "; the installer takes at most " +
                                 byteCount(kMaxScriptPackedSize) +
                                 " (0x31FFFFF): licence and readme texts, pictures, sounds and "
                                 "icons make up most of it");
    }
    if (dataArea > kMaxInt32) {
        throw std::runtime_error("the data area (the product's files, compressed) is " +
                                 byteCount(dataArea) + "; the installer takes at most " +
                                 byteCount(kMaxInt32) + " (2 GiB - 1)");
    }
    if (dataOffset + dataArea > kMaxInt32) {
        throw std::runtime_error("the payload (header, install script and data area) is " +
                                 byteCount(dataOffset + dataArea) +
                                 "; the installer takes at most " + byteCount(kMaxInt32) +
                                 " (2 GiB - 1)");
    }
}

std::vector<uint8_t> buildInstaller(const std::vector<uint8_t>& stub, const PayloadSpec& spec) {
    PeLayout pe = readPe(stub);
    if (pe.sections + 1 < 4) throw std::runtime_error("stub: fewer than three sections");
    std::array<uint8_t, 8> key{};
    if (spec.encipher) {
        if (spec.key) {
            key = *spec.key;
        } else {
            std::random_device rd;
            for (auto& k : key) k = static_cast<uint8_t>(rd());
        }
    }

    // Data area.
    BlockWriter blocks(spec, key.data());
    for (const FileEntry& f : spec.files) {
        if (f.data.length() > kMaxStoredFileSize) {
            throw std::runtime_error("file \"" + std::string(f.name.c_str()) + "\" is " +
                                     byteCount(uint64_t(f.data.length())) +
                                     "; the installer takes at most " +
                                     byteCount(kMaxStoredFileSize) + " (1 GiB) per file");
        }
        blocks.addRecord(fileRecord(f));
    }
    Bytes area = blocks.finish();

    // Packed script: zlib, then masked with its checksum or enciphered.
    uint32_t scriptCheck = spec.script.hash();
    String packed;
    if (!compressBlock(spec.script.bytes(), static_cast<size_t>(spec.script.length()), packed,
                       spec.level))
        throw std::runtime_error("script compression failed");
    if (spec.encipher)
        packed =
            encipherPayloadBuffer(key.data(), packed.bytes(), static_cast<size_t>(packed.length()));
    else
        maskScript(reinterpret_cast<uint8_t*>(packed.data()), static_cast<size_t>(packed.length()),
                   scriptCheck);

    // The section's raw bytes run to the end of the data area, also with external data: the
    // uninstaller image keeps what follows the section, so data placed after it would travel
    // into every uninstaller copy. With external data the section's virtual size covers only
    // the header and the script (the loader maps no more), and the data area is padded to the
    // end of the section, because the installer takes it as running to the end of the file
    // (bytes past the last record are never read). The raw size is a multiple of the section
    // alignment too, so that cutting the section out again (the uninstaller image) restores
    // the stub's image size exactly.
    uint32_t unit = std::max(pe.fileAlignment, pe.sectionAlignment);
    size_t headerLength = 4 + std::strlen(kBuilderVersion) + 1 + 4 * 8 + 4 * spec.files.size() +
                          (spec.encipher ? 8 : 0);
    size_t dataOffset = headerLength + static_cast<size_t>(packed.length());
    uint64_t rawEnd = (uint64_t(dataOffset) + area.size() + unit - 1) / unit * unit;
    if (spec.externalData) area.resize(static_cast<size_t>(rawEnd - dataOffset), 0);
    checkPayloadLimits(static_cast<uint64_t>(packed.length()), dataOffset, area.size());
    uint32_t rawSize = static_cast<uint32_t>(rawEnd);

    uint32_t flags2 = spec.productFlags2 | (spec.encipher ? kFlags2Enciphered : 0);
    Bytes section;
    put32(section, kPayloadMagic);
    putBytes(section, kBuilderVersion, std::strlen(kBuilderVersion) + 1);
    put32(section, flags2);
    put32(section, static_cast<uint32_t>(packed.length()));
    put32(section, scriptCheck);
    size_t imageCheckAt = section.size();
    put32(section, 0);                                                // ImageCheck, filled in below
    put32(section, static_cast<uint32_t>(dataOffset + area.size()));  // DataEnd
    put32(section, static_cast<uint32_t>(spec.files.size()));
    put32(section, static_cast<uint32_t>(area.size()));
    put32(section, hashBytes(area.data(), static_cast<int32_t>(area.size())));
    for (const FileEntry& f : spec.files) put32(section, static_cast<uint32_t>(f.data.length()));
    if (spec.encipher) putBytes(section, key.data(), 8);
    putBytes(section, packed.c_str(), static_cast<size_t>(packed.length()));
    if (section.size() != dataOffset) throw std::logic_error("payload header size");
    putBytes(section, area.data(), area.size());

    // The section starts on a page of its own: a loader can then map its bytes from the file
    // as they are needed (Wine reads a section at any other offset into memory whole). The
    // uninstaller image drops the padding again.
    uint32_t rawOffset =
        alignUp(static_cast<uint32_t>(stub.size()), std::max(pe.fileAlignment, kPageSize));
    uint32_t opt = pe.pe + 24;
    uint32_t virtualAddress = get32(stub, opt + 56);  // SizeOfImage: the next free address

    Bytes out(stub);
    out.resize(rawOffset, 0);
    uint32_t entry = pe.table + pe.sections * 40;
    std::memset(&out[entry], 0, 40);
    std::memcpy(&out[entry], kSetupSectionName, 6);
    set32(out, entry + 8, static_cast<uint32_t>(spec.externalData ? dataOffset : section.size()));
    set32(out, entry + 12, virtualAddress);
    set32(out, entry + 16, rawSize);
    set32(out, entry + 20, rawOffset);
    set32(out, entry + 36, 0x40000040u);  // initialised data, readable
    out[pe.pe + 6] = static_cast<uint8_t>(pe.sections + 1);
    out[pe.pe + 7] = static_cast<uint8_t>((pe.sections + 1) >> 8);
    set32(out, opt + 8, get32(out, opt + 8) + rawSize);    // size of initialised data
    set32(out, opt + 56, get32(out, opt + 56) + rawSize);  // size of image

    // ImageCheck covers the head that the uninstaller image starts from.
    uint32_t imageCheck =
        hashBytes(&out[pe.pe + 92], static_cast<int32_t>(rawOffset - (pe.pe + 92)));
    set32(section, imageCheckAt, imageCheck);
    putBytes(out, section.data(), section.size());
    if (out.size() < rawOffset + rawSize) out.resize(rawOffset + rawSize, 0);
    return out;
}

}  // namespace tessarin::build
