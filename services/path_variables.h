// Path variables: names between percent signs ("%InstallDir%", "%ProgramsDir%", ...) in paths
// and commands of the install script, replaced by the install state and the system's folders,
// then by the system's environment expansion.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

// In the order in which they are replaced.
enum class PathVariable {
    AppDataAllDir,
    AppDataDir,
    Bits,
    BootDrive,
    CommonDir,
    CommonDir32,
    CommonDir64,
    DesktopAllDir,
    DesktopDir,
    DesktopShortcuts,
    DeviceDir,
    DocumentAllDir,
    DocumentDir,
    FavoritesAllDir,
    FavoritesDir,
    FontDir,
    Inetpub,
    InstallDir,
    InstallDrive,
    InstallerDir,
    InstallerDrive,
    InstallerFilename,
    InstallerFilepath,
    MediaDir,
    OldVersion,
    OldVersionMajor,
    OldVersionMinor,
    Portable,
    ProductName,
    CompanyName,
    ProgramsDir,
    ProgramsDir32,
    ProgramsDir64,
    SharedDir,
    SMProgramsAllDir,
    SMProgramsDir,
    StartMenuAllDir,
    StartMenuChosen,
    StartMenuDir,
    StartupAllDir,
    StartupDir,
    SystemDir,
    Temp,
    UninstallDir,
    Version,
    WinDir,
    OS,
    OSMajor,
    OSMinor,
    OSName,
};

struct PathVariableName {
    const char16_t* name;  // with its percent signs
    PathVariable variable;
    bool exactCase;  // matched only as written
};

// The table, in replacement order.
const PathVariableName* pathVariableNames(int* count);

// Where the values come from. Values are UTF-16 and asked only for names that occur.
class PathVariableValues {
  public:
    virtual ~PathVariableValues() = default;
    virtual String value(PathVariable variable) const = 0;
    // The system's environment expansion; false leaves the text as it is.
    virtual bool expandEnvironment(String& text) const = 0;
};

// Replaces every variable in table order (one pass per name: a value inserted by an earlier
// name is subject to the later ones), then expands environment variables. Never fails; names
// it does not know stay for the environment expansion, which leaves unknown names alone.
void expandPathVariables(String& text, const PathVariableValues& values);
// The same with the values of the running installation (Windows only).
void expandPathVariables(String& text);
// The values of the running installation (Windows only).
const PathVariableValues& systemPathVariableValues();

// Value helpers shared with the system values.
String driveForm(const String& path);  // "C:" from "c:\...", empty unless a drive letter
// The dot-separated part of a version ("1.2.3": index 0 gives "1", index 1 "2"); empty when
// the version has no such part.
String versionPart(const String& version, int index);

}  // namespace tessarin
