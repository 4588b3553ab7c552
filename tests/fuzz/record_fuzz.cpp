// Fuzz target: the record reader on a record stream of its own. The stream is framed into
// stored blocks of the size the input chooses (so records and their fields straddle blocks),
// and each record's data checksum is set to match its mutated bytes unless the input keeps
// it. Input: see fuzz_layers.h.
#include <cstddef>
#include <cstdint>

#include "package/payload_reader.h"
#include "tests/fuzz/fuzz_layers.h"

using namespace tessarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::LayerInput in;
    if (!fuzz::splitRecordInput(data, size, in)) return 0;
    fuzz::Bytes stream(in.rest, in.rest + in.restSize);
    if (!(in.options & fuzz::kInputKeepChecks))
        fuzz::fixRecordChecks(stream.data(), stream.size(), in.fileSizes);
    size_t blockSize = 8 + 4 * static_cast<size_t>(in.blockSizeByte);
    fuzz::Bytes area = fuzz::frameRecords(stream.data(), stream.size(), blockSize);
    if (area.size() > INT32_MAX) return 0;
    PayloadHeader header;
    header.FileSizes = in.fileSizes;
    header.FileCount = static_cast<int32_t>(in.fileSizes.size());
    header.DataSize = static_cast<int32_t>(area.size());
    header.DataCheck = hashBytes(area.data(), header.DataSize);
    DataArea reader;
    if (!reader.open(area.data(), area.size(), header, false).ok()) return 0;
    for (int32_t i = 0; i < header.FileCount; ++i) {
        FileRecord record;
        if (!reader.nextFileRecord(i, record, in.options & fuzz::kInputSilent).ok()) break;
        if (!fuzz::readRecordData(reader, record, i)) break;
    }
    return 0;
}
