#include "core/payload_cipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/blowfish.h"

namespace tessarin {
namespace {

const CipherKey kKey = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};

std::vector<uint8_t> sample(size_t len) {
    std::vector<uint8_t> v(len);
    for (size_t i = 0; i < len; ++i) v[i] = uint8_t(0xA5 ^ (i * 29));
    return v;
}

// A plaintext already laid out (data, padding, trailer) enciphered block by block.
String encipherRaw(const std::vector<uint8_t>& plain) {
    uint8_t reordered[8];
    payloadBlowfishKey(kKey, reordered);
    Blowfish bf(reordered, sizeof reordered);
    std::vector<uint8_t> b = plain;
    for (size_t at = 0; at + 8 <= b.size(); at += 8) bf.encryptBytes(b.data() + at);
    return String(reinterpret_cast<const char*>(b.data()), int32_t(b.size()));
}

std::vector<uint8_t> withTrailer(size_t total, int32_t length) {
    std::vector<uint8_t> b = sample(total);
    for (int i = 0; i < 4; ++i) b[total - 4 + i] = uint8_t(uint32_t(length) >> (8 * i));
    return b;
}

TEST(PayloadCipher, KeyIsEachHalfReversed) {
    uint8_t out[8];
    payloadBlowfishKey(kKey, out);
    const uint8_t expected[8] = {0x76, 0x54, 0x32, 0x10, 0xFE, 0xDC, 0xBA, 0x98};
    EXPECT_EQ(0, std::memcmp(out, expected, 8));
}

// Pins the whole block format: key order, big-endian halves, zero padding, LE trailer.
TEST(PayloadCipher, OneBlockMatchesBlowfishUnderTheReorderedKey) {
    // Key 0123456789ABCDEF once reordered; the empty payload is the block 00000000 00000000.
    const CipherKey key = {0x67, 0x45, 0x23, 0x01, 0xEF, 0xCD, 0xAB, 0x89};
    String out = encipherPayloadBuffer(key, nullptr, 0);
    ASSERT_EQ(out.length(), 8);
    // Published vector: key 0123456789ABCDEF, plaintext 0000000000000000.
    const uint8_t expected[8] = {0x24, 0x59, 0x46, 0x88, 0x57, 0x54, 0x36, 0x9A};
    EXPECT_EQ(0, std::memcmp(out.bytes(), expected, 8));

    // Three data bytes, one byte of padding, then the trailer 03 00 00 00.
    const uint8_t data[3] = {0xC1, 0xC2, 0xC3};
    String three = encipherPayloadBuffer(kKey, data, 3);
    ASSERT_EQ(three.length(), 8);
    uint8_t block[8] = {0xC1, 0xC2, 0xC3, 0x00, 0x03, 0x00, 0x00, 0x00};
    uint8_t reordered[8];
    payloadBlowfishKey(kKey, reordered);
    Blowfish(reordered, 8).encryptBytes(block);
    EXPECT_EQ(0, std::memcmp(three.bytes(), block, 8));
}

TEST(PayloadCipher, RoundTripsEveryLengthModEight) {
    for (size_t len = 0; len <= 17; ++len) {
        SCOPED_TRACE(len);
        std::vector<uint8_t> data = sample(len);
        String buffer = encipherPayloadBuffer(kKey, data.data(), len);
        const int32_t n = buffer.length();
        EXPECT_EQ(n % 8, 0);
        EXPECT_EQ(n, int32_t((len + 4 + 7) / 8 * 8));  // the least room for data and trailer
        EXPECT_GE(int32_t(len), n - 12);
        EXPECT_LE(int32_t(len), n - 4);

        ASSERT_TRUE(decipherPayloadBuffer(kKey, buffer));
        ASSERT_EQ(buffer.length(), int32_t(len));
        EXPECT_TRUE(len == 0 || std::memcmp(buffer.bytes(), data.data(), len) == 0);
    }
}

TEST(PayloadCipher, TrailerAcceptsLengthsFromNMinus12ToNMinus4) {
    const size_t n = 24;
    for (int32_t length = 9; length <= 23; ++length) {
        SCOPED_TRACE(length);
        String buffer = encipherRaw(withTrailer(n, length));
        bool accepted = length >= 12 && length <= 20;
        EXPECT_EQ(decipherPayloadBuffer(kKey, buffer), accepted);
        EXPECT_EQ(buffer.length(), accepted ? length : 0);
    }
    // A negative length is refused, not taken as a huge one.
    String negative = encipherRaw(withTrailer(n, -1));
    EXPECT_FALSE(decipherPayloadBuffer(kKey, negative));
    EXPECT_TRUE(negative.empty());
}

TEST(PayloadCipher, DamagedCiphertextIsRefusedAndEmptied) {
    std::vector<uint8_t> data = sample(20);
    const String good = encipherPayloadBuffer(kKey, data.data(), data.size());
    ASSERT_EQ(good.length(), 24);

    for (int32_t length : {0, 4, 7, 23, 25}) {
        SCOPED_TRACE(length);
        String cut(good.c_str(), length);
        EXPECT_FALSE(decipherPayloadBuffer(kKey, cut));
        EXPECT_TRUE(cut.empty());
    }

    // The wrong key scrambles the trailer.
    const CipherKey other = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFF};
    String wrongKey = good;
    EXPECT_FALSE(decipherPayloadBuffer(other, wrongKey));
    EXPECT_TRUE(wrongKey.empty());
}

}  // namespace
}  // namespace tessarin
