// Replacement of path variables: order, letter case, values that hold other names, and the
// environment expansion that follows.
#include "services/path_variables.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/convert.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

class FakeValues : public PathVariableValues {
  public:
    std::map<PathVariable, std::string> values;
    std::map<std::string, std::string> environment;
    mutable int asked = 0;

    String value(PathVariable v) const override {
        ++asked;
        auto it = values.find(v);
        return it == values.end() ? String() : fromUtf8(it->second.c_str());
    }
    // A small stand-in for the system's expansion: known %NAME% are replaced, others kept.
    bool expandEnvironment(String& text) const override {
        std::string t = utf8(text);
        for (const auto& [name, value] : environment) {
            std::string key = "%" + name + "%";
            for (size_t at; (at = t.find(key)) != std::string::npos;)
                t.replace(at, key.size(), value);
        }
        text = fromUtf8(t.c_str());
        return true;
    }
};

std::string expand(const char* text, const FakeValues& values) {
    String s = fromUtf8(text);
    expandPathVariables(s, values);
    return utf8(s);
}

TEST(PathVariables, ReplacesNamesInAnyCaseExceptTheOldVersionParts) {
    FakeValues v;
    v.values[PathVariable::InstallDir] = "C:\\Program Files\\Demo";
    v.values[PathVariable::OldVersionMajor] = "4";
    v.values[PathVariable::OldVersionMinor] = "2";
    v.values[PathVariable::OldVersion] = "4.2.1";
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"%InstallDir%\\a.txt", "C:\\Program Files\\Demo\\a.txt"},
        {"%installdir%\\b;%INSTALLDIR%", "C:\\Program Files\\Demo\\b;C:\\Program Files\\Demo"},
        {"%OldVersionMajor%.%OldVersionMinor%", "4.2"},
        {"%oldversionmajor%", "%oldversionmajor%"},
        {"%OLDVERSIONMINOR%", "%OLDVERSIONMINOR%"},
        {"%oldversion%", "4.2.1"},
        {"%NoSuchName%\\x", "%NoSuchName%\\x"},
        {"100%", "100%"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(expand(c.text, v), c.expected) << c.text;
}

TEST(PathVariables, ValuesAreSubjectToLaterNamesAndToTheEnvironment) {
    FakeValues v;
    v.values[PathVariable::ProductName] = "Tool %WinDir% %ProgramsDir% %USERNAME%";
    v.values[PathVariable::WinDir] = "C:\\windows";
    v.values[PathVariable::InstallDir] = "%ProductName%";
    v.environment["USERNAME"] = "alice";
    // ProgramsDir comes after ProductName in the table, so it is replaced too; InstallDir comes
    // before it, so the product name it inserts is replaced in turn.
    EXPECT_EQ(expand("%InstallDir%", v), "Tool C:\\windows  alice");
}

TEST(PathVariables, OnlyNamesThatOccurAreAskedFor) {
    FakeValues v;
    expand("C:\\plain\\path", v);
    EXPECT_EQ(v.asked, 0);
    expand("%Temp%\\x and %TEMP%\\y", v);
    EXPECT_EQ(v.asked, 1);
}

TEST(PathVariables, TableIsInReplacementOrderWithPercentSigns) {
    int count = 0;
    const PathVariableName* names = pathVariableNames(&count);
    ASSERT_EQ(count, 50);
    EXPECT_EQ(utf8(String(names[0].name)), "%AppDataAllDir%");
    EXPECT_EQ(utf8(String(names[count - 1].name)), "%OSName%");
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(static_cast<int>(names[i].variable), i);
        EXPECT_EQ(names[i].exactCase, names[i].variable == PathVariable::OldVersionMajor ||
                                          names[i].variable == PathVariable::OldVersionMinor);
    }
}

TEST(PathVariables, DriveFormAndVersionParts) {
    EXPECT_EQ(utf8(driveForm(fromUtf8("d:\\x"))), "d:");
    EXPECT_EQ(utf8(driveForm(fromUtf8("\\\\server\\share"))), "");
    EXPECT_EQ(utf8(driveForm(String())), "");
    struct Case {
        const char* version;
        const char* major;
        const char* minor;
    } cases[] = {
        {"3.14.15", "3", "14"}, {"7", "7", ""}, {"", "", ""}, {"2.", "2", ""}, {".5", "", "5"}};
    for (const Case& c : cases) {
        EXPECT_EQ(utf8(versionPart(fromUtf8(c.version), 0)), c.major) << c.version;
        EXPECT_EQ(utf8(versionPart(fromUtf8(c.version), 1)), c.minor) << c.version;
    }
}

}  // namespace
}  // namespace tessarin
