// The values of the path variables in the running installation: the install state, the
// system's folders and facts.
#include "core/convert.h"
#include "core/environment.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/process.h"
#include "core/special_folders.h"
#include "package/install_script.h"
#include "services/path_variables.h"

namespace tessarin {
namespace {

String decimal(int64_t value) {
    String text;
    appendDecimalWide(text, value);
    return text;
}

// The product's bitness decides between the 64-bit and the 32-bit folders.
int productSelector() {
    return installScript().Bitness == 1 ? kBitnessSelector64 : kBitnessSelector32;
}

String startMenuChosen() {
    const InstallScript& script = installScript();
    String menu = specialFolder(script.ShortcutMode == 1 ? SpecialFolder::ProgramsMenuAllUsers
                                                         : SpecialFolder::ProgramsMenu);
    return joinPath(menu, script.ProductStartMenu);
}

String portable() {
    return String(onPortableDrive(installScript().InstallDir) ? u"1" : u"0");
}

class SystemValues : public PathVariableValues {
  public:
    String value(PathVariable v) const override {
        const InstallScript& script = installScript();
        using V = PathVariable;
        switch (v) {
            case V::AppDataAllDir:
                return specialFolder(SpecialFolder::AppDataAllUsers);
            case V::AppDataDir:
                return specialFolder(SpecialFolder::AppData);
            case V::Bits:
                return String(is64BitWindows() ? u"64" : u"32");
            case V::BootDrive: {
                char16_t drive[3] = {static_cast<char16_t>(bootDriveLetter()), u':', 0};
                return String(drive);
            }
            case V::CommonDir:
                return commonFilesFolder(productSelector());
            case V::CommonDir32:
                return commonFilesFolder(kBitnessSelector32);
            case V::CommonDir64:
                return commonFilesFolder(kBitnessSelector64);
            case V::DesktopAllDir:
                return specialFolder(SpecialFolder::DesktopAllUsers);
            case V::DesktopDir:
                return specialFolder(SpecialFolder::Desktop);
            case V::DesktopShortcuts:
                return script.DesktopShortcuts;
            case V::DeviceDir:
                return specialFolder(SpecialFolder::DevicePath);
            case V::DocumentAllDir:
                return specialFolder(SpecialFolder::DocumentsAllUsers);
            case V::DocumentDir:
                return specialFolder(SpecialFolder::Documents);
            case V::FavoritesAllDir:
                return specialFolder(SpecialFolder::FavoritesAllUsers);
            case V::FavoritesDir:
                return specialFolder(SpecialFolder::Favorites);
            case V::FontDir:
                return specialFolder(SpecialFolder::Fonts);
            case V::Inetpub:
                return specialFolder(SpecialFolder::WebServer);
            case V::InstallDir:
                return script.InstallDir;
            case V::InstallDrive:
                return driveForm(script.InstallDir);
            case V::InstallerDir:
                return parentFolder(currentModulePath());
            case V::InstallerDrive:
                return driveForm(currentModulePath());
            case V::InstallerFilename:
                return fileName(currentModulePath());
            case V::InstallerFilepath:
                return currentModulePath();
            case V::MediaDir:
                return specialFolder(SpecialFolder::Media);
            case V::OldVersion:
                return script.OldVersion;
            case V::OldVersionMajor:
                return versionPart(script.OldVersion, 0);
            case V::OldVersionMinor:
                return versionPart(script.OldVersion, 1);
            case V::Portable:
                return portable();
            case V::ProductName:
                return script.ProductName;
            case V::CompanyName:
                return script.CompanyName;
            case V::ProgramsDir:
                return programFilesFolder(productSelector());
            case V::ProgramsDir32:
                return programFilesFolder(kBitnessSelector32);
            case V::ProgramsDir64:
                return programFilesFolder(kBitnessSelector64);
            case V::SharedDir:
                return script.SharedDir;
            case V::SMProgramsAllDir:
                return specialFolder(SpecialFolder::ProgramsMenuAllUsers);
            case V::SMProgramsDir:
                return specialFolder(SpecialFolder::ProgramsMenu);
            case V::StartMenuAllDir:
                return specialFolder(SpecialFolder::StartMenuAllUsers);
            case V::StartMenuChosen:
                return startMenuChosen();
            case V::StartMenuDir:
                return specialFolder(SpecialFolder::StartMenu);
            case V::StartupAllDir:
                return specialFolder(SpecialFolder::StartupAllUsers);
            case V::StartupDir:
                return specialFolder(SpecialFolder::Startup);
            case V::SystemDir:
                return systemFolder();
            case V::Temp:
                return temporaryFolder();
            case V::UninstallDir:
                return script.UninstallDir;
            case V::Version:
                return script.Version;
            case V::WinDir:
                return windowsFolder();
            case V::OS:
                return decimal(osCodeNumber(osRecord()));
            case V::OSMajor:
                return decimal(osRecord().major);
            case V::OSMinor:
                return decimal(osRecord().minor);
            case V::OSName: {
                String name = osName(kOsNameShort);
                String wide;
                toWide(name.c_str(), name.length(), wide);
                return wide;
            }
        }
        return String();
    }

    bool expandEnvironment(String& text) const override { return expandEnvironmentStrings(text); }
};

}  // namespace

const PathVariableValues& systemPathVariableValues() {
    static const SystemValues values;
    return values;
}

void expandPathVariables(String& text) {
    expandPathVariables(text, systemPathVariableValues());
}

}  // namespace tessarin
