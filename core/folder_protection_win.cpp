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
using GetNamedSecurityInfoCall = DWORD(WINAPI*)(LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION,
                                                PSID*, PSID*, PACL*, PACL*, PSECURITY_DESCRIPTOR*);

struct LocalBlock {
    PSECURITY_DESCRIPTOR block = nullptr;
    ~LocalBlock() {
        if (block != nullptr) LocalFree(block);
    }
};

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

uint32_t readObjectSecurity(const String& path, ObjectSecurity& security) {
    static const auto getNamedSecurityInfo =
        systemFunction<GetNamedSecurityInfoCall>(L"advapi32.dll", "GetNamedSecurityInfoW");
    security = ObjectSecurity();
    if (getNamedSecurityInfo == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
    PSID owner = nullptr;
    PACL list = nullptr;
    LocalBlock descriptor;
    uint32_t error = getNamedSecurityInfo(win(path.w_str()), SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                          &owner, nullptr, &list, nullptr, &descriptor.block);
    if (error != ERROR_SUCCESS) return error;
    if (owner != nullptr && IsValidSid(owner)) {
        const uint8_t* bytes = static_cast<const uint8_t*>(owner);
        security.owner.assign(bytes, bytes + GetLengthSid(owner));
    }
    security.hasAccessList = list != nullptr;
    if (list != nullptr) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(list);
        security.accessList.assign(bytes, bytes + list->AclSize);
    }
    return ERROR_SUCCESS;
}

}  // namespace tessarin
