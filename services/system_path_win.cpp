// The running system's side of the PATH edit.
#include "core/environment.h"
#include "core/file_system.h"
#include "core/registry.h"
#include "services/system_path.h"

namespace tessarin {
namespace {

constexpr const char16_t* kEnvironmentKey =
    u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

class MachineEnvironment : public SystemPathAccess {
  public:
    bool readPath(String& path) override {
        if (!key_.open(kHkeyLocalMachine, kEnvironmentKey, kRegOpenExisting, kRegAccessWriteValues))
            return false;
        path = key_.readText(u"Path");
        return true;
    }
    bool writePath(const String& path) override {
        return key_.writeText(u"Path", path, kRegExpandable);
    }
    bool folderExists(const String& folder) override { return tessarin::folderExists(folder); }
    void announceChange() override { broadcastEnvironmentChange(); }

  private:
    RegistryKey key_;
};

}  // namespace

void AddToSystemPath(bool add, const String& subfolder, const String& installDir,
                     Reporter& reporter) {
    MachineEnvironment environment;
    editSystemPath(add, subfolder, installDir, environment, reporter);
}

}  // namespace tessarin
