// The uninstaller: started as "/u:name", it finds the product's uninstall entry, reads back the
// installation's settings and Uninstall.DAT, asks, and then undoes the installation as a
// sequence of steps (uninstall_sequence_win.cpp) while the progress display moves on. Failures
// never stop the removal: they collect in the error list, Uninstall.DAT is rewritten with what
// stays, and the entry remains so that a later run retries the rest.
//
// The uninstaller's services (messages, path variables, batches) read the process-wide install
// state; the uninstaller restores that state from the entry and Uninstall.DAT (portable, in
// uninstall_sequence.cpp, with the decisions that do not need the system).
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "services/exit_codes.h"
#include "services/uninstall_data.h"

namespace tessarin {

struct BackgroundWindowSettings;
struct InstallScript;
struct UninstallSettings;

// ProductFlags low word: delete the install folder with everything left in it.
inline constexpr uint64_t kEntryFlagRemoveInstallFolder = 0x400;
// ProductFlags low word: a folder was added to the system PATH.
inline constexpr uint64_t kEntryFlagAddedToPath = 0x1000;
// ProductFlags high word: the installation log stays.
inline constexpr uint64_t kEntryFlagKeepInstallLog = uint64_t(0x400000) << 32;
// ProductFlags high word: the messages of an unusable entry are shown in automatic mode too.
inline constexpr uint64_t kEntryFlagEntryMessagesWhenAutomatic = uint64_t(0x8) << 32;
// ProductFlags high word: the progress window is shown (and closed after a pause at the end).
inline constexpr uint64_t kEntryFlagProgressWindow = uint64_t(0x80000) << 32;
// ProductFlags2: a completion message ends a successful uninstallation.
inline constexpr uint32_t kEntryFlags2CompletionMessage = 0x40000;

// Language texts of the uninstaller.
inline constexpr int32_t kTextRemovalQuestion = 53;
inline constexpr int32_t kTextUninstallerCaption = 55;
inline constexpr int32_t kTextCompletion = 34;
inline constexpr int32_t kTextCompletionCaption = 15;
inline constexpr int32_t kTextRestartQuestion = 74;
inline constexpr int32_t kTextRestartCaption = 20;
inline constexpr int32_t kTextFailureReport = 10;
inline constexpr int32_t kTextErrorCaption = 21;
inline constexpr int32_t kStatusRemovingFiles = 70;
inline constexpr int32_t kStatusRemovingFonts = 67;
inline constexpr int32_t kStatusRemovingLog = 68;
inline constexpr int32_t kStatusRemovingRegistry = 69;
inline constexpr int32_t kStatusRemovingPackages = 108;

// The pause the uninstaller keeps after the steps that change what the shell shows.
inline constexpr uint32_t kUninstallStepPause = 700;

// The install state as the uninstaller's services need it: names, folders, option words,
// batches, and the language texts of Uninstall.DAT as the one language of the message table.
void restoreInstallState(const UninstallSettings& settings, const UninstallData& data,
                         InstallScript& script);

// The background window's appearance from the entry.
void backgroundSettingsFromEntry(const UninstallSettings& settings, BackgroundWindowSettings& w);

// Whether a message that stops the uninstaller before it changed anything is shown: never
// in silent mode, in automatic mode only when the product asks for it.
bool entryMessageShown(bool automatic, bool silent, uint64_t productFlags);

// The failure report: its text (UTF-16, "%s" for the list) filled with the error list (UTF-16).
// The text comes from Uninstall.DAT, so nothing else in it is read as a conversion.
String failureReport(const String& reportTemplate, const String& errors);

// Language texts of closing programs while uninstalling: the question (filled with the
// program's name) and, after Cancel, the cancellation notice and its caption.
inline constexpr int32_t kTextCloseProgram = 107;
inline constexpr int32_t kTextCancelled = 101;
inline constexpr int32_t kTextCancelledCaption = 111;

// What the entry needs once the uninstallation has ended.
struct UninstallResult {
    UninstallEnd end = UninstallEnd::NotPerformed;
    uint32_t productFlags2 = 0;  // for the exit code
    String installDir;           // for the self-removal
    String uninstallSubdir;
    String installedUninstaller;  // the program the entry's UninstallString starts
    String notifyUrl;             // 8-bit
    // Folders the installation made above the install folder, deepest first: they go once the
    // install folder is gone.
    Vector<String> foldersAbove;
    bool succeeded() const {
        return end == UninstallEnd::Completed || end == UninstallEnd::RestartRequired ||
               end == UninstallEnd::RestartStarted;
    }
};

// Uninstalls the named product (Windows only). A user who declines ends the process here.
UninstallResult RunUninstallation(const String& name);

}  // namespace tessarin
