#include "uninstall/driver_removal.h"

#include "core/convert.h"
#include "core/format.h"
#include "core/path.h"

namespace tessarin {

void removeDriverPackages(const Vector<String>& infPaths, DriverRemovalSystem& system,
                          Reporter& reporter) {
    bool any = false;
    for (int32_t i = 0; i < infPaths.count() && !any; ++i) any = !infPaths[i].empty();
    if (!any) return;
    if (!system.available()) {
        reporter.log(String(kDriverRemovalUnavailable));
        return;
    }
    for (int32_t i = 0; i < infPaths.count(); ++i) {
        if (infPaths[i].empty()) continue;
        String path;
        pathToWide(infPaths[i].c_str(), infPaths[i].length(), path);
        String text = formatWide(u"Uninstalling driver \"%s\"...", path.w_str());
        // The setup API takes the bare name and looks for it in the system's INF folder only;
        // a read-only file there would survive the forced deletion.
        system.clearAttributes(path);
        uint32_t error = 0;
        switch (system.uninstall(fileName(path), error)) {
            case DriverRemovalResult::Removed:
                text.appendWide(u"OK\r\n");
                break;
            case DriverRemovalResult::Failed:
                formatAppendWide(text, u"FAILED!  Code 0x%08X: %s\r\n", error,
                                 system.errorText(error).w_str());
                break;
            case DriverRemovalResult::Crashed:
                text.appendWide(u"CRASHED!\r\n");
                break;
        }
        reporter.log(text);
    }
}

}  // namespace tessarin
