// The steps of a restore point and their messages, on a system whose answers the test chooses.
#include "core/restore_point.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

struct Call {
    uint32_t eventType;
    uint32_t pointType;
    int64_t sequence;
    std::string description;
};

class ScriptedService : public RestorePointService {
  public:
    bool securityOk = true;
    Availability available = Availability::Present;
    bool answer = true;
    uint32_t status = 0;
    int64_t sequenceAnswer = 77;
    bool throwOnCall = false;
    int availabilityAsked = 0;
    std::vector<Call> calls;

    bool initializeComSecurity(String& message) override {
        if (!securityOk) message.assign("Unable to create ACL.");
        return securityOk;
    }
    Availability availability() override {
        ++availabilityAsked;
        return available;
    }
    bool setRestorePoint(uint32_t eventType, uint32_t pointType, int64_t sequence,
                         const String& description, uint32_t& statusOut,
                         int64_t& sequenceOut) override {
        if (throwOnCall) throw std::runtime_error("fault in the client");
        calls.push_back({eventType, pointType, sequence, utf8(description)});
        statusOut = status;
        sequenceOut = sequenceAnswer;
        return answer;
    }
    String systemText8(uint32_t code) override {
        return String(code == 5 ? "Access is denied." : "");
    }
};

TEST(RestorePoint, BeginKeepsTheSequenceNumberAndEndUsesIt) {
    ScriptedService service;
    RestorePoint point(service);
    String message("stale");
    ASSERT_TRUE(point.begin(fromUtf8("Installing Ünïcode App"), message));
    EXPECT_EQ(message.length(), 0);
    EXPECT_EQ(point.sequenceNumber(), 77);
    ASSERT_EQ(service.calls.size(), 1u);
    EXPECT_EQ(service.calls[0].eventType, 100u);
    EXPECT_EQ(service.calls[0].pointType, 0u);
    EXPECT_EQ(service.calls[0].sequence, 0);
    EXPECT_EQ(service.calls[0].description, "Installing Ünïcode App");

    EXPECT_TRUE(point.end());
    ASSERT_EQ(service.calls.size(), 2u);
    EXPECT_EQ(service.calls[1].eventType, 101u);
    EXPECT_EQ(service.calls[1].sequence, 77);
    EXPECT_EQ(point.sequenceNumber(), 0);
    // Nothing open any more: no call.
    EXPECT_FALSE(point.end());
    EXPECT_EQ(service.calls.size(), 2u);
}

TEST(RestorePoint, DescriptionIsCutTo255Characters) {
    ScriptedService service;
    RestorePoint point(service);
    String message;
    ASSERT_TRUE(point.begin(fromUtf8(std::string(300, 'd')), message));
    EXPECT_EQ(service.calls[0].description, std::string(255, 'd'));
}

TEST(RestorePoint, EachFailureHasItsMessage) {
    struct Case {
        bool securityOk;
        RestorePointService::Availability available;
        uint32_t status;
        const char* message;
    };
    using A = RestorePointService::Availability;
    const Case cases[] = {
        {false, A::Present, 0, "Failed to initialize COM security: Unable to create ACL."},
        {true, A::NoLibrary, 0, "System Restore is not present."},
        {true, A::NoFunction, 0, "SRSetRestorePointW is not present."},
        {true, A::Present, 1058, "System Restore is turned off."},
        {true, A::Present, 5, "Failed, code 5: Access is denied."},
        {true, A::Present, 1234, "Failed, code 1234: "},
    };
    for (const Case& c : cases) {
        ScriptedService service;
        service.securityOk = c.securityOk;
        service.available = c.available;
        service.answer = false;
        service.status = c.status;
        RestorePoint point(service);
        String message;
        EXPECT_FALSE(point.begin(fromUtf8("App"), message));
        EXPECT_STREQ(message.c_str(), c.message);
        EXPECT_EQ(point.sequenceNumber(), 0);
        EXPECT_FALSE(point.end());
        EXPECT_TRUE(service.calls.size() <= 1u);
    }
}

TEST(RestorePoint, AFaultInTheClientIsReportedAsCrashed) {
    ScriptedService service;
    service.throwOnCall = true;
    RestorePoint point(service);
    String message;
    EXPECT_FALSE(point.begin(fromUtf8("App"), message));
    EXPECT_STREQ(message.c_str(), "Crashed");
}

}  // namespace
}  // namespace tessarin
