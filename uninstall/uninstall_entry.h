// The product's uninstall entry as the uninstaller reads it back: the settings the installer
// stored there, the messages for an entry that is missing or unusable, and the removal of the
// fonts it lists.
//
// What is read, with which defaults and limits, and how the font list is undone are decided here
// (portable, uninstall_entry.cpp) against small interfaces that answer questions about values
// and fonts; uninstall_entry_win.cpp answers them from the registry and the system.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/folder_protection.h"
#include "core/string.h"
#include "services/reporter.h"

namespace tessarin {

class RegistryKey;
class UninstallData;

// The longest text accepted from the values that carry a limit; a longer one counts as missing.
inline constexpr int32_t kEntryTextLimit = 4096;

// ProductFlags low word: the uninstaller runs as with /a.
inline constexpr uint64_t kEntryFlagAutomatic = 0x200;
// ProductFlags low word: ask before removing each font.
inline constexpr uint64_t kEntryFlagAskForFonts = 0x10;
// ProductFlags low word: the background has a picture (its placement values are stored).
inline constexpr uint64_t kEntryFlagBackgroundPicture = 0x8000;

// The system colours that stand in for missing title and background colours.
inline constexpr int kSystemColourWindowText = 8;
inline constexpr int kSystemColourWindow = 5;

// Every value the uninstaller takes from the entry, with the default it gets when the value is
// missing. Texts are UTF-16 unless marked 8-bit.
struct UninstallSettings {
    String DisplayName;  // the name given on the command line when missing or empty
    String InstallLocation;
    uint64_t ProductFlags = 0;  // low word bits 0-31, high word bits 32-63
    uint32_t ProductFlags2 = 0;
    uint32_t Bitness = 0;  // 1: 64-bit product
    String DisplayTitle;
    double TitleSize = 1;
    int32_t TitleColor = 0;  // system colour 8 when missing
    uint32_t TitleShadow = 1;
    int32_t TopColor = 0;  // system colour 5 when missing
    int32_t BottomColor = 0;
    uint32_t MonoColor = 1;
    uint32_t TitlePosition = 0;
    String TitleFont;  // 8-bit
    String TaskbarText{u"Setup"};
    String CopyrightText;
    String CopyrightFont;  // 8-bit
    double CopyrightSize = 0;
    int32_t CopyrightColor = 0;  // stored as decimal text
    uint32_t CopyrightPos = 0;
    String DisplayVersion;
    String DisplayVersion8;  // the same value read as 8-bit text
    String UninstallSubdir;
    String AddToPathSubfolder;
    String ProductFonts;  // 8-bit
    uint32_t ShortcutMode = 0;
    String NotifyURL;  // 8-bit
    String DesktopFolder;
    int32_t BitmapTPI = -1;  // the three picture values are read only with a background picture
    int32_t StretchMode = 0;
    int32_t BitmapSize = 0;
    String SupportOffer;  // 8-bit
    String SharedPath;
    String ProductStartMenu;
    String UninstallBatch1;  // 8-bit
    String UninstallBatch2;  // 8-bit
    String SharedFiles;      // 8-bit
    String ProductRegistry;
    String UninstallString;  // the command that starts the installed uninstaller

    String uninstallFolder;  // InstallLocation joined with UninstallSubdir
    bool portable = false;   // the install folder is on a removable, optical or RAM drive

