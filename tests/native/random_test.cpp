#include "core/random.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

// xorshift64* (12, 25, 27; multiplier 0x2545F4914F6CDD1D) from 0x48E73A850129BD2F, computed
// independently.
TEST(Random, FirstValuesFromTheFixedStart) {
    RandomGenerator g;
    EXPECT_EQ(g.next(), 0x26721DDCu);
    EXPECT_EQ(g.next(), 0x2C7FBDA6u);
    EXPECT_EQ(g.next(), 0x18B85C1Au);
    EXPECT_EQ(g.next(), 0x17ECB657u);
}

TEST(Random, BelowReducesThe31BitValue) {
    RandomGenerator g;
    EXPECT_EQ(g.below(1000), 956u);
    for (int i = 1; i < 8; ++i) g.next();
    EXPECT_EQ(g.below(1000), 894u);  // 0x834FEDE6: the top bit is dropped before the modulo
    EXPECT_EQ(g.below(0), 0u);
    EXPECT_EQ(g.below(1), 0u);
    RandomGenerator h(0xFFFFFFFFFFFFFFFFull);
    for (int i = 0; i < 1000; ++i) EXPECT_LT(h.below(7), 7u);
}

}  // namespace
}  // namespace tessarin
