// Registry root names and path splitting.
#include <gtest/gtest.h>

#include <string>

#include "core/registry.h"

namespace tessarin {
namespace {

std::u16string wide(const String& s) {
    return std::u16string(s.w_str(), s.wideLength());
}
std::u16string ascii16(const char* s) {
    return std::u16string(s, s + narrowTextLength(s));
}
std::string narrow(const String& s) {
    return std::string(s.c_str(), s.length());
}

TEST(RegistryRoots, TableHoldsTheSixRootsInOrder) {
    const RegistryRoot keys[] = {kHkeyLocalMachine, kHkeyCurrentUser,   kHkeyClassesRoot,
                                 kHkeyUsers,        kHkeyCurrentConfig, kHkeyDynData};
    const char* abbreviations[] = {"HKLM", "HKCU", "HKCR", "HKU", "HKCC", "HKDD"};
    for (int i = 0; i < kRegistryRootCount; ++i) {
        const RegistryRootName& row = kRegistryRoots[i];
        EXPECT_EQ(row.key, keys[i]);
        EXPECT_STREQ(row.abbreviation, abbreviations[i]);
        EXPECT_EQ(std::string(row.slashed), "\\" + std::string(abbreviations[i]) + "\\");
        // The UTF-16 copies say the same.
        EXPECT_EQ(wide(String(row.fullNameWide)), ascii16(row.fullName));
        EXPECT_EQ(wide(String(row.abbreviationWide)), ascii16(row.abbreviation));
        EXPECT_EQ(wide(String(row.slashedWide)), ascii16(row.slashed));
        EXPECT_EQ(findRegistryRoot(row.key), &row);
    }
    EXPECT_EQ(static_cast<uint32_t>(kHkeyLocalMachine), 0x80000002u);
    EXPECT_EQ(static_cast<uint32_t>(kHkeyDynData), 0x80000006u);
    EXPECT_EQ(findRegistryRoot(static_cast<RegistryRoot>(0x80000004u)), nullptr);
}

struct SplitCase {
    const char16_t* path;
    RegistryRoot root;
    const char16_t* rest;
};

TEST(RegistryPath, SplitRootTakesFullNamesAndAbbreviationsAsWholeElements) {
    const SplitCase cases[] = {
        {u"HKLM\\Software\\X", kHkeyLocalMachine, u"Software\\X"},
        {u"\\hkey_local_machine\\Software\\X", kHkeyLocalMachine, u"Software\\X"},
        {u"HKEY_CURRENT_USER\\Software", kHkeyCurrentUser, u"Software"},
        {u"\\hkcr\\.txt", kHkeyClassesRoot, u".txt"},
        {u"HKU\\.DEFAULT", kHkeyUsers, u".DEFAULT"},
        {u"\\HKCC", kHkeyCurrentConfig, u""},
        {u"HKEY_DYN_DATA\\", kHkeyDynData, u""},
        // Only one backslash after the root goes.
        {u"HKLM\\\\Software", kHkeyLocalMachine, u"\\Software"},
        // An element that merely begins with a root name is no root.
        {u"HKLMX\\Software", kRegistryNoRoot, u"HKLMX\\Software"},
        {u"\\HKEY_USERSX", kRegistryNoRoot, u"\\HKEY_USERSX"},
        {u"\\HKAU\\Software", kRegistryNoRoot, u"\\HKAU\\Software"},
        {u"Software\\HKLM", kRegistryNoRoot, u"Software\\HKLM"},
        {u"", kRegistryNoRoot, u""},
    };
    for (const SplitCase& c : cases) {
        std::string path8(c.path, c.path + wideTextLength(c.path));
        SCOPED_TRACE(path8);
        String rest(u"stale");
        EXPECT_EQ(splitRegistryRoot(c.path, rest), c.root);
        EXPECT_EQ(wide(rest), std::u16string(c.rest));

        // The 8-bit form agrees and gives 8-bit text.
        std::string rest8(c.rest, c.rest + wideTextLength(c.rest));
        String rest8Out;
        EXPECT_EQ(splitRegistryRoot(path8.c_str(), rest8Out), c.root);
        EXPECT_EQ(narrow(rest8Out), rest8);
    }
}

TEST(RegistryPath, SplitSlashedRootAcceptsOnlySlashedForms) {
    const SplitCase accepted[] = {
        {u"\\HKLM\\Software\\X", kHkeyLocalMachine, u"Software\\X"},
        {u"\\hklm\\Software", kHkeyLocalMachine, u"Software"},
        {u"\\HKU\\S-1-5-18\\Software", kHkeyUsers, u"S-1-5-18\\Software"},
        {u"\\HKCU\\", kHkeyCurrentUser, u""},
        {u"\\HKLM", kHkeyLocalMachine, u""},  // the root itself
        {u"\\hkdd", kHkeyDynData, u""},
    };
    for (const SplitCase& c : accepted) {
        RegistryRoot root = kRegistryNoRoot;
        String rest(u"stale");
        EXPECT_EQ(splitSlashedRegistryRoot(c.path, root, rest), 0u);
        EXPECT_EQ(root, c.root);
        EXPECT_EQ(wide(rest), std::u16string(c.rest));
    }
    const char16_t* rejected[] = {
        u"\\HKAU\\Software",  u"HKLM\\Software", u"\\HKEY_LOCAL_MACHINE\\X",
        u"\\HKLMX\\Software", u"\\HKL",          u"",
        u"\\HKLMSoftware"};
    for (const char16_t* path : rejected) {
        RegistryRoot root = kHkeyUsers;
        String rest;
        EXPECT_EQ(splitSlashedRegistryRoot(path, root, rest), 161u);
        EXPECT_EQ(root, kRegistryNoRoot);
    }
    RegistryRoot root = kRegistryNoRoot;
    String rest;
    EXPECT_EQ(splitSlashedRegistryRoot("\\HKU\\S-1-5-18", root, rest), 0u);
    EXPECT_EQ(root, kHkeyUsers);
    EXPECT_EQ(narrow(rest), "S-1-5-18");
    EXPECT_EQ(splitSlashedRegistryRoot("\\HKAU\\Software", root, rest), kErrorBadPathname);
}

TEST(RegistryPath, SplitValueAtTheLastBackslash) {
    struct Case {
        const char16_t* path;
        const char16_t* key;
        const char16_t* value;
    };
    const Case cases[] = {
        {u"Software\\Vendor\\InstallDir", u"Software\\Vendor", u"InstallDir"},
        {u"\\HKLM\\Software\\X\\", u"\\HKLM\\Software\\X", u""},
        {u"Name", u"", u"Name"},
        {u"\\Name", u"", u"Name"},
        {u"", u"", u""},
    };
    for (const Case& c : cases) {
        String key(u"stale"), value(u"stale");
        splitRegistryValue(c.path, key, value);
        EXPECT_EQ(wide(key), std::u16string(c.key));
        EXPECT_EQ(wide(value), std::u16string(c.value));
    }
    String key, value;
    splitRegistryValue("\\HKCU\\Software\\Tool\\Path", key, value);
    EXPECT_EQ(narrow(key), "\\HKCU\\Software\\Tool");
    EXPECT_EQ(narrow(value), "Path");
}

TEST(RegistryPath, DisplayPathsEndInOneBackslash) {
    EXPECT_EQ(wide(registryDisplayPath(kHkeyLocalMachine, u"Software\\X")),
              u"HKEY_LOCAL_MACHINE\\Software\\X\\");
    EXPECT_EQ(wide(registryDisplayPath(kHkeyUsers, u"S-1-5-18\\")), u"HKEY_USERS\\S-1-5-18\\");
    EXPECT_EQ(wide(registryDisplayPath(kHkeyCurrentConfig, u"")), u"HKEY_CURRENT_CONFIG\\");
    EXPECT_EQ(wide(registryDisplayPath(kHkeyDynData, u"PerfStats")), u"PerfStats\\");
    EXPECT_EQ(wide(registryDisplayPath(String(u"HKEY_CURRENT_USER\\Software\\"), u"Sub")),
              u"HKEY_CURRENT_USER\\Software\\Sub\\");
}

TEST(RegistryPath, UserHivesAreTheSidsWithoutDefaultAndClasses) {
    EXPECT_TRUE(isUserHiveName(u"S-1-5-21-1004336348-1177238915-682003330-1001"));
    EXPECT_TRUE(isUserHiveName(u"S-1-5-18"));
    EXPECT_TRUE(isUserHiveName(u".DEFAULTX"));
    EXPECT_TRUE(isUserHiveName(u"S-1-5-21-1_ClassesX"));
    EXPECT_FALSE(isUserHiveName(u".DEFAULT"));
    EXPECT_FALSE(isUserHiveName(u".Default"));
    EXPECT_FALSE(isUserHiveName(u"S-1-5-21-1004336348-1177238915-682003330-1001_Classes"));
    EXPECT_FALSE(isUserHiveName(u"S-1-5-21-1_CLASSES"));
    EXPECT_FALSE(isUserHiveName(u"_Classes"));
}

}  // namespace
}  // namespace tessarin
