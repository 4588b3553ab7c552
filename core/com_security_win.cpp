#include <aclapi.h>
#include <objbase.h>
#include <windows.h>

#include "core/com_security.h"
#include "core/format.h"
#include "core/system_error.h"

namespace tessarin {
namespace {

struct Account {
    WELL_KNOWN_SID_TYPE type;
    const char* failure;
};

constexpr Account kAccounts[] = {
    {WinBuiltinAdministratorsSid, "Unable to create admin SID."},
    {WinLocalServiceSid, "Unable to create local service SID."},
    {WinNetworkServiceSid, "Unable to create network service SID."},
    {WinSelfSid, "Unable to create self SID."},
    {WinLocalSystemSid, "Unable to create local system SID."},
};
constexpr int kAccountCount = sizeof kAccounts / sizeof kAccounts[0];
constexpr DWORD kComRightsExecute = 1;       // COM_RIGHTS_EXECUTE
constexpr DWORD kComRightsExecuteLocal = 2;  // COM_RIGHTS_EXECUTE_LOCAL

struct Sid {
    unsigned char bytes[SECURITY_MAX_SID_SIZE] = {};
    PSID get() { return bytes; }
};

class LocalAcl {
  public:
    LocalAcl() = default;
    LocalAcl(const LocalAcl&) = delete;
    LocalAcl& operator=(const LocalAcl&) = delete;
    ~LocalAcl() {
        if (acl_ != nullptr) LocalFree(acl_);
    }
    PACL get() const { return acl_; }
    PACL* out() { return &acl_; }

  private:
    PACL acl_ = nullptr;
};

bool fail(String& message, const char* text) {
    message.assign(text);
    return false;
}

}  // namespace

bool initializeComSecurity(String& message) {
    Sid sids[kAccountCount];
    EXPLICIT_ACCESS_W entries[kAccountCount] = {};
    for (int i = 0; i < kAccountCount; ++i) {
        DWORD size = SECURITY_MAX_SID_SIZE;
        if (!CreateWellKnownSid(kAccounts[i].type, nullptr, sids[i].get(), &size))
            return fail(message, kAccounts[i].failure);
        EXPLICIT_ACCESS_W& entry = entries[i];
        entry.grfAccessPermissions = kComRightsExecute | kComRightsExecuteLocal;
        entry.grfAccessMode = SET_ACCESS;
        entry.grfInheritance = NO_INHERITANCE;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
        entry.Trustee.ptstrName = static_cast<LPWSTR>(sids[i].get());
    }
    LocalAcl acl;
    if (SetEntriesInAclW(kAccountCount, entries, nullptr, acl.out()) != ERROR_SUCCESS)
        return fail(message, "Unable to create ACL.");

    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION))
        return fail(message, "Unable to create security descriptor.");
    PSID administrators = sids[0].get();
    if (!SetSecurityDescriptorOwner(&descriptor, administrators, FALSE))
        return fail(message, "Unable to set owner.");
    if (!SetSecurityDescriptorGroup(&descriptor, administrators, FALSE))
        return fail(message, "Unable to set group.");
    if (!SetSecurityDescriptorDacl(&descriptor, TRUE, acl.get(), FALSE))
        return fail(message, "Unable to set ACL.");

    HRESULT result = CoInitializeSecurity(
        &descriptor, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IDENTIFY,
        nullptr, EOAC_DISABLE_AAA | EOAC_NO_CUSTOM_MARSHAL, nullptr);
    if (FAILED(result)) {
        uint32_t code = static_cast<uint32_t>(result);
        formatAssign(message, "Error 0x%08X: %s", code, systemErrorText8(code).c_str());
        return false;
    }
    message.clear();
    return true;
}

}  // namespace tessarin
