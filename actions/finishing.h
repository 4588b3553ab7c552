// The finishing steps of an installation: the files written for the user and the uninstaller
// (background picture, readme and licence texts), the uninstall data file, the last batches,
// the restore-point commit, the summary, the restart decision, the removal of folders left
// empty, and what is launched at the end.
//
// The choices (file names, the restart decision, which folders may be removed, what the finish
// options start) are portable (finishing.cpp); finishing_win.cpp carries them out.
#pragma once

#include <cstdint>
#include <vector>

#include "core/containers.h"
#include "core/string.h"
#include "services/batch.h"
#include "ui/wizard.h"

namespace tessarin {

// ProductFlags bits.
inline constexpr uint64_t kFlagsReadmeFiles = uint64_t{0x00004000} << 32;
inline constexpr uint64_t kFlagsLicenseFiles = uint64_t{0x00008000} << 32;
inline constexpr uint64_t kFlagsAskBeforeReboot = uint64_t{0x00000200} << 32;
// ProductFlags2 bits.
inline constexpr uint32_t kFlags2LaunchDirectly = 0x00100000;

// Message numbers.
inline constexpr int32_t kMessageFinishing = 32;
inline constexpr int32_t kMessageCompleting = 36;
inline constexpr int32_t kMessageRestartQuestion = 37;
inline constexpr int32_t kMessageRestartCaption = 20;

// Reason code of the restart: planned, application installation.
inline constexpr uint32_t kRestartReason = 0x80040002;

// A text file written into the install folder for the user.
struct TextFile {
    String name;        // UTF-16: "readme.txt", "readme2.txt", ...
    int32_t index = 0;  // the text's position in the script's list
};
// The files of a list of texts: empty texts are skipped, the rest numbered from 1 in list
// order; "<base>.txt" when the first non-empty text is the list's last entry, otherwise
// "<base><number>.txt".
std::vector<TextFile> textFileNames(const Vector<String>& texts, const char16_t* base);

// A bitmap file of a device-independent bitmap (header, colour table, pixels): the 14-byte
// file header in front, its pixel offset past the header, the colour masks and the colour
// table. Empty when the bitmap's header is too short to read.
String bitmapFileBytes(const String& bitmap);

enum class RestartChoice {
    None,     // nothing asks for a restart
    Restart,  // restart without asking
    Ask,      // ask the user
};
RestartChoice restartChoice(bool rebootRequired, bool automatic, uint64_t productFlags);

// Whether a folder may be removed at the end: not a drive root (three characters or fewer).
bool removableFolder(const String& path);

// ---- Windows -----------------------------------------------------------------------------

// Whether the running installation needs a restart: a file or the uninstaller is replaced at
// the next restart, or a deletion is scheduled for it.
bool restartRequired();

// The install actions of the end, in the order they run.
// Runs a batch of the install state (the installer's or the uninstall entry's) with the options
// of the running process; its lines go to the installation log.
void runScriptBatch(BatchKind kind);

void WriteUserFiles();      // background picture, readme and licence texts
void WriteUninstallData();  // Uninstall.DAT
void RunPostInstallBatch();
void RefreshDesktop();
void CommitRestorePoint();
// Closes the progress display, finishes the log and the summary, asks for or decides the
// restart, runs the exit batch and removes folders left empty.
void CloseInstallation();
// The last step: restarts the machine when that was decided, or launches what the installation
// and the user asked for; then the process ends with the install branch's exit code.
[[noreturn]] void EndInstallation();

}  // namespace tessarin
