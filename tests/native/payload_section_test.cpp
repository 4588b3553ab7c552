#include "package/payload_section.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tessarin {
namespace {

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A minimal PE head: DOS header pointing at 0x80, optional header of 224 bytes and a table.
std::vector<uint8_t> peHead(const std::vector<const char*>& names, uint32_t rawOffset = 0x4000) {
    std::vector<uint8_t> b(0x1000, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 60, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    put16(b, 0x80 + 6, static_cast<uint32_t>(names.size()));
    put16(b, 0x80 + 20, 224);
    size_t table = 0x80 + 24 + 224;
    for (size_t i = 0; i < names.size(); ++i) {
        size_t e = table + i * 40;
        std::memcpy(&b[e], names[i], std::strlen(names[i]) > 8 ? 8 : std::strlen(names[i]));
        put32(b, e + 12, 0x1000 * uint32_t(i + 1));
        put32(b, e + 16, 0x200);
        put32(b, e + 20, rawOffset + 0x200 * uint32_t(i));
    }
    return b;
}

TEST(PayloadSection, FindsSetupAmongTheSections) {
    auto head = peHead({".text", ".data", ".rsrc", ".setup"});
    SetupSection s = locateSetupSection(head.data(), head.size());
    ASSERT_TRUE(s.found);
    EXPECT_EQ(s.virtualAddress, 0x4000u);
    EXPECT_EQ(s.rawOffset, 0x4600u);
    EXPECT_EQ(s.rawSize, 0x200u);
    EXPECT_EQ(s.mappedSize(), 0x200u);  // no virtual size given
    put32(head, s.tableEntryOffset + 8, 0x120);
    EXPECT_EQ(locateSetupSection(head.data(), head.size()).mappedSize(), 0x120u);
}

TEST(PayloadSection, NamesThatOnlyBeginWithSetupAreNoPayload) {
    auto head = peHead({".text", ".data", ".rsrc", ".setupx", ".Setup"});
    SetupSection s = locateSetupSection(head.data(), head.size());
    EXPECT_FALSE(s.found);
    EXPECT_EQ(s.errorCode, 0);
}

TEST(PayloadSection, HeaderFaultsGiveTheirCodes) {
    auto lowPe = peHead({".text", ".data", ".rsrc", ".setup"});
    put32(lowPe, 60, 63);
    EXPECT_EQ(locateSetupSection(lowPe.data(), lowPe.size()).errorCode, 43);
    auto fine = peHead({".text", ".data", ".rsrc", ".setup"});
    put32(fine, 60, 0x10080);
    EXPECT_TRUE(locateSetupSection(fine.data(), fine.size()).found);
    auto three = peHead({".text", ".data", ".setup"});
    EXPECT_EQ(locateSetupSection(three.data(), three.size()).errorCode, 44);
    auto zeroOffset = peHead({".text", ".data", ".rsrc", ".setup"}, 0);
    put32(zeroOffset, 0x80 + 24 + 224 + 20, 0x200);  // only .text gets a real offset
    EXPECT_EQ(locateSetupSection(zeroOffset.data(), zeroOffset.size()).errorCode, 0);
    auto setupFirst = peHead({".setup", ".text", ".data", ".rsrc"}, 0);
    EXPECT_EQ(locateSetupSection(setupFirst.data(), setupFirst.size()).errorCode, 9);
    std::vector<uint8_t> tiny(10, 0);
    EXPECT_EQ(locateSetupSection(tiny.data(), tiny.size()).errorCode, 43);
}

}  // namespace
}  // namespace tessarin
