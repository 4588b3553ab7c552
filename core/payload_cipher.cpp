#include "core/payload_cipher.h"

#include <cstring>

#include "core/blowfish.h"

namespace tessarin {
namespace {

constexpr int32_t kTrailerSize = 4;
constexpr int32_t kBlock = static_cast<int32_t>(Blowfish::kBlockSize);

Blowfish keyedCipher(const uint8_t key[kCipherKeySize]) {
    uint8_t reordered[kCipherKeySize];
    payloadBlowfishKey(key, reordered);
    return Blowfish(reordered, kCipherKeySize);
}

}  // namespace

void payloadBlowfishKey(const uint8_t key[kCipherKeySize], uint8_t out[kCipherKeySize]) {
    for (size_t i = 0; i < 4; ++i) {
        out[i] = key[3 - i];
        out[4 + i] = key[7 - i];
    }
}

bool decipherPayloadBuffer(const uint8_t key[kCipherKeySize], String& buffer) {
    const int32_t n = buffer.length();
    if (n < kBlock || n % kBlock != 0) {
        buffer.clear();
        return false;
    }
    const Blowfish cipher = keyedCipher(key);
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    for (int32_t at = 0; at < n; at += kBlock) cipher.decryptBytes(bytes + at);

    const uint8_t* t = bytes + n - kTrailerSize;
    const auto length = static_cast<int32_t>(uint32_t(t[0]) | (uint32_t(t[1]) << 8) |
                                             (uint32_t(t[2]) << 16) | (uint32_t(t[3]) << 24));
    if (length < n - 12 || length > n - kTrailerSize) {
        buffer.clear();
        return false;
    }
    buffer.setLength(length);
    return true;
}

String encipherPayloadBuffer(const uint8_t key[kCipherKeySize], const uint8_t* data, size_t len) {
    String out;
    if (len > size_t(kWholeLength) - 15) return out;
    const auto length = static_cast<int32_t>(len);
    const int32_t padding = (kBlock - (length + kTrailerSize) % kBlock) % kBlock;
    const int32_t n = length + padding + kTrailerSize;

    out.setLength(n);
    auto* bytes = reinterpret_cast<uint8_t*>(out.data());
    if (length > 0) std::memcpy(bytes, data, len);
    std::memset(bytes + length, 0, static_cast<size_t>(padding));
    for (int i = 0; i < kTrailerSize; ++i)
        bytes[n - kTrailerSize + i] = uint8_t(uint32_t(length) >> (8 * i));

    const Blowfish cipher = keyedCipher(key);
    for (int32_t at = 0; at < n; at += kBlock) cipher.encryptBytes(bytes + at);
    return out;
}

}  // namespace tessarin
