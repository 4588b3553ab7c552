// Uninstall.DAT: the record of what an installation did that the uninstaller must undo.
//
// Every install action records into the process-wide UninstallData; at the end of installation
// the buffers become the file in one piece. The uninstaller reads the file back into the same
// buffers, undoes what they hold and writes what is left.
//
// The file is 8-bit text with CR LF line ends: an unnamed deletion list, then named sections,
// each introduced by its header line. The section table in uninstall_data.cpp is the format:
// the writer walks it to emit the sections in order and the reader looks its headers up in it,
// so that the two cannot disagree about names or order. The text is built and parsed here
// (portable); uninstall_data_win.cpp reads and writes the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/containers.h"
#include "core/string.h"
#include "package/install_script.h"
#include "services/reporter.h"

namespace tessarin {

// What a deletion-list line names; its one-character prefix in the file is in brackets.
enum class DeletionKind : uint8_t {
    File = 0,           // (none) delete the file
    Folder = 1,         // "~" remove when empty, then its empty parents
    RegistryValue = 2,  // "!" a key path whose last component is the value name
    RegistryKey = 3,    // "^" the key with all its subkeys
    RegistryKey64 = 4,  // "*" the same in the 64-bit registry view
};

struct FileDeletion {
    DeletionKind kind = DeletionKind::File;
    String path;  // 8-bit, narrow path form (registry paths begin with their root)
};

struct FileAssociation {
    String extension;  // 8-bit, all four
    String programId;
    String verb;
    String icon;  // may be empty
};

// Window-closing rule phases: during installation, during uninstallation before the removal
// question, after it.
inline constexpr int32_t kClosePhaseInstall = 1;
inline constexpr int32_t kClosePhaseBeforeQuestion = 2;
inline constexpr int32_t kClosePhaseAfterQuestion = 4;

struct WindowCloseRule {
    String classPattern;  // 8-bit; a leading "*" means "contains"
    String titlePattern;  // 8-bit; a leading "*" means "contains"
    String displayName;   // 8-bit, code page of the installation's language
    int32_t mode = 0;     // 0 WM_CLOSE, 1 WM_QUIT, 2 ask, 3 terminate
    int32_t phases = 0;   // kClosePhase* bits
};
template <>
struct TypeName<FileDeletion> {
    static constexpr const char* value = "FileDeletion";
};
template <>
struct TypeName<FileAssociation> {
    static constexpr const char* value = "FileAssociation";
};
template <>
struct TypeName<WindowCloseRule> {
    static constexpr const char* value = "WindowCloseRule";
};

// Conditional-deletion rules (ConditionalDeletion of the install script): the condition kinds
// and the flag bits.
enum ConditionKind : uint8_t {
    kConditionNone = 0,
    kConditionVersionEqual = 1,
    kConditionVersionNotLower = 2,
    kConditionVersionNotHigher = 3,
    kConditionSizeEqual = 4,
    kConditionSizeNotBelow = 5,
    kConditionSizeNotAbove = 6,
};
inline constexpr int32_t kMaxConditionKind = kConditionSizeNotAbove;
inline constexpr uint8_t kConditionalOnlyAtRestart = 0x1;
inline constexpr uint8_t kConditionalRestartFallback = 0x2;
inline constexpr uint8_t kConditionalAtInstall = 0x4;
inline constexpr uint8_t kConditionalAtUninstall = 0x8;

// The numbered texts the uninstaller needs, in the order they are written; 999 is the banner.
inline constexpr int32_t kUninstallTextCount = 31;
extern const int32_t kUninstallTextNumbers[kUninstallTextCount];
inline constexpr int32_t kBannerTextNumber = 999;
inline constexpr int32_t kMaxUninstallTextNumber = 1000;

inline constexpr const char16_t* kUninstallDataFileName = u"Uninstall.DAT";

class UninstallData {
  public:
    UninstallData() = default;
    UninstallData(const UninstallData&) = delete;
    UninstallData& operator=(const UninstallData&) = delete;

