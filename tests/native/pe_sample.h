// Small PE images for the payload tests: the stub that tessarin-build adds ".setup" to.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace tessarin::testing {

using Bytes = std::vector<uint8_t>;

inline uint32_t get32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
inline void set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A small image with three sections, laid out as a linker would: PE32 for i386 (the product's
// stub) or PE32+ for x86-64, whose optional header is 16 bytes longer.
inline Bytes fakeStub(bool pe32Plus = false) {
    Bytes b(0x400 + 3 * 0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    set32(b, 60, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    b[0x84] = pe32Plus ? 0x64 : 0x4c;
    b[0x85] = pe32Plus ? 0x86 : 0x01;
    b[0x86] = 3;
    const size_t optSize = pe32Plus ? 240 : 224;
    b[0x94] = uint8_t(optSize);
    size_t opt = 0x98;
    b[opt] = 0x0b;
    b[opt + 1] = pe32Plus ? 0x02 : 0x01;
    set32(b, opt + 32, 0x1000);  // section alignment
    set32(b, opt + 36, 0x200);   // file alignment
    set32(b, opt + 56, 0x4000);  // size of image
    set32(b, opt + 60, 0x400);   // size of headers
    const char* names[] = {".text", ".data", ".rsrc"};
    for (uint32_t i = 0; i < 3; ++i) {
        size_t e = opt + optSize + i * 40;
        std::memcpy(&b[e], names[i], std::strlen(names[i]));
        set32(b, e + 8, 0x200);
        set32(b, e + 12, 0x1000 * (i + 1));
        set32(b, e + 16, 0x200);
        set32(b, e + 20, 0x400 + 0x200 * i);
        for (size_t k = 0; k < 0x200; ++k) b[0x400 + 0x200 * i + k] = uint8_t(i * 31 + k);
    }
    return b;
}

}  // namespace tessarin::testing
