// The steps between reading the script and writing the first file: whether the installer may
// run here, what it does about a previous installation of the product, where the product goes,
// and the preparation of the system (programs to close, restore point, uninstall and shared
// folders, space estimate, the batches that run before the files).
//
// The decisions are portable (pre_install.cpp) and tested against plain values; the flow that
// asks the system and shows the messages is pre_install_win.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "core/containers.h"
#include "core/os_info.h"
#include "core/registry.h"
#include "core/string.h"
#include "package/install_script.h"
#include "package/script_format.h"
#include "services/install_state.h"
#include "services/window_closing.h"

namespace tessarin {

// The three steps, in this order, after the script has been read. Each may end the process.
void RunPreInstallChecks();
void DecideTargetFolder();
void PrepareSystem();

// ---- Option bits ---------------------------------------------------------------------------

// ProductFlags low word (the uninstall entry and the prerequisite bits are in script_format.h).
inline constexpr uint64_t kFlagsForcedUninstall = 0x1;
inline constexpr uint64_t kFlagsChooseFolder = 0x80;
inline constexpr uint64_t kFlagsSingleInstance = 0x100;
inline constexpr uint64_t kFlagsNoUpgradeQuestion = 0x10000000;
// ProductFlags high word, shifted into place.
inline constexpr uint64_t kFlagsUpgradeKinds = highWord(0x10);
inline constexpr uint64_t kFlagsUpgradeWarning = highWord(0x1000);
inline constexpr uint64_t kFlagsEveryoneInstallDir = highWord(0x40000);
inline constexpr uint64_t kFlagsPortableWithoutEntry = highWord(0x1000000);
inline constexpr uint64_t kFlagsEveryoneSharedDir = highWord(0x40000000);
// ProductFlags2.
inline constexpr uint32_t kFlags2ReinstallBatchOnlySame = 0x1;
inline constexpr uint32_t kFlags2RestorePoint = 0x2;
inline constexpr uint32_t kFlags2RemovePreviousKey = 0x2000;

inline constexpr int32_t kUpgradeNone = 3;
inline constexpr int32_t kUpgradeSame = 4;
inline constexpr int32_t kUpgradeNewer = 5;
inline constexpr int32_t kUpgradeDowngrade = 6;

inline constexpr const char16_t* kSingleInstanceMutex = u"Tessarin TQS";

// ---- The running system (pre_install_win.cpp) ---------------------------------------------

// The previous installation as its uninstall entry (HKLM) tells it.
struct PreviousInstallation {
    bool keyFound = false;
    String folder;           // UTF-16: "InstallLocation", else the value PreviousInstallKey names
    String oldVersion8;      // "DisplayVersion"
    String sharedFiles8;     // "SharedFiles"
    String fonts8;           // "ProductFonts"
    String startMenu;        // UTF-16: "ProductStartMenu"
    String uninstallFolder;  // UTF-16: "InstallLocation" and "UninstallSubdir", where its
                             // Uninstall.DAT lies
};
PreviousInstallation readPreviousInstallation(const InstallScript& script);
// The folder that a default folder "HKLM\..." or "HKCU\..." names, expanded; false with the
// message that refuses the installation (the value is empty or the folder does not exist).
bool registryDefaultFolder(const String& defaultDir, String& folder, String& refusal);
// Another process holds the single-instance mutex.
bool anotherInstanceRunning();

// ---- The system ----------------------------------------------------------------------------

// Bitness 1 (64-bit product) refuses 32-bit Windows; 2 (needs 32-bit Windows) refuses 64-bit.
bool bitnessRefused(uint8_t bitness, bool windows64);
// The family bit of a system in ExcludedSystems: bit (code number / 2) of the "%OS%" code
// number, so bit 0 for every system outside the NT family and bit 24 for Windows 10.
uint32_t systemFamilyBit(const OsRecord& os);
bool systemExcluded(int32_t excludedSystems, const OsRecord& os);

// ---- Versions ------------------------------------------------------------------------------

// Whether 8-bit version a is below b.
bool versionBelow(const String& a, const String& b);
// 3 without the option or without both versions, else 4 equal, 5 older installed, 6 newer.
int32_t upgradeKind(uint64_t productFlags, const String& oldVersion8, const String& version8);
// The previous installation must be uninstalled first (low word 0x1, and no limit or an
// installed version below it).
bool forcedUninstallWanted(uint64_t productFlags, const String& mustUninstallBelow8,
                           const String& oldVersion8);
// "NoDowngradeBelow" of the previous entry, trimmed, is above the new version.
bool noDowngradeRefuses(const String& noDowngradeBelow8, const String& version8);
// The extra warning before an upgrade of an old installation.
bool upgradeWarningWanted(uint64_t productFlags, const String& oldVersion8,
                          const String& warningBelow8);
// The question before replacing (UTF-16): message UpgradeKind, the folder, message 7.
String replaceQuestion(const String& kindMessage, const String& folder, const String& message7);

// ---- Programs to close ---------------------------------------------------------------------

// The entries that apply during the installation (option 0x1) as closing rules, in order.
Vector<CloseRule> installCloseRules(const Vector<ProgramToClose>& list);
// Keeps only the entries that the uninstaller closes too (option 0x2).
void keepProgramsForUninstaller(Vector<ProgramToClose>& list);

// ---- Folders and space ---------------------------------------------------------------------

// A default folder "HKLM\Key\Value" or "HKCU\Key\Value" (UTF-16): the root, key path and value
// name. False for every other text.
bool registryFolderSource(const String& defaultDir, RegistryRoot& root, String& keyPath,
                          String& valueName);
// The folder of the shared files (UTF-16): the portable subfolder of the install folder, or
// SharedDir below base unless it is already absolute; empty when SharedDir is.
String sharedFolderPath(const String& sharedDir, const String& base, const String& installDir,
                        const String& portableSubdir, bool portable);
// The uninstall subfolder an elevated installation makes when the script names none.
inline constexpr const char16_t* kMadeUninstallSubdir = u"Uninstall";
// The uninstall subfolder (UTF-16): the one the script names; or, when it names none and an
// elevated installation makes an uninstaller, kMadeUninstallSubdir: the uninstaller's records
// then never share the install folder, which ordinary users may be able to change.
String uninstallSubfolder(const String& configured, bool elevated, uint64_t productFlags);
// Whether the uninstall subfolder gets its own access list (folder_protection.h): always in an
// elevated installation, and when the install folder is opened to everyone.
bool uninstallFolderProtected(bool elevated, uint64_t productFlags);
// The common-files selector of the shared base, or 0 for the all users' application data.
int sharedBaseSelector(uint8_t sharedBase, uint8_t bitness);

// ---- Commands ------------------------------------------------------------------------------

// The previous entry's uninstall command (UTF-16) that starts this installer again afterwards:
// its own command line with every double quote a backquote, in " /r:\"...\"".
String forcedUninstallCommand(const String& uninstallCommand, const String& ownCommandLine);
// A batch text (8-bit) with the extra commands after it, each part ended by a line break.
String batchCommands(const String& commands, const String& extra);
bool upgradeBatchRuns(int32_t upgradeKind);
bool reinstallBatchRuns(bool replacing, int32_t upgradeKind, uint32_t productFlags2);

}  // namespace tessarin
