// File installation: the loop over the payload's file records that puts the product's files on
// disk. Which file wins (overwrite modes, versions and dates) and where a record goes are
// decided here, portably, against questions about the existing files; the writing itself and
// the loop over the data area live in file_installation_win.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "actions/shortcuts.h"
#include "core/date_time.h"
#include "core/path.h"
#include "core/string.h"
#include "package/payload_reader.h"

namespace tessarin {

// Record kinds: where the file goes and what follows it.
enum FileKind : int32_t {
    kFileKindProgram = 0,    // InstallDir, optional shortcuts
    kFileKindShared = 1,     // SharedDir, date check
    kFileKindFont = 4,       // the Fonts folder, date check, registered
    kFileKindStartup = 5,    // InstallDir, shortcut in the Startup folder
    kFileKindSystem = 6,     // the system folder, version and date check
    kFileKindCom = 7,        // the system folder, self-registered later
    kFileKindTypeLib = 8,    // the system folder, type library registered later
    kFileKindVersioned = 9,  // InstallDir, version and date check
    kFileKindDriver = 10,
    kFileKindMsi = 11,
    kFileKindApplet = 12,
};

inline constexpr int32_t kFileOptionDesktopShortcut = 0x01;
inline constexpr int32_t kFileOptionStartMenuShortcut = 0x02;
inline constexpr int32_t kFileOptionOverwriteMask = 0x1C;
inline constexpr int32_t kFileOptionPermanent = 0x20;
inline constexpr int32_t kFileOptionUninstallDir = 0x40;

// ProductFlags bits the loop reads.
inline constexpr uint64_t kFlagsAlwaysReplaceAtReboot = 0x00000800;
inline constexpr uint64_t kFlagsVerifyWrittenFiles = 0x00040000;
inline constexpr uint64_t kFlagsOverwriteProtected = 0x00080000;

// Message numbers of the script's message table.
inline constexpr int32_t kMessageFolderFailed = 25;
inline constexpr int32_t kMessageItemFailed = 31;
inline constexpr int32_t kMessageInstallingFiles = 54;
inline constexpr int32_t kMessageFontInstalled = 77;
inline constexpr int32_t kMessageCheckingData = 62;

// Corruption codes after the last record: bytes left over, and a reader that never opened.
inline constexpr int kCodeDataLeftOver = 80;
inline constexpr int kCodeRecordReader = 83;

// Corruption code of a record whose kind is outside the table.
inline constexpr int kCodeUnknownFileKind = 110;

// The name that never shows on the status line.
inline constexpr const char* kHiddenFileName = "b/0@+";

bool isKnownFileKind(int32_t kind);
int32_t overwriteMode(int32_t options);  // bits 2 to 4, 0-7
// A counted record is recorded for removal (its file and its folder).
bool isCountedRecord(int32_t kind, int32_t options, bool portable);

// Questions about files already on disk; the Win32 side answers from the file system.
class ExistingFiles {
  public:
    virtual ~ExistingFiles() = default;
    virtual bool exists(const String& path) = 0;
    // The version of the file's version resource (8-bit); empty when it has none.
    virtual String versionText(const String& path) = 0;
    // The file's last-write time; false when it cannot be read.
    virtual bool timeStamp(const String& path, FileDateTime& stamp) = 0;
};

struct FileDecision {
    bool install = false;
    // Not written, but recorded for removal all the same (the uninstaller deletes the file
    // that was already there).
    bool recordRefused = false;
    // The per-kind check found the target existing: a failed write may go to a reboot-time
    // replacement.
    bool foundExisting = false;
    // Logged after the target path; empty: nothing is logged.
    String message;  // 8-bit
};

// Overwrite mode and the per-kind version and date checks for one record whose target path
// (UTF-16) is known.
FileDecision decideFile(const FileRecord& record, const String& target, bool portable,
                        ExistingFiles& files);

// Chronological order of two file date records, field by field; unset records are not ordered
// by this (callers test isUnset first).
int compareFileDates(const FileDateTime& a, const FileDateTime& b);
// "yy-mm-dd HH:ii:ss" of the record, as the log shows dates; "no date" for an unset record.
String fileDateText(const FileDateTime& date);

// The percentage while record index of count is installed: 28 to 90.
int32_t fileProgress(int32_t index, int32_t count);
// Whether the status line hides the record's target behind message 54.
bool fileNameHidden(const FileRecord& record, uint64_t productFlags);
// The shortcut request a record makes (kind 0 with a shortcut bit, every kind 5); false when
// it makes none. target is the resolved UTF-16 path.
bool fileShortcutRecord(const FileRecord& record, const String& target, ShortcutRecord& shortcut);
// The font's entry in the ProductFonts text: "display name" "file name" and a blank (8-bit).
String fontListEntry(const String& displayName, const String& fileName8);
// The ProductFonts text of an installation that replaces another: current, then each entry of
// previous (the replaced installation's text) whose file name current does not list (ASCII case
// ignored) and whose file present() still finds.
String carriedFontList(const String& current, const String& previous,
                       const std::function<bool(const String& fileName8)>& present);
// Message 77 with "<file>" replaced by the font's file name (UTF-16).
String fontStatusText(const String& message77, const String& fileName);

// The folders a record may go to (UTF-16, without trailing backslash).
struct FileFolders {
    String installDir;
    String sharedDir;
    String uninstallDir;
    String fontsDir;
    String systemDir;
    bool portable = false;
};

struct FileTarget {
    String path;                // UTF-16
    String workingName;         // UTF-16: Name, or TargetPath when it holds no backslash
    bool createFolder = false;  // the folder is made with its parents before writing
};

// Where a record goes. expand replaces "%...%" variables in place.
FileTarget resolveFileTarget(const FileRecord& record, const FileFolders& folders,
                             void (*expand)(String& text));

// What the loop leaves for the steps after it.
struct FileInstallationState {
    bool rebootRequired = false;
    bool fontsChanged = false;
    PathList writtenInPlace;  // UTF-16 targets not scheduled for the restart
    // Registered by later steps (UTF-16 targets, in record order).
    std::vector<String> comServers, typeLibraries, drivers;
    String fontList;  // 8-bit: the ProductFonts text
    // UTF-16 targets written and left out of the uninstall record (permanent, shared, ...).
    Vector<String> writtenUnrecorded;
};
FileInstallationState& fileInstallationState();

// The bytes of one file, handed out piece by piece so that no file has to be held whole.
class FileData {
  public:
    virtual ~FileData() = default;
    // The next piece, valid until the next call; size 0 once every byte was given. False: the
    // bytes cannot be had (the source keeps the reason).
    virtual bool next(const uint8_t*& piece, size_t& size) = 0;
    // The bytes again from the first; false as for next.
    virtual bool rewind() = 0;
};

// FileData over bytes in memory.
class BytesFileData : public FileData {
  public:
    explicit BytesFileData(const String& bytes) : bytes_(bytes) {}
    bool next(const uint8_t*& piece, size_t& size) override;
    bool rewind() override;

