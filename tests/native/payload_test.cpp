// The payload format end to end: what tessarin-build writes, the installer's reader gets back,
// and every checked field, when damaged, gives its corruption code.
#include "package/payload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "package/payload_format.h"
#include "package/payload_reader.h"
#include "package/payload_section.h"
#include "pe_sample.h"
#include "tools/build/payload_dump.h"
#include "tools/build/payload_writer.h"

namespace tessarin {
namespace {

using testing::Bytes;
using testing::fakeStub;
using testing::get32;
using testing::set32;

String bytesOf(const std::string& s) {
    return String(s.data(), static_cast<int32_t>(s.size()));
}

std::vector<build::FileEntry> sampleFiles() {
    std::vector<build::FileEntry> files;
    auto add = [&](const char* name, int32_t kind, int32_t options, std::string data) {
        build::FileEntry f;
        f.name = String(name);
        f.kind = kind;
        f.options = options;
        f.attributes = 0x20;
        for (int i = 0; i < 24; ++i) f.date[i] = uint8_t(i + kind);
        f.label = String("label");
        if (options & 3) f.shortcutIcon = String("icon.ico,0");
        f.arguments = String("--flag");
        f.targetPath = String(u"%InstallDir%\\\u00dcbung");
        f.auxiliary = String("aux");
        f.uiLevel = 5;
        f.data = bytesOf(data);
        files.push_back(f);
    };
    std::string big;
    for (int i = 0; i < 70000; ++i) big += char('a' + (i * 7919) % 26);
    add("readme.txt", 0, 0, "hello, world\n");
    add("empty.dat", 1, 2, "");
    add("|\xc3\x9c"
        "bung.bin",
        2, 1, big);
    add("setup.msi", kKindInstallerPackage, 0, std::string(300, '\xff'));
    return files;
}

// The area read from the installer's bytes the way the installer reads its file: a chunk at a
// time; fill number failAt (counted from 1) fails.
class BytesSource : public ChunkedDataSource {
  public:
    BytesSource(const uint8_t* bytes, uint64_t size, size_t chunk, int failAt = 0)
        : ChunkedDataSource(size, chunk), bytes_(bytes), failAt_(failAt) {}
    int fills = 0;
    size_t largestFill = 0;

  protected:
    bool fill(uint64_t offset, uint8_t* out, size_t n) override {
        largestFill = std::max(largestFill, n);
        if (++fills == failAt_) return false;
        std::memcpy(out, bytes_ + offset, n);
        return true;
    }

