// File-system operations against the real file system and registry of the Wine prefix.
#include "core/file_system.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/file.h"
#include "core/path.h"
#include "core/wininit.h"
#include "held_file.h"
#include "pending_operations.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;
using testing::U;

using testing::get;
using testing::HeldFile;
using testing::PendingOperations;
using testing::present;
using testing::put;
using testing::ScratchFolder;
using testing::w;

std::string narrow(const std::u16string& s) {
    String t;
    wideToPath(s.c_str(), static_cast<int32_t>(s.size()), t);
    return t.c_str();
}

std::u16string lower(std::u16string s) {
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return s;
}

std::u16string windowsFolder() {
    wchar_t buffer[MAX_PATH];
    UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    return std::u16string(reinterpret_cast<char16_t*>(buffer), n);
}

std::u16string moduleFolder() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::u16string path(reinterpret_cast<char16_t*>(buffer), n);
    return path.substr(0, path.rfind(u'\\'));
}

std::u16string shortName(const std::u16string& path) {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetShortPathNameW(w(path), buffer, MAX_PATH);
    return n ? std::u16string(reinterpret_cast<char16_t*>(buffer), n) : path;
}

// "wininit.ini" and a stand-in "wininit.exe" in the Windows folder, both put back as found.
class WininitFiles {
  public:
    WininitFiles()
        : ini_(windowsFolder() + u"\\wininit.ini"), exe_(windowsFolder() + u"\\wininit.exe") {
        hadIni_ = present(ini_);
        if (hadIni_) savedIni_ = get(ini_);
        hadExe_ = present(exe_);
    }
    ~WininitFiles() {
        if (hadIni_)
            put(ini_, savedIni_);
        else
            DeleteFileW(w(ini_));
        if (!hadExe_) DeleteFileW(w(exe_));
    }
    void provideProcessor() { ASSERT_TRUE(hadExe_ || put(exe_, "MZ")); }
    std::string ini() const { return get(ini_); }
    bool hadProcessor() const { return hadExe_; }

  private:
    std::u16string ini_, exe_;
    bool hadIni_ = false, hadExe_ = false;
    std::string savedIni_;
};

class RebootMoveOverride {
  public:
    explicit RebootMoveOverride(RebootMoveFunction move) { setRebootMove(move); }
    ~RebootMoveOverride() { resetRebootMove(); }
};

bool refusingRebootMove(const char16_t*, const char16_t*, uint32_t) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

// A version resource whose one FileVersion string holds value and says it is chars long.
std::string craftedVersionResource(const std::u16string& value, uint16_t chars) {
    struct Block {
        std::string bytes;
        void pad() {
            while (bytes.size() % 4) bytes.push_back(0);
        }
        void word(uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); }
        void text(const std::u16string& s) {
            bytes.append(reinterpret_cast<const char*>(s.data()), s.size() * 2);
        }
    };
    // wLength, wValueLength, wType, key, padding, value, padding, children.
    auto block = [](const std::u16string& key, uint16_t valueLength, uint16_t type,
                    const std::string& value, const std::string& children) {
        Block b;
        b.word(0);
        b.word(valueLength);
        b.word(type);
        b.text(key + u'\0');
        b.pad();
        b.bytes += value;
        if (!children.empty()) b.pad();
        b.bytes += children;
        uint16_t length = static_cast<uint16_t>(b.bytes.size());
        b.bytes.replace(0, 2, reinterpret_cast<const char*>(&length), 2);
        b.pad();
        return b.bytes;
    };
    std::string fixed(52, '\0');
    const uint32_t signature = 0xFEEF04BD, structVersion = 0x10000;
    fixed.replace(0, 4, reinterpret_cast<const char*>(&signature), 4);
    fixed.replace(4, 4, reinterpret_cast<const char*>(&structVersion), 4);
    const uint16_t translation[] = {0x0409, 0x04B0};
    std::string var =
        block(u"Translation", 4, 0, std::string(reinterpret_cast<const char*>(translation), 4), "");
    std::string text(reinterpret_cast<const char*>(value.data()), value.size() * 2);
    std::string strings =
        block(u"StringFileInfo", 0, 1, "",
              block(u"040904B0", 0, 1, "", block(u"FileVersion", chars, 1, text, "")));
    return block(u"VS_VERSION_INFO", 52, 0, fixed, block(u"VarFileInfo", 0, 1, "", var) + strings);
}

class FileSystemTest : public ::testing::Test {
  protected:
    ScratchFolder folder_{u"tessarin_fs_"};
    std::u16string path(const std::u16string& leaf) const { return folder_ / leaf; }
};

// ---- Temporary folder and names ----------------------------------------------------------

