// Shell change notifications; SHChangeNotify is looked up once, so systems without it skip
// them.
#include <shlobj.h>
#include <windows.h>

#include "core/convert.h"
#include "core/shell_notify.h"
#include "core/special_folders.h"
#include "core/system_function_win.h"

namespace tessarin {
namespace {

using ChangeNotifyFunction = void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID);

ChangeNotifyFunction changeNotify() {
    static const ChangeNotifyFunction function =
        systemFunction<ChangeNotifyFunction>(L"shell32.dll", "SHChangeNotify");
    return function;
}

}  // namespace

void notifyAssociationsChanged() {
    if (auto f = changeNotify()) f(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void notifyFolderUpdated(const String& path) {
    auto f = changeNotify();
    if (!f || path.empty()) return;
    String narrow;
    toNarrow(path.w_str(), path.wideLength(), narrow, kCodePageSystem, "?");
    f(SHCNE_UPDATEDIR, SHCNF_PATHA, narrow.c_str(), nullptr);
}

void notifyDesktopUpdated(bool allUsers) {
    notifyFolderUpdated(
        specialFolder(allUsers ? SpecialFolder::DesktopAllUsers : SpecialFolder::Desktop));
}

}  // namespace tessarin
