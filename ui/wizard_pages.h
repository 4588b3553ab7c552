// The wizard's decisions that need no window: which template a page uses, which pages show,
// the language page's first choice, the licence and readme page list, the Start-menu name rule
// and the checks of a chosen install folder. The pages themselves are in wizard_win.cpp.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/geometry.h"
#include "core/string.h"

namespace tessarin {

// ProductFlags bits the pages read (low word, then high word).
inline constexpr uint64_t kFlagsGreetingAlways = 0x8;
inline constexpr uint64_t kFlagsAskCreateFolder = 0x80000000;
inline constexpr uint64_t kFlagsStartMenuPage = uint64_t{0x4} << 32;
inline constexpr uint64_t kFlagsRefuseNetworkFolder = uint64_t{0x20} << 32;
inline constexpr uint64_t kFlagsGreetingNever = uint64_t{0x800} << 32;
inline constexpr uint64_t kFlagsPageIcons = uint64_t{0x100000} << 32;
inline constexpr uint64_t kFlagsProgressWindow = uint64_t{0x80000} << 32;
inline constexpr uint64_t kFlagsProgressOnBackground = uint64_t{0x100} << 32;
inline constexpr uint64_t kFlagsNoProgressCancel = 0x200000;
inline constexpr uint64_t kFlagsRefusePortableFolder = uint64_t{0x800000} << 32;
inline constexpr uint64_t kFlagsFourthOption = uint64_t{0x2000000} << 32;
inline constexpr uint64_t kFlagsKeepProgramCaption = uint64_t{0x400} << 32;
// ProductFlags2 bits.
inline constexpr uint32_t kFlags2ButtonImages = 0x400;
inline constexpr uint32_t kFlags2SkipSpaceCheckForWideNames = 0x10000;
inline constexpr uint32_t kFlags2PortableStartMenuPage = 0x800;

// The template of a page for its layout selector: 1 the plain name, 0 the name with "2", 3 with
// "4", anything else with "3".
String pageTemplateName(const char* page, int32_t selector);

// Whether the greeting shows at all, and whether as a plain message box (selector 0).
bool greetingShown(uint64_t productFlags, bool automatic);
inline bool greetingIsMessageBox(int32_t selector) {
    return selector == 0;
}

// The language list's line for a language name, and the line to select first: the user's
// language name cut before its first "(" and trimmed, else "English", else the first line.
String languageLine(const String& name);
int32_t initialLanguage(const Vector<String>& languages, const String& userLanguageName);

// The pages of a licence or readme list: the introduction message (UTF-16) first when it is not
// empty, as text marked UTF-16 by the bytes FF FE; then every non-empty entry as stored.
Vector<String> documentPages(const String& introduction, const Vector<String>& texts);

// How a page text is shown.
enum class DocumentKind {
    Rich,   // RTF, from textStart on (a UTF-8 byte-order mark is skipped)
    Wide,   // UTF-16 after the FF FE mark
    Plain,  // 8-bit text, code page 1252
};
DocumentKind documentKind(const String& stored, int32_t& textStart);

// The Start-menu page accepts a name without / " < > | * ? : ; that neither begins with a
// backslash nor holds two in a row.
bool startMenuNameAcceptable(const String& name);

// The folder page's answer to a chosen folder.
enum class FolderProblem {
    None,
    Empty,           // show the page again, no message
    Invalid,         // message 14 with the path
    NoDrive,         // message 16 with the drive letter
    Network,         // message 66
    DriveRoot,       // message 17
    ProgramFiles,    // message 18 with that folder
    UnusableVolume,  // message 96 with the drive letter
};

// What the checks ask of the system.
class FolderCheckSystem {
  public:
    virtual ~FolderCheckSystem() = default;
    virtual bool driveExists(char16_t letter) = 0;
    virtual bool networkDrive(const String& path) = 0;
    // The 32-bit and 64-bit program-files folders (either may be empty).
    virtual String programFiles32() = 0;
    virtual String programFiles64() = 0;
    // The volume can be queried and is writable.
    virtual bool volumeUsable(const String& path) = 0;
    virtual bool portableDrive(const String& path) = 0;
};

// The checks of a trimmed folder text in the page's order; programFilesFolder receives the
// folder that message 18 names.
FolderProblem checkChosenFolder(const String& folder, uint64_t productFlags,
                                FolderCheckSystem& system, String& programFilesFolder);

// Where a window of the given size goes within an area, by the script's placement code:
// 0 (and any unknown code) centred, 1 top left, 2 top right, 3 bottom left, 4 bottom right,
// 5 top centre, 6 bottom centre. A window larger than the area keeps to its top left corner.
struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point&) const = default;
};
Point placeWindow(const Rect& area, int32_t width, int32_t height, int32_t placement);

// The side picture's frame by the script's border code: 1 a sunken edge, 2 a thin border, 3 a
// sunken edge on pages of the plain layout (selector 1) only, 0 none.
enum class PictureFrame { None, Sunken, Thin };
PictureFrame pictureFrame(uint8_t border, int32_t selector);

// Whether the free space must be asked about: no previous installation is replaced, not
// automatic, the drive is known and its free space is below the estimate.
bool spaceQuestionNeeded(bool replacing, bool automatic, bool driveKnown, uint64_t freeBytes,
                         uint64_t estimate);
// Whether the space check applies: not with ProductFlags2 0x10000 for a path outside ASCII.
bool spaceCheckApplies(uint32_t productFlags2, const String& folder);

}  // namespace tessarin
