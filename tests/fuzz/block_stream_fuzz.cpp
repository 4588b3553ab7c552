// Fuzz target: the data area's block stream on its own (block framing, cipher, inflation, the
// record stream across blocks and the records it yields). Input: see fuzz_layers.h. Block
// checksums and the area's checksum are set to match the mutated bytes unless the input keeps
// them.
#include <cstddef>
#include <cstdint>

#include "package/payload_reader.h"
#include "tests/fuzz/fuzz_layers.h"

using namespace tessarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::LayerInput in;
    if (!fuzz::splitBlockInput(data, size, in) || in.restSize > INT32_MAX) return 0;
    fuzz::Bytes area(in.rest, in.rest + in.restSize);
    if (!(in.options & fuzz::kInputKeepChecks)) fuzz::fixBlockChecks(area.data(), area.size());
    PayloadHeader header;
    if (in.options & fuzz::kInputEnciphered) {
        header.ProductFlags2 |= kFlags2Enciphered;
        std::memcpy(header.CipherKey, in.key, sizeof in.key);
    }
    header.FileSizes = in.fileSizes;
    header.FileCount = static_cast<int32_t>(in.fileSizes.size());
    header.DataSize = static_cast<int32_t>(area.size());
    header.DataCheck = hashBytes(area.data(), header.DataSize);
    DataArea reader;
    if (!reader.open(area.data(), area.size(), header, in.options & fuzz::kInputCompressed).ok())
        return 0;
    for (int32_t i = 0; i < header.FileCount; ++i) {
        FileRecord record;
        if (!reader.nextFileRecord(i, record, in.options & fuzz::kInputSilent).ok()) break;
        if (!fuzz::readRecordData(reader, record, i)) break;
    }
    return 0;
}
