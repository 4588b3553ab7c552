// The decisions before the installation: versions and upgrade kinds, refusals, programs to
// close, the default folder from the registry, folders, the space estimate and the batches.
#include "actions/pre_install.h"

#include <gtest/gtest.h>

#include "core/special_folders.h"
#include "core/version.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::bytes;
using testing::fromUtf8;
using testing::utf8;

constexpr uint64_t kKinds = kFlagsUpgradeKinds;

TEST(PreInstallVersions, ComparisonFollowsNumbersThenSuffix) {
    struct Case {
        const char* a;
        const char* b;
        int order;  // sign of the comparison
    } cases[] = {
        {"2.10", "2.9", 1},        // numbers, not text
        {"1.0", "1.0a", -1},       // no letter is lowest
        {"1.0b", "1.0a", 1},       //
        {"1.2", "1.2.0", -1},      // the longer list is greater
        {".5", "0.5", 0},          // a leading dot counts as 0
        {"1-2 build", "1.2d", 0},  // other characters are ignored, the last letter kept
        {"1.2 (x)", "1.2.0", -1}, {"3.0", "  3.0  ", 0}, {"", "", 0}, {"", "0", -1},
    };
    for (const Case& c : cases) {
        int got = compareVersions(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.order) << c.a << " vs " << c.b;
    }
}

