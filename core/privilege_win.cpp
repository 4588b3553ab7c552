// The security calls are looked up at run time: the oldest systems have none of them.
#include <aclapi.h>
#include <windows.h>

#include <vector>

#include "core/handle_win.h"
#include "core/privilege.h"
#include "core/system_function_win.h"
#include "core/wide_win.h"

namespace tessarin {
namespace {

using OpenProcessTokenCall = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using LookupPrivilegeValueCall = BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID);
using AdjustTokenPrivilegesCall = BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD,
                                                PTOKEN_PRIVILEGES, PDWORD);
using GetTokenInformationCall = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                              PDWORD);
using SetNamedSecurityInfoCall = DWORD(WINAPI*)(LPWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID,
                                                PSID, PACL, PACL);
using GetNamedSecurityInfoCall = DWORD(WINAPI*)(LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION,
                                                PSID*, PSID*, PACL*, PACL*, PSECURITY_DESCRIPTOR*);
using SetEntriesInAclCall = DWORD(WINAPI*)(ULONG, PEXPLICIT_ACCESS_W, PACL, PACL*);
using CheckTokenMembershipCall = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);

template <typename Function>
Function advapi(const char* name) {
    return systemFunction<Function>(L"advapi32.dll", name);
}

struct SecurityCalls {
    OpenProcessTokenCall openProcessToken = advapi<OpenProcessTokenCall>("OpenProcessToken");
    LookupPrivilegeValueCall lookupPrivilegeValue =
        advapi<LookupPrivilegeValueCall>("LookupPrivilegeValueA");
    AdjustTokenPrivilegesCall adjustTokenPrivileges =
        advapi<AdjustTokenPrivilegesCall>("AdjustTokenPrivileges");
    GetTokenInformationCall getTokenInformation =
        advapi<GetTokenInformationCall>("GetTokenInformation");
    SetNamedSecurityInfoCall setNamedSecurityInfo =
        advapi<SetNamedSecurityInfoCall>("SetNamedSecurityInfoW");
    GetNamedSecurityInfoCall getNamedSecurityInfo =
        advapi<GetNamedSecurityInfoCall>("GetNamedSecurityInfoW");
    SetEntriesInAclCall setEntriesInAcl = advapi<SetEntriesInAclCall>("SetEntriesInAclW");
    CheckTokenMembershipCall checkTokenMembership =
        advapi<CheckTokenMembershipCall>("CheckTokenMembership");
};

const SecurityCalls& calls() {
    static const SecurityCalls found;
    return found;
}

Handle processToken(DWORD access) {
    HANDLE raw = nullptr;
    if (calls().openProcessToken == nullptr ||
        !calls().openProcessToken(GetCurrentProcess(), access, &raw))
        return Handle();
    return Handle(raw);
}

// The token's user SID in a buffer that owns it; empty when the token does not say.
std::vector<unsigned char> tokenUser() {
    std::vector<unsigned char> buffer;
    Handle token = processToken(TOKEN_QUERY);
    if (!token.valid() || calls().getTokenInformation == nullptr) return buffer;
    DWORD size = 0;
    calls().getTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return buffer;
    buffer.resize(size);
    if (!calls().getTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        buffer.clear();
    return buffer;
}

// The privileges that ownership changes need, enabled for the life of the object.
class OwnershipPrivileges {
  public:
    OwnershipPrivileges() {
        setPrivilege("SeTakeOwnershipPrivilege", true);
        setPrivilege("SeRestorePrivilege", true);
    }
    ~OwnershipPrivileges() {
        setPrivilege("SeTakeOwnershipPrivilege", false);
        setPrivilege("SeRestorePrivilege", false);
    }
    OwnershipPrivileges(const OwnershipPrivileges&) = delete;
    OwnershipPrivileges& operator=(const OwnershipPrivileges&) = delete;
};

struct LocalMemory {
    HLOCAL block = nullptr;
    ~LocalMemory() {
        if (block != nullptr) LocalFree(block);
    }
};

}  // namespace

