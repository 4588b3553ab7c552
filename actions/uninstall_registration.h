// Uninstall registration: the uninstaller copy in the uninstall folder and the product's entry
// in the system's list of installed programs, which the uninstaller also reads back.
//
// Which values the entry gets, with which types, is decided here from the install state
// (portable, uninstall_registration.cpp); uninstall_registration_win.cpp places the uninstaller
// and writes the key.
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"
#include "package/install_script.h"
#include "package/script_format.h"
#include "services/path_variables.h"
#include "services/reporter.h"

namespace tessarin {

inline constexpr const char16_t* kProductIconName = u"product.ico";
// ProductFlags low word: the background has a picture.
inline constexpr uint64_t kFlagsBackgroundPicture = 0x8000;
// Corruption code of a script value whose type is neither 1, 2 nor 4.
inline constexpr int kCodeBadUninstallValueType = 200;

enum class UninstallValueKind : uint8_t {
    Wide,         // REG_SZ through the UTF-16 call; text is UTF-16
    Expandable,   // REG_EXPAND_SZ through the UTF-16 call; text is UTF-16
    Narrow,       // REG_SZ through the 8-bit call; text is 8-bit
    Real,         // REG_SZ through the 8-bit call: real as text
    Number,       // REG_DWORD
    ProductIcon,  // "DisplayIcon": written only when the icon file could be written to text
    BadType,      // a script value of an unknown type: the installation stops here
};

struct UninstallValue {
    String name;  // 8-bit; a script value may name a key before its last backslash
    UninstallValueKind kind = UninstallValueKind::Wide;
    String text;
    uint32_t number = 0;
    double real = 0;
    bool remove = false;      // delete the value instead of writing it
    bool fromScript = false;  // one of the script's own values
};

// What the entry needs beyond the install state.
struct RegistrationFacts {
    String installerPath;  // UTF-16: the running installer file
    // The executable without its payload section, prepared when the script was read.
    const String* uninstallerImage = nullptr;
    String fontList;     // 8-bit: the fonts the installation registered
    String sharedFiles;  // 8-bit: the SharedFiles text
    uint64_t spaceEstimate = 0;
    String displayTitle;  // UTF-16: the background window's title
    String today;         // 8-bit: the date as eight digits, year month day
};

// UninstallDir + UninstallerName (UTF-16).
String uninstallerPath(const InstallScript& script);
// "/u:" and the key name in double quotes.
String uninstallerArguments(const InstallScript& script);
// The two command lines of the entry; the quiet one has " /a " between path and arguments.
String uninstallString(const InstallScript& script);
String quietUninstallString(const InstallScript& script);
// "Software\...\Uninstall\<UninstallKeyName>".
String uninstallKeyPath(const InstallScript& script);

// Every value of the entry in the order it is written, the script's own values expanded with
// the given path variables.
std::vector<UninstallValue> uninstallKeyValues(const InstallScript& script,
                                               const RegistrationFacts& facts,
                                               const PathVariableValues& variables);

// ---- Windows -----------------------------------------------------------------------------

// Puts the uninstaller in place: the prepared image (with the uninstaller icon when the script
// has one) or a copy of the running installer, replaced at the next restart when it is locked.
// True when a restart is needed for that.
bool InstallUninstaller(const InstallScript& script, const RegistrationFacts& facts,
                        Reporter& reporter);
// Writes the uninstall key; whether it holds the expected "UninstallString" afterwards.
bool RegisterUninstallEntry(const InstallScript& script, const RegistrationFacts& facts,
                            Reporter& reporter);

// The install actions of the running installation: the uninstaller's icon file and the links
// to the uninstaller and the log (added to the shortcut list), and the uninstaller with its
// entry.
void AddUninstallerShortcuts();
void RegisterUninstaller();

}  // namespace tessarin
