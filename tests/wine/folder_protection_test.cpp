// The uninstall folder's access list put on a real folder and read back from the prefix.
//
// Wine never enforces a file's access list: every process of the prefix runs as the same Unix
// user. Nor does Wine keep the list (only Wine Staging stores it): it reports one derived from
// the Unix mode (the system, the Unix user, Everyone), and a list without an entry for Everyone
// or the owner leaves that mode as it was. What Wine shows is that the call succeeds and leaves
// the folder usable, and that the list handed over is the one the system's own calls build; the
// list on the folder is compared where the prefix keeps it (on Windows).
#include "core/folder_protection.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

#include "core/file_system.h"
#include "core/privilege.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;

using testing::put;
using testing::ScratchFolder;
using testing::w;

struct Entry {
    std::wstring sid;
    DWORD mask;
    BYTE type;
    BYTE flags;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << std::string(e.sid.begin(), e.sid.end()) << " mask 0x" << std::hex << e.mask
               << " type " << int(e.type) << " flags 0x" << int(e.flags) << std::dec;
}

struct AccessList {
    bool read = false;
    bool isProtected = false;
    std::vector<Entry> entries;
};

// The folder's access list as the system reports it, independently of the code under test.
AccessList readAccessList(const std::u16string& path) {
    AccessList result;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(w(path), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return result;
    result.read = true;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    result.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
        wchar_t* text = nullptr;
        ConvertSidToStringSidW(&ace->SidStart, &text);
        result.entries.push_back(
            {text != nullptr ? text : L"?", ace->Mask, ace->Header.AceType, ace->Header.AceFlags});
        LocalFree(text);
    }
    LocalFree(descriptor);
    return result;
}

bool allowsEveryone(const AccessList& list) {
    for (const Entry& e : list.entries)
        if (e.sid == L"S-1-1-0") return true;
    return false;
}

const BYTE kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// Whether this prefix keeps the access list that is put on a folder (Wine does not, see above).
bool prefixKeepsFolderLists(const std::u16string& folder) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidBytes = sizeof sid;
    CreateWellKnownSid(WinBuiltinGuestsSid, nullptr, sid, &sidBytes);
    BYTE buffer[64];
    ACL* acl = reinterpret_cast<ACL*>(buffer);
    InitializeAcl(acl, sizeof buffer, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ, sid);
    std::wstring name(w(folder));
    if (SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, acl, nullptr) != ERROR_SUCCESS)
        return false;
    AccessList back = readAccessList(folder);
    return back.entries.size() == 1 && back.entries[0].sid == L"S-1-5-32-546";
}

#define SKIP_UNLESS_LISTS_ARE_KEPT(scratch)                                                   \
    if (!prefixKeepsFolderLists(scratch / u"probe"))                                          \
    GTEST_SKIP() << "this prefix keeps no access list on folders (Wine derives one from the " \
                    "Unix mode), so the protected list cannot be read back"

// The install folder open to everyone, as its option makes it, and the uninstall folder below.
// Wine does not enforce the list either way: every process of the prefix is the same Unix user.
TEST(FolderProtectionOnDisk, UninstallFolderBelowAnOpenedFolderKeepsItsOwnList) {
    ScratchFolder scratch(u"tessarin-protect-");
    std::u16string installDir = scratch / u"Product";
    std::u16string uninstallDir = installDir + u"\\uninstall";
    ASSERT_TRUE(CreateDirectoryW(w(scratch / u"probe"), nullptr));
    ASSERT_TRUE(CreateDirectoryW(w(installDir), nullptr));
    ASSERT_EQ(grantFullAccess(S(installDir), SecuredObject::File), 0u);
    ASSERT_TRUE(CreateDirectoryW(w(uninstallDir), nullptr));

    ASSERT_EQ(protectUninstallFolder(S(uninstallDir)), 0u);
    // The folder stays usable by the installer that protected it.
    ASSERT_TRUE(put(uninstallDir + u"\\Uninstall.DAT", "data"));
    EXPECT_EQ(testing::get(uninstallDir + u"\\Uninstall.DAT"), "data");
    SKIP_UNLESS_LISTS_ARE_KEPT(scratch);

    EXPECT_TRUE(allowsEveryone(readAccessList(installDir)));
    AccessList list = readAccessList(uninstallDir);
    ASSERT_TRUE(list.read);
    EXPECT_TRUE(list.isProtected);
    const std::vector<Entry> expected = {
        {L"S-1-5-32-544", FILE_ALL_ACCESS, ACCESS_ALLOWED_ACE_TYPE, kInherit},
        {L"S-1-5-18", FILE_ALL_ACCESS, ACCESS_ALLOWED_ACE_TYPE, kInherit},
        {L"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, ACCESS_ALLOWED_ACE_TYPE,
         kInherit},
    };
    EXPECT_EQ(list.entries, expected);
    // The file written inside inherits the same three entries, and nothing for Everyone.
    AccessList file = readAccessList(uninstallDir + u"\\Uninstall.DAT");
    EXPECT_FALSE(allowsEveryone(file));
    EXPECT_EQ(file.entries.size(), 3u);
    for (const Entry& e : file.entries) EXPECT_TRUE(e.flags & INHERITED_ACE) << e;
}

