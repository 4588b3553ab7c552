// Fuzz target: the payload reader on arbitrary section bytes, through the header, the script,
// the data area and every file record, in both block modes.
#include <cstddef>
#include <cstdint>

#include "setup/payload_reader.h"
#include "setup/payload_section.h"

using namespace tessarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    locateSetupSection(data, size);
    PayloadHeader header;
    String script;
    PayloadResult r = openPayload(data, size, header, script);
    if (!r.ok()) return 0;
    verifyScriptCheck(header, script);
    for (bool compressed : {true, false}) {
        if (header.dataOffset > size) return 0;
        DataArea area;
        if (!area.open(data + header.dataOffset, size - header.dataOffset, header, compressed).ok())
            continue;
        for (int32_t i = 0; i < header.FileCount; ++i) {
            FileRecord record;
            if (!area.nextFileRecord(i, record).ok()) break;
        }
    }
    SectionPlace place{static_cast<uint32_t>(size / 2), static_cast<uint32_t>(size / 4), 0x178};
    String image;
    prepareUninstallerImage(data, size, place, 0, true, true, image);
    return 0;
}
