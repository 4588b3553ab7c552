#include <windows.h>

#include "core/convert.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/folder_protection.h"
#include "core/path.h"
#include "core/privilege.h"
#include "core/registry.h"
#include "services/install_log.h"
#include "services/record_merge.h"

namespace tessarin {
namespace {

class SystemPresence : public RecordPresence {
  public:
    explicit SystemPresence(const Vector<String>& unrecorded) : unrecorded_(unrecorded) {}
    bool writtenUnrecorded(const String& path) override {
        for (const String& written : unrecorded_)
            if (written.equalsNoCaseWide(path.w_str())) return true;
        return false;
    }
    bool fileExists(const String& path) override { return tessarin::fileExists(path); }
    bool folderExists(const String& path) override { return tessarin::folderExists(path); }
    bool registryEntryExists(const FileDeletion& deletion) override {
        String path = deletionPathWide(deletion);
        String keyPath = path, name;
        if (deletion.kind == DeletionKind::RegistryValue)
            splitRegistryValue(path.w_str(), keyPath, name);
        String subKey;
        RegistryRoot root = splitRegistryRoot(keyPath.w_str(), subKey);
        subKey.removeBackWideChar(u'\\');
        if (root == kRegistryNoRoot || subKey.empty()) return false;
        uint32_t view = deletion.kind == DeletionKind::RegistryKey64 ? kRegView64 : 0;
        RegistryKey key;
        if (key.open(root, subKey.w_str(), kRegOpenExisting, kRegAccessRead | view) ==
            kRegOpenFailed)
            return false;
        if (deletion.kind != DeletionKind::RegistryValue) return true;
        RegistryValue value;
        return key.read(name.w_str(), value);
    }

  private:
    const Vector<String>& unrecorded_;
};

// Whether an elevated process may take the record's word: the folder and the file can be
// changed only by trusted accounts. Without elevation the process can do no more than its user.
bool recordTrusted(const String& path) {
    if (!runsElevated()) return true;
    const std::vector<uint8_t> own = processUserSid();
    ObjectSecurity security;
    return readObjectSecurity(path, security) == 0 && changeableOnlyByTrusted(security, own);
}

// A record as the installer writes it: its texts are there (a cut-off file lacks them) and every
// deletion line names a full path or a registry root.
bool wellFormed(const UninstallData& data) {
    if (data.texts.empty()) return false;
    for (const FileDeletion& deletion : data.deletions) {
        if (deletion.path.empty()) continue;
        String path = deletionPathWide(deletion), rest;
        bool registry =
            deletion.kind != DeletionKind::File && deletion.kind != DeletionKind::Folder;
        if (registry ? splitRegistryRoot(path.w_str(), rest) == kRegistryNoRoot
                     : !isAbsolutePath(path))
            return false;
    }
    return true;
}

}  // namespace

void carryPreviousInstallationRecord(const String& previousUninstallFolder,
                                     const Vector<String>& writtenUnrecorded) {
    if (previousUninstallFolder.empty()) return;
    const String path = uninstallDataPath(previousUninstallFolder);
    if (!fileExists(path)) return;
    if (!recordTrusted(previousUninstallFolder) || !recordTrusted(path)) {
        logFormatWide(
            u"Previous uninstall record not carried over: users who are not "
            u"administrators can change it: %s\r\n",
            path.w_str());
        return;
    }
    UninstallData previous;
    Vector<String> notes;
    int code = readUninstallDataFile(path, previous, &notes);
    if (code != kFileOk) {
        logFormatWide(
            u"Previous uninstall record not carried over: it could not be read (code "
            u"%d): %s\r\n",
            code, path.w_str());
        return;
    }
    if (!notes.empty() || !wellFormed(previous)) {
        logFormatWide(u"Previous uninstall record not carried over: it is damaged: %s\r\n",
                      path.w_str());
        return;
    }
    SystemPresence presence(writtenUnrecorded);
    RecordMergeCounts counts = carryPreviousRecord(previous, uninstallData(), presence);
    logFormatWide(u"Carried over from the previous uninstall record: %d item(s), %d gone: %s\r\n",
                  counts.carried, counts.dropped, path.w_str());
}

}  // namespace tessarin
