// The script reader's environment on Windows: the command line as parsed at start-up, the
// system's folders and facts through the core library, and the installer's own modules.
#include "core/os_info.h"
#include "core/special_folders.h"
#include "core/wow64.h"
#include "package/install_script.h"
#include "package/script_reader.h"
#include "services/path_variables.h"
#include "services/setup_state.h"
#include "setup/script_environment.h"
#include "setup/script_hooks.h"

namespace tessarin {
namespace {

class SystemScriptEnvironment final : public ScriptEnvironment {
  public:
    explicit SystemScriptEnvironment(Payload& payload) : payload_(payload) {}

    bool silentMode() const override { return setupState().SilentMode; }
    bool startMinimized() const override { return setupState().options.StartMinimized; }
    String productNameOverride() const override {
        const CommandLineOptions& o = setupState().options;
        return o.hasProductName ? o.ProductName : String();
    }
    String installDirOverride() const override {
        const CommandLineOptions& o = setupState().options;
        return o.hasInstallDir ? o.InstallDir : String();
    }
    void setAutomaticMode(bool on) override { setupState().AutomaticMode = on; }

    const OsRecord& os() const override { return osRecord(); }
    String windowsFolder() const override { return tessarin::windowsFolder(); }
    String programFilesFolder(bool for64BitProduct) const override {
        return tessarin::programFilesFolder(for64BitProduct ? kBitnessSelector64
                                                            : kBitnessSelector32);
    }
    String desktopFolder(bool allUsers) const override {
        return specialFolder(allUsers ? SpecialFolder::DesktopAllUsers : SpecialFolder::Desktop);
    }
    void expandPathVariables(String& text) const override { tessarin::expandPathVariables(text); }

    bool disableFileSystemRedirection(void*& oldValue) override {
        return tessarin::disableFileSystemRedirection(oldValue);
    }
    void createBackgroundWindow(bool minimized) override {
        showBackgroundWindowFromScript(minimized);
    }
    void backgroundAppearanceRead() override { applyScriptToBackgroundWindow(); }
    void startNetworking() override { tessarin::startNetworking(); }
    void notifyLaunch(const String& address) override { queueLaunchNotification(address); }
    void prepareUninstallerImage(const InstallScript& script) override {
        PrepareUninstallerImage(payload_, (script.ProductFlags & kFlagsCheckImage) != 0);
    }
    void raiseCorruption(int code) override { tessarin::raiseCorruption(code); }

  private:
    Payload& payload_;
};

}  // namespace

void LoadInstallScript(Payload& payload) {
    SystemScriptEnvironment env(payload);
    ScriptSource source;
    source.bytes = payload.script.bytes();
    source.size = static_cast<size_t>(payload.script.length());
    source.scriptCheck = payload.header.ScriptCheck;
    source.productFlags2 = payload.header.ProductFlags2;
    ReadInstallScript(source, env, installScript());
}

}  // namespace tessarin