TEST_F(FileSystemTest, TemporaryFolderIsTheSystemsWithoutTrailingBackslash) {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    std::u16string expected(reinterpret_cast<char16_t*>(buffer), n);
    expected.pop_back();
    const String& folder = temporaryFolder();
    EXPECT_EQ(narrow(U(folder)), narrow(expected));
    EXPECT_EQ(&temporaryFolder(), &folder);  // worked out once
    EXPECT_TRUE(folderExists(folder));
}

TEST_F(FileSystemTest, TemporaryNamesAreCreatedWithThePrefixAndTheAskedExtension) {
    String plain = temporaryFileName();
    std::u16string made = U(plain);
    EXPECT_EQ(U(parentFolder(plain)), U(temporaryFolder()));
    EXPECT_EQ(U(fileName(plain)).substr(0, 3), u"OQT");
    EXPECT_EQ(made.substr(made.size() - 4), u".tmp");
    EXPECT_EQ(get(made), "");  // the system created it empty
    DeleteFileW(w(made));

    for (const char16_t* extension : {u".log", u"log"}) {
        String named = temporaryFileName(S(folder_.path()), String(extension));
        std::u16string leaf = U(fileName(named));
        EXPECT_EQ(U(parentFolder(named)), folder_.path());
        EXPECT_EQ(leaf.substr(0, 3), u"OQT");
        EXPECT_EQ(leaf.substr(leaf.size() - 4), u".log") << narrow(leaf);
        EXPECT_EQ(std::count(leaf.begin(), leaf.end(), u'.'), 1) << narrow(leaf);
        EXPECT_TRUE(present(U(named)));
        // The file the system made was renamed, not left behind.
        EXPECT_FALSE(present(U(changeExtension(named, String(u"tmp")))));
    }
}

TEST_F(FileSystemTest, TemporaryNamesCreateTheirFolder) {
    std::u16string nested = path(u"one\\two\\\u00e9t\u00e9");
    String name = temporaryFileName(S(nested));
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(U(parentFolder(name)), nested);
    EXPECT_TRUE(present(U(name)));

    put(path(u"blocker"), "x");
    EXPECT_TRUE(temporaryFileName(S(path(u"blocker")), String()).empty());
    // GetTempFileNameW cannot be made to fail under Wine (it reports a name even when it could
    // not create the file), so the generator fallback is exercised by the portable tests only.
}

TEST_F(FileSystemTest, FileObjectsUseTheTemporaryNames) {
    File f;
    ASSERT_EQ(f.open(u"txt", kFileNewTempWithExtension), kFileOk);
    String name = f.wideName();
    f.close();
    EXPECT_EQ(U(parentFolder(name)), U(temporaryFolder()));
    EXPECT_EQ(U(fileName(name)).substr(0, 3), u"OQT");
    EXPECT_EQ(U(name).substr(U(name).size() - 4), u".txt");
    DeleteFileW(w(U(name)));

    ASSERT_EQ(f.open(u"tessarin_relative.txt", kFileInTempFolder | kFileCreateAlways), kFileOk);
    EXPECT_EQ(U(f.wideName()), U(temporaryFolder()) + u"\\tessarin_relative.txt");
    f.close();
    DeleteFileW(w(U(f.wideName())));
}

// ---- Names -------------------------------------------------------------------------------

TEST_F(FileSystemTest, LongShortAndCanonicalNames) {
    std::u16string longName = path(u"A Rather Long File Name.text");
    put(longName, "x");
    String shortForm = shortPathName(S(longName));
    EXPECT_NE(U(shortForm), longName);
    EXPECT_EQ(U(shortForm), shortName(longName));
    EXPECT_EQ(lower(U(longPathName(shortForm))), lower(longName));

    String missing = S(path(u"not here at all.txt"));
    EXPECT_EQ(U(shortPathName(missing)), U(missing));
    EXPECT_EQ(U(longPathName(missing)), U(missing));

    String messy(u"C:\\a\\.\\b\\..\\c");
    EXPECT_TRUE(canonicalizePath(messy));
    EXPECT_EQ(U(messy), u"C:\\a\\c");
    EXPECT_FALSE(canonicalizePath(messy));
}

// ---- Existence and attributes ------------------------------------------------------------