// The list handed to the system is the one the system's own calls build from its well-known
// accounts: this holds in any prefix, whether or not it keeps the list afterwards.
TEST(FolderProtectionOnDisk, ListEqualsTheOneTheSystemBuilds) {
    BYTE buffer[256];
    ACL* acl = reinterpret_cast<ACL*>(buffer);
    ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
    const std::pair<WELL_KNOWN_SID_TYPE, DWORD> accounts[] = {
        {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
        {WinLocalSystemSid, FILE_ALL_ACCESS},
        {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE},
    };
    for (const auto& [type, mask] : accounts) {
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD sidBytes = sizeof sid;
        ASSERT_TRUE(CreateWellKnownSid(type, nullptr, sid, &sidBytes));
        ASSERT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, kInherit, mask, sid));
    }
    ACL_SIZE_INFORMATION size = {};
    ASSERT_TRUE(GetAclInformation(acl, &size, sizeof size, AclSizeInformation));
    acl->AclSize = static_cast<WORD>(size.AclBytesInUse);
    std::vector<uint8_t> built = accessListBytes(uninstallFolderEntries());
    ASSERT_TRUE(IsValidAcl(reinterpret_cast<ACL*>(built.data())));
    EXPECT_EQ(built, std::vector<uint8_t>(buffer, buffer + size.AclBytesInUse));
}

uint64_t playedNames() {
    static uint64_t next = 0;
    return ++next % 3;  // 1, 2, 0, 1, ...
}

// A name that is taken, by a file or by a folder someone else made, is never used: the next one
// drawn is. What Wine cannot show is the folder's list (see above); the test prefix runs as an
// administrator, so the list is the private one there.
TEST(FolderProtectionOnDisk, PrivateFolderNeverTakesAnEntryThatExists) {
    ScratchFolder scratch(u"tessarin-private-");
    const std::u16string file = scratch / u"TSN0000000000000001";
    const std::u16string folder = scratch / u"TSN0000000000000002";
    ASSERT_TRUE(put(file, "someone else's"));
    ASSERT_TRUE(CreateDirectoryW(w(folder), nullptr));
    ASSERT_TRUE(put(folder + u"\\inside.txt", "theirs"));
    PrivateNameSource previous = setPrivateNameSource(playedNames);
    String made = createPrivateFolder(S(scratch.path()));
    setPrivateNameSource(previous);
    EXPECT_EQ(testing::U(made), scratch / u"TSN0000000000000000");
    EXPECT_EQ(GetFileAttributesW(w(testing::U(made))) & FILE_ATTRIBUTE_DIRECTORY,
              DWORD{FILE_ATTRIBUTE_DIRECTORY});
    EXPECT_EQ(testing::get(file), "someone else's");
    EXPECT_EQ(testing::get(folder + u"\\inside.txt"), "theirs");
    // Two calls never share a folder.
    String other = createPrivateFolder(S(scratch.path()));
    EXPECT_FALSE(other.empty());
    EXPECT_NE(testing::U(other), testing::U(made));
    ASSERT_TRUE(CreateDirectoryW(w(scratch / u"probe"), nullptr));
    SKIP_UNLESS_LISTS_ARE_KEPT(scratch);
    AccessList list = readAccessList(testing::U(made));
    EXPECT_TRUE(list.isProtected);
    const std::vector<Entry> expected = {
        {L"S-1-5-32-544", FILE_ALL_ACCESS, ACCESS_ALLOWED_ACE_TYPE, kInherit},
        {L"S-1-5-18", FILE_ALL_ACCESS, ACCESS_ALLOWED_ACE_TYPE, kInherit},
    };
    EXPECT_EQ(list.entries, expected);
}

TEST(FolderProtectionOnDisk, MissingFolderGivesTheSystemError) {
    ScratchFolder scratch(u"tessarin-protect-missing-");
    EXPECT_EQ(protectUninstallFolder(S(scratch / u"absent")), DWORD(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace tessarin
