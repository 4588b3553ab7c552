// The security call is looked up at run time: the oldest systems have none.
#include <aclapi.h>
#include <windows.h>

#include "core/folder_protection.h"
#include "core/system_function_win.h"
#include "core/wide_win.h"

namespace tessarin {
namespace {

using SetNamedSecurityInfoCall = DWORD(WINAPI*)(LPWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID,
                                                PSID, PACL, PACL);

}  // namespace

// PROTECTED_DACL_SECURITY_INFORMATION also drops the entries the folder inherited so far, and
// the new entries flow down to the files already inside.
uint32_t protectUninstallFolder(const String& folder) {
    static const auto setNamedSecurityInfo =
        systemFunction<SetNamedSecurityInfoCall>(L"advapi32.dll", "SetNamedSecurityInfoW");
    if (setNamedSecurityInfo == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
    std::vector<uint8_t> acl = accessListBytes(uninstallFolderEntries());
    if (acl.empty() || !IsValidAcl(reinterpret_cast<PACL>(acl.data()))) return ERROR_INVALID_ACL;
    String name = folder;  // the call takes a writable name
    return setNamedSecurityInfo(win(name.wideData()), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, reinterpret_cast<PACL>(acl.data()), nullptr);
}

}  // namespace tessarin
