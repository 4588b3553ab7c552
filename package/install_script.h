// InstallScript: the process-wide install state. The script reader fills it, the command line
// and the wizard change it, and every install step reads it. Field names are the names of the
// registry values and path variables that expose them.
//
// Texts keep the bytes the script stores. Each field says whether it holds UTF-16 or 8-bit text
// (8-bit means the system ANSI code page unless noted); fields stored without a declared
// encoding ("stored bytes") are handed on unchanged to the modules that use them. A name ending
// in 8 is the 8-bit twin (narrow path form) of the UTF-16 field of the same name.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/date_time.h"
#include "core/string.h"

namespace tessarin {

// A conditional-deletion rule (uninstall extras): what the uninstaller removes beyond what the
// installation recorded.
struct ConditionalDeletion {
    String Path;       // 8-bit, narrow path form; wildcards and path variables allowed
    uint8_t Kind = 0;  // condition kind
    String Value;      // 8-bit: the comparison value (a version or a size)
    uint8_t Flags = 0;
};

// One file type to register.
struct ScriptAssociation {
    int32_t Mode = 0;
    String Extension;    // 8-bit
    String Label;        // 8-bit
    String Description;  // 8-bit
    String Verb;         // 8-bit
    String VerbName;     // 8-bit
    String Command;      // 8-bit, narrow path form
    String Language;     // UTF-16: applies only to the installation language of this name
    String Icon;         // 8-bit
};

// One shortcut request of the script.
struct ScriptShortcut {
    String Target;         // 8-bit path
    String Name;           // UTF-16; backslashes name subfolders
    String Icon;           // 8-bit, narrow path form
    String Arguments;      // 8-bit
    String WorkingFolder;  // 8-bit, narrow path form
    uint8_t Desktop = 0;
    uint8_t StartMenu = 0;
    uint8_t Startup = 0;
    String Folder;            // 8-bit: a plain shortcut is also made here when not empty
    uint8_t WindowState = 0;  // 0 normal, 1 minimized without activation, 2 maximized
    uint8_t Permanent = 0;
};

// An extra value of the uninstall key.
struct ScriptUninstallValue {
    String Name;       // 8-bit; a backslash separates a key from the value name
    uint8_t Type = 0;  // 1 string, 2 expandable string, 4 number
    String Text;       // stored bytes
};

// A program that must not run during the installation.
struct ProgramToClose {
    String ClassText;     // 8-bit window-class pattern ("*" prefix: contains)
    String TitleText;     // 8-bit window-title pattern
    String DisplayName;   // 8-bit, code page 1252
    uint8_t Action = 0;   // 0 WM_CLOSE, 1 WM_QUIT, 2 ask, 3 terminate
    uint8_t Options = 0;  // 0x1 applies during installation, 0x2 kept for the uninstaller
};

// Layout variants of the wizard pages, indexes into InstallScript::PageLayouts.
enum PageLayoutIndex : int {
    kLayoutGreeting,
    kLayoutLanguage,
    kLayoutLicense,
    kLayoutReadme,
    kLayoutFolder,
    kLayoutStartMenu,
    kLayoutProgress,
    kLayoutSummary,
    kPageLayoutCount,
};

// The numbered texts of the installer in every language of the script.
struct MessageTable {
    int32_t MessageCount = 0;
    Vector<String> Languages;  // language names, UTF-16
    // Message-major: message n in language l is Texts[n * Languages.count() + l]. Shorter than
    // the full table when the script ended early; missing texts are empty.
    Vector<String> Texts;
    int32_t CurrentLanguage = 0;

    // The stored text of message n in a language, empty when the table has none.
    String text(int32_t n, int32_t language) const;
};

struct InstallScript {
    uint64_t ProductFlags = 0;      // low word bits 0-31, high word bits 32-63
    uint32_t ProductFlags2 = 0;     // from the payload header
    uint8_t AutomaticModeByte = 0;  // 1 AutomaticMode on, 2 off unless SilentMode

    // Background window and its appearance.
    String TaskbarText;   // UTF-16
    String DisplayTitle;  // UTF-16; blank means message 0
    double TitleSize = 0;
    int32_t ProgressPlacement = 0;
    uint16_t StepDelay = 0;    // milliseconds, 0-9999
    uint8_t ShortcutMode = 0;  // 1: shortcuts and desktop folder for all users
    FileDateTime ScriptDate;

