#include "tools/build/default_messages.h"

#include <algorithm>
#include <cstring>

namespace tessarin::build {
namespace {

// Gaps: 29 and 60 are never shown; 30, 109 and 110 are copied into the uninstall data but shown
// by neither the installer nor the uninstaller; 63 and 64 stay empty on purpose, because any
// text there becomes an extra first page before the license or readme pages.
// The texts that travel to the uninstaller in the uninstall data (10, 15, 20, 34, 35, 49, 53,
// 55-59, 65, 67-71, 74, 79, 80, 99-101, 104, 107, 108, 111) use no "<description>" or "<os>",
// and no line of theirs starts with "~" or "[": the uninstaller ends a text at such a line.
// clang-format off
constexpr DefaultMessage kMessages[] = {
    {0, "<product> Setup"},  // window caption of the installer; background title when none is given
    {1, "Welcome to the <product> Setup.\r\n\r\nThis program will install <description> on your computer.\r\n\r\nIt is recommended that you close all other programs before you continue."},  // greeting page or greeting box: text
    {2, "Existing Installation"},  // previous-installation question: caption
    {3, "<product> is already installed in the following folder:"},  // previous-installation question, versions not compared: first line, the folder follows
    {4, "This version of <product> is already installed in the following folder:"},  // previous-installation question, same version: first line
    {5, "An older version of <product> is installed in the following folder:"},  // previous-installation question, upgrade: first line
    {6, "A newer version of <product> is installed in the following folder:"},  // previous-installation question, downgrade: first line
    {7, "Setup will replace the existing installation.\r\n\r\nDo you want to continue?"},  // previous-installation question: the question after the folder (Yes/No)
    {8, "Reading installation data..."},  // progress status: before the files are unpacked
    {9, "A previous version of <product> must be uninstalled before this version can be installed."},  // must-uninstall dialog and its error box: text
    {10, "Some parts of <product> could not be removed. You can run the uninstaller again later to remove them.\r\n\r\nDetails:\r\n%s"},  // uninstaller failure report: format with the error list
    {11, "Setup will install <product> in the following folder.\r\n\r\nTo install in a different folder, enter its name or click Browse to select it."},  // folder page: text
    {12, "<product> requires %s, which is not installed on this computer. Please install it, then run this Setup again."},  // missing prerequisite: format with its name
    {13, "This installation program is corrupt.  This is usually caused by a faulty download, but it can also be caused by a virus on your computer.  The installation cannot proceed.\r\n\r\nDelete the corrupted installer (to prevent caching), then re-download it.  If the problem persists, check your system for viruses.\r\n\r\nError code: %d"},  // damaged installer: format with the error code
    {14, "The following folder name is not valid. Please enter a full path that begins with a drive letter (for example C:\\) or with a network share (for example \\\\server\\share\\)."},  // folder page, invalid path: text, the path follows
    {15, "Uninstall Complete"},  // uninstaller completion message: caption
    {16, "Drive %c: does not exist. Please choose a folder on an existing drive."},  // folder page, unknown drive: format with the drive letter
    {17, "Setup cannot install into the root folder of a drive. Please enter a folder name."},  // folder page, drive root refused
    {18, "Setup cannot install directly into %s. Please choose a subfolder of it."},  // folder page, program-files folder refused: format with that folder
    {19, "There may not be enough free disk space to install <product>.\r\n\r\nSpace required: %s\r\nSpace available on drive %c: %s\r\n\r\nDo you want to continue anyway?"},  // folder page, low disk space question: format with needed size, drive letter, free size (Yes/No)
    {20, "Warning"},  // caption of the disk-space, cancel, upgrade and restart questions and of the uninstaller failure report
    {21, "Error"},  // error boxes: caption
    {22, "The folder\r\n%s\r\nalready exists. Do you want to install <product> into this folder?"},  // folder page, confirmation for an existing folder: format with the path (Yes/No)
    {23, "The folder\r\n%s\r\ndoes not exist. Do you want to create it?"},  // folder page, confirmation for a new folder: format with the path (Yes/No)
    {24, "Choose the Installation Folder"},  // folder page: header; caption of the folder confirmation
    {25, "Could not create the folder:"},  // folder creation failure: heading, the folder follows
    {26, "Creating shortcuts..."},  // progress status: after the drivers
    {27, "&Password:"},  // password page: label of the field
    {28, "Are you sure you want to cancel the installation of <product>?"},  // progress window, Cancel pressed: question (Yes/No)
    {31, "Could not write the file:"},  // error list: heading of a file or shortcut that could not be written, the path follows
    {32, "Completing the installation..."},  // progress status: after the firewall step
    {33, "Uninstall <product>"},  // name of the uninstaller shortcuts
    {34, "<product> has been removed from your computer."},  // uninstaller completion message: text
    {35, "Remove Shared File?"},  // uninstaller shared-file question: caption
    {36, "Finalizing the installation..."},  // progress status: at 100 %
    {37, "Your computer must be restarted to complete the installation of <product>.\r\n\r\nDo you want to restart now? If you choose No, restart your computer before you use <product>."},  // restart question after installing (Yes/No)
    {38, "Shortcut to %s"},  // name of a shortcut that has none: format with the target's file name
    {39, "Please wait while Setup installs <product> on your computer."},  // progress window: text
    {40, "Setup could not install <product> completely. The details were written to the installation log:\r\n%s\r\n\r\nDo you want to view the log now?"},  // failed installation question: format with the log's path (Yes/No)
    {41, "Installation Incomplete"},  // failed installation question: caption
    {42, "Setup has finished installing <product> on your computer."},  // summary page and completion box: text
    {43, "Installation Complete"},  // completion box: caption; success line of the installation log
    {44, "License Agreement"},  // license page: header
    {45, "I &Agree"},  // license page: accept button
    {46, "I &Do Not Agree"},  // license page: cancel button
    {47, "Please read the following license agreement. You must accept its terms to install <product>."},  // license page: text
    {48, "&Next >"},  // language, greeting, readme and folder pages: accept button
    {49, "Cancel"},  // Cancel button of every page, the progress window and the message boxes
    {50, "Important Information"},  // readme page: header
    {51, "Please read the following information before you continue."},  // readme page: text
    {52, "&Browse..."},  // folder and Start-menu pages: browse button
    {53, "Do you want to remove <product> and all of its components from your computer?"},  // uninstaller confirmation (Yes/No)
    {54, "Installing <product>..."},  // progress window: header; status while files are unpacked with hidden names
    {55, "<product> Uninstall"},  // uninstaller: caption of its questions, progress header and title
    {56, "The font \"%s\" was installed with <product>. Other programs might also use it.\r\n\r\nDo you want to remove this font?"},  // uninstaller font question: format with the font name (Yes/No)
    {57, "Remove Font?"},  // uninstaller font question: caption
    {58, "Could not delete the file:"},  // uninstaller error list: heading of a file that could not be deleted, the path follows
    {59, "No other installed program is registered as using the following shared file:\r\n%s\r\n\r\nIf a program still needs it, that program may stop working when the file is removed. Do you want to remove it?"},  // uninstaller shared-file question: format with the path (Yes/No)
    {61, "<product> cannot be installed on %s."},  // excluded system: format with the system's name
    {62, "Verifying installation data..."},  // progress status: while the data is checked
    {65, "<product> Setup"},  // wizard pages: title; greeting box and close-program prompt: caption
    {66, "<product> cannot be installed on a network drive. Please choose a folder on a local drive."},  // folder page, network path refused
    {67, "Removing fonts..."},  // uninstaller status: fonts
    {68, "Removing shared files..."},  // uninstaller status: shared files
    {69, "Removing registry entries..."},  // uninstaller status: registry
    {70, "Removing file associations..."},  // uninstaller status: file associations
    {71, "Please wait while <product> is removed from your computer."},  // uninstaller progress window: text
    {72, "You are upgrading from an older version of <product>. Some settings or data may not carry over to the new version, so you may want to back them up first.\r\n\r\nClick OK to continue with the upgrade, or Cancel to quit Setup."},  // upgrade warning (OK/Cancel)
    {73, "Setup cannot write to the folder:\r\n%s\r\n\r\nYou may not have permission to write there. Please choose another folder."},  // folder page, folder not writable: format with the path
    {74, "Your computer must be restarted to finish removing <product>.\r\n\r\nDo you want to restart now?"},  // uninstaller restart question (Yes/No)
    {75, "Password"},  // password page: caption
    {76, "This installation is protected by a password. Please enter the password to continue."},  // password page: text
    {77, "Registering <file>..."},  // progress status: fonts, packages, applets, COM servers, type libraries, drivers
    {78, "Updating system settings..."},  // progress status: after the shortcuts
    {79, "&Yes"},  // message boxes: Yes button
    {80, "&No"},  // message boxes: No button
    {81, "This version of <product> is not compatible with this edition of Windows. Please use the 32-bit or 64-bit installer that matches your system."},  // 32-bit or 64-bit Windows required
    {82, "Select the language to use during the installation:"},  // language page: text
    {83, "View the &readme file"},  // summary page: readme check box
    {84, "&Launch <product>"},  // summary page: launch check box
    {85, "View the installation &log"},  // summary page: log check box
    {86, "<product> Installation Log"},  // name of the Start-menu shortcut to the installation log
    {87, "Open the accompanying &document"},  // summary page: document check box
    {88, "Setup will create shortcuts for <product> in the following Start menu folder.\r\n\r\nTo use a different folder, enter a new name or click Browse to select an existing folder."},  // Start-menu page: text
    {89, "Choose the Start Menu Folder"},  // Start-menu page: header
    {90, "&Install"},  // last wizard page: accept button
    {91, "Another installation is already in progress. Please wait for it to finish, then run this Setup again."},  // second installer refused
    {92, "Space required:"},  // folder page: label before the needed size
    {93, "Space available:"},  // folder page: label before the free size
    {94, "Choose the Setup Language"},  // language page: header
    {95, "&Finish"},  // summary page: accept button
    {96, "Drive %c: cannot be used for this installation. Please choose a folder on another drive."},  // folder page, read-only or removable drive refused: format with the drive letter
    {97, "Creating a system restore point..."},  // progress status: restore point
    {98, "The installation of <product> has been canceled."},  // installation canceled: notice
    {99, "%s must be closed before Setup can continue.\r\n\r\nClose it, then click Retry. Click Cancel to quit Setup."},  // close-program prompt while installing: format with the program's name (Retry/Cancel)
    {100, "&Retry"},  // message boxes: Retry button
    {101, "The uninstallation of <product> has been canceled."},  // uninstallation canceled: notice
    {102, "The password is incorrect. Please try again."},  // password page: wrong password
    {103, "Welcome to <product> Setup"},  // greeting page with banner: header
    {104, "&Uninstall"},  // must-uninstall dialog: uninstall button
    {105, "For more information, visit the <a><product> web site</a>."},  // greeting page: link line, "<a>" opens the link
    {106, "A newer version of <product> is installed. It cannot be replaced by a version earlier than %s.\r\n\r\nTo install this version, uninstall <product> first."},  // downgrade refused: format with the lowest allowed version
    {107, "%s must be closed before <product> can be removed.\r\n\r\nClose it, then click Retry. Click Cancel to stop the uninstallation."},  // close-program prompt while uninstalling: format with the program's name (Retry/Cancel)
    {108, "Removing Windows Installer packages..."},  // uninstaller status: MSI packages
    {111, "Canceled"},  // cancellation notices: caption
    {112, "<product> requires %s version %s or later. Please update it, then run this Setup again."},  // prerequisite too old: format with its name and the minimum version
    {113, "Preparing to install..."},  // progress status: first step
    {kBannerTextNumber, "Tessarin Setup"},  // wizard pages: banner text
};
// clang-format on

}  // namespace

std::span<const DefaultMessage> defaultMessages() {
    return kMessages;
}

const char* defaultMessage(int number) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), number,
                               [](const DefaultMessage& m, int n) { return m.number < n; });
    return it != std::end(kMessages) && it->number == number ? it->text : nullptr;
}

