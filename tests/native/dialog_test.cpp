// Dialog units and the system's scaled integer division.
#include "core/dialog.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero) {
    struct Case {
        int32_t a, b, c, result;
    } cases[] = {
        {1, 1, 2, 1},
        {-1, 1, 2, -1},
        {3, 2, 4, 2},
        {5, 1, 3, 2},
        {-5, 1, 3, -2},
        {7, -1, 2, -4},
        {100, 96, 72, 133},
        {0x40000000, 4, 2, -1},
        {-0x40000000, 4, 2, -1},
        {5, 1, 0, -1},
        {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

// 8192 × 8192 dialog units cover 2048 average characters across and 1024 down.
TEST(DialogUnits, BaseUnitsFromTheMappedRectangle) {
    EXPECT_EQ(baseUnitsFromMapping(2048 * 7, 1024 * 15), (DialogBaseUnits{7, 15}));
    EXPECT_EQ(baseUnitsFromMapping(2048 * 6 + 1023, 1024 * 13 + 511), (DialogBaseUnits{6, 13}));
    EXPECT_EQ(baseUnitsFromMapping(2048 * 6 + 1024, 1024 * 13 + 512), (DialogBaseUnits{7, 14}));
    EXPECT_EQ(baseUnitsFromMapping(0, 0), (DialogBaseUnits{0, 0}));
}

TEST(DialogUnits, UnitsToPixels) {
    DialogBaseUnits base{6, 13};
    EXPECT_EQ(dialogUnitsToPixelsX(4, base), 6);
    EXPECT_EQ(dialogUnitsToPixelsX(10, base), 15);
    EXPECT_EQ(dialogUnitsToPixelsY(8, base), 13);
    EXPECT_EQ(dialogUnitsToPixelsY(14, base), 23);  // 22.75
}

}  // namespace
}  // namespace tessarin