  private:
    const uint8_t* bytes_;
    int failAt_;
};

struct Reader {
    SetupSection section;
    PayloadHeader header;
    String script;
    PayloadResult result;
    std::vector<FileRecord> records;
    std::vector<String> data;         // each record's file data
    bool leftoverBeforeLast = false;  // the area still holds the last record
    bool leftover = true;             // and after it: nothing may be left over
};

// Reads an installer the way the installer does, from the file's bytes: the data area in place,
// or through a chunked source when chunk is not 0.
Reader readInstaller(const Bytes& file, bool externalData, bool compressed, bool silent = false,
                     size_t chunk = 0) {
    Reader r;
    r.section = locateSetupSection(file.data(), file.size());
    if (r.section.errorCode || !r.section.found) {
        r.result.code = r.section.errorCode ? r.section.errorCode : -1;
        return r;
    }
    const uint8_t* base = file.data() + r.section.rawOffset;
    r.result = openPayload(base, r.section.rawSize, r.header, r.script);
    if (!r.result.ok()) return r;
    if (!verifyScriptCheck(r.header, r.script)) {
        r.result.code = kCodeScriptCheck;
        return r;
    }
    DataArea area;
    size_t position = r.section.rawOffset + r.header.dataOffset;
    size_t length =
        externalData ? file.size() - position : size_t(r.header.DataEnd) - r.header.dataOffset;
    BytesSource source(file.data() + position, length, chunk);
    r.result = chunk ? area.open(source, r.header, compressed)
                     : area.open(file.data() + position, length, r.header, compressed);
    for (int32_t i = 0; r.result.ok() && i < r.header.FileCount; ++i) {
        FileRecord f;
        if (i + 1 == r.header.FileCount) r.leftoverBeforeLast = area.hasLeftover();
        String data;
        r.result = area.nextFileRecord(i, f, silent);
        if (r.result.ok()) r.result = area.appendData(data);
        if (r.result.ok()) {
            r.records.push_back(f);
            r.data.push_back(data);
        }
    }
    r.leftover = area.hasLeftover();
    return r;
}

struct Layout {
    size_t blockSize;
    bool cipher;
    bool external;
    bool compressed;
};

class PayloadRoundTrip : public ::testing::TestWithParam<Layout> {};

TEST_P(PayloadRoundTrip, FilesComeBackByteForByte) {
    const Layout& l = GetParam();
    build::PayloadSpec spec;
    spec.script = bytesOf(std::string("install script \x01\x02 bytes", 24));
    spec.blockSize = l.blockSize;
    spec.encipher = l.cipher;
    spec.externalData = l.external;
    spec.compressBlocks = l.compressed;
    spec.files = sampleFiles();
    Bytes installer = build::buildInstaller(fakeStub(), spec);

    // In place, and read from the file in chunks that cut block lengths and bytes anywhere.
    for (size_t chunk : {size_t{0}, size_t{97}, size_t{1} << 20}) {
        SCOPED_TRACE(chunk);
        Reader r = readInstaller(installer, l.external, l.compressed, false, chunk);
        ASSERT_TRUE(r.result.ok()) << r.result.code;
        EXPECT_TRUE(r.script == spec.script);
        EXPECT_EQ(r.header.ProductFlags2 & kFlags2Enciphered, l.cipher ? kFlags2Enciphered : 0u);
        ASSERT_EQ(r.records.size(), spec.files.size());
        // The last record ends the data area (an external area's zero padding aside).
        EXPECT_TRUE(r.leftoverBeforeLast);
        EXPECT_FALSE(r.leftover);
        for (size_t i = 0; i < spec.files.size(); ++i) {
            const build::FileEntry& w = spec.files[i];
            const FileRecord& f = r.records[i];
            EXPECT_TRUE(f.name == w.name) << i;
            EXPECT_EQ(f.kind, w.kind);
            EXPECT_EQ(f.options, w.options);
            EXPECT_EQ(f.attributes, w.attributes);
            EXPECT_EQ(std::memcmp(f.date, w.date, 24), 0);
            EXPECT_TRUE(f.shortcutIcon == w.shortcutIcon);
            EXPECT_TRUE(f.arguments == w.arguments);
            EXPECT_TRUE(f.targetPath == w.targetPath);
            EXPECT_TRUE(f.auxiliary == w.auxiliary);
            EXPECT_EQ(f.uiLevel, w.kind == kKindInstallerPackage ? 5 : 0);
            EXPECT_EQ(f.dataSize, w.data.length());
            EXPECT_TRUE(r.data[i] == w.data) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PayloadRoundTrip,
    ::testing::Values(Layout{16, false, false, true}, Layout{37, true, false, true},
                      Layout{37, false, true, false}, Layout{4096, true, true, true},
                      Layout{1 << 20, false, false, true}, Layout{1 << 20, true, false, false}),
    [](const ::testing::TestParamInfo<Layout>& info) {
        const Layout& l = info.param;
        return "block" + std::to_string(l.blockSize) + (l.cipher ? "_cipher" : "") +
               (l.external ? "_external" : "") + (l.compressed ? "_zlib" : "_stored");
    });

TEST(Payload, SilentModeForcesTheInstallerUiLevel) {
    build::PayloadSpec spec;
    spec.script = bytesOf("s");
    spec.files = sampleFiles();
    Reader r = readInstaller(build::buildInstaller(fakeStub(), spec), false, true, true);
    ASSERT_TRUE(r.result.ok());
    EXPECT_EQ(r.records[3].uiLevel, 2);
}

void fixDataCheck(Bytes& b, size_t section, const PayloadHeader& h) {
    size_t area = section + h.dataOffset;
    set32(b, section + 39, hashBytes(&b[area], h.DataSize));
}

// Every block size from 8 to 64 bytes cuts the record lengths, the fields (the UTF-16 target at
// either parity) and the data at other places; the records still come back whole.
TEST(Payload, RecordsComeBackWhereverTheBlocksCutThem) {
    build::PayloadSpec spec;
    spec.script = bytesOf("s");
    spec.compressBlocks = false;
    spec.files = sampleFiles();
    spec.files[2].data.setLength(300);
    for (size_t blockSize = 8; blockSize <= 64; ++blockSize) {
        spec.blockSize = blockSize;
        Reader r = readInstaller(build::buildInstaller(fakeStub(), spec), false, false);
        ASSERT_TRUE(r.result.ok()) << blockSize << ": " << r.result.code;
        ASSERT_EQ(r.records.size(), spec.files.size());
        for (size_t i = 0; i < spec.files.size(); ++i) {
            const FileRecord& f = r.records[i];
            EXPECT_TRUE(f.name == spec.files[i].name) << blockSize;
            EXPECT_TRUE(f.label == spec.files[i].label) << blockSize;
            EXPECT_TRUE(f.targetPath == spec.files[i].targetPath) << blockSize;
            EXPECT_TRUE(f.auxiliary == spec.files[i].auxiliary) << blockSize;
            EXPECT_TRUE(r.data[i] == spec.files[i].data) << blockSize << " record " << i;
        }
        EXPECT_FALSE(r.leftover);
    }
}

// The data area of a built installer, ready for reading; the installer must stay.
struct OpenedArea {
    PayloadHeader header;
    String script;
    DataArea area;
};

void openArea(const Bytes& installer, bool compressed, OpenedArea& o) {
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    const uint8_t* base = installer.data() + s.rawOffset;
    ASSERT_TRUE(openPayload(base, s.rawSize, o.header, o.script).ok());
    ASSERT_TRUE(
        o.area.open(base + o.header.dataOffset, size_t(o.header.DataSize), o.header, compressed)
            .ok());
}

// A file that spans many blocks comes out in pieces of at most a block, byte for byte, with its
// checksum compared at the end; a rewind from the middle gives the same bytes again.
TEST(Payload, MultiBlockDataComesInPiecesOfAtMostABlock) {
    for (bool cipher : {false, true}) {
        SCOPED_TRACE(cipher ? "zlib, enciphered" : "zlib");
        build::PayloadSpec spec;
        spec.script = bytesOf("s");
        spec.blockSize = 4096;
        spec.encipher = cipher;
        spec.files = sampleFiles();
        const String& big = spec.files[2].data;  // 70000 bytes: 18 blocks
        Bytes installer = build::buildInstaller(fakeStub(), spec);
        OpenedArea o;
        openArea(installer, true, o);
        FileRecord f;
        for (int32_t i = 0; i < 2; ++i) ASSERT_TRUE(o.area.nextFileRecord(i, f).ok());
        ASSERT_TRUE(o.area.nextFileRecord(2, f).ok());
        EXPECT_EQ(f.dataSize, big.length());

        const uint8_t* piece;
        size_t size;
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(o.area.readData(piece, size).ok());
        ASSERT_TRUE(o.area.rewindData().ok());
        std::string got;
        int pieces = 0;
        do {
            ASSERT_TRUE(o.area.readData(piece, size).ok());
            EXPECT_LE(size, spec.blockSize);
            got.append(reinterpret_cast<const char*>(piece), size);
            pieces += size > 0;
        } while (size > 0);
        EXPECT_GE(pieces, 18);
        EXPECT_TRUE(got == std::string(big.c_str(), size_t(big.length())));
        EXPECT_EQ(o.area.dataCheck(), big.hash());
        // Read to its end once more after a rewind, then the next record follows.
        ASSERT_TRUE(o.area.rewindData().ok());
        ASSERT_TRUE(o.area.finishRecord().ok());
        ASSERT_TRUE(o.area.nextFileRecord(3, f).ok());
        ASSERT_TRUE(o.area.finishRecord().ok());
        EXPECT_FALSE(o.area.hasLeftover());
    }
}

// One byte of a multi-block file changed, with every block checksum and the area's checksum
// made to match: the file's pieces still come, and its end gives code 100, before the caller
// could keep the file; the area stays failed. A record left unread gives the same code when the
// next one is asked for.
TEST(Payload, DamagedDataOfAMultiBlockRecordGivesCode100AtItsEnd) {
    build::PayloadSpec spec;
    spec.script = bytesOf("s");
    spec.compressBlocks = false;
    spec.blockSize = 4096;
    spec.files = sampleFiles();
    String& big = spec.files[2].data;
    std::memcpy(big.data() + 40000, "MARKER", 6);
    Bytes installer = build::buildInstaller(fakeStub(), spec);
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    PayloadHeader h;
    String script;
    ASSERT_TRUE(openPayload(&installer[s.rawOffset], s.rawSize, h, script).ok());
    const char* marker = "MARKER";
    auto at = std::search(installer.begin(), installer.end(), marker, marker + 6);
    ASSERT_NE(at, installer.end());
    *at = 'N';
    size_t area = s.rawOffset + h.dataOffset;
    for (size_t pos = area; pos + 8 <= area + size_t(h.DataSize);) {
        uint32_t length = get32(installer, pos);
        set32(installer, pos + 4, hashBytes(&installer[pos + 8], int32_t(length)));
        pos += 8 + length;
    }
    fixDataCheck(installer, s.rawOffset, h);

    for (bool readPieces : {true, false}) {
        OpenedArea o;
        openArea(installer, false, o);
        FileRecord f;
        for (int32_t i = 0; i < 3; ++i) ASSERT_TRUE(o.area.nextFileRecord(i, f).ok()) << i;
        if (readPieces) {
            const uint8_t* piece;
            size_t size = 0, total = 0;
            PayloadResult r;
            do {
                r = o.area.readData(piece, size);
                total += size;
            } while (r.ok() && size > 0);
            EXPECT_EQ(r.code, kCodeFileDataCheck);
            EXPECT_EQ(total, size_t(big.length()));
            EXPECT_EQ(o.area.readData(piece, size).code, kCodeFileDataCheck);
            EXPECT_EQ(o.area.rewindData().code, kCodeFileDataCheck);
        }
        EXPECT_EQ(o.area.nextFileRecord(3, f).code, kCodeFileDataCheck);
    }
}

// A damaged block is decoded ahead of the reader but reported only when the reader reaches it:
// with any one block's checksum broken, reading with and without decoding ahead gives the same
// records, bytes and codes, and the records before the block come back whole.
TEST(Payload, ABlockDamagedAheadIsReportedWhereItIsReached) {
    build::PayloadSpec spec;
    spec.script = bytesOf("s");
    spec.blockSize = 4096;
    spec.files = sampleFiles();
    Bytes installer = build::buildInstaller(fakeStub(), spec);
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    PayloadHeader h;
    String script;
    ASSERT_TRUE(openPayload(&installer[s.rawOffset], s.rawSize, h, script).ok());
    size_t area = s.rawOffset + h.dataOffset;
    std::vector<size_t> blocks;
    for (size_t pos = area; pos + 8 <= area + size_t(h.DataSize); pos += 8 + get32(installer, pos))
        blocks.push_back(pos);
    ASSERT_GE(blocks.size(), 10u);

    // Each record's outcome and bytes, until the first fault.
    auto readAll = [&](const Bytes& damaged, bool ahead) {
        OpenedArea o;
        o.area.setReadAhead(ahead);
        openArea(damaged, true, o);
        DataArea& reader = o.area;
        std::string story;
        for (int32_t i = 0; i < o.header.FileCount; ++i) {
            FileRecord f;
            PayloadResult r = reader.nextFileRecord(i, f);
            const uint8_t* piece;
            size_t size = 1;
            while (r.ok() && size > 0) {
                r = reader.readData(piece, size);
                if (r.ok()) story.append(reinterpret_cast<const char*>(piece), size);
            }
            story += "|" + std::to_string(i) + ":" + std::to_string(r.code) + "|";
            if (!r.ok()) break;
        }
        return story;
    };
    std::string whole = readAll(installer, true);
    EXPECT_EQ(whole, readAll(installer, false));
    for (size_t k = 0; k < blocks.size(); ++k) {
        Bytes damaged = installer;
        damaged[blocks[k] + 4] ^= 1;
        fixDataCheck(damaged, s.rawOffset, h);
        std::string ahead = readAll(damaged, true);
        EXPECT_EQ(ahead, readAll(damaged, false)) << "block " << k;
        EXPECT_NE(ahead.find(":" + std::to_string(kCodeBlockCheck) + "|"), std::string::npos)
            << "block " << k;
        if (k > 0) {
            EXPECT_NE(ahead.find("|0:0|"), std::string::npos) << "block " << k;
        }
    }
}

// Read from the file, the reader holds one chunk, or one block when a block is larger, however
// large the area; a read that fails gives kCodeDataRead (the installer's "failed to read archive
// data"), whether at the check before the first record or in the middle of a record.
TEST(Payload, ChunkedReadingHoldsAtMostABlockAndReportsReadFailures) {
    build::PayloadSpec spec;
    spec.script = bytesOf("s");
    spec.compressBlocks = false;
    spec.blockSize = 4096;
    spec.files = sampleFiles();
    Bytes installer = build::buildInstaller(fakeStub(), spec);
    OpenedArea o;
    openArea(installer, false, o);
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    const uint8_t* area = installer.data() + s.rawOffset + o.header.dataOffset;
    uint64_t size = uint64_t(o.header.DataSize);
    ASSERT_GT(size, 60000u);

    auto readAll = [&](DataArea& reader) {
        PayloadResult r;
        for (int32_t i = 0; r.ok() && i < o.header.FileCount; ++i) {
            FileRecord f;
            r = reader.nextFileRecord(i, f);
            if (r.ok()) r = reader.finishRecord();
        }
        return r;
    };
    for (size_t chunk : {size_t{1000}, size_t{16384}}) {
        BytesSource source(area, size, chunk);
        DataArea reader;
        ASSERT_TRUE(reader.open(source, o.header, false).ok());
        ASSERT_TRUE(readAll(reader).ok());
        EXPECT_FALSE(reader.hasLeftover());
        EXPECT_LE(source.bufferSize(), std::max<size_t>(chunk, 4096 + 8)) << chunk;
        EXPECT_LE(source.largestFill, std::max<size_t>(chunk, 4096 + 8)) << chunk;
    }

    BytesSource atCheck(area, size, 1000, 3);
    DataArea reader;
    EXPECT_EQ(reader.open(atCheck, o.header, false).code, kCodeDataRead);
    EXPECT_EQ(atCheck.failedOffset(), 2000u);
    EXPECT_EQ(atCheck.failedCount(), 1000u);

    // The check takes size / 1000 + 1 fills; the records fail a few blocks in.
    int checkFills = int(size / 1000) + 1;
    BytesSource midway(area, size, 1000, checkFills + 20);
    ASSERT_TRUE(reader.open(midway, o.header, false).ok());
    EXPECT_EQ(readAll(reader).code, kCodeDataRead);
    EXPECT_GT(midway.failedOffset(), 0u);
    EXPECT_EQ(reader.finishRecord().code, kCodeDataRead);
}

// The block packing runs on a pool of workers; the installer's bytes are the same as with one.
TEST(Payload, WorkerCountDoesNotChangeTheInstaller) {
    build::PayloadSpec spec;
    spec.script = bytesOf("script");
    spec.key = std::array<uint8_t, 8>{8, 7, 6, 5, 4, 3, 2, 1};
    spec.blockSize = 64;  // some 1,100 blocks
    spec.files = sampleFiles();
    for (bool compressed : {true, false}) {
        for (bool cipher : {false, true}) {
            SCOPED_TRACE(std::string(compressed ? "zlib" : "stored") + (cipher ? ", cipher" : ""));
            spec.compressBlocks = compressed;
            spec.encipher = cipher;
            spec.workers = 1;
            Bytes one = build::buildInstaller(fakeStub(), spec);
            for (unsigned workers : {4u, 3u, 0u}) {
                spec.workers = workers;
                EXPECT_TRUE(build::buildInstaller(fakeStub(), spec) == one) << workers;
            }
            Reader r = readInstaller(one, false, compressed);
            ASSERT_TRUE(r.result.ok()) << r.result.code;
            EXPECT_TRUE(r.data[2] == spec.files[2].data);
        }
    }
}

TEST(Payload, BuiltInstallerKeepsTheStubAndAddsARealSection) {
    Bytes stub = fakeStub();
    build::PayloadSpec spec;
    spec.script = bytesOf("script");
    Bytes installer = build::buildInstaller(stub, spec);
    EXPECT_EQ(std::memcmp(installer.data() + 0x400, stub.data() + 0x400, stub.size() - 0x400), 0);
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    ASSERT_TRUE(s.found);
    // The section starts on the next page (a loader maps it from the file as it is read),
    // after zeros.
    EXPECT_EQ(s.rawOffset, 0x1000u);
    EXPECT_TRUE(std::all_of(installer.begin() + long(stub.size()), installer.begin() + 0x1000,
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(s.virtualAddress, 0x4000u);
    EXPECT_EQ(installer[0x86], 4);
    EXPECT_EQ(get32(installer, 0x98 + 56), 0x4000u + s.rawSize);
    EXPECT_EQ(installer.size(), size_t(s.rawOffset) + s.rawSize);
}

// The 64-bit build of the stub is a PE32+ program: the section goes in, the reader finds it and
// the uninstaller image gives the stub back, exactly as with the product's PE32 stub; the
// description names the stub's machine.
TEST(Payload, PE32AndPE32PlusStubsTakeThePayloadAlike) {
    for (bool pe32Plus : {false, true}) {
        SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
        Bytes stub = fakeStub(pe32Plus);
        build::PayloadSpec spec;
        spec.script = bytesOf("script");
        spec.files = sampleFiles();
        Bytes installer = build::buildInstaller(stub, spec);
        Reader r = readInstaller(installer, false, true);
        ASSERT_TRUE(r.result.ok()) << r.result.code;
        ASSERT_EQ(r.records.size(), spec.files.size());
        EXPECT_EQ(get32(installer, 0x98 + 56), 0x4000u + r.section.rawSize);
        std::vector<uint8_t> image = build::uninstallerImage(installer);
        EXPECT_EQ(image, stub);
        std::string dump = build::dumpInstaller(installer);
        EXPECT_NE(dump.find(pe32Plus ? "\"machine\":\"x86-64\",\"format\":\"PE32+\",\"bits\":64"
                                     : "\"machine\":\"i386\",\"format\":\"PE32\",\"bits\":32"),
                  std::string::npos)
            << dump.substr(0, 200);
    }
    Bytes arm = fakeStub(true);
    arm[0x84] = 0x64;
    arm[0x85] = 0xaa;  // ARM64
    build::PayloadSpec spec;
    spec.script = bytesOf("script");
    try {
        build::buildInstaller(arm, spec);
        ADD_FAILURE() << "an ARM64 stub was taken";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(),
                     "stub: machine 0xaa64 with optional header 0x20b is neither i386 PE32 nor "
                     "x86-64 PE32+");
    }
}

TEST(Payload, UninstallerImageIsTheStubAgain) {
    Bytes stub = fakeStub();
    build::PayloadSpec spec;
    spec.script = bytesOf("script");
    spec.files = sampleFiles();
    Bytes installer = build::buildInstaller(stub, spec);
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    PayloadHeader h;
    String script;
    ASSERT_TRUE(openPayload(installer.data() + s.rawOffset, s.rawSize, h, script).ok());
    SectionPlace place{s.rawOffset, s.rawSize, s.tableEntryOffset};
    String image;
    ASSERT_EQ(prepareUninstallerImage(installer.data(), installer.size(), place, h.ImageCheck, true,
                                      true, image),
              kCodeOk);
    // Header fields restored; the emptied table slot is zero, as in the stub.
    ASSERT_EQ(size_t(image.length()), stub.size());
    EXPECT_EQ(std::memcmp(image.c_str(), stub.data(), stub.size()), 0);

    Bytes damaged = installer;
    damaged[0x100] ^= 1;  // inside the checked head
    EXPECT_EQ(prepareUninstallerImage(damaged.data(), damaged.size(), place, h.ImageCheck, true,
                                      true, image),
              kCodeImageCheck);
    EXPECT_EQ(prepareUninstallerImage(damaged.data(), damaged.size(), place, h.ImageCheck, false,
                                      false, image),
              kCodeOk);
}

// The installer reads only the head and the tail of its file; bytes after the section (a
// signature, say) end up after the stub's own.
TEST(Payload, UninstallerImageFromHeadAndTail) {
    Bytes stub = fakeStub();
    build::PayloadSpec spec;
    spec.script = bytesOf("script");
    Bytes installer = build::buildInstaller(stub, spec);
    SetupSection s = locateSetupSection(installer.data(), installer.size());
    PayloadHeader h;
    String script;
    ASSERT_TRUE(openPayload(installer.data() + s.rawOffset, s.rawSize, h, script).ok());
    SectionPlace place{s.rawOffset, s.rawSize, s.tableEntryOffset};
    String head(reinterpret_cast<const char*>(installer.data()), static_cast<int32_t>(s.rawOffset));
    String tail = bytesOf("trailing bytes");
    String image;
    ASSERT_EQ(prepareUninstallerImage(head, tail, true, place, h.ImageCheck, true, true, image),
              kCodeOk);
    ASSERT_EQ(size_t(image.length()), stub.size() + 14);
    EXPECT_EQ(std::memcmp(image.c_str(), stub.data(), stub.size()), 0);
    EXPECT_EQ(std::string(image.c_str() + stub.size(), 14), "trailing bytes");

    EXPECT_EQ(prepareUninstallerImage(head, tail, false, place, h.ImageCheck, true, true, image),
              kCodeTailRead);
    EXPECT_EQ(prepareUninstallerImage(head, tail, false, place, h.ImageCheck, true, false, image),
              kCodeOk);
    head.setLength(head.length() - 1);
    EXPECT_EQ(prepareUninstallerImage(head, tail, true, place, h.ImageCheck, false, false, image),
              kCodeImageRead);
}

// Each case damages a built installer and names the code the reader must give.
struct Damage {
    const char* what;
    int code;
    std::function<void(Bytes&, size_t section, const PayloadHeader&)> apply;
};

TEST(Payload, EveryCheckedFieldGivesItsCode) {
    // One stored, unciphered block keeps record bytes visible for the record-level cases.
    build::PayloadSpec spec;
    spec.script = bytesOf("the script, long enough to give a few bytes of deflate data");
    spec.compressBlocks = false;
    spec.files = sampleFiles();
    const Bytes good = build::buildInstaller(fakeStub(), spec);
    SetupSection s = locateSetupSection(good.data(), good.size());
    const size_t sec = s.rawOffset;
    // Offsets within the section: magic 0, version 4, flags2 11, packed size 15, script check
    // 19, image check 23, DataEnd 27, FileCount 31, DataSize 35, DataCheck 39, FileSizes 43.
    PayloadHeader h;
    String script;
    ASSERT_TRUE(openPayload(&good[sec], s.rawSize, h, script).ok());
    const size_t area = sec + h.dataOffset;

    std::vector<Damage> cases = {
        {"PE offset", kCodePeOffset,
         [](Bytes& b, size_t, const PayloadHeader&) { set32(b, 60, 40); }},
        {"section count", kCodeSectionCount,
         [](Bytes& b, size_t, const PayloadHeader&) { b[0x86] = 100; }},
        {"magic", kCodeMagic, [](Bytes& b, size_t x, const PayloadHeader&) { b[x] ^= 1; }},
        {"packed size 0", kCodeScriptSize,
         [](Bytes& b, size_t x, const PayloadHeader&) { set32(b, x + 15, 0); }},
        {"packed size too big", kCodeScriptSize,
         [](Bytes& b, size_t x, const PayloadHeader&) { set32(b, x + 15, 0x3200000); }},
        // Damage inside the deflate data changes the script; the zlib trailer alone would not.
        {"script byte", kCodeScriptCheck,
         [](Bytes& b, size_t x, const PayloadHeader& hh) {
             b[x + hh.dataOffset - size_t(hh.ScriptPackedSize) + 4] ^= 0x10;
         }},
        // A wrong check unmasks the script into garbage that inflates to nothing.
        {"script check", kCodeScriptCheck,
         [](Bytes& b, size_t x, const PayloadHeader&) { b[x + 19] ^= 0x55; }},
        {"DataEnd", kCodeDataEnd,
         [](Bytes& b, size_t x, const PayloadHeader&) { set32(b, x + 27, 0xFFFFFFFF); }},
        {"FileCount", kCodeFileCount,
         [](Bytes& b, size_t x, const PayloadHeader&) { set32(b, x + 31, 0x80000000); }},
        {"DataSize negative", kCodeDataSize,
         [](Bytes& b, size_t x, const PayloadHeader&) { set32(b, x + 35, 0xFFFFFFF0); }},
        {"DataSize differs", kCodeDataLength,
         [](Bytes& b, size_t x, const PayloadHeader& hh) { set32(b, x + 35, hh.DataSize - 1); }},
        {"FileSizes", kCodeFileSize,
         [](Bytes& b, size_t x, const PayloadHeader&) { set32(b, x + 43, 0x40000001); }},
        {"data byte", kCodeDataCheck,
         [area](Bytes& b, size_t, const PayloadHeader&) { b[area + 20] ^= 1; }},
        {"block length 0", kCodeBlockLength,
         [area](Bytes& b, size_t x, const PayloadHeader& hh) {
             set32(b, area, 0);
             fixDataCheck(b, x, hh);
         }},
        {"block checksum", kCodeBlockCheck,
         [area](Bytes& b, size_t x, const PayloadHeader& hh) {
             b[area + 4] ^= 1;
             fixDataCheck(b, x, hh);
         }},
        {"block overrun", kCodeBlockOverrun,
         [area](Bytes& b, size_t x, const PayloadHeader& hh) {
             set32(b, area, hh.DataSize);
             fixDataCheck(b, x, hh);
         }},
        {"empty name", kCodeEmptyName,
         [area](Bytes& b, size_t x, const PayloadHeader& hh) {
             b[area + 12] = 0;  // first byte of the first record's name
             set32(b, area + 4, hashBytes(&b[area + 8], int32_t(get32(b, area))));
             fixDataCheck(b, x, hh);
         }},
        {"file data", kCodeFileDataCheck,
         [area](Bytes& b, size_t x, const PayloadHeader& hh) {
             // "hello, world" lies in the one block of stored records.
             const char* needle = "hello";
             auto it = std::search(b.begin() + long(area), b.end(), needle, needle + 5);
             ASSERT_NE(it, b.end());
             *it = 'j';
             set32(b, area + 4, hashBytes(&b[area + 8], int32_t(get32(b, area))));
             fixDataCheck(b, x, hh);
         }},
    };
    for (const Damage& d : cases) {
        Bytes b = good;
        d.apply(b, sec, h);
        Reader r = readInstaller(b, false, false);
        EXPECT_EQ(r.result.code, d.code) << d.what;
    }

    Bytes version = good;
    version[sec + 9] = '3';
    Reader r = readInstaller(version, false, false);
    EXPECT_TRUE(r.result.versionMismatch);
    EXPECT_STREQ(r.header.BuilderVersion.c_str(), "37.0.3");
}

TEST(Payload, EnciphersScriptOfAnyLengthAndRefusesBadCipherLengths) {
    build::PayloadSpec spec;
    spec.encipher = true;
    spec.key = std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8};
    for (int n : {1, 7, 8, 9, 100}) {
        spec.script = bytesOf(std::string(size_t(n), 'x'));
        Reader r = readInstaller(build::buildInstaller(fakeStub(), spec), false, true);
        ASSERT_TRUE(r.result.ok()) << n;
        EXPECT_TRUE(r.script == spec.script);
    }
    Bytes b = build::buildInstaller(fakeStub(), spec);
    size_t sec = locateSetupSection(b.data(), b.size()).rawOffset;
    set32(b, sec + 15, get32(b, sec + 15) - 1);  // not a multiple of 8
    EXPECT_EQ(readInstaller(b, false, true).result.code, kCodeScriptInflate);
}

TEST(Payload, StubsThatCannotTakeASectionAreRefused) {
    build::PayloadSpec spec;
    spec.script = bytesOf("s");
    Bytes notPe(0x800, 0);
    EXPECT_THROW(build::buildInstaller(notPe, spec), std::runtime_error);
    Bytes installer = build::buildInstaller(fakeStub(), spec);
    EXPECT_THROW(build::buildInstaller(installer, spec), std::runtime_error);  // already has one
}

// With external data the data area is read from the file, and still the uninstaller image (the
// file without its section) is the stub alone: no product data travels into the uninstaller
// copy or into the space estimate.
TEST(Payload, ExternalDataStaysOutOfTheUninstallerImage) {
    Bytes stub = fakeStub();
    build::PayloadSpec spec;
    spec.script = bytesOf("script");
    spec.externalData = true;
    spec.productFlags2 = kFlags2CutSetupSection;
    spec.files = sampleFiles();
    Bytes installer = build::buildInstaller(stub, spec);
    Reader r = readInstaller(installer, true, true);
    ASSERT_TRUE(r.result.ok()) << r.result.code;
    ASSERT_EQ(r.records.size(), spec.files.size());
    EXPECT_TRUE(r.data[2] == spec.files[2].data);

    SetupSection s = locateSetupSection(installer.data(), installer.size());
    // The loader maps the header and the script only.
    EXPECT_EQ(s.mappedSize(), r.header.dataOffset);
    SectionPlace place{s.rawOffset, s.rawSize, s.tableEntryOffset};
    String image;
    ASSERT_EQ(prepareUninstallerImage(installer.data(), installer.size(), place,
                                      r.header.ImageCheck, true, true, image),
              kCodeOk);
    ASSERT_EQ(size_t(image.length()), stub.size());
    EXPECT_EQ(std::memcmp(image.c_str(), stub.data(), stub.size()), 0);
}

// The installer reads the packed script's length, DataEnd and DataSize as signed 32-bit values
// and takes a packed script of at most 0x31FFFFF bytes; beyond that the build is refused,
// saying what is too large and the limit.
TEST(Payload, SizesTheInstallerCannotReadAreRefusedAtBuildTime) {
    struct Case {
        uint64_t script, offset, area;
        const char* error;  // null: accepted
    };
    const Case cases[] = {
        {0x31FFFFF, 0x3200100, 0x7FFFFFFF - 0x3200100, nullptr},
        {0x3200000, 0x3200100, 0,
         "packed install script is 52428800 bytes; the installer takes "
         "at most 52428799 bytes"},
        {100, 200, 0x80000000,
         "data area (the product's files, compressed) is 2147483648 bytes; "
         "the installer takes at most 2147483647 bytes"},
        {100, 200, 0x7FFFFFFF - 199,
         "payload (header, install script and data area) is "
         "2147483648 bytes; the installer takes at most 2147483647"},
        {100, 200, 0x100000000 + 10, "data area"},  // would wrap to 10 in 32 bits
    };
    for (const Case& c : cases) {
        std::string error;
        try {
            build::checkPayloadLimits(c.script, c.offset, c.area);
        } catch (const std::runtime_error& e) {
            error = e.what();
        }
        if (!c.error)
            EXPECT_EQ(error, "");
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }

    // A script that packs to more than the limit: random bytes do not compress.
    build::PayloadSpec spec;
    spec.level = 1;
    std::string noise(size_t(kMaxScriptPackedSize) + 1, '\0');
    uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 23);
    }
    spec.script = bytesOf(noise);
    try {
        build::buildInstaller(fakeStub(), spec);
        ADD_FAILURE() << "an installer whose script the installer refuses was built";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("the installer takes at most 52428799 bytes"),
                  std::string::npos)
            << e.what();
    }
}

TEST(Payload, ScriptCorruptionTextTakesOnlyTheCode) {
    EXPECT_TRUE(corruptionMessage(55, String(u"Broken (%d).")).equalsWide(u"Broken (55)."));
    // The text comes from the script: conversions other than %d must not read arguments.
    EXPECT_TRUE(corruptionMessage(7, String(u"%s %x 100%% %d %n")).equalsWide(u"%s %x 100% 7 %n"));
    EXPECT_TRUE(corruptionMessage(55).startsWithWide(u"This installation program is corrupt"));
    // A text outside any one 8-bit code page stays as it is.
    EXPECT_TRUE(corruptionMessage(40, String(u"Установка повреждена (код %d) ∑"))
                    .equalsWide(u"Установка повреждена (код 40) ∑"));
}

// The program's path and the system's text reach the message as they are, whatever their
// language.
TEST(Payload, SelfOpenFailureKeepsThePathAndTheErrorText) {
    String text = selfOpenFailureMessage(String(u"C:\\Загрузки\\Übung setup.exe"), 5,
                                         String(u"Доступ запрещён."));
    EXPECT_TRUE(
        text.equalsWide(u"Error code 1: The installer could not open itself.\r\n"
                        u"Filename: C:\\Загрузки\\Übung setup.exe\r\n"
                        u"Error #5: Доступ запрещён."));
}

}  // namespace
}  // namespace tessarin