  private:
    const String& bytes_;
    bool given_ = false;
};

// Writes data under target (UTF-16). A target that did not exist (existed false) is first
// created and written in place; otherwise, or when that fails, up to three attempts write the
// bytes to a temporary file in the target's folder that is then moved onto the target. A failed
// write never leaves a partial file under the target's name. Gives the file date and attributes
// (-1: as written). After the last failure the file is scheduled to replace the target at the next
// restart when existed (or the always-replace option) allows it: scheduled is set, reboot-required
// too, and the result is false; any other failure goes to the error list. True when written in
// place. A failing source ends the write at once: false, nothing kept and nothing listed (the
// source knows why).
bool WriteInstalledFile(const String& target, FileData& data, const FileDateTime& date,
                        int32_t attributes, bool existed, bool& scheduled);

// Positions on the data area of the running installation and checks it (its length and
// checksum), showing message 62 at 21 % during the check and message 54 at 26 % after it.
void OpenFileData();
// Runs the loop over the whole file table of the data area OpenFileData opened: reads every
// record, writes, logs and records the files and queues their follow-up work.
void InstallFiles();
// After the loop: bytes left in the data area end the run (code 80), as does a data area that
// was never opened (83); then 91 % and message 54.
void FinishFileData();
// Tells every window that the font table changed, when the loop added a font.
void BroadcastFontChange();

}  // namespace tessarin
