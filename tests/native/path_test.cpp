#include "core/path.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "core/convert.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::pathForm;

struct SplitCase {
    const char16_t* path;
    int32_t separator;
    const char16_t* parent;
    const char16_t* name;
};

TEST(Path, SplitsAtTheLastSeparatorBeforeTheFirstSemicolon) {
    const SplitCase cases[] = {
        {u"C:\\file", 2, u"C:\\", u"file"},
        {u"C:\\a\\b", 4, u"C:\\a", u"b"},
        {u"C:\\a\\", 4, u"C:\\a", u""},
        {u"C:\\", 2, u"C:\\", u""},
        {u"C:a", 1, u"C:", u"a"},
        {u"C:", 1, u"C:", u""},
        {u"file.txt", -1, u"", u"file.txt"},
        {u"", -1, u"", u""},
        {u"\\\\server\\share\\x", 14, u"\\\\server\\share", u"x"},
        // Only what stands before the first ";" is a path.
        {u"C:\\a\\b;C:\\c\\d", 4, u"C:\\a", u"b;C:\\c\\d"},
        {u"C:x;\\y", 1, u"C:", u"x;\\y"},
        {u"x;C:\\y", -1, u"", u"x;C:\\y"},
    };
    for (const SplitCase& c : cases) {
        String path(c.path);
        SCOPED_TRACE(pathForm(path));
        EXPECT_EQ(lastSeparator(path), c.separator);
        EXPECT_EQ(pathForm(parentFolder(path)), pathForm(String(c.parent)));
        EXPECT_EQ(pathForm(fileName(path)), pathForm(String(c.name)));
    }
}

