// Fuzz target: the payload reader on arbitrary section bytes, through the header, the script,
// the data area and every file record, in both block modes. Each input is read twice: as it
// is, and with the data area's length, checksum and block checksums set to match the mutated
// bytes, so that the block stream and the records behind them are reached too.
#include <cstddef>
#include <cstdint>

#include "package/payload_reader.h"
#include "package/payload_section.h"
#include "tests/fuzz/fuzz_layers.h"

using namespace tessarin;

namespace {

void readDataArea(const uint8_t* area, size_t size, const PayloadHeader& header) {
    for (bool compressed : {true, false}) {
        DataArea reader;
        if (!reader.open(area, size, header, compressed).ok()) continue;
        for (int32_t i = 0; i < header.FileCount; ++i) {
            FileRecord record;
            if (!reader.nextFileRecord(i, record).ok()) break;
            if (!fuzz::readRecordData(reader, record, i)) break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    locateSetupSection(data, size);
    PayloadHeader header;
    String script;
    PayloadResult r = openPayload(data, size, header, script);
    if (!r.ok() || header.dataOffset > size) return 0;
    verifyScriptCheck(header, script);
    readDataArea(data + header.dataOffset, size - header.dataOffset, header);

    fuzz::Bytes area(data + header.dataOffset, data + size);
    if (area.size() <= INT32_MAX) {
        fuzz::fixBlockChecks(area.data(), area.size());
        header.DataSize = static_cast<int32_t>(area.size());
        header.DataCheck = hashBytes(area.data(), header.DataSize);
        readDataArea(area.data(), area.size(), header);
    }

    SectionPlace place{static_cast<uint32_t>(size / 2), static_cast<uint32_t>(size / 4), 0x178};
    String image;
    prepareUninstallerImage(data, size, place, 0, true, true, image);
    return 0;
}