    bool forcesAutomaticMode() const { return (ProductFlags & kEntryFlagAutomatic) != 0; }
};

// The entry's values as the system gives them. Names are ASCII.
class EntryValues {
  public:
    virtual ~EntryValues() = default;
    // A text value read with the UTF-16 call; false when it is missing or not text.
    virtual bool wideText(const char* name, String& text) = 0;
    // A text value read with the 8-bit call (system code page).
    virtual bool narrowText(const char* name, String& text) = 0;
    // A REG_DWORD value; false when it is missing or of another type.
    virtual bool number(const char* name, uint32_t& value) = 0;
    // GetSysColor.
    virtual int32_t systemColour(int index) = 0;
    // Whether the folder lies on a removable, optical or RAM drive.
    virtual bool onPortableDrive(const String& folder) = 0;
};

// Reads the settings in the order the entry lists them; name is the product name given on the
// command line. A value that cannot be used (too long, not a number) keeps its default and is
// logged. Empty on success; otherwise the message that stops the uninstallation (an entry
// without an install folder).
String readUninstallSettings(const String& name, EntryValues& values, UninstallSettings& settings,
                             Reporter& reporter);

// The messages of an entry that cannot be used (UTF-16), filled with the name.
String notInstalledMessage(const String& name);
String permissionDeniedMessage();
String inaccessibleEntryMessage(const String& name);
String corruptEntryMessage(const String& displayName);

// ---- Protection of the records -------------------------------------------------------------

// Reads the owner and access list of a file or folder: a Windows error code, 0 on success.
using SecurityReader = std::function<uint32_t(const String& path, ObjectSecurity& security)>;

// What an elevated uninstaller checks before it reads anything from the uninstall folder: the
// folder and Uninstall.DAT in it must each be owned by a trusted account and changeable by no
// other (isTrustedChanger; ownSid is the account the uninstaller runs as), since whoever can
// change them decides what an administrator's uninstallation deletes and runs. Empty when they
// are; a record that is not there is left to the reading, which reports it. Otherwise the
// message that stops the uninstallation, naming the first record found open or unreadable.
String unprotectedRecordsMessage(const String& displayName, const String& uninstallFolder,
                                 const SecurityReader& read, const std::vector<uint8_t>& ownSid);

// ---- Fonts -------------------------------------------------------------------------------

// One font of the ProductFonts list.
struct ProductFont {
    String name;  // UTF-16: the value name under the system's font key
    String file;  // UTF-16: the file name in the Fonts folder
};

// The list is a run of double-quoted texts: font name (UTF-8) and file name (8-bit path form),
// pair after pair. Pairs without a file name are left out.
std::vector<ProductFont> parseProductFonts(const String& list);

// What removing fonts asks of the system.
class FontSystem {
  public:
    virtual ~FontSystem() = default;
    // Message box with Yes and No; true for Yes.
    virtual bool confirm(const String& question, const String& caption) = 0;
    virtual String fontsFolder() = 0;
    // Each gives 0 or the Windows error code. A registration that is already gone counts as
    // deleted, and so does a missing file.
    virtual uint32_t deleteRegistration(const String& fontName) = 0;
    virtual uint32_t removeResource(const String& path) = 0;
    virtual uint32_t deleteFontFile(const String& path) = 0;
    // Writes the empty list into the entry.
    virtual void clearFontList() = 0;
    virtual void broadcastFontChange() = 0;
    virtual String errorText(uint32_t code) = 0;
};

struct FontRemoval {
    String list;       // 8-bit: ProductFonts
    bool ask = false;  // ask for each font
    String question;   // UTF-16, "%s" stands for the font name
    String caption;
};

// Whether each font is asked about: unless the run is automatic, when the product says so.
inline bool asksForFonts(uint64_t productFlags, bool automaticMode) {
    return !automaticMode && (productFlags & kEntryFlagAskForFonts) != 0;
}

// Removes the listed fonts that are not declined, then empties the list; tells every window when
// a font went. The number of fonts removed. Nothing happens for an empty list.
int32_t removeFonts(const FontRemoval& request, FontSystem& system, Reporter& reporter);

// ---- Windows -----------------------------------------------------------------------------

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\<name>".
String uninstallEntryPath(const String& name);

// Opens the product's entry (32-bit view) for reading and writing into key and reads its
// settings. Empty on success; otherwise the message to show, and key holds nothing.
String OpenUninstallEntry(const String& name, RegistryKey& key, UninstallSettings& settings,
                          Reporter& reporter);

// Checks the records' protection when the process runs elevated (unprotectedRecordsMessage).
// Empty when the uninstaller may go on; otherwise the message to show.
String CheckUninstallRecords(const UninstallSettings& settings);

// Reads Uninstall.DAT from the uninstall folder into data. Empty on success; otherwise the
// message to show. What the reader skipped is logged.
String LoadUninstallData(const UninstallSettings& settings, UninstallData& data,
                         Reporter& reporter);

// Removes the fonts of the entry, asking with text 56 and caption 57 of data when the settings
// say so; the emptied list is written into key.
int32_t RemoveProductFonts(const UninstallSettings& settings, bool automaticMode,
                           const UninstallData& data, RegistryKey& key, Reporter& reporter);

}  // namespace tessarin
