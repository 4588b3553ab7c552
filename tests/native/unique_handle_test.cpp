#include "core/unique_handle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tessarin {
namespace {

// Handles are small numbers; -1 is the empty value, 0 a value the system never opens.
std::vector<int> g_closed;
struct CountingTraits {
    using Type = int;
    static int empty() { return -1; }
    static bool valid(int handle) { return handle > 0; }
    static void close(int handle) { g_closed.push_back(handle); }
};
using Owner = UniqueHandle<CountingTraits>;

TEST(UniqueHandle, EachHandleIsClosedOnceByItsLastOwner) {
    g_closed.clear();
    {
        Owner a(3);
        Owner b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), 3);
        Owner c(5);
        c = std::move(b);  // 5 is closed, 3 moves on
        EXPECT_EQ(g_closed, std::vector<int>{5});
        c.reset(c.get());  // taking its own handle again closes nothing
        EXPECT_EQ(g_closed, std::vector<int>{5});
        Owner d(7);
        EXPECT_EQ(d.release(), 7);  // the caller owns it now
        EXPECT_EQ(d.get(), -1);
        Owner e(0);  // not an open handle: never closed
        EXPECT_FALSE(static_cast<bool>(e));
    }
    EXPECT_EQ(g_closed, (std::vector<int>{5, 3}));
}

}  // namespace
}  // namespace tessarin
