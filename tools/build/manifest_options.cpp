// The names a manifest gives to the option bits of ProductFlags and ProductFlags2.
#include "tools/build/manifest.h"

namespace tessarin::build {
namespace {

constexpr uint64_t high(uint32_t bit) {
    return uint64_t(bit) << 32;
}
constexpr OptionWord P1 = OptionWord::ProductFlags;
constexpr OptionWord P2 = OptionWord::ProductFlags2;

}  // namespace

const std::vector<NamedOption>& namedOptions() {
    static const std::vector<NamedOption> options = {
        // Pages and windows.
        {"greeting-always", P1, 0x8, false, "show the greeting page even in automatic mode"},
        {"greeting-never", P1, high(0x800), false, "never show the greeting page"},
        {"folder-page", P1, 0x80, false, "show the folder page"},
        {"ask-create-folder", P1, 0x80000000u, false,
         "ask before creating a missing install folder"},
        {"start-menu-page", P1, high(0x4), false, "show the Start-menu page"},
        {"progress-window", P1, high(0x80000), false, "show the progress window"},
        {"no-cancel", P1, 0x200000, false, "disable the progress window's Cancel button"},
        {"title-bar-icons", P1, high(0x100000), false, "wizard pages show the program's icons"},
        {"background", P1, 0x20000000, true, "show the background window"},
        {"background-maximized", P1, high(0x100), false,
         "maximize the background window and place the progress window on it"},
        {"hide-file-names", P1, high(0x20000), false, "the status line does not show file names"},
        // Target folder checks.
        {"refuse-network-folder", P1, high(0x20), false, "refuse a target on a network path"},
        {"refuse-removable-folder", P1, high(0x800000), false,
         "refuse a target on a removable drive"},
        {"skip-space-check-non-ascii", P2, 0x10000, false,
         "skip the free-space check when the folder is not ASCII"},
        {"portable-skip-start-menu", P2, 0x800, false,
         "no Start-menu page on a portable installation"},
        {"portable-without-uninstall-entry", P1, high(0x1000000), false,
         "a portable installation makes no uninstall entry"},
        // Previous installations.
        {"uninstall-entry", P1, 0x4, false,
         "register an uninstall entry and look for previous installations"},
        {"force-uninstall-old", P1, 0x1, false,
         "previous versions below must-uninstall-below are uninstalled first"},
        {"compare-versions", P1, high(0x10), false, "tell upgrade, downgrade and reinstall apart"},
        {"no-upgrade-confirmation", P1, 0x10000000, false,
         "do not ask when a previous installation is found"},
        {"upgrade-warning", P1, high(0x1000), false,
         "warn before upgrading from below upgrade-warning-below"},
        {"remove-previous-install-key", P2, 0x2000, false,
         "the uninstaller removes the previous-installation registry value"},
        {"single-instance", P1, 0x100, false, "allow only one installer at a time"},
        {"restore-point", P2, 0x2, false, "create a system restore point"},
        // Files.
        {"compress", P1, 0x20, false, "compress the data blocks"},
        {"verify-files", P1, 0x40000, false, "read every written file back and compare"},
        {"overwrite-protected", P1, 0x80000, false,
         "clear read-only, hidden and system attributes of targets"},
        {"replace-at-reboot", P1, 0x800, false, "replace any locked file at the next restart"},
        {"install-folder-full-access", P1, high(0x40000), false,
         "give everyone full access to the install folder"},
        {"shared-folder-full-access", P1, high(0x40000000), false,
         "give everyone full access to the shared folder too"},
        {"desktop-folder-is-product", P1, high(0x4000000), false,
         "an empty desktop folder name means the product name"},
        {"readme-files", P1, high(0x4000), false,
         "write the readme texts into the install folder as readme.txt"},
        {"license-files", P1, high(0x8000), false,
         "write the licence texts into the install folder as eula.txt"},
        {"background-picture-file", P1, 0x8000, false,
         "keep the background picture for the uninstaller as Installer Background.bmp"},
        {"reboot-marker", P1, high(0x200000), false,
         "reboot.dat in the install folder until the next restart"},
        // Shortcuts the installation adds.
        {"uninstaller-start-menu-shortcut", P1, 0x2, false,
         "a Start-menu shortcut to the uninstaller"},
        {"uninstaller-desktop-shortcut", P1, high(0x2), false,
         "a desktop shortcut to the uninstaller"},
        {"uninstaller-folder-shortcut", P1, high(0x40), false,
         "a shortcut to the uninstaller in the uninstall folder"},
        {"log-start-menu-shortcut", P1, high(0x08000000), false,
         "a Start-menu shortcut to the installation log"},
        // The end of the installation.
        {"offer-log", P1, high(0x02000000), false, "the finish page offers to show the log"},
        {"launch-directly", P2, 0x100000, false,
         "start the launch program directly, not through the desktop shell"},
        {"conventional-exit-codes", P2, 0x04000000, false,
         "end with 0, 3010, 1641, 1602 or 1603 instead of 1"},
        // Log.
        {"log", P1, 0x40, false, "write the installation log"},
        {"log-every-item", P1, 0x100000, false, "log every installed file and shortcut"},
        {"keep-install-log", P1, high(0x400000), false,
         "the uninstaller leaves Install.log in the uninstall folder"},
        // Batches.
        {"pre-install-batch-hidden", P1, 0x800000, false, "run the pre-installation batch hidden"},
        {"post-install-batch-hidden", P1, 0x1000000, false,
         "run the post-installation batch hidden"},
        {"exit-batch-hidden", P1, 0x2000000, false, "run the installation-exit batch hidden"},
        {"uninstall-batch-1-hidden", P1, 0x4000000, false, "run the first uninstall batch hidden"},
        {"uninstall-batch-2-hidden", P1, 0x8000000, false, "run the second uninstall batch hidden"},
        {"upgrade-batch-hidden", P1, high(0x10000000), false, "run the upgrade batch hidden"},
        {"reinstall-batch-hidden", P1, high(0x20000000), false, "run the reinstall batch hidden"},
        {"pre-install-batch-logged", P2, 0x40, false,
         "log the pre-installation batch under its title"},
        {"post-install-batch-logged", P2, 0x80, false,
         "log the post-installation batch under its title"},
        {"upgrade-batch-logged", P2, 0x100, false, "log the upgrade batch under its title"},
        {"reinstall-batch-logged", P2, 0x200, false, "log the reinstall batch under its title"},
        // Uninstaller.
        {"uninstall-automatic", P1, 0x200, false, "the uninstaller asks no questions"},
        {"uninstall-ask-fonts", P1, 0x10, false, "ask before removing each font"},
        {"uninstall-ask-shared", P1, 0x20000, false,
         "ask before removing a shared file that no other program uses"},
        {"uninstall-completion-message", P2, 0x40000, false,
         "tell the user when the uninstallation has completed"},
        {"uninstall-delete-install-folder", P1, 0x400, false,
         "delete the install folder with everything in it"},
        {"no-reboot-without-asking", P1, high(0x200), false,
         "ask before restarting even in automatic mode"},
        // Container.
        {"check-image", P1, high(0x1), false, "check the installer's own image"},
        {"cut-uninstaller", P2, 0x20, false,
         "the uninstaller is the installer without its payload"},
        {"cipher", P2, 0x1000, false, "encipher the script and the data blocks"},
    };
    return options;
}

}  // namespace tessarin::build