    // Names and folders.
    String CompanyName;         // UTF-16
    String ProductName;         // UTF-16; /n: overrides the script
    String ProductDescription;  // UTF-16; defaults to ProductName
    uint8_t Bitness = 0;        // 1: 64-bit product; 2: needs 32-bit Windows
    uint8_t SharedBase = 0;
    String SharedDir;             // UTF-16; defaults to CompanyName, else ProductName
    String PortableSharedSubdir;  // UTF-16
    String ProductStartMenu;      // UTF-16; defaults to ProductName
    String Version8;              // 8-bit, as the script stores it
    String Version;               // UTF-16 twin of Version8
    String DefaultInstallDir;     // UTF-16, as the script stores it ("<master>", "HKLM\...")
    String InstallDir;            // UTF-16
    String InstallDir8;
    String ProductRegistry;    // UTF-16
    String RegistryTable;      // stored bytes: the registry entry lines
    String RegistryMergeText;  // stored bytes: a registry file
    int32_t BitmapSize = 0;    // 0-100 percent
    int32_t StretchMode = 0;
    String GreetingLink;          // UTF-16
    Vector<String> LicenseTexts;  // stored bytes, one per licence page (at most 20)
    Vector<String> ReadmeTexts;   // stored bytes, one per readme page (at most 20)
    String UninstallSubdir;       // UTF-16
    String UninstallerName;       // 8-bit
    String UninstallKeyName;      // UTF-16; defaults to ProductName
    String PreviousInstallKey;    // 8-bit
    String BannerText;            // UTF-16; "<product>", "<description>", "<os>" expanded
    uint8_t PictureBorder = 0;
    int32_t TitleColor = 0;
    uint8_t TitleShadow = 0;
    uint8_t TitlePosition = 0;
    String TitleFont;  // 8-bit
    int32_t TopColor = 0;
    int32_t BottomColor = 0;
    bool MonoColor = false;    // BottomColor equals TopColor
    String BackgroundBitmap;   // a device-independent bitmap; empty for none
    int32_t BitmapTPI = 0;     // present only with a bitmap
    uint8_t CopyrightPos = 0;  // 0: no copyright line and none of the four fields below
    int32_t CopyrightColor = 0;
    double CopyrightSize = 0;
    String CopyrightText;              // UTF-16
    String CopyrightFont;              // 8-bit
    bool BackgroundMaximized = false;  // ProductFlags high word 0x100

    // Prerequisite product, present with ProductFlags low word 0x10000 (stored bytes).
    String PrerequisiteKey;
    String PrerequisiteName;
    String PrerequisiteVersion;

    String StartSound;         // stored bytes: a wave sound
    String DesktopFolder;      // UTF-16
    String DesktopFolderIcon;  // stored bytes: icon file data
    String DesktopShortcuts;   // UTF-16: the desktop folder that receives shortcuts
    String DesktopShortcuts8;

    // Batches, 8-bit.
    String PreInstallBatch;
    String PostInstallBatch;
    String ExitBatch;
    String UninstallBatch1;
    String UninstallBatch2;
    String UpgradeBatch;
    String ReinstallBatch;

    uint8_t StampRecord[20] = {};
    int32_t ExcludedSystems = 0;
    uint8_t ExternalData = 0;
    String LaunchProgram;   // 8-bit, narrow path form
    String ReadmeFile;      // UTF-16
    String FinishDocument;  // UTF-16

    // Notification addresses, 8-bit.
    String NotifyLaunch;
    String NotifyInstallStart;
    String NotifyFreshInstall;
    String NotifyUpgrade;
    String NotifyDowngrade;
    String NotifyReinstall;
    String NotifyURL;  // the uninstall address
    String GreetingLinkNotify;

    String UpgradeWarningBelow;  // 8-bit
    String NoDowngradeBelow;     // 8-bit
    String Password;             // UTF-16
    String MustUninstallBelow;   // 8-bit
    String FirewallText;         // stored bytes: one exception per line
    String AddToPathSubfolder;   // UTF-16
    int64_t ExtraSpace = 0;
    int32_t PageLayouts[kPageLayoutCount] = {};
    String UninstallIcon;  // stored bytes, present with ProductFlags low word 0x4

    Vector<ConditionalDeletion> UninstallExtras;
    Vector<ScriptAssociation> FileAssociations;
    Vector<ScriptShortcut> Shortcuts;
    String RootShortcutCommand;  // stored bytes
    String RootShortcutName;     // stored bytes
    String PinCommand;           // UTF-16
    String PinName;              // UTF-16
    Vector<ScriptUninstallValue> UninstallValues;
    String SupportOffer;  // 8-bit
    String ProductIcon;   // stored bytes: icon file data
    Vector<ProgramToClose> ProgramsToClose;

    MessageTable Messages;
    String WindowsFolder;  // UTF-16: what "<os>" stands for in texts

    // Set while reading: the WOW64 file-system redirection switch of a 64-bit product.
    bool RedirectionOff = false;
    void* RedirectionOldValue = nullptr;

    // Filled by later steps.
    String UninstallDir;
    String OldVersion;  // version of the installation being replaced

    // Message n in the current language with "<product>", "<description>" and "<os>"
    // replaced; empty when the table has no such text.
    String message(int32_t n) const;
};

InstallScript& installScript();

// Message n of the process-wide install state.
String Message(int32_t n);

// Replaces "<product>", "<description>" and "<os>" in a UTF-16 text in one pass, so that a
// replacement is never itself searched again.
void expandScriptTokens(String& text, const String& product, const String& description,
                        const String& os);

}  // namespace tessarin
