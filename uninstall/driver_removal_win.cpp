// The running system's side of the driver package removal.
#include <windows.h>

#include "core/crash_guard.h"
#include "core/file_system.h"
#include "core/system_error.h"
#include "core/system_function_win.h"
#include "uninstall/driver_removal.h"

namespace tessarin {
namespace {

using UninstallOemInf = BOOL(WINAPI*)(const wchar_t* infName, DWORD flags, void* reserved);
constexpr DWORD kForceDelete = 1;  // SUOI_FORCEDELETE: also while devices still use the driver

UninstallOemInf uninstallFunction() {
    static const UninstallOemInf function =
        systemFunction<UninstallOemInf>(L"setupapi.dll", "SetupUninstallOEMInfW");
    return function;
}

struct UninstallCall {
    const String* infName;
    bool removed = false;
    DWORD error = 0;
};

class RunningSystem : public DriverRemovalSystem {
  public:
    bool available() override { return uninstallFunction() != nullptr; }

    void clearAttributes(const String& path) override { clearFileAttributes(path); }

    DriverRemovalResult uninstall(const String& infName, uint32_t& error) override {
        UninstallCall call{&infName};
        bool finished = runGuarded(
            [](void* context) {
                auto* c = static_cast<UninstallCall*>(context);
                c->removed =
                    uninstallFunction()(reinterpret_cast<const wchar_t*>(c->infName->w_str()),
                                        kForceDelete, nullptr) != FALSE;
                if (!c->removed) c->error = GetLastError();
            },
            &call);
        if (!finished) return DriverRemovalResult::Crashed;
        error = call.error;
        return call.removed ? DriverRemovalResult::Removed : DriverRemovalResult::Failed;
    }

    String errorText(uint32_t code) override { return systemErrorText(code); }
};

}  // namespace

void RemoveDriverPackages(const Vector<String>& infPaths, Reporter& reporter) {
    RunningSystem system;
    removeDriverPackages(infPaths, system, reporter);
}

}  // namespace tessarin
