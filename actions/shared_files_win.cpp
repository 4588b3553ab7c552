#include <windows.h>

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
    text = countSharedFiles(sharedFileList(), counts);
}

}  // namespace tessarin
