// The cipher of the payload's script and data blocks: Blowfish in ECB mode with a length
// trailer. The installer deciphers, the build tool enciphers.
//
// Layout of a plaintext before enciphering: the data, 0 to 7 zero bytes, then the data length
// as a 32-bit little-endian integer, so that the whole is a multiple of 8 bytes. Each 8-byte
// block is enciphered on its own as two big-endian halves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/string.h"

namespace tessarin {

inline constexpr size_t kCipherKeySize = 8;
using CipherKey = uint8_t[kCipherKeySize];

// The Blowfish key made from a CipherKey: bytes 3, 2, 1, 0, 7, 6, 5, 4 (each half reversed).
void payloadBlowfishKey(const uint8_t key[kCipherKeySize], uint8_t out[kCipherKeySize]);

// Deciphers in place and cuts the buffer to the length in its trailer. A length below 8 or not
// a multiple of 8, or a trailer length L outside n - 12 .. n - 4 (n the enciphered length),
// empties the buffer and returns false.
bool decipherPayloadBuffer(const uint8_t key[kCipherKeySize], String& buffer);

// Pads, appends the length trailer and enciphers. Data too long for a String's int32 length
// (over 0x7FFFFFF0 bytes) yields an empty String.
String encipherPayloadBuffer(const uint8_t key[kCipherKeySize], const uint8_t* data, size_t len);

}  // namespace tessarin