bool setPrivilege(const char* name, bool enable) {
    const SecurityCalls& c = calls();
    if (c.lookupPrivilegeValue == nullptr || c.adjustTokenPrivileges == nullptr) return false;
    Handle token = processToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    if (!token.valid()) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    if (!c.lookupPrivilegeValue(nullptr, name, &privileges.Privileges[0].Luid)) return false;
    if (!c.adjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr))
        return false;
    // Success with ERROR_NOT_ALL_ASSIGNED means the token does not hold the privilege.
    return GetLastError() == ERROR_SUCCESS;
}

// CheckTokenMembership counts a group only where it is enabled: the filtered token of an
// administrator who has not been elevated holds Administrators for denying only.
bool runsElevated() {
    if (calls().checkTokenMembership == nullptr) return false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    unsigned char buffer[SECURITY_MAX_SID_SIZE] = {};
    PSID administrators = buffer;
    if (!InitializeSid(administrators, &nt, 2)) return false;
    *GetSidSubAuthority(administrators, 0) = SECURITY_BUILTIN_DOMAIN_RID;
    *GetSidSubAuthority(administrators, 1) = DOMAIN_ALIAS_RID_ADMINS;
    BOOL member = FALSE;
    return calls().checkTokenMembership(nullptr, administrators, &member) && member;
}

std::vector<uint8_t> processUserSid() {
    std::vector<unsigned char> user = tokenUser();
    if (user.empty()) return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    const uint8_t* bytes = static_cast<const uint8_t*>(sid);
    return std::vector<uint8_t>(bytes, bytes + GetLengthSid(sid));
}

uint32_t takeOwnership(const String& path, SecuredObject kind) {
    if (calls().setNamedSecurityInfo == nullptr) return ERROR_DLL_NOT_FOUND;
    std::vector<unsigned char> user = tokenUser();
    if (user.empty()) return ERROR_NO_TOKEN;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    OwnershipPrivileges privileges;
    String name = path;  // the call takes a writable name
    return calls().setNamedSecurityInfo(win(name.wideData()), static_cast<SE_OBJECT_TYPE>(kind),
                                        OWNER_SECURITY_INFORMATION, sid, nullptr, nullptr, nullptr);
}

uint32_t grantFullAccess(const String& path, SecuredObject kind) {
    uint32_t error = takeOwnership(path, kind);
    if (error != ERROR_SUCCESS) return error;
    const SecurityCalls& c = calls();
    if (c.getNamedSecurityInfo == nullptr || c.setEntriesInAcl == nullptr)
        return ERROR_DLL_NOT_FOUND;
    SE_OBJECT_TYPE type = static_cast<SE_OBJECT_TYPE>(kind);
    PACL oldAcl = nullptr;
    LocalMemory descriptor;
    error = c.getNamedSecurityInfo(win(path), type, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                   &oldAcl, nullptr, &descriptor.block);
    if (error != ERROR_SUCCESS) return error;

    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    unsigned char everyoneBuffer[SECURITY_MAX_SID_SIZE] = {};
    PSID everyone = everyoneBuffer;
    if (!InitializeSid(everyone, &world, 1)) return GetLastError();
    *GetSidSubAuthority(everyone, 0) = SECURITY_WORLD_RID;

    EXPLICIT_ACCESS_W entry = {};
    entry.grfAccessPermissions = GENERIC_ALL;
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
    LocalMemory newAcl;
    PACL acl = nullptr;
    error = c.setEntriesInAcl(1, &entry, oldAcl, &acl);
    newAcl.block = acl;
    if (error != ERROR_SUCCESS) return error;
    String name = path;
    return c.setNamedSecurityInfo(win(name.wideData()), type, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, acl, nullptr);
}

}  // namespace tessarin
