// Privileges of the process token, and ownership and access of files, folders and registry
// keys. Implemented for Windows only (privilege_win.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

namespace tessarin {

// Enables or disables a named privilege ("SeShutdownPrivilege", ...) in the process token.
// False when the token cannot be opened, the name is unknown or the token lacks the privilege.
bool setPrivilege(const char* name, bool enable);

// Whether the process runs with an administrator's rights: its token holds the enabled
// Administrators group (an elevated administrator, or the system account). False on systems
// without the call (which have no access lists to protect either).
bool runsElevated();
// The binary SID of the account the process runs as; empty when the token does not say.
std::vector<uint8_t> processUserSid();

// Kinds of secured objects (SE_OBJECT_TYPE). Registry keys are named "MACHINE\...",
// "CURRENT_USER\..." and so on.
enum class SecuredObject : uint32_t {
    File = 1,         // SE_FILE_OBJECT: files and folders
    RegistryKey = 4,  // SE_REGISTRY_KEY
};

// Makes the process token's user the owner of the object; a Windows error code (0 on success,
// ERROR_NO_TOKEN when the user is not known, ERROR_DLL_NOT_FOUND without the security calls).
uint32_t takeOwnership(const String& path, SecuredObject kind);
// Takes ownership, then adds an entry allowing everything to Everyone, inherited by objects
// and containers below. A Windows error code.
uint32_t grantFullAccess(const String& path, SecuredObject kind);

}  // namespace tessarin
