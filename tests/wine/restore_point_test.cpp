// COM security and the system-restore client as Wine provides them.
#include "core/restore_point.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <string>

#include "core/com_security.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;

std::u16string systemFolder() {
    wchar_t buffer[MAX_PATH];
    UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    return std::u16string(reinterpret_cast<char16_t*>(buffer), n);
}

class RestorePointWine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(RestorePointWine, ComSecurityIsInitialised) {
    String message("stale");
    EXPECT_TRUE(initializeComSecurity(message)) << message.c_str();
    EXPECT_EQ(message.length(), 0);
}

TEST_F(RestorePointWine, MissingLibraryOrFunctionIsReported) {
    auto missing = systemRestorePointService(S(systemFolder() + u"\\no-such-srclient.dll"));
    RestorePoint point(*missing);
    String message;
    EXPECT_FALSE(point.begin(S(u"Installing"), message));
    EXPECT_STREQ(message.c_str(), "System Restore is not present.");
    EXPECT_FALSE(point.end());

    auto other = systemRestorePointService(S(systemFolder() + u"\\version.dll"));
    RestorePoint wrong(*other);
    EXPECT_FALSE(wrong.begin(S(u"Installing"), message));
    EXPECT_STREQ(message.c_str(), "SRSetRestorePointW is not present.");
}

// Wine's client library is present in the system folder, and its SRSetRestorePointW answers
// failure with status 0: the message is the general failure form with an empty system text.
TEST_F(RestorePointWine, WinesClientRefusesAndTheFailureIsReported) {
    RestorePoint& point = restorePoint();
    String message;
    EXPECT_FALSE(point.begin(S(u"Installing Tessarin test"), message));
    EXPECT_STREQ(message.c_str(), "Failed, code 0: ");
    EXPECT_EQ(point.sequenceNumber(), 0);
    EXPECT_FALSE(point.end());
}

}  // namespace
}  // namespace tessarin
