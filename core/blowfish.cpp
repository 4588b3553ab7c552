#include "core/blowfish.h"

#include <cstring>

#include "blowfish_tables.h"  // generated from the digits of pi (tools/gen/pi_hex_tables.py)

namespace tessarin {
namespace {

uint32_t loadBigEndian(const uint8_t* b) {
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
}

void storeBigEndian(uint8_t* b, uint32_t v) {
    b[0] = uint8_t(v >> 24);
    b[1] = uint8_t(v >> 16);
    b[2] = uint8_t(v >> 8);
    b[3] = uint8_t(v);
}

}  // namespace

Blowfish::Blowfish() {
    std::memcpy(p_, kBlowfishInitialP, sizeof p_);
    std::memcpy(s_, kBlowfishInitialS, sizeof s_);
}

uint32_t Blowfish::round(uint32_t x) const {
    return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void Blowfish::setKey(const uint8_t* key, size_t len) {
    std::memcpy(p_, kBlowfishInitialP, sizeof p_);
    std::memcpy(s_, kBlowfishInitialS, sizeof s_);

    static const uint8_t kZero = 0;
    if (!key || len == 0) {
        key = &kZero;
        len = 1;
    }
    size_t k = 0;
    for (uint32_t& word : p_) {
        uint32_t cycled = 0;
        for (int i = 0; i < 4; ++i) {
            cycled = (cycled << 8) | key[k];
            if (++k == len) k = 0;
        }
        word ^= cycled;
    }

    // Replace the P-array and then the S-boxes, two words at a time, with the successive
    // encryptions of the all-zero block under the tables as they stand.
    uint32_t left = 0, right = 0;
    for (size_t i = 0; i < 18; i += 2) {
        encryptBlock(left, right);
        p_[i] = left;
        p_[i + 1] = right;
    }
    for (auto& box : s_) {
        for (size_t i = 0; i < 256; i += 2) {
            encryptBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

void Blowfish::encryptBlock(uint32_t& left, uint32_t& right) const {
    uint32_t l = left, r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= p_[i];
        r ^= round(l);
        r ^= p_[i + 1];
        l ^= round(r);
    }
    left = r ^ p_[17];
    right = l ^ p_[16];
}

void Blowfish::decryptBlock(uint32_t& left, uint32_t& right) const {
    uint32_t l = left, r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= p_[i];
        r ^= round(l);
        r ^= p_[i - 1];
        l ^= round(r);
    }
    left = r ^ p_[0];
    right = l ^ p_[1];
}

void Blowfish::encryptBytes(uint8_t block[kBlockSize]) const {
    uint32_t l = loadBigEndian(block), r = loadBigEndian(block + 4);
    encryptBlock(l, r);
    storeBigEndian(block, l);
    storeBigEndian(block + 4, r);
}

void Blowfish::decryptBytes(uint8_t block[kBlockSize]) const {
    uint32_t l = loadBigEndian(block), r = loadBigEndian(block + 4);
    decryptBlock(l, r);
    storeBigEndian(block, l);
    storeBigEndian(block + 4, r);
}

}  // namespace tessarin
