// Releasing the shared files of an uninstalled product: the uninstall value "SharedFiles" lists
// the files whose system-wide counts (HKLM "...\SharedDLLs") the installation raised. Each
// count goes down by one; a file whose count reaches zero (or was already below one) is no
// longer used by any product: its COM or type-library registration is undone and the file is
// deleted, unless it is marked permanent or the user keeps it. Once such a file is gone its
// count goes too, so that no zero count of a missing file is left behind.
//
// The list and the decisions are portable (shared_file_release.cpp); the registry, the
// unregistration and the file calls are in shared_file_release_win.cpp.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "services/reporter.h"

namespace tessarin {

class RegistryKey;

inline constexpr const char* kSharedCountAdjustError =
    "REGISTRY ERROR:  Unable to adjust shared file reference counts.\r\n\r\n";
// Low word bit of the product flags: ask before deleting a shared file nobody uses any more.
inline constexpr uint32_t kFlagsAskBeforeSharedDelete = 0x20000;

struct SharedFileEntry {
    String path;  // 8-bit as stored: the system code page, or "|" and UTF-8
    bool comServer = false;
    bool permanent = false;
    bool typeLibrary = false;
};

// The entries of a "SharedFiles" value: the pieces between double quotes that are neither empty
// nor a ";" separator. Flag characters ("^", " ", 0xA9) are taken from the front of a piece
// and, as the installer writes them, from its end.
Vector<SharedFileEntry> parseSharedFiles(const String& text);

// Whether a file whose count reached zero is offered to the user before deletion.
inline bool askBeforeSharedDelete(bool automaticMode, uint32_t productFlags) {
    return !automaticMode && (productFlags & kFlagsAskBeforeSharedDelete) != 0;
}

// The questions the release asks of the system (and of the user).
class SharedFileSystem {
  public:
    virtual ~SharedFileSystem() = default;
    virtual bool openCounts() = 0;  // the existing SharedDLLs key
    // The count of an entry's path (8-bit as stored); false when it has no count.
    virtual bool readCount(const String& path, uint32_t& count) = 0;
    virtual bool writeCount(const String& path, uint32_t count) = 0;
    virtual void deleteCount(const String& path) = 0;
    virtual void closeCounts() = 0;
    // The remaining calls take the file's UTF-16 path.
    virtual void unregisterComServer(const String& path) = 0;
    virtual void unregisterTypeLibrary(const String& path) = 0;
    virtual bool fileExists(const String& path) = 0;
    virtual bool userKeepsFile(const String& path) = 0;  // the user answered No
    virtual void deleteFile(const String& path) = 0;
    virtual void forgetList() = 0;  // deletes the "SharedFiles" value
};

// Releases every listed file. Nothing to do for an empty text; a counter key that cannot be
// opened adds one error-list line and leaves everything, the list value included.
void releaseSharedFiles(const String& text, bool askBeforeDelete, SharedFileSystem& system,
                        Reporter& reporter);

// The text of the question: the template (UTF-16, with "%s" for the path) filled with the path.
String sharedFileQuestionText(const String& questionTemplate, const String& path);

// The running system's side: counts in HKLM "...\SharedDLLs", regsvr32 in the system folder
// then DllUnregisterServer, the type-library registration, the question as a Yes/No box with
// the given template and caption (UTF-16), and the "SharedFiles" value of the open uninstall
// key. Windows only.
void ReleaseSharedFiles(const String& text, bool askBeforeDelete, const String& questionTemplate,
                        const String& questionCaption, RegistryKey& uninstallKey,
                        Reporter& reporter);

}  // namespace tessarin
