// The path-variable table and the replacement pass.
#include "services/path_variables.h"

#include <string>

#include "core/chars.h"

namespace tessarin {
namespace {

using V = PathVariable;

const PathVariableName kNames[] = {
    {u"%AppDataAllDir%", V::AppDataAllDir, false},
    {u"%AppDataDir%", V::AppDataDir, false},
    {u"%Bits%", V::Bits, false},
    {u"%BootDrive%", V::BootDrive, false},
    {u"%CommonDir%", V::CommonDir, false},
    {u"%CommonDir32%", V::CommonDir32, false},
    {u"%CommonDir64%", V::CommonDir64, false},
    {u"%DesktopAllDir%", V::DesktopAllDir, false},
    {u"%DesktopDir%", V::DesktopDir, false},
    {u"%DesktopShortcuts%", V::DesktopShortcuts, false},
    {u"%DeviceDir%", V::DeviceDir, false},
    {u"%DocumentAllDir%", V::DocumentAllDir, false},
    {u"%DocumentDir%", V::DocumentDir, false},
    {u"%FavoritesAllDir%", V::FavoritesAllDir, false},
    {u"%FavoritesDir%", V::FavoritesDir, false},
    {u"%FontDir%", V::FontDir, false},
    {u"%Inetpub%", V::Inetpub, false},
    {u"%InstallDir%", V::InstallDir, false},
    {u"%InstallDrive%", V::InstallDrive, false},
    {u"%InstallerDir%", V::InstallerDir, false},
    {u"%InstallerDrive%", V::InstallerDrive, false},
    {u"%InstallerFilename%", V::InstallerFilename, false},
    {u"%InstallerFilepath%", V::InstallerFilepath, false},
    {u"%MediaDir%", V::MediaDir, false},
    {u"%OldVersion%", V::OldVersion, false},
    {u"%OldVersionMajor%", V::OldVersionMajor, true},
    {u"%OldVersionMinor%", V::OldVersionMinor, true},
    {u"%Portable%", V::Portable, false},
    {u"%ProductName%", V::ProductName, false},
    {u"%CompanyName%", V::CompanyName, false},
    {u"%ProgramsDir%", V::ProgramsDir, false},
    {u"%ProgramsDir32%", V::ProgramsDir32, false},
    {u"%ProgramsDir64%", V::ProgramsDir64, false},
    {u"%SharedDir%", V::SharedDir, false},
    {u"%SMProgramsAllDir%", V::SMProgramsAllDir, false},
    {u"%SMProgramsDir%", V::SMProgramsDir, false},
    {u"%StartMenuAllDir%", V::StartMenuAllDir, false},
    {u"%StartMenuChosen%", V::StartMenuChosen, false},
    {u"%StartMenuDir%", V::StartMenuDir, false},
    {u"%StartupAllDir%", V::StartupAllDir, false},
    {u"%StartupDir%", V::StartupDir, false},
    {u"%SystemDir%", V::SystemDir, false},
    {u"%Temp%", V::Temp, false},
    {u"%UninstallDir%", V::UninstallDir, false},
    {u"%Version%", V::Version, false},
    {u"%WinDir%", V::WinDir, false},
    {u"%OS%", V::OS, false},
    {u"%OSMajor%", V::OSMajor, false},
    {u"%OSMinor%", V::OSMinor, false},
    {u"%OSName%", V::OSName, false},
};

bool occursIn(const String& text, const PathVariableName& n) {
    const char16_t* t = text.w_str();
    size_t length = wideTextLength(n.name);
    for (int32_t i = 0; i + static_cast<int32_t>(length) <= text.wideLength(); ++i) {
        bool same = n.exactCase ? std::char_traits<char16_t>::compare(t + i, n.name, length) == 0
                                : compareNoCaseWidePrefix(t + i, n.name, length) == 0;
        if (same) return true;
    }
    return false;
}

}  // namespace

const PathVariableName* pathVariableNames(int* count) {
    *count = static_cast<int>(sizeof kNames / sizeof kNames[0]);
    return kNames;
}

void expandPathVariables(String& text, const PathVariableValues& values) {
    for (const PathVariableName& n : kNames) {
        // Values such as folders cost system calls; only names that occur are asked for.
        if (!occursIn(text, n)) continue;
        String value = values.value(n.variable);
        text.replaceAllWide(n.name, value.w_str(), 0, kWholeLength,
                            n.exactCase ? 0u : unsigned{kReplaceIgnoreCase});
    }
    String expanded = text;
    if (values.expandEnvironment(expanded)) text = static_cast<String&&>(expanded);
}

String driveForm(const String& path) {
    char16_t c = path.getWide(0);
    if (!isAsciiLetter(c)) return String();
    char16_t drive[3] = {c, u':', 0};
    return String(drive);
}

String versionPart(const String& version, int index) {
    int32_t start = 0;
    int32_t length = version.wideLength();
    for (int part = 0; part < index; ++part) {
        while (start < length && version.getWide(start) != u'.') ++start;
        if (start >= length) return String();
        ++start;  // past the dot
    }
    int32_t end = start;
    while (end < length && version.getWide(end) != u'.') ++end;
    String result;
    version.substringWide(result, start, end - start);
    return result;
}

}  // namespace tessarin
