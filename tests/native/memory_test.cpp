#include "core/memory.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "core/fatal.h"
#include "core/string.h"
#include "fatal_capture.h"

namespace tessarin {
namespace {

int g_failuresLeft = 0;
bool failSome(size_t) {
    return g_failuresLeft-- > 0;
}
bool failAll(size_t) {
    return true;
}

int g_released = 0;
bool releaseOne(void*) {
    return ++g_released <= 3;
}

class Memory : public ::testing::Test {
  protected:
    void TearDown() override {
        setAllocatorFault(nullptr);
        removeMemoryReleaseHook(releaseOne, nullptr);
        g_released = 0;
    }
};

TEST_F(Memory, NormalPathRetriesWhileHooksFreeMemory) {
    addMemoryReleaseHook(releaseOne, nullptr);
    g_failuresLeft = 2;
    setAllocatorFault(failSome);
    String s;
    s.setLength(100);
    EXPECT_EQ(s.length(), 100);
    EXPECT_EQ(g_released, 2);
    EXPECT_TRUE(lowMemoryOccurred());
}

TEST_F(Memory, NormalPathEndsInTheOutOfMemoryReport) {
    setAllocatorFault(failAll);
    std::string report = testing::captureFatal([] {
        String s;
        s.setLength(4096);
    });
    setAllocatorFault(nullptr);
    EXPECT_EQ(
        report.rfind("Out Of Memory.\r\nAdvice: Make sure the hard drive is not full.\r\n"
                     "Requested size = 4136 (0x00001028)\r\n\r\nStack contents:\r11223344 55667788",
                     0),
        0u)
        << report;
}

TEST_F(Memory, SoftPathFailsAndKeepsTheOldBlock) {
    String s("keep me");
    setAllocatorFault(failAll);
    EXPECT_FALSE(s.trySetLength(1 << 20));
    setAllocatorFault(nullptr);
    EXPECT_STREQ(s.c_str(), "keep me");
    EXPECT_EQ(s.length(), 7);
}

TEST_F(Memory, ReportLayoutIsEightWordsALine) {
    uint32_t words[10] = {0x11223344, 0x55667788, 1, 2, 3, 4, 5, 6, 0xDEADBEEF, 7};
    char out[512];
    buildOutOfMemoryReport(out, sizeof out, 16, words, 10);
    EXPECT_STREQ(
        out,
        "Out Of Memory.\r\nAdvice: Make sure the hard drive is not full.\r\nRequested size = "
        "16 (0x00000010)\r\n\r\nStack contents:\r11223344 55667788 00000001 00000002 "
        "00000003 00000004 00000005 00000006\rDEADBEEF 00000007");
}

TEST(Fatal, OnlyTheFirstFatalErrorIsReportedAndHooksRunOnce) {
    static int hookRuns;
    hookRuns = 0;
    addFatalErrorHook([](const char*, void*) { ++hookRuns; }, nullptr);
    std::string first = testing::captureFatal([] { internalFatalError(kModuleThread, 12); });
    EXPECT_EQ(first, "Internal Fatal Error\r\nModule: c:\\g\\oq_thread.h\r\nLine: 12");
    EXPECT_EQ(hookRuns, 1);
    testing::captureFatal([] { fatalError("again"); });
    EXPECT_EQ(hookRuns, 1);  // taken off the list before it ran
}

TEST(Fatal, ASecondFatalErrorWhileReportingEndsTheProcessSilently) {
    EXPECT_EXIT(
        {
            setFatalErrorHandler([](const char*) { fatalError("nested"); });
            fatalError("first");
        },
        ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace tessarin
