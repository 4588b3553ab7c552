// Which support addresses the uninstaller offers.
#include "uninstall/uninstall_questions.h"

#include <gtest/gtest.h>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;

TEST(UninstallQuestions, SupportAddressesThatMayBeOffered) {
    struct Case {
        const char* address;
        bool offered;
    } cases[] = {
        {"https://support.example.com", true},
        {"http://example.com/help?topic=uninstall#top", true},
        {"HTTPS://Example.COM:8443/", true},
        {"http://localhost", true},
        {"mailto:help@example.com", true},
        {"mailto:help@example.com?subject=Uninstall", true},
        {"help@example.com", true},
        {"first.last+tag@mail.example.co.uk", true},
        {"", false},
        {" ", false},
        {"https://", false},
        {"https:///path", false},
        {"http://exa mple.com", false},
        {" https://example.com", false},
        {"https://example.com\r\n", false},
        {"https://-bad-.com", false},
        {"https://example..com", false},
        {"https://example.com:", false},
        {"https://example.com:80a", false},
        {"javascript:alert(1)", false},
        {"javascript:alert('a@b.c')", false},
        {"file:///C:/Windows/system32/calc.exe", false},
        {"ftp://example.com", false},
        {"www.example.com", false},
        {"mailto:", false},
        {"mailto:@example.com", false},
        {"help@example", false},
        {"help@@example.com", false},
        {"a@b@example.com", false},
        {"C:\\x@y.com", false},
        {"\"a\"@example.com", false},
        {"https://caf\xC3\xA9.example", false},  // non-ASCII is not offered
    };
    for (const Case& c : cases)
        EXPECT_EQ(isSupportAddress(fromUtf8(c.address)), c.offered) << c.address;
}

}  // namespace
}  // namespace tessarin
