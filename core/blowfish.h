// Blowfish block cipher: 64-bit blocks, 16 rounds, keys of 1 to 56 bytes.
//
// A block is handled as two 32-bit halves; when a block comes from bytes, the left half is the
// first four bytes read big-endian and the right half the next four (see loadBlock/storeBlock).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessarin {

class Blowfish {
  public:
    static constexpr size_t kBlockSize = 8;
    static constexpr size_t kMaxKeyLength = 56;

    // The initial tables, as if keyed with nothing: call setKey before use.
    Blowfish();
    explicit Blowfish(const uint8_t* key, size_t len) : Blowfish() { setKey(key, len); }

    // Runs the key schedule from the initial tables again. The key bytes are cycled over the
    // 18 words of the P-array, so bytes beyond the 72nd have no effect; an empty key (or a null
    // pointer) acts as the single byte 0.
    void setKey(const uint8_t* key, size_t len);

    void encryptBlock(uint32_t& left, uint32_t& right) const;
    void decryptBlock(uint32_t& left, uint32_t& right) const;

    // In-place forms for an 8-byte block in the standard big-endian byte order.
    void encryptBytes(uint8_t block[kBlockSize]) const;
    void decryptBytes(uint8_t block[kBlockSize]) const;

  private:
    uint32_t round(uint32_t x) const;

    uint32_t p_[18];
    uint32_t s_[4][256];
};

}  // namespace tessarin