TEST(PreInstallVersions, UpgradeKindTable) {
    struct Case {
        uint64_t flags;
        const char* installed;
        const char* version;
        int32_t kind;
    } cases[] = {
        {kKinds, "2.10", "2.9", kUpgradeDowngrade}, {kKinds, "2.9", "2.10", kUpgradeNewer},
        {kKinds, "1.0", "1.0a", kUpgradeNewer},     {kKinds, "1.0", "1.0", kUpgradeSame},
        {kKinds, "", "1.0", kUpgradeNone},          {kKinds, "  ", "1.0", kUpgradeNone},
        {kKinds, "1.0", "", kUpgradeNone},          {0, "1.0", "2.0", kUpgradeNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(upgradeKind(c.flags, String(c.installed), String(c.version)), c.kind)
            << c.installed << " -> " << c.version;
}

TEST(PreInstallVersions, RefusalsAndWarnings) {
    // No downgrade below a limit surrounded by blanks.
    EXPECT_TRUE(noDowngradeRefuses(String(" 3.0 \t"), String("2.5")));
    EXPECT_FALSE(noDowngradeRefuses(String(" 3.0 "), String("3.0")));
    EXPECT_FALSE(noDowngradeRefuses(String("  "), String("0.1")));

    // Forced uninstallation: an empty limit forces it for every installed version.
    EXPECT_TRUE(forcedUninstallWanted(kFlagsForcedUninstall, String(), String("9.9")));
    EXPECT_TRUE(forcedUninstallWanted(kFlagsForcedUninstall, String("2.0"), String("1.9")));
    EXPECT_FALSE(forcedUninstallWanted(kFlagsForcedUninstall, String("2.0"), String("2.0")));
    EXPECT_FALSE(forcedUninstallWanted(0, String(), String("1.0")));

    // The upgrade warning needs the option and an installed version.
    EXPECT_TRUE(upgradeWarningWanted(kFlagsUpgradeWarning, String("1.0"), String()));
    EXPECT_TRUE(upgradeWarningWanted(kFlagsUpgradeWarning, String("1.0"), String("1.5")));
    EXPECT_FALSE(upgradeWarningWanted(kFlagsUpgradeWarning, String("1.5"), String("1.5")));
    EXPECT_FALSE(upgradeWarningWanted(kFlagsUpgradeWarning, String(), String()));
    EXPECT_FALSE(upgradeWarningWanted(0, String("1.0"), String()));
}

TEST(PreInstallSystem, BitnessAndExcludedFamilies) {
    EXPECT_TRUE(bitnessRefused(1, false));
    EXPECT_FALSE(bitnessRefused(1, true));
    EXPECT_TRUE(bitnessRefused(2, true));
    EXPECT_FALSE(bitnessRefused(2, false));
    EXPECT_FALSE(bitnessRefused(0, true));

    OsRecord ten;
    ten.major = 10;
    ten.productType = kProductWorkstation;
    OsRecord seven;
    seven.major = 6;
    seven.minor = 1;
    OsRecord nine;
    nine.platform = kPlatformWindows9x;
    nine.major = 4;
    EXPECT_EQ(systemFamilyBit(ten), 1u << 24);
    EXPECT_EQ(systemFamilyBit(seven), 1u << 18);
    EXPECT_EQ(systemFamilyBit(nine), 1u);
    EXPECT_TRUE(systemExcluded(1 << 24, ten));
    EXPECT_FALSE(systemExcluded(1 << 24, seven));
    EXPECT_TRUE(systemExcluded(1, nine));
}

ProgramToClose entry(const char* cls, const char* title, uint8_t options) {
    ProgramToClose p;
    p.ClassText = String(cls);
    p.TitleText = String(title);
    p.DisplayName = String(title);
    p.Action = options;
    p.Options = options;
    return p;
}

TEST(PreInstallPrograms, InstallationEntriesBecomeRulesAndUninstallerKeepsItsOwn) {
    Vector<ProgramToClose> list;
    list.append(entry("", "*Editor", 0x2));  // for the uninstaller only
    list.append(entry("Edit", "", 0x1));
    list.append(entry("", "*Editor", 0x3));
    Vector<CloseRule> rules = installCloseRules(list);
    ASSERT_EQ(rules.count(), 2);
    EXPECT_EQ(bytes(rules[0].classPattern), "Edit");
    EXPECT_EQ(rules[0].mode, 1);
    EXPECT_EQ(bytes(rules[1].titlePattern), "*Editor");
    EXPECT_EQ(bytes(rules[1].displayName), "*Editor");
    EXPECT_EQ(rules[1].mode, 3);
    EXPECT_EQ(closeRuleFor(rules, String("Edit"), String("The Editor")), 0);
    EXPECT_EQ(closeRuleFor(rules, String("Other"), String("The Editor")), 1);
    EXPECT_EQ(closeRuleFor(rules, String("Other"), String("Viewer")), -1);

    keepProgramsForUninstaller(list);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list[0].Options, 0x2);
    EXPECT_EQ(list[1].Options, 0x3);
}

TEST(PreInstallFolders, RegistryDefaultFolder) {
    struct Case {
        const char* text;
        bool found;
        RegistryRoot root;
        const char* key;
        const char* value;
    } cases[] = {
        {"HKCU\\Software\\X\\Path", true, kHkeyCurrentUser, "Software\\X", "Path"},
        {"HKLM\\Software\\Vendor\\Product\\Dir", true, kHkeyLocalMachine,
         "Software\\Vendor\\Product", "Dir"},
        {"HKLM\\Path", true, kHkeyLocalMachine, "", "Path"},
        {"HKCR\\Software\\X\\Path", false, kRegistryNoRoot, "", ""},
        {"C:\\HKLM\\X", false, kRegistryNoRoot, "", ""},
        {"<master>", false, kRegistryNoRoot, "", ""},
    };
    for (const Case& c : cases) {
        RegistryRoot root = kRegistryNoRoot;
        String key, value;
        ASSERT_EQ(registryFolderSource(fromUtf8(c.text), root, key, value), c.found) << c.text;
        if (!c.found) continue;
        EXPECT_EQ(root, c.root) << c.text;
        EXPECT_EQ(utf8(key), c.key) << c.text;
        EXPECT_EQ(utf8(value), c.value) << c.text;
    }
}

TEST(PreInstallFolders, SharedFolderChoice) {
    String install(u"E:\\Product");
    String base(u"C:\\Program Files\\Common Files");
    EXPECT_EQ(utf8(sharedFolderPath(String(u"Vendor"), base, install, String(u"Shared"), true)),
              "E:\\Product\\Shared");
    EXPECT_EQ(utf8(sharedFolderPath(String(u"Vendor"), base, install, String(), true)),
              "C:\\Program Files\\Common Files\\Vendor");
    EXPECT_EQ(utf8(sharedFolderPath(String(u"Vendor"), base, install, String(u"Shared"), false)),
              "C:\\Program Files\\Common Files\\Vendor");
    EXPECT_EQ(utf8(sharedFolderPath(String(u"D:\\Own"), base, install, String(), false)),
              "D:\\Own");
    EXPECT_TRUE(sharedFolderPath(String(), base, install, String(), false).empty());

    EXPECT_EQ(sharedBaseSelector(1, 0), 0);
    EXPECT_EQ(sharedBaseSelector(2, 1), kBitnessSelector32);
    EXPECT_EQ(sharedBaseSelector(3, 0), kBitnessSelector64);
    EXPECT_EQ(sharedBaseSelector(0, 1), kBitnessSelector64);
    EXPECT_EQ(sharedBaseSelector(9, 2), kBitnessSelector32);
}

TEST(PreInstallFolders, SpaceEstimateRoundsEachFileToClusters) {
    std::vector<int32_t> sizes = {1, 4096, 4097, 0};
    EXPECT_EQ(spaceEstimate(sizes, 4096, 0, 0), 4096u + 4096u + 8192u);
    EXPECT_EQ(spaceEstimate(sizes, 512, 1000, 24), 512u + 4096u + 4608u + 1000u + 24u);
    // Without a cluster size, 4096 bytes.
    EXPECT_EQ(spaceEstimate(sizes, -1, 0, 0), 16384u);
    // Beyond 32 bits.
    std::vector<int32_t> large(3, INT32_MAX);
    EXPECT_EQ(spaceEstimate(large, 4096, 0, int64_t(1) << 33),
              3 * (uint64_t(1) << 31) + (uint64_t(1) << 33));
}

TEST(PreInstallCommands, ForcedUninstallCarriesTheInstallerWithBackquotes) {
    String command = forcedUninstallCommand(String(u"\"C:\\P\\uninst.exe\" /u:\"Prod\""),
                                            String(u"\"D:\\setup.exe\" /d:\"C:\\Target Dir\" /a"));
    EXPECT_EQ(utf8(command),
              "\"C:\\P\\uninst.exe\" /u:\"Prod\" /r:\"`D:\\setup.exe` /d:`C:\\Target Dir` /a\"");
}

TEST(PreInstallCommands, BatchTextsAndWhichRun) {
    EXPECT_EQ(bytes(batchCommands(String("echo a"), String())), "echo a\r\n");
    EXPECT_EQ(bytes(batchCommands(String("echo a\r\n"), String("echo b"))), "echo a\r\necho b\r\n");
    EXPECT_EQ(bytes(batchCommands(String("echo a\n"), String("echo b\r\n"))), "echo a\necho b\r\n");
    EXPECT_TRUE(batchCommands(String(), String()).empty());

    EXPECT_TRUE(upgradeBatchRuns(kUpgradeNewer));
    for (int32_t kind : {kUpgradeNone, kUpgradeSame, kUpgradeDowngrade})
        EXPECT_FALSE(upgradeBatchRuns(kind));

    EXPECT_TRUE(reinstallBatchRuns(true, kUpgradeSame, kFlags2ReinstallBatchOnlySame));
    EXPECT_FALSE(reinstallBatchRuns(true, kUpgradeNewer, kFlags2ReinstallBatchOnlySame));
    EXPECT_TRUE(reinstallBatchRuns(true, kUpgradeNewer, 0));
    EXPECT_FALSE(reinstallBatchRuns(false, kUpgradeSame, 0));
}

TEST(PreInstallCommands, ReplaceQuestionLayout) {
    EXPECT_EQ(utf8(replaceQuestion(String(u"Upgrade?"), String(u"C:\\P"), String(u"Go on?"))),
              "Upgrade?\r\nC:\\P\r\n\r\nGo on?");
}

}  // namespace
}  // namespace tessarin
