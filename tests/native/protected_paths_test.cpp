#include "services/protected_paths.h"

#include <gtest/gtest.h>

#include <string>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

ProtectedFolders folders() {
    ProtectedFolders f;
    f.folders.append(String(u"C:\\Windows"));
    f.folders.append(String(u"C:\\Windows\\System32"));
    f.folders.append(String(u"C:\\Program Files"));
    f.folders.append(String(u"C:\\PROGRA~1"));
    f.profileRoots.append(String(u"C:\\Users"));
    return f;
}

TEST(ProtectedPaths, RefusedPaths) {
    struct Case {
        const char* path;
        const char* reason;  // null: may be deleted
    } cases[] = {
        {"C:\\", "is a drive root"},
        {"c:\\.", "is a drive root"},
        {"D:\\..\\..", "is a drive root"},
        {"C:\\App\\..", "is a drive root"},
        {"\\\\server\\share", "is a drive root"},
        {"\\\\server\\share\\", "is a drive root"},
        {"\\\\?\\UNC\\server\\share", "is a drive root"},
        {"C:", "is not a full path"},
        {"C:Windows", "is not a full path"},
        {"Windows", "is not a full path"},
        {"\\Windows", "is not a full path"},
        {"\\\\server", "is not a full path"},
        {"", "is not a full path"},
        {"C:\\Windows", "is a system folder"},
        {"c:/windows/", "is a system folder"},
        {"C:\\Windows.", "is a system folder"},
        {"C:\\Windows \\", "is a system folder"},
        {"C:\\Program Files\\..\\Windows", "is a system folder"},
        {"C:\\Windows\\.\\System32", "is a system folder"},
        {"\\\\?\\C:\\WINDOWS", "is a system folder"},
        {"\\??\\C:\\Windows\\System32", "is a system folder"},
        {"C:\\Progra~1", "is a system folder"},
        {"C:\\Users", "is a user profile folder"},
        {"C:\\Users\\Ann", "is a user profile folder"},
        {"C:\\users\\Ann\\", "is a user profile folder"},
        {"C:\\Users\\Ann\\Documents", nullptr},
        {"C:\\Windows\\Temp\\setup.log", nullptr},
        {"C:\\Program Files\\App", nullptr},
        {"C:\\Windowsx", nullptr},
        {"\\\\server\\share\\App", nullptr},
        {"C:\\Café", nullptr},
    };
    ProtectedFolders f = folders();
    for (const Case& c : cases) {
        const char* reason = protectedPathReason(fromUtf8(c.path), f);
        EXPECT_STREQ(reason, c.reason) << c.path;
    }
}

// The comparable forms are made at the first check; a folder added later still counts.
TEST(ProtectedPaths, AFolderAddedAfterAFirstCheckIsRefusedToo) {
    ProtectedFolders f = folders();
    EXPECT_EQ(protectedPathReason(fromUtf8("D:\\Data"), f), nullptr);
    f.folders.append(String(u"d:\\data\\"));
    EXPECT_STREQ(protectedPathReason(fromUtf8("D:\\Data"), f), "is a system folder");
    f.profiles.append(String(u"D:\\Home"));
    EXPECT_STREQ(protectedPathReason(fromUtf8("d:\\home"), f), "is a user profile folder");
}

TEST(ProtectedPaths, TheGuardNamesWhatItRefuses) {
    class Errors : public Reporter {
      public:
        void log(const String& text) override { logged += utf8(text); }
        void error(const String& text) override { errors += text.c_str(); }
        std::string logged, errors;
    } reporter;
    ProtectedFolders f = folders();
    EXPECT_TRUE(refuseProtectedPath(fromUtf8("C:\\Windows\\"), f, reporter));
    EXPECT_TRUE(refuseProtectedPath(fromUtf8("C:\\Users\\Zoë"), f, reporter));
    EXPECT_FALSE(refuseProtectedPath(fromUtf8("C:\\App"), f, reporter));
    EXPECT_EQ(reporter.errors,
              "Not removed: \"C:\\Windows\\\" is a system folder.\r\n"
              "Not removed: \"|C:\\Users\\Zo\xC3\xAB\" is a user profile folder.\r\n");
    EXPECT_EQ(reporter.logged, "");
}

}  // namespace
}  // namespace tessarin