    // Records a deletion (8-bit path in the narrow path form). A path of three characters or
    // fewer (a drive root) is never recorded, nor one with a line break; a folder is recorded
    // once whatever its letter case. True when a line was added.
    bool recordDeletion(const char* path, DeletionKind kind);
    // The same for a UTF-16 path, converted to the narrow path form first.
    bool recordDeletionWide(const String& path, DeletionKind kind);
    // Empties the recorded deletion list and forgets the folders recorded so far.
    void clearDeletions();
    // The recorded deletion list as it is written: one line per item, CR LF after each.
    String deletionText() const;
    // The lines of the list, without their line ends.
    const PrefixList& deletionLines() const { return deletionLines_; }

    // The reader's way back into the recorded list: a non-empty line as read from the file.
    void restoreDeletionLine(const String& line, DeletionKind kind);

    // Language text n (UTF-16); empty when the table has none.
    String text(int32_t number) const;
    void setText(int32_t number, const String& text);

    // Empties every buffer.
    void clear();

    // Read back from the file, in file order (empty lines included; they are skipped when
    // the list is carried out).
    Vector<FileDeletion> deletions;
    Vector<FileAssociation> associations;
    Vector<WindowCloseRule> closeRules;
    Vector<ConditionalDeletion> conditionalDeletions;
    Vector<String> firewall;  // 8-bit lines, as the install actions produced them
    Vector<String> inf;
    Vector<String> msi;
    String registryTable;  // UTF-8 CSV records, CR LF after each
    Vector<String> texts;  // UTF-16; index = text number
    String banner;         // UTF-16

  private:
    // The list grows with the files of an installation: its lines are kept front-coded.
    PrefixList deletionLines_;
    List<bool, String> recordedFolders_{64};
};

// The process-wide record of the running installation or uninstallation.
UninstallData& uninstallData();

// The kind's prefix character, 0 for a file.
char deletionPrefix(DeletionKind kind);
// The deletion path in UTF-16: "|" and UTF-8, or the system ANSI code page.
String deletionPathWide(const FileDeletion& deletion);

// The install state's share of the record: the numbered texts in the installation's language
// and the banner.
void takeInstallerTexts(UninstallData& data, const InstallScript& script);

// The programs to close that the installation keeps for the uninstaller (option 0x2), as the
// record's close rules; the phase of each is the one the uninstaller gives it when it reads
// the file back.
void takeUninstallCloseRules(UninstallData& data, const Vector<ProgramToClose>& programs);
// The uninstaller's phase of a close rule: an asking rule after the removal question, any other
// before it.
int32_t uninstallClosePhase(int32_t mode);

// The file's bytes as the writer makes them: the deletion list, then the sections.
String uninstallDataText(const UninstallData& data);
// The same bytes handed to take(bytes, n) in order, a deletion line and its line end at a time,
// then the sections at once: a writer need not gather the whole file.
void uninstallDataPieces(const UninstallData& data,
                         const std::function<void(const char* bytes, size_t n)>& take);

// Reads the file's bytes into data (which is emptied first). Malformed content never stops the
// reader; each line it skips adds a note "line N: why" to notes when given.
void readUninstallDataText(const char* bytes, int32_t length, UninstallData& data,
                           Vector<String>* notes = nullptr);

// The uninstaller's message for a file that could not be read (UTF-16).
String uninstallDataLoadFailure(const String& displayName, const String& path, int code);

// ---- Files (Windows) ---------------------------------------------------------------------

// folder\Uninstall.DAT
String uninstallDataPath(const String& folder);
// Writes the file in one operation; a FileError code (0 on success).
int writeUninstallDataFile(const UninstallData& data, const String& path);
// Reads the file into data; a FileError code (16 for a file of 2 GiB or more). Notes name the
// file.
int readUninstallDataFile(const String& path, UninstallData& data, Vector<String>* notes = nullptr);
// The installer's end: writes folder\Uninstall.DAT; a failure appends language text 31
// (failureText), the file's path and the system's error text to the error list.
bool saveUninstallData(const UninstallData& data, const String& folder, const String& failureText,
                       Reporter& reporter);

}  // namespace tessarin
