#include "core/wininit.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

TEST(Wininit, NewSectionGoesToTheEndAfterALineBreak) {
    struct Case {
        const char* before;
        const char* after;
    } cases[] = {
        {"", "[rename]\r\nNUL=C:\\OLD.TXT"},
        {"[boot]\r\nx=1", "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\OLD.TXT"},
        {"[boot]\r\nx=1\r\n", "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\OLD.TXT"},
        {"[boot]\nx=1\n", "[boot]\nx=1\n[rename]\r\nNUL=C:\\OLD.TXT"},
    };
    for (const Case& c : cases) {
        String text(c.before);
        addWininitRename(text, "NUL", "C:\\OLD.TXT");
        EXPECT_STREQ(text.c_str(), c.after) << c.before;
    }
}

TEST(Wininit, NewestEntryComesRightAfterTheHeaderWhateverItsCase) {
    String text("[boot]\r\n[Rename]\r\nC:\\A.DLL=C:\\A.TMP\r\n[other]\r\n");
    addWininitRename(text, "NUL", "C:\\B.TMP");
    EXPECT_STREQ(text.c_str(),
                 "[boot]\r\n[Rename]\r\nNUL=C:\\B.TMP\r\nC:\\A.DLL=C:\\A.TMP\r\n[other]\r\n");

    String fresh;
    addWininitRename(fresh, "C:\\FIRST.DLL", "C:\\FIRST.TMP");
    addWininitRename(fresh, "C:\\SECOND.DLL", "C:\\SECOND.TMP");
    EXPECT_STREQ(fresh.c_str(),
                 "[rename]\r\nC:\\SECOND.DLL=C:\\SECOND.TMP\r\nC:\\FIRST.DLL=C:\\FIRST.TMP");
}

}  // namespace
}  // namespace tessarin
