#include "core/containers.h"

#include <algorithm>

namespace tessarin {

namespace {

// A count takes seven bits a byte, the low bits first; the top bit says that more follow.
int countBytes(uint32_t n) {
    int bytes = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++bytes;
    }
    return bytes;
}

char* putCount(char* to, uint32_t n) {
    while (n >= 0x80) {
        *to++ = static_cast<char>(0x80 | (n & 0x7F));
        n >>= 7;
    }
    *to++ = static_cast<char>(n);
    return to;
}

}  // namespace

int32_t PrefixList::takeCount(const char* bytes, size_t& at) {
    uint32_t n = 0;
    for (int shift = 0;; shift += 7) {
        uint8_t b = static_cast<uint8_t>(bytes[at++]);
        n |= uint32_t(b & 0x7F) << shift;
        if (!(b & 0x80)) return static_cast<int32_t>(n);
    }
}

// Each string is one record of the buffer: its two counts and its own bytes.
void PrefixList::add(const char* bytes, int32_t length) {
    if (length < 0) length = 0;
    const char* last = last_.c_str();
    int32_t common = std::min(length, last_.length());
    int32_t shared = 0;
    while (shared < common && bytes[shared] == last[shared]) ++shared;
    uint32_t rest = static_cast<uint32_t>(length - shared);
    size_t size = static_cast<size_t>(countBytes(uint32_t(shared)) + countBytes(rest)) + rest;
    char* to = putCount(putCount(records_.appendRoom(size), uint32_t(shared)), rest);
    if (rest > 0) std::memcpy(to, bytes + shared, rest);
    last_.assign(bytes, length);
    ++count_;
    total_ += static_cast<size_t>(length);
}

void PrefixList::clear() {
    records_.clear();
    last_ = String();
    count_ = 0;
    total_ = 0;
}

}  // namespace tessarin
