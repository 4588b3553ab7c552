// The access list that keeps the uninstall folder out of ordinary users' hands: the files there
// (the uninstall data, the log, the uninstaller copy) steer a later uninstallation that an
// administrator runs, so nobody but administrators and the system may change them, whatever
// the folder above allows. The list is built here as the system's own binary form, so that it
// is checked natively; protectUninstallFolder (folder_protection_win.cpp) puts it on a folder.
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

namespace tessarin {

// Access masks of folder entries: every file right, and read with execute (list, traverse).
constexpr uint32_t kFileFullControl = 0x001F01FF;  // FILE_ALL_ACCESS
constexpr uint32_t kFileReadExecute = 0x001200A9;  // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE

// Inheritance of an entry by files (0x1) and folders (0x2) below.
constexpr uint8_t kInheritedByFilesAndFolders = 0x1 | 0x2;

struct AccessEntry {
    const char* sid;  // a well-known account in its text form, "S-1-5-18"
    uint32_t rights;
    uint8_t inheritance;
};

// Administrators and the system with full control, users with read and execute; each inherited
// by everything below.
const std::vector<AccessEntry>& uninstallFolderEntries();
// Administrators and the system with full control, nobody else; inherited by everything below.
// A private working folder that an elevated process makes inside a folder every user may write
// to (the system's temporary folder) gets this list, so that no user can put or change anything
// in it.
const std::vector<AccessEntry>& privateFolderEntries();

// The binary form of a SID text ("S-1-5-32-544"); empty when the text is not one.
std::vector<uint8_t> sidBytes(const char* text);

// An access list (revision 2) that allows each entry in turn; empty when a SID is malformed or
// the list would not fit its 16-bit size.
std::vector<uint8_t> accessListBytes(const std::vector<AccessEntry>& entries);

// Puts uninstallFolderEntries() on the folder as its whole access list, marked protected so that
// nothing is inherited from the folder above. A Windows error code, 0 on success.
uint32_t protectUninstallFolder(const String& folder);

// ---- Who may change a file or folder -------------------------------------------------------

// The owner and the access list of a file or folder in the system's binary forms, as the
// security descriptor holds them.
struct ObjectSecurity {
    std::vector<uint8_t> owner;       // a SID; empty when the object names none
    bool hasAccessList = false;       // no list at all allows everyone everything
    std::vector<uint8_t> accessList;  // the whole list, header included
};

// The accounts an elevated program may take a file's word from: administrators, the system,
// the installer service, and the account the program runs as (ownSid, binary; may be empty).
bool isTrustedChanger(const std::vector<uint8_t>& sid, const std::vector<uint8_t>& ownSid);

// Whether nobody but trusted changers can change the object: one of them owns it (an owner may
// always rewrite the list) and no entry of its list that applies to it allows anyone else to
// write, append, delete, or change its attributes, list or owner. A damaged list counts as
// open.
bool changeableOnlyByTrusted(const ObjectSecurity& security, const std::vector<uint8_t>& ownSid);

// The Windows side: the owner and access list of the file or folder at path. A Windows error
// code, 0 on success.
uint32_t readObjectSecurity(const String& path, ObjectSecurity& security);

}  // namespace tessarin
