// Reading a registry key's access list back in tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tessarin::testing {

// Whether the access list of a key has an entry that allows Everyone every key right.
inline bool everyoneHasFullAccess(HKEY root, const std::u16string& path, REGSAM view = 0) {
    HKEY key;
    if (RegOpenKeyExW(root, reinterpret_cast<const wchar_t*>(path.c_str()), 0, READ_CONTROL | view,
                      &key) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> buffer(4096);
    DWORD bytes = static_cast<DWORD>(buffer.size());
    LONG r = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer.data(), &bytes);
    RegCloseKey(key);
    BOOL present = FALSE, defaulted = FALSE;
    ACL* acl = nullptr;
    if (r != ERROR_SUCCESS ||
        !GetSecurityDescriptorDacl(buffer.data(), &present, &acl, &defaulted) || !present ||
        acl == nullptr)
        return false;
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidBytes = sizeof everyone;
    CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidBytes);
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            EqualSid(&allowed->SidStart, everyone) &&
            (allowed->Mask & KEY_ALL_ACCESS) == KEY_ALL_ACCESS)
            return true;
    }
    return false;
}

}  // namespace tessarin::testing
