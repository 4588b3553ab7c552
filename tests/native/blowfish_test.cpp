#include "core/blowfish.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "blowfish_tables.h"

namespace tessarin {
namespace {

std::vector<uint8_t> hexBytes(const char* hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back(uint8_t(std::stoul(std::string(hex + i, 2), nullptr, 16)));
    return out;
}

std::string hexOf(const uint8_t* b, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

TEST(Blowfish, GeneratedTablesHoldTheDigitsOfPi) {
    EXPECT_EQ(kBlowfishInitialP[0], 0x243F6A88u);
    EXPECT_EQ(kBlowfishInitialP[1], 0x85A308D3u);
    EXPECT_EQ(kBlowfishInitialP[17], 0x8979FB1Bu);
    EXPECT_EQ(kBlowfishInitialS[0][0], 0xD1310BA6u);
    EXPECT_EQ(kBlowfishInitialS[0][255], 0x6E85076Au);
    EXPECT_EQ(kBlowfishInitialS[1][0], 0x4B7A70E9u);
    EXPECT_EQ(kBlowfishInitialS[2][0], 0xE93D5A68u);
    EXPECT_EQ(kBlowfishInitialS[3][0], 0x3A39CE37u);
    EXPECT_EQ(kBlowfishInitialS[3][255], 0x3AC372E6u);
}

// Eric Young's ECB table (the published table lists the all-zero row twice; it appears once).
struct EcbVector {
    const char* key;
    const char* plain;
    const char* cipher;
};
const EcbVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

TEST(Blowfish, EcbVectorsEncryptAndDecrypt) {
    for (const EcbVector& v : kEcbVectors) {
        SCOPED_TRACE(std::string("key ") + v.key + " plain " + v.plain);
        std::vector<uint8_t> key = hexBytes(v.key), block = hexBytes(v.plain);
        Blowfish bf(key.data(), key.size());
        bf.encryptBytes(block.data());
        EXPECT_EQ(hexOf(block.data(), 8), v.cipher);
        bf.decryptBytes(block.data());
        EXPECT_EQ(hexOf(block.data(), 8), v.plain);
    }
}

TEST(Blowfish, HalvesAreTheBigEndianWordsOfTheBlock) {
    std::vector<uint8_t> key = hexBytes("0123456789ABCDEF");
    Blowfish bf(key.data(), key.size());
    uint32_t left = 0x11111111, right = 0x11111111;
    bf.encryptBlock(left, right);
    EXPECT_EQ(left, 0x61F9C380u);
    EXPECT_EQ(right, 0x2281B096u);
    bf.decryptBlock(left, right);
    EXPECT_EQ(left, 0x11111111u);
    EXPECT_EQ(right, 0x11111111u);
}

// Eric Young's variable key length table: plaintext FEDCBA9876543210 under the first 1..24
// bytes of the key below. Lengths that are not a divisor of 72 test the key cycling.
TEST(Blowfish, VariableKeyLengthVectors) {
    const std::vector<uint8_t> key = hexBytes("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const char* expected[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
        "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    for (size_t len = 1; len <= key.size(); ++len) {
        SCOPED_TRACE(len);
        Blowfish bf(key.data(), len);
        std::vector<uint8_t> block = hexBytes("FEDCBA9876543210");
        bf.encryptBytes(block.data());
        EXPECT_EQ(hexOf(block.data(), 8), expected[len - 1]);
    }
}

TEST(Blowfish, SetKeyStartsAgainFromTheInitialTables) {
    std::vector<uint8_t> first = hexBytes("FFFFFFFFFFFFFFFF"),
                         second = hexBytes("0000000000000000");
    Blowfish bf(first.data(), first.size());
    bf.setKey(second.data(), second.size());
    std::vector<uint8_t> block(8, 0);
    bf.encryptBytes(block.data());
    EXPECT_EQ(hexOf(block.data(), 8), "4EF997456198DD78");
}

TEST(Blowfish, LongestKeyRoundTrips) {
    uint8_t key[Blowfish::kMaxKeyLength];
    for (size_t i = 0; i < sizeof key; ++i) key[i] = uint8_t(i * 37 + 11);
    Blowfish bf(key, sizeof key);
    uint32_t left = 0xDEADBEEF, right = 0x01234567;
    bf.encryptBlock(left, right);
    EXPECT_FALSE(left == 0xDEADBEEF && right == 0x01234567);
    bf.decryptBlock(left, right);
    EXPECT_EQ(left, 0xDEADBEEFu);
    EXPECT_EQ(right, 0x01234567u);
}

}  // namespace
}  // namespace tessarin
