// The running system's answers to the conditional-deletion rules.
#include <windows.h>

#include "core/file_listing.h"
#include "core/file_system.h"
#include "core/path.h"
#include "core/system_error.h"
#include "package/payload.h"
#include "services/conditional_deletion.h"
#include "services/path_variables.h"

namespace tessarin {

namespace {

class SystemConditionalDeletion : public ConditionalDeletionSystem {
  public:
    explicit SystemConditionalDeletion(const String& installDir) : installDir_(installDir) {}

    void findFiles(const String& path, Vector<String>& files) override {
        String pattern = path;
        expandPathVariables(pattern);
        if (!isAbsolutePath(pattern)) pattern = joinPath(installDir_, pattern);
        Array<String> found;
        listFiles(pattern, found, 0);
        for (int32_t i = 0; i < found.count(); ++i) files.append(found[i]);
    }
    bool fileExists(const String& path) override { return tessarin::fileExists(path); }
    String fileVersion(const String& path) override { return fileVersionText(path); }
    int64_t fileSize(const String& path) override {
        Vector<ListedFile> found;
        listEntries(path, kListNoMessagePump, found);
        return found.count() == 1 ? found[0].size : -1;
    }
    void clearAttributes(const String& path) override { clearFileAttributes(path); }
    bool deleteNow(const String& path, uint32_t& error) override {
        return done(deleteFile(path, kDeleteKeepAttributes), error);
    }
    bool deleteAtRestart(const String& path, uint32_t& error) override {
        return done(deleteFile(path, kDeleteKeepAttributes | kDeleteAtReboot), error);
    }
    String errorText(uint32_t error) override { return systemErrorText(error); }
    const ProtectedFolders& protectedFolders() override { return systemProtectedFolders(); }
    void corrupt(int code) override { raiseCorruption(code); }

  private:
    static bool done(bool ok, uint32_t& error) {
        error = ok ? 0 : GetLastError();
        return ok;
    }

    String installDir_;
};

}  // namespace

void carryOutConditionalDeletions(Vector<ConditionalDeletion>& rules, DeletionPhase phase,
                                  const String& installDir, Reporter& reporter,
                                  uint64_t& productFlags) {
    SystemConditionalDeletion system(installDir);
    carryOutConditionalDeletions(rules, phase, system, reporter, productFlags);
}

}  // namespace tessarin