TEST_F(FileSystemTest, ExistenceTests) {
    put(path(u"f.txt"), "1");
    CreateDirectoryW(w(path(u"d")), nullptr);
    String before = currentDirectory();

    EXPECT_TRUE(folderExists(S(path(u"d"))));
    EXPECT_TRUE(folderExists(S(path(u"d\\"))));
    EXPECT_FALSE(folderExists(S(path(u"f.txt"))));
    EXPECT_FALSE(folderExists(S(path(u"none"))));
    EXPECT_FALSE(folderExists(String()));
    EXPECT_EQ(U(currentDirectory()), U(before));  // the test leaves the current folder alone

    EXPECT_TRUE(fileExists(S(path(u"f.txt"))));
    EXPECT_TRUE(fileExists(S(path(u"F.TXT"))));
    EXPECT_FALSE(fileExists(S(path(u"d"))));
    EXPECT_FALSE(fileExists(S(path(u"none"))));
    EXPECT_FALSE(fileExists(S(path(u"*.txt"))));  // a pattern is not a file
    EXPECT_FALSE(fileExists(String()));

    put(path(u"g.txt"), "2");
    EXPECT_TRUE(isSameFile(S(path(u"f.txt")), S(path(u"f.txt"))));
    EXPECT_TRUE(isSameFile(S(path(u"f.txt")), S(path(u"F.txt"))));
    EXPECT_TRUE(isSameFile(S(path(u"d\\..\\f.txt")), S(path(u"f.txt"))));
    EXPECT_FALSE(isSameFile(S(path(u"f.txt")), S(path(u"g.txt"))));  // same size, other file
    EXPECT_FALSE(isSameFile(S(path(u"f.txt")), S(path(u"none"))));
}

