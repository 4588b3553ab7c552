#include "tools/build/stub_kind.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "core/byte_order.h"
#include "tools/build/json_text.h"

namespace tessarin::build {
namespace {

constexpr uint16_t kMachineI386 = 0x14c;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMagicPe32 = 0x10b;
constexpr uint16_t kMagicPe32Plus = 0x20b;

[[noreturn]] void refuse(const std::string& why) {
    throw std::runtime_error("stub: " + why);
}

}  // namespace

StubKind stubKind(const uint8_t* file, size_t size) {
    if (size < 64 || file[0] != 'M' || file[1] != 'Z') refuse("not an MZ executable");
    uint32_t pe = loadLe32(file + 60);
    if (pe > size || size - pe < 26 || loadLe32(file + pe) != 0x00004550)
        refuse("no PE header where the MZ header points");
    StubKind kind;
    kind.machine = static_cast<uint16_t>(loadLe16(file + pe + 4));
    uint32_t magic = loadLe16(file + pe + 24);
    if (kind.machine == kMachineI386 && magic == kMagicPe32) {
        kind.bits = 32;
        kind.format = "PE32";
        kind.machineName = "i386";
        kind.description = "32-bit stub (the product)";
    } else if (kind.machine == kMachineAmd64 && magic == kMagicPe32Plus) {
        kind.bits = 64;
        kind.format = "PE32+";
        kind.machineName = "x86-64";
        kind.description = "64-bit build of the stub (a test vehicle, not the product)";
    } else {
        char text[96];
        std::snprintf(text, sizeof text,
                      "machine 0x%04x with optional header 0x%03x is neither i386 PE32 nor "
                      "x86-64 PE32+",
                      kind.machine, magic);
        refuse(text);
    }
    return kind;
}

std::string stubJson(const StubKind& kind) {
    auto text = [](const char* s) { return jsonUtf8Text(s, std::strlen(s)); };
    return "{\"machine\":" + text(kind.machineName) + ",\"format\":" + text(kind.format) +
           ",\"bits\":" + std::to_string(kind.bits) + ",\"description\":" + text(kind.description) +
           "}";
}

}  // namespace tessarin::build