std::vector<std::string> formatConversions(std::string_view text) {
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        size_t start = i++;
        if (i < text.size() && text[i] == '%') continue;
        while (i < text.size() && std::strchr("-+ #0123456789.*'$hlLqjztwI", text[i])) ++i;
        out.emplace_back(text.substr(start, i < text.size() ? i - start + 1 : i - start));
    }
    return out;
}

namespace {

// What a conversion takes from the argument list: "*" for a width or precision argument, the
// length modifiers and the conversion character, and "$" for a numbered argument.
std::string argumentType(const std::string& conversion) {
    std::string type;
    for (char c : conversion.substr(1))
        if (!std::strchr("-+ #0123456789.'", c)) type += c;
    return type;
}

std::string listed(const std::vector<std::string>& conversions) {
    std::string out;
    for (const std::string& c : conversions) out += (out.empty() ? "" : " ") + c;
    return out.empty() ? "none" : out;
}

}  // namespace

std::string conversionMismatch(std::string_view defaultText, std::string_view text) {
    std::vector<std::string> expected = formatConversions(defaultText);
    std::vector<std::string> found = formatConversions(text);
    std::string why;
    for (size_t i = 0; i < expected.size() || i < found.size(); ++i) {
        std::string number = "conversion " + std::to_string(i + 1);
        if (i >= found.size()) {
            why = number + " (" + expected[i] + ") is missing";
        } else if (i >= expected.size()) {
            why = number + " \"" + found[i] + "\" is one more than the format takes";
        } else if (argumentType(found[i]) != argumentType(expected[i])) {
            why = number + " is \"" + found[i] + "\" where the default has \"" + expected[i] + "\"";
        } else {
            continue;
        }
        return why + " (the default's conversions, in order: " + listed(expected) +
               "; write a literal percent sign as %%)";
    }
    return why;
}

}  // namespace tessarin::build