TEST(Path, JoinPutsExactlyOneBackslashBetween) {
    const char16_t* cases[][3] = {
        {u"C:\\a", u"b.txt", u"C:\\a\\b.txt"},
        {u"C:\\a\\", u"b.txt", u"C:\\a\\b.txt"},
        {u"C:\\a\\\\", u"\\\\b.txt", u"C:\\a\\b.txt"},
        {u"C:\\", u"b", u"C:\\b"},
        {u"", u"b", u"b"},
        {u"C:\\a", u"", u"C:\\a\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pathForm(joinPath(String(c[0]), String(c[1]))), pathForm(String(c[2])));
    }
}

TEST(Path, ChangeExtensionTouchesOnlyTheFileName) {
    const char16_t* cases[][3] = {
        {u"C:\\t\\OQT12.tmp", u"log", u"C:\\t\\OQT12.log"},
        {u"C:\\t\\OQT12.tmp", u".log", u"C:\\t\\OQT12.log"},
        {u"C:\\t.d\\name", u"txt", u"C:\\t.d\\name.txt"},
        {u"C:\\t\\a.b.c", u"", u"C:\\t\\a.b"},
        {u"a.tar.gz", u"zip", u"a.tar.zip"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pathForm(changeExtension(String(c[0]), String(c[1]))), pathForm(String(c[2])));
    }
}

struct ValidityCase {
    const char16_t* path;
    uint32_t options;
    bool valid;
};

TEST(Path, Validation) {
    const ValidityCase cases[] = {
        {u"C:\\Program Files\\App", 0, true},
        {u"relative\\name.txt", 0, true},
        {u"\\\\server\\share\\dir", 0, true},  // network paths open with two backslashes
        {u"C:\\a\\\\b", 0, false},
        {u"\\\\\\server", 0, false},
        {u"C:\\a\\\\", kPathAllowTrailingBackslash, false},
        {u"", 0, false},
        {u"\"\"", 0, false},
        {u"\"C:\\App\"", 0, true},  // one enclosing pair is ignored
        {u"\"C:\\A\"pp\"", 0, false},
        {u"C:\\a:b", 0, false},
        {u"1:\\a", 0, false},
        {u"C:\\a;b", 0, false},
        {u"C:\\a|b", 0, false},
        {u"C:\\a<b", 0, false},
        {u"C:\\a>b", 0, false},
        {u"C:/a", 0, false},
        {u"C:\\a\r\nb", 0, false},  // would split the data and log files' lines
        {u"C:\\*.txt", 0, false},
        {u"C:\\*.txt", kPathAllowAsterisk, true},
        {u"C:\\?.txt", kPathAllowAsterisk, false},
        {u"C:\\?.txt", kPathAllowQuestionMark, true},
        {u"C:\\a\\", 0, false},
        {u"C:\\a\\", kPathAllowTrailingBackslash, true},
        {u" C:\\a", 0, false},
        {u"C:\\a\t", 0, false},
        {u" \tC:\\a\r\n", kPathTrim, true},
        {u" \" C:\\a \" ", kPathTrim, true},
        {u"\" C:\\a\"", 0, false},
        {u"   ", kPathTrim, false},
        {u"a\\b", kPathMustBeAbsolute, false},
        {u"C:a", kPathMustBeAbsolute, false},
        {u"C:\\a", kPathMustBeAbsolute, true},
        {u"\\\\srv\\s", kPathMustBeAbsolute, true},
        {u"\\a", kPathMustBeAbsolute, false},
    };
    for (const ValidityCase& c : cases) {
        EXPECT_EQ(validPath(String(c.path), c.options), c.valid)
            << pathForm(String(c.path)) << " options " << std::hex << c.options;
    }
}

TEST(Path, EightBitValidationSlashesAndTheNarrowPathForm) {
    EXPECT_FALSE(validPath8("C:/a/b", 0));
    EXPECT_TRUE(validPath8("C:/a/b", kPathSlashIsBackslash));
    EXPECT_FALSE(validPath8("C://a", kPathSlashIsBackslash));
    EXPECT_TRUE(validPath8("\"C:\\App\"", kPathMustBeAbsolute));
    EXPECT_FALSE(validPath8(nullptr, 0));
    EXPECT_FALSE(validPath8("", 0));

    String stored;
    wideToPath(u"C:\\\u65e5\u672c\\x", kWholeLength, stored);
    ASSERT_EQ(stored.c_str()[0], '|');
    EXPECT_TRUE(validPath8(stored.c_str(), kPathMustBeAbsolute));
    EXPECT_FALSE(validPath8(stored.c_str(), kPathNoBar));
    wideToPath(u"C:\\\u65e5\\\\x", kWholeLength, stored);
    EXPECT_FALSE(validPath8(stored.c_str(), 0));
}

TEST(Path, AbsolutePaths) {
    EXPECT_TRUE(isAbsolutePath(String(u"c:\\")));
    EXPECT_TRUE(isAbsolutePath(String(u"\\\\x")));
    EXPECT_FALSE(isAbsolutePath(String(u"c:")));
    EXPECT_FALSE(isAbsolutePath(String(u"\\x")));
    EXPECT_FALSE(isAbsolutePath(String(u"")));
}

TEST(Path, ListingFilterAndShellFiles) {
    for (const char16_t* name : {u"a.txt", u"...", u".hidden", u"a b"})
        EXPECT_TRUE(isListableEntryName(name)) << pathForm(String(name));
    for (const char16_t* name :
         {u"", u".", u"..", u"a/b", u"a\"b", u"a<b", u"a>b", u"a|b", u"a*", u"a?", u"a;b"})
        EXPECT_FALSE(isListableEntryName(name)) << pathForm(String(name));
    EXPECT_FALSE(isListableEntryName(nullptr));

    EXPECT_TRUE(isShellFolderFile(u"Thumbs.db"));
    EXPECT_TRUE(isShellFolderFile(u"DESKTOP.INI"));
    EXPECT_FALSE(isShellFolderFile(u"thumbs.db.bak"));
    EXPECT_FALSE(isShellFolderFile(u"desktop.in"));
}

// Long paths go to the system in the "\\?\" form, which it takes literally: the text is
// normalised first.
TEST(Path, ExtendedLengthFormForLongPaths) {
    std::u16string folder(kExtendedPathFrom, u'x');
    auto extended = [](const std::u16string& p) {
        String s = extendedLengthPath(String(p.c_str(), static_cast<int32_t>(p.size())));
        return std::u16string(s.w_str(), static_cast<size_t>(s.wideLength()));
    };
    EXPECT_EQ(extended(u"C:\\" + folder + u"\\.\\a\\..\\b//c\\"),
              u"\\\\?\\C:\\" + folder + u"\\b\\c\\");
    EXPECT_EQ(extended(u"\\\\server\\share\\" + folder), u"\\\\?\\UNC\\server\\share\\" + folder);
    EXPECT_EQ(extended(u"C:\\..\\" + folder), u"\\\\?\\C:\\" + folder);
    // Short, relative and already extended paths stay as they are.
    for (const std::u16string& same : {std::u16string(u"C:\\a\\..\\b"), u"relative\\" + folder,
                                       u"\\\\?\\C:\\" + folder + u"\\..", u"C:" + folder})
        EXPECT_EQ(extended(same), same);
}

// Paths come back as added, unit for unit, whatever they share with the path before them:
// nothing, all of it, more than the previous one holds, and lengths whose counts take several
// bytes.
TEST(PathList, GivesBackEveryPathInOrder) {
    std::u16string longFolder = u"C:\\" + std::u16string(0x9000, u'a');
    const std::u16string paths[] = {
        u"C:\\Program Files\\App\\bin\\app.exe",
        u"C:\\Program Files\\App\\bin\\app.dll",
        u"C:\\Program Files\\App\\bin\\app.dll",
        u"C:\\Program Files\\App\\bin",
        u"C:\\Program Files\\App\\bin\\sub\\\u00e9t\u00e9 \u65e5\u672c.txt",
        u"",
        u"D:\\other",
        longFolder + u"\\one",
        longFolder + u"\\two",
        u"C:\\" + std::u16string(0x8100, u'a') + u"b",
        // A surrogate pair, lone surrogates of both halves, one at the end, and the limits of
        // the one-, two- and three-byte forms.
        u"C:\\\U0001F600\\x\xD800y\xDC00z\x7F\x80\u07FF\u0800\uFFFF\xDBFF",
        u"C:\\\U0001F600\\x\xD800",
    };
    PathList list;
    for (const std::u16string& path : paths)
        list.add(String(path.c_str(), static_cast<int32_t>(path.size())));
    EXPECT_EQ(list.count(), 12);
    std::vector<std::u16string> back;
    list.forEach([&](const String& path) {
        back.emplace_back(path.w_str(), static_cast<size_t>(path.wideLength()));
    });
    ASSERT_EQ(back.size(), std::size(paths));
    for (size_t i = 0; i < back.size(); ++i) EXPECT_TRUE(back[i] == paths[i]) << "path " << i;
}

TEST(PathList, EmptyListVisitsNothing) {
    PathList list;
    int visits = 0;
    list.forEach([&](const String&) { ++visits; });
    EXPECT_EQ(visits, 0);
    EXPECT_EQ(list.count(), 0);
}

}  // namespace
}  // namespace tessarin
