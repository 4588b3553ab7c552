// The running system's side of the MSI package removal.
#include <windows.h>

#include "core/crash_guard.h"
#include "core/system_error.h"
#include "core/system_function_win.h"
#include "uninstall/msi_removal.h"

namespace tessarin {
namespace {

using SetInternalUi = int(WINAPI*)(int level, HWND* window);
using InstallProduct = UINT(WINAPI*)(const wchar_t* package, const wchar_t* commandLine);

struct MsiCall {
    const String* path;
    int32_t level;
    InstallProduct install;
    SetInternalUi setUi;
    uint32_t result = kMsiCrashed;
};

class RunningSystem : public MsiSystem {
  public:
    uint32_t uninstall(const String& path, int32_t uiLevel) override {
        static const InstallProduct install =
            systemFunction<InstallProduct>(L"msi.dll", "MsiInstallProductW");
        static const SetInternalUi setUi =
            systemFunction<SetInternalUi>(L"msi.dll", "MsiSetInternalUI");
        if (install == nullptr) return kMsiLibraryMissing;
        MsiCall call{&path, uiLevel, install, setUi};
        // A crash inside the MSI library leaves the result at kMsiCrashed.
        runGuarded(
            [](void* context) {
                auto* c = static_cast<MsiCall*>(context);
                if (c->setUi != nullptr) c->setUi(c->level, nullptr);
                c->result = c->install(reinterpret_cast<const wchar_t*>(c->path->w_str()),
                                       reinterpret_cast<const wchar_t*>(kMsiRemoveCommand));
            },
            &call);
        return call.result;
    }

    String errorText(uint32_t code) override { return systemErrorText8(code); }
};

}  // namespace

void RemoveMsiPackages(Vector<String>& lines, bool silent, Reporter& reporter) {
    RunningSystem system;
    removeMsiPackages(lines, silent, system, reporter);
}

}  // namespace tessarin
