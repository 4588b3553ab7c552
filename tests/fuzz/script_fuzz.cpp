// Fuzz target: the install script reader on arbitrary bytes, in normal or silent mode, and the
// message lookup on whatever table it read.
#include <cstddef>
#include <cstdint>

#include "core/string.h"
#include "package/script_reader.h"
#include "tests/native/script_sample.h"

using namespace tessarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The checksum is taken from the data so that the reading goes past the header.
    uint32_t check = hashBytes(data, static_cast<int32_t>(size));
    // One reading per input; the length's parity chooses silent mode.
    testing::FakeScriptEnvironment env;
    env.silent = size % 2 == 1;
    InstallScript script;
    ScriptSource source{data, size, check, 0xFFFFFFFF};
    ReadInstallScript(source, env, script);
    int32_t last = script.Messages.MessageCount;
    for (int32_t n : {-1, 0, 1, 13, last - 1, last}) script.message(n);
    return 0;
}
