#include <windows.h>

#include "actions/pre_install.h"
#include "actions/rollback.h"
#include "actions/shared_files.h"
#include "core/convert.h"
#include "core/file_system.h"
#include "core/registry.h"
#include "core/system_error.h"
#include "package/install_script.h"

namespace tessarin {

namespace {

// The counts in the registry view the installer runs in.
class RegistryCounts : public SharedFileCounts {
  public:
    // A system without counts yet has no key (a new Wine prefix has none in one view, and many
    // Windows installations none in the 32-bit view): it is made, with the system's default
    // security, like every key Windows keeps there.
    bool open() override {
        return key_.open(kHkeyLocalMachine, kSharedDllsKey, kRegNoSecurity,
                         kRegAccessWriteValues) != kRegOpenFailed;
    }

    bool counted(const String& path) override {
        if (path.get(0) == '|') {
            String wide;
            pathToWide(path.c_str(), path.length(), wide);
            return static_cast<int32_t>(key_.readNumber(wide.w_str(), 0)) > 0;
        }
        return static_cast<int32_t>(key_.readNumber(path.c_str(), 0)) > 0;
    }

    bool increment(const String& path, String& errorText) override {
        bool ok;
        if (path.get(0) == '|') {
            // Names outside the system code page go through the UTF-16 calls.
            String wide;
            pathToWide(path.c_str(), path.length(), wide);
            ok = key_.writeNumber(wide.w_str(), key_.readNumber(wide.w_str(), 0) + 1);
        } else {
            ok = key_.writeNumber(path.c_str(), key_.readNumber(path.c_str(), 0) + 1);
        }
        if (!ok) errorText = systemErrorText(GetLastError());
        return ok;
    }

    // Down by one; at zero the value goes, as when no product had counted the file.
    void takeBack(const String& path) {
        String wide;
        const bool narrowForm = path.get(0) == '|';
        if (narrowForm) pathToWide(path.c_str(), path.length(), wide);
        uint32_t count =
            narrowForm ? key_.readNumber(wide.w_str(), 0) : key_.readNumber(path.c_str(), 0);
        if (static_cast<int32_t>(count) > 1) {
            if (narrowForm) {
                key_.writeNumber(wide.w_str(), count - 1);
            } else {
                key_.writeNumber(path.c_str(), count - 1);
            }
        } else if (narrowForm) {
            key_.deleteValue(wide.w_str());
        } else {
            key_.deleteValue(path.c_str());
        }
    }

    void close() override { key_.closeAll(); }

  private:
    RegistryKey key_;
};

}  // namespace

void CountSharedFiles() {
    String& text = sharedFilesText();
    text.clear();
    if (!sharedFilesCounted(installScript().ProductFlags,
                            onPortableDrive(installScript().InstallDir)))
        return;
    RegistryCounts counts;
    text = countSharedFiles(sharedFileList(), preInstallState().previousSharedFiles, counts,
                            &installRollback().raisedCounts);
}

void TakeBackSharedFileCounts(const Vector<String>& paths) {
    RegistryCounts counts;
    if (!counts.open()) return;
    for (int32_t i = 0; i < paths.count(); ++i) counts.takeBack(paths[i]);
    counts.close();
}

}  // namespace tessarin