TEST_F(FileSystemTest, Attributes) {
    String file = S(path(u"a.txt"));
    put(U(file), "x");
    EXPECT_EQ(fileAttributes(String()), kNoAttributes);
    EXPECT_EQ(fileAttributes(S(path(u"none"))), kNoAttributes);
    ASSERT_TRUE(setFileAttributes(file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(fileAttributes(file) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(clearFileAttributes(file));
    EXPECT_EQ(fileAttributes(file) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0);
    EXPECT_FALSE(setFileAttributes(S(path(u"none")), FILE_ATTRIBUTE_NORMAL));
}

// ---- Folders -----------------------------------------------------------------------------

TEST_F(FileSystemTest, CreateFolderMakesEveryMissingParent) {
    std::u16string deep = path(u"a\\b\\c\\d");
    EXPECT_TRUE(createFolder(S(deep)));
    EXPECT_TRUE(present(deep));
    EXPECT_TRUE(createFolder(S(deep)));  // already there
    EXPECT_TRUE(createFolder(S(path(u"x\\y\\"))));
    EXPECT_TRUE(present(path(u"x\\y")));

    SetLastError(0);
    EXPECT_FALSE(createFolder(String()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));

    put(path(u"file"), "x");
    EXPECT_FALSE(createFolder(S(path(u"file"))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));  // CreateDirectoryW's
    EXPECT_FALSE(createFolder(S(path(u"file\\sub"))));

    EXPECT_TRUE(createParentFolders(S(path(u"p\\q\\leaf.txt"))));
    EXPECT_TRUE(present(path(u"p\\q")));
    EXPECT_FALSE(present(path(u"p\\q\\leaf.txt")));
}

TEST_F(FileSystemTest, RemoveFolderRefusesRootsAndReportsMissingFolders) {
    for (const char16_t* root : {u"C:\\", u"c:", u"Z:\\", u"\\", u""}) {
        SetLastError(0);
        EXPECT_FALSE(removeFolder(String(root))) << narrow(root);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME)) << narrow(root);
    }
    EXPECT_TRUE(present(u"C:\\windows"));

    EXPECT_FALSE(removeFolder(S(path(u"none"))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    CreateDirectoryW(w(path(u"empty")), nullptr);
    EXPECT_TRUE(removeFolder(S(path(u"empty\\"))));
    EXPECT_FALSE(present(path(u"empty")));
}

TEST_F(FileSystemTest, RemoveFolderClearsTheShellsFilesOnlyFromOtherwiseEmptyFolders) {
    auto makeFolder = [&](const std::u16string& name, bool withOther) {
        std::u16string f = path(name);
        CreateDirectoryW(w(f), nullptr);
        put(f + u"\\Thumbs.db", "t");
        put(f + u"\\desktop.ini", "[.ShellClassInfo]");
        SetFileAttributesW(w(f + u"\\desktop.ini"),
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
        if (withOther) put(f + u"\\keep.txt", "k");
        return f;
    };
    std::u16string only = makeFolder(u"only", false);
    EXPECT_TRUE(removeFolder(S(only)));
    EXPECT_FALSE(present(only));

    std::u16string kept = makeFolder(u"kept", false);
    EXPECT_FALSE(removeFolder(S(kept), kRemoveFolderKeepShellFiles));
    EXPECT_TRUE(present(kept + u"\\desktop.ini"));

    std::u16string busy = makeFolder(u"busy", true);
    EXPECT_FALSE(removeFolder(S(busy)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_TRUE(present(busy + u"\\desktop.ini"));  // its customisation survives
    EXPECT_TRUE(present(busy + u"\\Thumbs.db"));
}

// ---- Drives and the current folder -------------------------------------------------------

TEST_F(FileSystemTest, DriveFacts) {
    EXPECT_EQ(driveKind(String(u"C:\\windows")), kDriveExists | kDriveFixed);
    EXPECT_EQ(driveKind(String(u"c:")), kDriveExists | kDriveFixed);
    EXPECT_EQ(driveKind(String(u"\\\\server\\share")), 0u);
    EXPECT_TRUE(driveExists(u'C'));
    EXPECT_TRUE(driveExists(u'c'));
    DWORD drives = GetLogicalDrives();
    char16_t unused = 0;
    for (char16_t letter = u'D'; letter <= u'Y' && !unused; ++letter)
        if (!(drives & (1u << (letter - u'A')))) unused = letter;
    ASSERT_NE(unused, 0);
    EXPECT_FALSE(driveExists(unused));
    const char16_t nowhere[] = {unused, u':', u'\\', u'x', 0};
    EXPECT_EQ(driveKind(String(nowhere)), 0u);

    int64_t cluster = clusterSize(String(u"C:\\windows"));
    EXPECT_GT(cluster, 0);
    EXPECT_EQ(cluster % 512, 0);
    EXPECT_EQ(clusterSize(String(nowhere)), -1);

    uint64_t freeBytes = 0, totalBytes = 0;
    ASSERT_TRUE(freeSpace(S(folder_.path()), freeBytes, totalBytes));
    EXPECT_GT(totalBytes, 0u);
    EXPECT_LE(freeBytes, totalBytes);
    ULARGE_INTEGER available, total;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &available, &total, nullptr));
    EXPECT_EQ(totalBytes, total.QuadPart);
    EXPECT_FALSE(freeSpace(String(nowhere), freeBytes, totalBytes));

    VolumeInformation volume;
    ASSERT_TRUE(volumeInformation(String(u"C:\\"), volume));
    EXPECT_FALSE(volume.fileSystem.empty());
    EXPECT_GT(volume.maxComponentLength, 0u);
    EXPECT_FALSE(volumeInformation(String(nowhere), volume));
}

TEST_F(FileSystemTest, CurrentDirectoryRoundTrip) {
    String before = currentDirectory();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(setCurrentDirectory(S(folder_.path())));
    EXPECT_EQ(lower(U(currentDirectory())), lower(folder_.path()));
    EXPECT_FALSE(setCurrentDirectory(S(path(u"none"))));
    ASSERT_TRUE(setCurrentDirectory(before));
}

// ---- Write and copy ----------------------------------------------------------------------

TEST_F(FileSystemTest, WriteFileCreatesOrTruncates) {
    String name = S(path(u"w.bin"));
    EXPECT_EQ(writeFile(name, "hello", 5), kFileOk);
    EXPECT_EQ(get(U(name)), "hello");
    EXPECT_EQ(writeFile(name, "hi", 2), kFileOk);
    EXPECT_EQ(get(U(name)), "hi");
    EXPECT_EQ(writeFile(name, nullptr, 10), kFileOk);
    EXPECT_EQ(get(U(name)), "");
    EXPECT_EQ(writeFile(String(), "x", 1), kFileErrorInvalidName);
    EXPECT_EQ(writeFile(S(path(u"none\\w.bin")), "x", 1), kFileErrorNoDirectory);
}

TEST_F(FileSystemTest, CopyFileWithItsOptions) {
    String source = S(path(u"src.txt"));
    String target = S(path(u"dst.txt"));
    put(U(source), "content");
    ASSERT_TRUE(copyFile(source, target));
    EXPECT_EQ(get(U(target)), "content");

    put(U(source), "changed");
    EXPECT_FALSE(copyFile(source, target, kCopyFailIfExists));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(get(U(target)), "content");
    EXPECT_FALSE(copyFile(S(path(u"none")), target));
}

TEST_F(FileSystemTest, CopyFileCanCarryTheCreationTime) {
    String source = S(path(u"src.txt"));
    put(U(source), "content");
    // An old creation time on the source shows whether it travelled.
    HANDLE h =
        CreateFileW(w(U(source)), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME old = {0x12345600, 0x01C00000};
    ASSERT_TRUE(SetFileTime(h, &old, nullptr, nullptr));
    CloseHandle(h);
    String timed = S(path(u"timed.txt"));
    ASSERT_TRUE(copyFile(source, timed, kCopyCreationTime));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(w(U(source)), GetFileExInfoStandard, &data));
    if (data.ftCreationTime.dwHighDateTime != old.dwHighDateTime)
        GTEST_SKIP() << "creation times cannot be set on this file system; only the call ran";
    ASSERT_TRUE(GetFileAttributesExW(w(U(timed)), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.ftCreationTime.dwHighDateTime, old.dwHighDateTime);
    EXPECT_EQ(data.ftCreationTime.dwLowDateTime, old.dwLowDateTime);
}

TEST_F(FileSystemTest, CopyFileCanCarryTheAccessList) {
    String source = S(path(u"secured.txt"));
    put(U(source), "x");
    // A DACL with one recognisable entry: full access for the local administrators.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins));
    EXPLICIT_ACCESSW entry = {};
    entry.grfAccessPermissions = GENERIC_ALL;
    entry.grfAccessMode = SET_ACCESS;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(admins);
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &entry, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
    std::wstring name(w(U(source)));
    DWORD set = SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    FreeSid(admins);
    ASSERT_EQ(set, static_cast<DWORD>(ERROR_SUCCESS));

    auto aceCount = [](const String& file) {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        if (GetNamedSecurityInfoW(reinterpret_cast<const wchar_t*>(file.w_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                  &sd) != ERROR_SUCCESS)
            return -1;
        int n = dacl ? dacl->AceCount : 0;
        LocalFree(sd);
        return n;
    };
    String target = S(path(u"copied.txt"));
    ASSERT_TRUE(copyFile(source, target, kCopyAccessList));
    if (aceCount(source) != 1)
        GTEST_SKIP() << "this prefix does not keep a file's DACL; only the calls ran";
    EXPECT_EQ(aceCount(target), 1);
}

// ---- Delete ------------------------------------------------------------------------------

TEST_F(FileSystemTest, DeleteMissingFiles) {
    SetLastError(0);
    EXPECT_FALSE(deleteFile(S(path(u"none.txt"))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(deleteFile(S(path(u"none.txt")), kDeleteMissingIsDeleted));
    EXPECT_FALSE(deleteFile(S(path(u"none\\x.txt"))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(deleteFile(S(path(u"none\\x.txt")), kDeleteMissingIsDeleted));
    // A missing file is not scheduled for the restart.
    EXPECT_FALSE(deleteFile(S(path(u"none.txt")), kDeleteRebootFallback));
    EXPECT_FALSE(deleteFile(String(), kDeleteMissingIsDeleted));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(FileSystemTest, DeleteOnlyIfEmptyAndReadOnlyFiles) {
    std::u16string full = path(u"full.txt"), empty = path(u"empty.txt");
    put(full, "data");
    put(empty, "");
    EXPECT_FALSE(deleteFile(S(full), kDeleteOnlyIfEmpty));
    EXPECT_EQ(get(full), "data");
    EXPECT_TRUE(deleteFile(S(empty), kDeleteOnlyIfEmpty));
    EXPECT_FALSE(present(empty));

    SetFileAttributesW(w(full), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(deleteFile(S(full), kDeleteKeepAttributes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(present(full));
    EXPECT_TRUE(deleteFile(S(full)));
    EXPECT_FALSE(present(full));
}

// Wine's recycle bin is the desktop trash under XDG_DATA_HOME (the harness points it into the
// build tree); as a Windows path on drive Z:, or empty when it is not set.
std::u16string wineTrashFiles() {
    wchar_t unix[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"XDG_DATA_HOME", unix, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || unix[0] != L'/') return u"";
    std::u16string path = u"Z:" + std::u16string(reinterpret_cast<char16_t*>(unix), n);
    std::replace(path.begin(), path.end(), u'/', u'\\');
    return path + u"\\Trash\\files";
}

TEST_F(FileSystemTest, DeleteToTheRecycleBin) {
    std::u16string leaf =
        u"recycled " +
        std::u16string(reinterpret_cast<const char16_t*>(std::to_wstring(GetTickCount()).c_str())) +
        u".txt";
    std::u16string file = path(leaf);
    put(file, "x");
    EXPECT_TRUE(deleteFile(S(file), kDeleteToRecycleBin));
    EXPECT_FALSE(present(file));
    std::u16string trash = wineTrashFiles();
    if (!trash.empty()) {
        EXPECT_EQ(get(trash + u"\\" + leaf), "x");  // kept, not destroyed
    }
    put(file, "y");
    EXPECT_TRUE(deleteToRecycleBin(S(file)));
    EXPECT_FALSE(present(file));
    EXPECT_FALSE(deleteToRecycleBin(String()));
}

TEST_F(FileSystemTest, DeletionOfALockedFileFallsBackToTheRestart) {
    PendingOperations pending;
    std::u16string file = path(u"locked.dll");
    put(file, "code");
    HeldFile holder(file);
    ASSERT_TRUE(holder.ready());

    EXPECT_FALSE(deleteFile(S(file)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(PendingOperations::holds(file, u""));

    EXPECT_TRUE(deleteFile(S(file), kDeleteRebootFallback));
    EXPECT_TRUE(present(file));
    EXPECT_TRUE(PendingOperations::holds(file, u""));
}

TEST_F(FileSystemTest, DeletionAtTheRestartIsOnlyScheduled) {
    PendingOperations pending;
    std::u16string file = path(u"later.txt");
    put(file, "x");
    EXPECT_TRUE(deleteFile(S(file), kDeleteAtReboot));
    EXPECT_EQ(get(file), "x");
    EXPECT_TRUE(PendingOperations::holds(file, u""));
}

// ---- Move --------------------------------------------------------------------------------

TEST_F(FileSystemTest, MoveReplacesTheTargetUnlessTold) {
    std::u16string a = path(u"a.txt"), b = path(u"b.txt");
    put(a, "A");
    put(b, "B");
    SetFileAttributesW(w(b), FILE_ATTRIBUTE_READONLY);

    EXPECT_FALSE(moveFile(S(a), S(b), kMoveFailIfExists));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_FALSE(moveFile(S(a), S(b), kMoveRefuseReadOnlyTarget));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(get(a), "A");
    EXPECT_EQ(get(b), "B");

    EXPECT_TRUE(moveFile(S(a), S(b)));  // the read-only target goes
    EXPECT_FALSE(present(a));
    EXPECT_EQ(get(b), "A");
}

// A move that fails keeps the file it would have replaced.
TEST_F(FileSystemTest, AFailedMoveKeepsTheTarget) {
    std::u16string a = path(u"held.txt"), b = path(u"kept.txt");
    put(a, "new");
    put(b, "old");
    HeldFile held(a);
    ASSERT_TRUE(held.ready());
    EXPECT_FALSE(moveFile(S(a), S(b)));
    held.release();
    EXPECT_EQ(get(b), "old");
    EXPECT_EQ(get(a), "new");
}

TEST_F(FileSystemTest, MoveOptions) {
    std::u16string a = path(u"a.txt");
    put(a, "A");
    EXPECT_FALSE(moveFile(S(a), S(path(u"absent.txt")), kMoveTargetMustExist));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    put(path(u"there.txt"), "T");
    EXPECT_TRUE(moveFile(S(a), S(path(u"there.txt")), kMoveTargetMustExist));
    EXPECT_EQ(get(path(u"there.txt")), "A");

    put(a, "A2");
    EXPECT_FALSE(moveFile(S(a), S(path(u"new\\deep\\a.txt"))));
    EXPECT_TRUE(moveFile(S(a), S(path(u"new\\deep\\a.txt")), kMoveCreateFolders));
    EXPECT_EQ(get(path(u"new\\deep\\a.txt")), "A2");

    CreateDirectoryW(w(path(u"into")), nullptr);
    EXPECT_TRUE(moveFile(S(path(u"new\\deep\\a.txt")), S(path(u"into")), kMoveIntoFolder));
    EXPECT_EQ(get(path(u"into\\a.txt")), "A2");

    EXPECT_TRUE(moveFile(S(path(u"into\\a.txt")), String(u"renamed.txt"), kMoveRelativeToSource));
    EXPECT_EQ(get(path(u"into\\renamed.txt")), "A2");
    EXPECT_TRUE(
        moveFile(S(path(u"into\\renamed.txt")), String(u"..\\up.txt"), kMoveRelativeToSource));
    EXPECT_EQ(get(path(u"up.txt")), "A2");

    EXPECT_FALSE(moveFile(S(path(u"none.txt")), S(path(u"x.txt"))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(moveFile(String(), S(path(u"x.txt"))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(moveFile(S(path(u"up.txt")), String()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(FileSystemTest, MoveOntoItselfKeepsTheFile) {
    std::u16string a = path(u"Self.txt");
    put(a, "me");
    SetLastError(ERROR_BUSY);
    EXPECT_TRUE(moveFile(S(a), S(a)));
    EXPECT_FALSE(movedAtReboot());  // no stale reboot signal after a move done now
    EXPECT_EQ(get(a), "me");
    EXPECT_TRUE(moveFile(S(a), S(path(u"self.txt"))));  // another name of the same file
    EXPECT_EQ(get(path(u"self.txt")), "me");
    EXPECT_TRUE(moveFile(S(path(u"self.txt")), S(shortName(path(u"self.txt")))));
    EXPECT_EQ(get(path(u"self.txt")), "me");
}

// Telling two names of one file apart needs no read access: a file that nobody may read (here:
// held open without read sharing) must not be deleted as the "other" target of a move.
TEST_F(FileSystemTest, MoveOntoAnotherNameOfAnUnreadableFileKeepsIt) {
    std::u16string lower = path(u"kept.txt"), upper = path(u"KEPT.TXT");
    put(lower, "data");
    HANDLE noReaders = CreateFileW(w(lower), GENERIC_WRITE, FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(noReaders, INVALID_HANDLE_VALUE);
    ASSERT_EQ(CreateFileW(w(lower), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_TRUE(isSameFile(S(lower), S(upper)));
    moveFile(S(lower), S(upper));
    CloseHandle(noReaders);
    EXPECT_EQ(get(lower), "data");
}

TEST_F(FileSystemTest, MoveOntoALockedFileWaitsForTheRestart) {
    PendingOperations pending;
    std::u16string replacement = path(u"new.dll"), target = path(u"in use.dll");
    put(replacement, "new");
    put(target, "old");
    HeldFile holder(target);
    ASSERT_TRUE(holder.ready());

    EXPECT_FALSE(moveFile(S(replacement), S(target)));  // cannot delete the locked target
    EXPECT_EQ(get(replacement), "new");

    SetLastError(0);
    EXPECT_TRUE(moveFile(S(replacement), S(target), kMoveAtReboot));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_TRUE(movedAtReboot());
    EXPECT_EQ(get(replacement), "new");  // nothing moves before the restart
    EXPECT_TRUE(PendingOperations::holds(replacement, target));
}

// ---- The "wininit.ini" route -------------------------------------------------------------

TEST_F(FileSystemTest, WithoutTheDelayFlagReplacementsGoToWininit) {
    PendingOperations pending;
    WininitFiles wininit;
    RebootMoveOverride oldSystem(nullptr);
    std::u16string source = path(u"source file.tmp"), target = path(u"target.dll"),
                   doomed = path(u"doomed.txt");
    put(source, "s");
    put(target, "t");
    put(doomed, "d");

    SetLastError(0);
    EXPECT_TRUE(moveFile(S(source), S(target), kMoveAtReboot));
    EXPECT_TRUE(movedAtReboot());
    EXPECT_TRUE(deleteFile(S(doomed), kDeleteAtReboot));
    std::string ini = wininit.ini();
    size_t section = ini.find("[rename]\r\n");
    ASSERT_NE(section, std::string::npos) << ini;
    std::string expected = "[rename]\r\nNUL=" + narrow(shortName(doomed)) + "\r\n" +
                           narrow(shortName(target)) + "=" + narrow(shortName(source));
    EXPECT_EQ(ini.substr(section), expected);
    EXPECT_EQ(get(target), "t");
    EXPECT_FALSE(PendingOperations::holds(source, target));
}

TEST_F(FileSystemTest, AFailedDelayedMoveUsesWininitOnlyWhereItsProcessorExists) {
    PendingOperations pending;
    WininitFiles wininit;
    RebootMoveOverride refusing(refusingRebootMove);
    std::u16string source = path(u"s.tmp"), target = path(u"t.dll");
    put(source, "s");
    if (!wininit.hadProcessor()) {
        // The wininit.exe of current systems lives in the system folder and reads no
        // "wininit.ini": it must not count.
        wchar_t system[MAX_PATH];
        UINT n = GetSystemDirectoryW(system, MAX_PATH);
        std::u16string current =
            std::u16string(reinterpret_cast<char16_t*>(system), n) + u"\\wininit.exe";
        bool made = !present(current) && put(current, "MZ");
        EXPECT_FALSE(moveFile(S(source), S(target), kMoveAtReboot));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(deleteFile(S(source), kDeleteAtReboot));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(wininit.ini().find(narrow(shortName(source))), std::string::npos);
        if (made) DeleteFileW(w(current));
    }
    wininit.provideProcessor();
    EXPECT_TRUE(moveFile(S(source), S(target), kMoveAtReboot));
    EXPECT_TRUE(movedAtReboot());
    EXPECT_TRUE(deleteFile(S(source), kDeleteAtReboot));
    std::string ini = wininit.ini();
    EXPECT_NE(ini.find("NUL=" + narrow(shortName(source)) + "\r\n" + narrow(target) + "="),
              std::string::npos)
        << ini;
}

TEST_F(FileSystemTest, ScheduleWininitRenameAppendsToAnExistingFile) {
    WininitFiles wininit;
    std::u16string ini = windowsFolder() + u"\\wininit.ini";
    put(ini, "[boot]\r\nx=1");
    EXPECT_TRUE(scheduleWininitRename("NUL", "C:\\A.TXT"));
    EXPECT_TRUE(scheduleWininitRename("C:\\B.DLL", "C:\\B.TMP"));
    EXPECT_EQ(wininit.ini(), "[boot]\r\nx=1\r\n[rename]\r\nC:\\B.DLL=C:\\B.TMP\r\nNUL=C:\\A.TXT");
    EXPECT_FALSE(scheduleWininitRename("", "C:\\A.TXT"));
    EXPECT_FALSE(scheduleWininitRename("NUL", nullptr));
}

// ---- Versions ----------------------------------------------------------------------------

// The stub of this build tree: the product (32-bit) or its 64-bit build.
std::u16string treeStub() {
    return moduleFolder() +
           (sizeof(void*) == 8 ? u"\\tessarin-setup64.exe" : u"\\tessarin-setup.exe");
}

TEST_F(FileSystemTest, FileVersionTexts) {
    String setup = S(treeStub());
    ASSERT_TRUE(present(U(setup)));
    EXPECT_STREQ(fileVersionText(setup).c_str(), "37.0.2");
    EXPECT_STREQ(fileVersionText(setup, true).c_str(), "0000000037.0000000000.0000000002");

    String system = S(windowsFolder() + u"\\system32\\kernel32.dll");
    std::string version = fileVersionText(system).c_str();
    ASSERT_FALSE(version.empty());
    EXPECT_TRUE(version[0] >= '0' && version[0] <= '9') << version;
    EXPECT_EQ(version.find_first_of(" ,\t\r\n"), std::string::npos) << version;

    put(path(u"plain.exe"), "MZ");
    EXPECT_STREQ(fileVersionText(S(path(u"plain.exe"))).c_str(), "");
    EXPECT_STREQ(fileVersionText(S(path(u"none.exe"))).c_str(), "");
}

// A FileVersion value whose stated length ends before its terminator: the text is taken at
// the stated length, never read on into what follows it.
TEST_F(FileSystemTest, FileVersionTextKeepsToTheLengthTheResourceGives) {
    std::u16string product = path(u"crafted.exe");
    ASSERT_TRUE(CopyFileW(w(treeStub()), w(product), FALSE));
    // "1.2" is stated; "99" follows it before the terminator.
    std::string resource = craftedVersionResource(u"1.299", 3);
    HANDLE update = BeginUpdateResourceW(w(product), TRUE);
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(16) /* RT_VERSION */, MAKEINTRESOURCEW(1),
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), resource.data(),
                                static_cast<DWORD>(resource.size())));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
    EXPECT_STREQ(fileVersionText(S(product)).c_str(), "1.2");
}

// ---- Paths of MAX_PATH and more ----------------------------------------------------------

TEST_F(FileSystemTest, PathsBeyondMaxPath) {
    std::u16string deep = folder_.path();
    while (deep.size() < MAX_PATH + 40) deep += u"\\a folder name of some length";
    ASSERT_TRUE(createFolder(S(deep)));
    EXPECT_TRUE(folderExists(S(deep)));
    EXPECT_TRUE(folderExists(S(deep + u"\\..\\.")));
    std::u16string file = deep + u"\\file.txt", moved = deep + u"\\moved.txt";
    EXPECT_EQ(writeFile(S(file), "deep", 4), kFileOk);
    EXPECT_TRUE(fileExists(S(file)));
    EXPECT_FALSE(folderExists(S(file)));
    EXPECT_NE(fileAttributes(S(file)), kNoAttributes);
    EXPECT_TRUE(copyFile(S(file), S(moved)));
    EXPECT_TRUE(moveFile(S(file), S(moved)));
    EXPECT_FALSE(fileExists(S(file)));
    EXPECT_EQ(get(testing::anyLength(moved)), "deep");
    EXPECT_TRUE(deleteFile(S(moved)));
    EXPECT_FALSE(fileExists(S(moved)));
    for (std::u16string f = deep; f.size() > folder_.path().size(); f = f.substr(0, f.rfind(u'\\')))
        EXPECT_TRUE(removeFolder(S(f))) << f.size();
    EXPECT_FALSE(folderExists(S(deep)));
}

// ---- Names beyond ASCII ------------------------------------------------------------------

TEST_F(FileSystemTest, NonAsciiNamesThroughTheWrappers) {
    std::u16string folder = path(u"\u65e5\u672c\\\u00dcbung");
    ASSERT_TRUE(createFolder(S(folder)));
    EXPECT_TRUE(folderExists(S(folder)));
    std::u16string file = folder + u"\\\u0444\u0430\u0439\u043b \u00e9.txt";
    EXPECT_EQ(writeFile(S(file), "data", 4), kFileOk);
    EXPECT_TRUE(fileExists(S(file)));
    std::u16string moved = folder + u"\\\u03b1\u03b2\u03b3.txt";
    EXPECT_TRUE(moveFile(S(file), S(moved)));
    EXPECT_EQ(get(moved), "data");
    EXPECT_TRUE(copyFile(S(moved), S(file)));
    EXPECT_TRUE(isSameFile(S(moved), S(moved)));
    EXPECT_FALSE(isSameFile(S(moved), S(file)));  // a copy is another file
    String temp = temporaryFileName(S(folder), String(u"\u00e9xt"));
    EXPECT_EQ(U(parentFolder(temp)), folder);
    EXPECT_TRUE(present(U(temp)));
    EXPECT_TRUE(deleteFile(S(moved)));
    EXPECT_TRUE(deleteFile(S(file)));
    EXPECT_TRUE(deleteFile(temp));
    EXPECT_TRUE(removeFolder(S(folder)));
    EXPECT_FALSE(present(folder));
}

}  // namespace
}  // namespace tessarin
