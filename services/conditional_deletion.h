// Conditional deletions: the install script's rules that delete files under a condition (a
// version or a size), now or at the next restart, once while installing and once while
// uninstalling.
//
// The decisions are portable (conditional_deletion.cpp) and ask the file system through
// ConditionalDeletionSystem; conditional_deletion_win.cpp answers for the running system.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "package/install_script.h"
#include "services/protected_paths.h"
#include "services/reporter.h"

namespace tessarin {

enum class DeletionPhase { Install, Uninstall };

// The ProductFlags bit that says a restart is needed: low word 0x4000 for the installer, high
// word 0x2000 for the uninstaller (which then offers the restart).
inline constexpr uint64_t kRestartNeededInstall = 0x4000;
inline constexpr uint64_t kRestartNeededUninstall = uint64_t(0x2000) << 32;
inline constexpr uint64_t restartNeededFlag(DeletionPhase phase) {
    return phase == DeletionPhase::Install ? kRestartNeededInstall : kRestartNeededUninstall;
}

// The corruption code of a rule whose version text cannot be read.
inline constexpr int kCodeConditionVersion = 65;

// What the rules ask of the system. Paths are UTF-16.
class ConditionalDeletionSystem {
  public:
    virtual ~ConditionalDeletionSystem() = default;
    // The files a rule's path names: path variables expanded, a relative path taken in the
    // install folder, wildcards resolved; full paths in the order found.
    virtual void findFiles(const String& path, Vector<String>& files) = 0;
    virtual bool fileExists(const String& path) = 0;
    virtual String fileVersion(const String& path) = 0;  // 8-bit, empty without a version
    virtual int64_t fileSize(const String& path) = 0;    // -1 when it cannot be read
    virtual void clearAttributes(const String& path) = 0;
    // False with the system's error code in error.
    virtual bool deleteNow(const String& path, uint32_t& error) = 0;
    virtual bool deleteAtRestart(const String& path, uint32_t& error) = 0;
    virtual String errorText(uint32_t error) = 0;  // UTF-16, without a line break
    virtual const ProtectedFolders& protectedFolders() = 0;
    // A rule's version text is unreadable: the installation is corrupt. Does not return on
    // Windows; a test's stand-in records the code and the rule is skipped.
    virtual void corrupt(int code) = 0;
};

// Carries out the rules that apply to the phase, in list order. While installing every step is
// logged; while uninstalling nothing is logged and each rule that was carried out is removed
// from rules (what remains goes back into Uninstall.DAT). A scheduled deletion sets the phase's
// restart-needed bit in productFlags.
void carryOutConditionalDeletions(Vector<ConditionalDeletion>& rules, DeletionPhase phase,
                                  ConditionalDeletionSystem& system, Reporter& reporter,
                                  uint64_t& productFlags);

// The same on the running system; relative paths are taken in installDir (Windows only).
void carryOutConditionalDeletions(Vector<ConditionalDeletion>& rules, DeletionPhase phase,
                                  const String& installDir, Reporter& reporter,
                                  uint64_t& productFlags);

// Whether a version text can be compared: at least one digit, and nothing but digits,
// letters, dots, commas and blanks.
bool isVersionText(const String& text);

}  // namespace tessarin
