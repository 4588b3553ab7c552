#include "actions/pre_install.h"

#include "core/path.h"
#include "core/special_folders.h"
#include "core/version.h"

namespace tessarin {

bool bitnessRefused(uint8_t bitness, bool windows64) {
    return (bitness == 1 && !windows64) || (bitness == 2 && windows64);
}

// The code numbers are even and end at 52, so half of one is a bit index that fits the mask.
uint32_t systemFamilyBit(const OsRecord& os) {
    return 1u << (osCodeNumber(os) / 2);
}

bool systemExcluded(int32_t excludedSystems, const OsRecord& os) {
    return (static_cast<uint32_t>(excludedSystems) & systemFamilyBit(os)) != 0;
}

bool versionBelow(const String& a, const String& b) {
    return compareVersions(a.c_str(), b.c_str()) < 0;
}

namespace {

bool isBlank(const String& text) {
    String trimmed = text;
    trimmed.trim();
    return trimmed.empty();
}

}  // namespace

int32_t upgradeKind(uint64_t productFlags, const String& oldVersion8, const String& version8) {
    if ((productFlags & kFlagsUpgradeKinds) == 0 || isBlank(oldVersion8) || isBlank(version8))
        return kUpgradeNone;
    int order = compareVersions(oldVersion8.c_str(), version8.c_str());
    if (order == 0) return kUpgradeSame;
    return order < 0 ? kUpgradeNewer : kUpgradeDowngrade;
}

bool forcedUninstallWanted(uint64_t productFlags, const String& mustUninstallBelow8,
                           const String& oldVersion8) {
    if ((productFlags & kFlagsForcedUninstall) == 0) return false;
    return mustUninstallBelow8.empty() || versionBelow(oldVersion8, mustUninstallBelow8);
}

bool noDowngradeRefuses(const String& noDowngradeBelow8, const String& version8) {
    String limit = noDowngradeBelow8;
    limit.trim();
    return !limit.empty() && versionBelow(version8, limit);
}

bool upgradeWarningWanted(uint64_t productFlags, const String& oldVersion8,
                          const String& warningBelow8) {
    if ((productFlags & kFlagsUpgradeWarning) == 0 || oldVersion8.empty()) return false;
    return warningBelow8.empty() || versionBelow(oldVersion8, warningBelow8);
}

String replaceQuestion(const String& kindMessage, const String& folder, const String& message7) {
    String text = kindMessage;
    text.appendWide(u"\r\n");
    text.append(folder);
    text.appendWide(u"\r\n\r\n");
    text.append(message7);
    return text;
}

Vector<CloseRule> installCloseRules(const Vector<ProgramToClose>& list) {
    Vector<CloseRule> rules;
    for (const ProgramToClose& entry : list) {
        if ((entry.Options & 0x1) == 0) continue;
        CloseRule rule;
        rule.classPattern = entry.ClassText;
        rule.titlePattern = entry.TitleText;
        rule.displayName = entry.DisplayName;
        rule.mode = entry.Action;
        rules.append(rule);
    }
    return rules;
}

void keepProgramsForUninstaller(Vector<ProgramToClose>& list) {
    Vector<ProgramToClose> kept;
    for (int32_t i = 0; i < list.count(); ++i) {
        if (list[i].Options & 0x2) kept.append(list[i]);
    }
    list = std::move(kept);
}

bool registryFolderSource(const String& defaultDir, RegistryRoot& root, String& keyPath,
                          String& valueName) {
    String rest = defaultDir;
    if (rest.startsWithWide(u"HKLM\\", true)) {
        root = kHkeyLocalMachine;
    } else if (rest.startsWithWide(u"HKCU\\", true)) {
        root = kHkeyCurrentUser;
    } else {
        return false;
    }
    splitRegistryValue(rest.w_str(), keyPath, valueName);
    return true;
}

String sharedFolderPath(const String& sharedDir, const String& base, const String& installDir,
                        const String& portableSubdir, bool portable) {
    if (portable && !portableSubdir.empty()) return joinPath(installDir, portableSubdir);
    if (sharedDir.empty() || isAbsolutePath(sharedDir)) return sharedDir;
    return joinPath(base, sharedDir);
}

String uninstallSubfolder(const String& configured, bool elevated, uint64_t productFlags) {
    if (!configured.empty() || !elevated || (productFlags & kFlagsUninstallEntry) == 0)
        return configured;
    return String(kMadeUninstallSubdir);
}

// The records there steer a later uninstallation that an administrator runs.
bool uninstallFolderProtected(bool elevated, uint64_t productFlags) {
    return elevated || (productFlags & kFlagsEveryoneInstallDir) != 0;
}

int sharedBaseSelector(uint8_t sharedBase, uint8_t bitness) {
    switch (sharedBase) {
        case 1:
            return 0;
        case 2:
            return kBitnessSelector32;
        case 3:
            return kBitnessSelector64;
        default:
            return bitness == 1 ? kBitnessSelector64 : kBitnessSelector32;
    }
}

String forcedUninstallCommand(const String& uninstallCommand, const String& ownCommandLine) {
    String own = ownCommandLine;
    own.replaceAllWide(u"\"", u"`");
    String command = uninstallCommand;
    command.appendWide(u" /r:\"");
    command.append(own);
    command.appendWide(u"\"");
    return command;
}

namespace {

void endWithLineBreak(String& text) {
    if (!text.empty() && text.trailingLineBreaks() == 0) text.append("\r\n");
}

}  // namespace

String batchCommands(const String& commands, const String& extra) {
    String text = commands;
    endWithLineBreak(text);
    text.append(extra);
    endWithLineBreak(text);
    return text;
}

bool upgradeBatchRuns(int32_t upgradeKind) {
    return upgradeKind == kUpgradeNewer;
}

bool reinstallBatchRuns(bool replacing, int32_t upgradeKind, uint32_t productFlags2) {
    return replacing &&
           (upgradeKind == kUpgradeSame || (productFlags2 & kFlags2ReinstallBatchOnlySame) == 0);
}

}  // namespace tessarin
