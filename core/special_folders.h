// Where the well-known folders of the running system are.
//
// Every folder has an ordered list of sources (shell folder numbers, known folders, the
// "Shell Folders" and CurrentVersion registry values, environment variables, paths built from
// other folders, fixed texts) so that each resolver works from the oldest systems to the
// newest. The table and the order of trying are portable (special_folders.cpp) and work
// through FolderSources; special_folders_win.cpp supplies the system's answers.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

enum class SpecialFolder {
    ProgramFiles,  // the folder the process sees by default
    ProgramFiles32,
    ProgramFiles64,
    CommonFiles,
    CommonFiles32,
    CommonFiles64,
    AppDataAllUsers,
    AppData,
    DesktopAllUsers,
    Desktop,
    DocumentsAllUsers,
    Documents,
    FavoritesAllUsers,
    Favorites,
    Fonts,
    StartMenuAllUsers,
    ProgramsMenuAllUsers,
    StartMenu,
    ProgramsMenu,
    StartupAllUsers,
    Startup,
    DevicePath,
    Media,
    WebRoot,
    WebServer,
    System32Bit,
};

// A known-folder identifier, laid out as a GUID.
struct KnownFolderId {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

enum class RegistryRootKind { LocalMachine, CurrentUser };

// The system's answers to each kind of source; each gives the empty text when it has none.
// Texts are UTF-16.
class FolderSources {
  public:
    virtual ~FolderSources() = default;
    virtual String shellFolder(int csidl) const = 0;                // SHGetSpecialFolderPathW
    virtual String knownFolder(const KnownFolderId& id) const = 0;  // SHGetKnownFolderPath
    virtual String registryText(RegistryRootKind root, const char16_t* key,
                                const char16_t* value) const = 0;
    virtual String environmentVariable(const char16_t* name) const = 0;
    virtual String expandEnvironment(const String& text) const = 0;  // empty when it fails
    virtual String windowsFolder() const = 0;
};

// Resolves a folder through the given sources: UTF-16, without a trailing backslash unless it
// is a bare root; empty only when every source failed.
String resolveSpecialFolder(SpecialFolder folder, const FolderSources& sources);

// The same through the running system's sources (Windows only).
String specialFolder(SpecialFolder folder);

// Program-files bitness selectors: 1 the 32-bit folder, 2 the 64-bit folder, 3 the folder the
// process sees by default, 4 the system's native folder.
inline constexpr int kBitnessSelector32 = 1;
inline constexpr int kBitnessSelector64 = 2;
inline constexpr int kBitnessSelectorDefault = 3;
inline constexpr int kBitnessSelectorNative = 4;
// On a 32-bit system every selector means the default folder; on a 64-bit system the native
// folder is the 64-bit one, and the 32-bit one is what a 32-bit process sees by default. A 64-bit
// process (the installer's 64-bit build) sees the 64-bit folders by default, so for it the 32-bit
// selector names the x86 folders themselves.
int normaliseBitnessSelector(int selector, bool is64BitSystem, bool is64BitProcess = false);
SpecialFolder programFilesFolderFor(int selector, bool is64BitSystem, bool is64BitProcess = false);
SpecialFolder commonFilesFolderFor(int selector, bool is64BitSystem, bool is64BitProcess = false);

// Folders and facts of the running system (Windows only), UTF-16 unless noted.
String windowsFolder();  // without a trailing backslash
String systemFolder();
String systemFolder32();
char bootDriveLetter();  // upper case; 'C' when the system does not say
String programFilesFolder(int selector);
String commonFilesFolder(int selector);

}  // namespace tessarin
