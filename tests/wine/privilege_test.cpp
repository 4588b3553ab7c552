// Privileges, ownership and access lists in the Wine prefix, and shutdown requests through the
// seam (the session is never ended).
#include "core/privilege.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/shutdown.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;

using testing::put;
using testing::ScratchFolder;
using testing::w;

// Whether the privilege is enabled in the process token, read from the token itself.
bool privilegeEnabled(const wchar_t* name) {
    LUID luid;
    if (!LookupPrivilegeValueW(nullptr, name, &luid)) return false;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    bool enabled = false;
    if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
        auto* list = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < list->PrivilegeCount; ++i) {
            const LUID& l = list->Privileges[i].Luid;
            if (l.LowPart == luid.LowPart && l.HighPart == luid.HighPart)
                enabled = (list->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    CloseHandle(token);
    return enabled;
}

TEST(Privilege, EnableAndDisable) {
    ASSERT_TRUE(setPrivilege("SeBackupPrivilege", true));
    EXPECT_TRUE(privilegeEnabled(L"SeBackupPrivilege"));
    ASSERT_TRUE(setPrivilege("SeBackupPrivilege", false));
    EXPECT_FALSE(privilegeEnabled(L"SeBackupPrivilege"));
    EXPECT_FALSE(setPrivilege("SeNoSuchPrivilege", true));
}

std::vector<unsigned char> tokenUserSid() {
    HANDLE token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    return std::vector<unsigned char>(static_cast<unsigned char*>(sid),
                                      static_cast<unsigned char*>(sid) + GetLengthSid(sid));
}

// The object's owner and whether its access list allows everything to Everyone.
struct Security {
    std::vector<unsigned char> owner;
    bool everyoneAll = false;
    DWORD everyoneFlags = 0;
};

Security readSecurity(const std::u16string& name, SE_OBJECT_TYPE type) {
    Security result;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(w(name), type, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return result;
    if (owner != nullptr)
        result.owner.assign(static_cast<unsigned char*>(owner),
                            static_cast<unsigned char*>(owner) + GetLengthSid(owner));
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        if (!EqualSid(&ace->SidStart, everyone)) continue;
        // GENERIC_ALL is stored as it is or mapped to the object's full rights.
        if (ace->Mask == GENERIC_ALL || ace->Mask == FILE_ALL_ACCESS ||
            ace->Mask == KEY_ALL_ACCESS) {
            result.everyoneAll = true;
            result.everyoneFlags = ace->Header.AceFlags;
        }
    }
    FreeSid(everyone);
    LocalFree(descriptor);
    return result;
}

TEST(Ownership, TakeOwnershipAndGrantFullAccessOnAKey) {
    const wchar_t* keyName = L"Software\\TessarinOwnershipTest";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    std::u16string name = u"CURRENT_USER\\Software\\TessarinOwnershipTest";
    EXPECT_EQ(takeOwnership(S(name), SecuredObject::RegistryKey), 0u);
    EXPECT_EQ(readSecurity(name, SE_REGISTRY_KEY).owner, tokenUserSid());
    EXPECT_FALSE(readSecurity(name, SE_REGISTRY_KEY).everyoneAll);

    EXPECT_EQ(grantFullAccess(S(name), SecuredObject::RegistryKey), 0u);
    Security after = readSecurity(name, SE_REGISTRY_KEY);
    EXPECT_TRUE(after.everyoneAll);
    EXPECT_EQ(after.everyoneFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
              static_cast<DWORD>(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE));
    // The privileges used on the way are off again.
    EXPECT_FALSE(privilegeEnabled(L"SeRestorePrivilege"));
    RegDeleteKeyW(HKEY_CURRENT_USER, keyName);
}

TEST(Ownership, MissingObjectGivesTheSystemError) {
    ScratchFolder scratch(u"tessarin-owner-");
    EXPECT_NE(takeOwnership(S(scratch / u"missing.txt"), SecuredObject::File), 0u);
    EXPECT_NE(grantFullAccess(S(scratch / u"missing.txt"), SecuredObject::File), 0u);
}

// ---- Shutdown ----------------------------------------------------------------------------

struct Request {
    std::string call;
    uint32_t flags;
    uint32_t reason;
    bool privilegeOn;
};
std::vector<Request> requests;

bool recordExit(uint32_t flags, uint32_t reason) {
    requests.push_back({"exit", flags, reason, privilegeEnabled(L"SeShutdownPrivilege")});
    SetLastError(ERROR_NOT_READY);
    return false;
}

bool recordSuspend(bool hibernate, bool force, bool disableWake) {
    uint32_t flags = (hibernate ? 1u : 0u) | (force ? 2u : 0u) | (disableWake ? 4u : 0u);
    requests.push_back({"suspend", flags, 0, false});
    return true;
}

class Shutdown : public ::testing::Test {
  protected:
    void SetUp() override {
        requests.clear();
        ShutdownCalls recorder;
        recorder.exitWindows = recordExit;
        recorder.suspend = recordSuspend;
        saved_ = setShutdownCalls(recorder);
    }
    void TearDown() override { setShutdownCalls(saved_); }
    ShutdownCalls saved_;
};

TEST_F(Shutdown, RequestsReachTheSeamWithTheirFlags) {
    EXPECT_FALSE(shutDown(kShutdownRestart, kShutdownForce, 0x80020003));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_TRUE(shutDown(kShutdownHibernate, kShutdownNoWakeEvents, 0));
    EXPECT_FALSE(shutDown(kShutdownRestart + 40, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(shutDown(kShutdownRestartApps, 0, 0));

    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].call, "exit");
    EXPECT_EQ(requests[0].flags, static_cast<uint32_t>(EWX_REBOOT | EWX_FORCE));
    EXPECT_EQ(requests[0].reason, 0x80020003u);
    EXPECT_TRUE(requests[0].privilegeOn);
    EXPECT_EQ(requests[1].call, "suspend");
    EXPECT_EQ(requests[1].flags, 1u | 4u);
    // Wine reports a system of the NT family from version 6 on.
    EXPECT_EQ(requests[2].flags, static_cast<uint32_t>(EWX_RESTARTAPPS | EWX_FORCEIFHUNG));
    EXPECT_FALSE(privilegeEnabled(L"SeShutdownPrivilege"));
}

TEST(ShutdownSeam, TheSystemCallsAreInstalledByDefault) {
    ShutdownCalls system = systemShutdownCalls();
    ShutdownCalls previous = setShutdownCalls(system);
    EXPECT_EQ(previous.exitWindows, system.exitWindows);
    EXPECT_EQ(previous.suspend, system.suspend);
}

}  // namespace
}  // namespace tessarin
