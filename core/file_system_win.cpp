// Names, folders, attributes, drives and the temporary folder.
#include "core/file_system_win.h"

#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "core/chars.h"
#include "core/convert.h"
#include "core/file_system.h"
#include "core/folder_protection.h"
#include "core/handle_win.h"
#include "core/path.h"
#include "core/special_folders.h"
#include "core/system_function_win.h"

namespace tessarin {

using fs_detail::LastErrorKeeper;
using fs_detail::systemPath;

namespace fs_detail {

String ansiText(const String& path) {
    String narrow;
    toNarrow(path.w_str(), path.wideLength(), narrow, kCodePageSystem, "?");
    return narrow;
}

}  // namespace fs_detail

namespace {

constexpr int kSystemTempNameAttempts = 100;
constexpr int32_t kCanonicalBufferBytes = 64000;

// A root keeps its backslash: "C:" alone would mean the drive's current directory.
void dropTrailingBackslash(String& folder) {
    if (folder.wideLength() > 3) folder.removeBackWideChar(u'\\');
}

String computeTemporaryFolder() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buffer);
    if (n > 0 && n < MAX_PATH) {
        String folder(reinterpret_cast<const char16_t*>(buffer), static_cast<int32_t>(n));
        dropTrailingBackslash(folder);
        if (folderExists(folder)) return folder;
    }
    String windows = windowsFolder();
    if (!windows.empty()) {
        String folder = joinPath(windows, String(u"temp"));
        if (folderExists(folder)) return folder;
    }
    String folder(u"c:\\temp");
    createFolder(folder);
    return folder;
}

class SystemTempNames : public TempNameSystem {
  public:
    bool nameTaken(const String& path) override {
        return GetFileAttributesW(win(path)) != INVALID_FILE_ATTRIBUTES;
    }
    String temporaryFolder() override { return tessarin::temporaryFolder(); }
    bool createFolder(const String& path) override { return tessarin::createFolder(path); }
};

// GetTempFileNameW: creates an empty, uniquely named file in folder.
bool systemTempName(const String& folder, String& name) {
    wchar_t buffer[MAX_PATH];
    if (GetTempFileNameW(win(folder), L"OQT", 0, buffer) == 0) return false;
    name.assignWide(reinterpret_cast<const char16_t*>(buffer));
    return true;
}

bool truncateFile(const String& path) {
    Handle h(CreateFileW(win(path), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    return h.valid();
}

// ---- Private folders ----

constexpr int kPrivateFolderAttempts = 100;

using GenerateRandomCall = BOOLEAN(WINAPI*)(PVOID, ULONG);
using CheckTokenMembershipCall = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
using SetDescriptorControlCall = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL,
                                               SECURITY_DESCRIPTOR_CONTROL);

// The system's cryptographic generator (RtlGenRandom); where it is missing, the clock, the
// process and a count, mixed: still not a name another user can work out ahead.
uint64_t systemRandomName() {
    static const auto generate =
        systemFunction<GenerateRandomCall>(L"advapi32.dll", "SystemFunction036");
    uint64_t value = 0;
    if (generate != nullptr && generate(&value, sizeof value)) return value;
    static std::atomic<uint64_t> count{0};
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    uint64_t x = static_cast<uint64_t>(counter.QuadPart) ^
                 (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount() ^
                 (++count * 0x9E3779B97F4A7C15ull);
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::atomic<PrivateNameSource> privateNameSource{systemRandomName};

// Whether the process token holds the Administrators group enabled (elevated, or the system).
// False where the system has no such check (Windows 9x knows no access lists).
bool runsAsAdministrator() {
    static const auto check =
        systemFunction<CheckTokenMembershipCall>(L"advapi32.dll", "CheckTokenMembership");
    if (check == nullptr) return false;
    std::vector<uint8_t> administrators = sidBytes("S-1-5-32-544");
    BOOL member = FALSE;
    return check(nullptr, administrators.data(), &member) && member;
}

// CreateDirectoryW with the private list as the folder's whole, protected access list: the
// folder never exists with the entries of the shared folder above, not even for a moment.
bool createRestrictedFolder(const String& path, std::vector<uint8_t>& acl) {
    static const auto setControl =
        systemFunction<SetDescriptorControlCall>(L"advapi32.dll", "SetSecurityDescriptorControl");
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE))
        return false;
    if (setControl != nullptr && !setControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    return CreateDirectoryW(systemPath(path), &attributes) != 0;
}

using PathQuery = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

String queryPathName(PathQuery query, const String& path) {
    if (path.empty()) return path;
    DWORD size = static_cast<DWORD>(std::max(MAX_PATH, 2 * path.wideLength()));
    for (int round = 0; round < 2; ++round) {
        std::vector<wchar_t> buffer(size);
        DWORD n = query(win(path), buffer.data(), size);
        if (n == 0) return path;
        if (n < size)
            return String(reinterpret_cast<const char16_t*>(buffer.data()),
                          static_cast<int32_t>(n));
        size = n + 1;  // the system asked for more room
    }
    return path;
}

// Reading the file's identity needs no access to its data: a file whose reading is denied, or
// that another program holds without sharing reading, still shows who it is.
Handle openForIdentity(const String& path) {
    return Handle(CreateFileW(systemPath(path), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The folder holds nothing but the files the shell leaves behind (or nothing at all).
bool holdsOnlyShellFiles(const String& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(systemPath(joinPath(folder, String(u"*"))), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool only = true;
    do {
        const char16_t* name = reinterpret_cast<const char16_t*>(found.cFileName);
        bool dots = name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
        if (!dots && !isShellFolderFile(name)) only = false;
    } while (only && FindNextFileW(search, &found));
    FindClose(search);
    return only;
}

// "X:\" for a drive letter, in 8-bit text for the "A" calls.
String letterRoot(char16_t letter) {
    const char root[] = {static_cast<char>(letter), ':', '\\', 0};
    return String(root);
}

// "X:\" for a drive letter, "\\server\share\" for a network path, empty otherwise (the
// system then uses the current drive). In the ANSI code page for the "A" calls.
String driveRoot(const String& path) {
    const char16_t* p = path.w_str();
    if (isAsciiLetter(p[0]) && p[1] == u':') return letterRoot(p[0]);
    if (p[0] == u'\\' && p[1] == u'\\') {
        int32_t slashes = 0, end = 2;
        for (; end < path.wideLength(); ++end) {
            if (p[end] == u'\\' && ++slashes == 2) break;
        }
        String root(p, end);
        root.appendWideChar(u'\\');
        return fs_detail::ansiText(root);
    }
    return String();
}

const char* rootArgument(const String& root) {
    return root.empty() ? nullptr : root.c_str();
}

uint32_t kindOfDriveType(UINT type) {
    switch (type) {
        case DRIVE_REMOVABLE:
            return kDriveExists | kDriveRemovable;
        case DRIVE_FIXED:
            return kDriveExists | kDriveFixed;
        case DRIVE_REMOTE:
            return kDriveExists | kDriveNetwork;
        case DRIVE_CDROM:
            return kDriveExists | kDriveRemovable | kDriveOptical;
        case DRIVE_RAMDISK:
            return kDriveExists | kDriveRamDisk;
        default:
            return 0;
    }
}

using DiskFreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

DiskFreeSpaceEx diskFreeSpaceEx() {
    static const DiskFreeSpaceEx function =
        systemFunction<DiskFreeSpaceEx>(L"kernel32.dll", "GetDiskFreeSpaceExA");
    return function;
}

}  // namespace

// ---- Temporary folder and names ----------------------------------------------------------

const String& temporaryFolder() {
    static const String folder = computeTemporaryFolder();
    return folder;
}

String temporaryFileName(const String& folder, const String& extension, uint32_t options) {
    String where = folder;
    if (where.empty()) {
        where = temporaryFolder();
    } else if (!createFolder(where)) {
        return String();
    }
    String ext = tempNameExtension(extension);
    String kept;  // the last file made whose rename failed
    for (int attempt = 0; attempt < kSystemTempNameAttempts; ++attempt) {
        String made;
        if (!systemTempName(where, made)) {
            LastErrorKeeper keep;  // a failed fallback reports why the system made no name
            SystemTempNames system;
            return generatedTempName(system, where, ext, options);
        }
        if (ext.empty()) return made;
        String renamed = changeExtension(made, ext);
        if (MoveFileW(win(made), win(renamed))) return renamed;
        LastErrorKeeper keep;
        if (!kept.empty()) DeleteFileW(win(kept));
        kept = made;
    }
    truncateFile(kept);
    return kept;
}

// CreateDirectoryW fails on any entry of the name (a file, a folder, a link): only a folder
// this call made is returned.
String createPrivateFolder(const String& parent) {
    String where = parent.empty() ? temporaryFolder() : parent;
    bool restricted = runsAsAdministrator();
    std::vector<uint8_t> acl;
    if (restricted) {
        acl = accessListBytes(privateFolderEntries());
        if (acl.empty() || !IsValidAcl(reinterpret_cast<PACL>(acl.data()))) {
            SetLastError(ERROR_INVALID_ACL);
            return String();
        }
    }
    for (int attempt = 0; attempt < kPrivateFolderAttempts; ++attempt) {
        String path = joinPath(where, privateFolderName(privateNameSource.load()()));
        bool made = restricted ? createRestrictedFolder(path, acl)
                               : CreateDirectoryW(systemPath(path), nullptr) != 0;
        if (made) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return String();
    }
    return String();
}

// ---- Names -------------------------------------------------------------------------------

String longPathName(const String& path) {
    return queryPathName(GetLongPathNameW, path);
}

String shortPathName(const String& path) {
    return queryPathName(GetShortPathNameW, path);
}

bool canonicalizePath(String& path) {
    std::vector<wchar_t> buffer(kCanonicalBufferBytes / sizeof(wchar_t));
    if (!PathCanonicalizeW(buffer.data(), win(path))) return false;
    String result(reinterpret_cast<const char16_t*>(buffer.data()));
    if (result == path) return false;
    path = std::move(result);
    return true;
}

// ---- Existence, attributes, folders -------------------------------------------------------

// The attributes answer for folders of any depth and leave the process's current directory
// alone; access denied still proves the folder is there.
bool folderExists(const String& path) {
    if (path.empty()) return false;
    DWORD attributes = GetFileAttributesW(systemPath(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_ACCESS_DENIED;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
    SetLastError(ERROR_DIRECTORY);
    return false;
}

// FindFirstFileW also sees files that are open without any sharing (GetFileAttributesW may
// not), but it would take a wildcard for a name.
bool fileExists(const String& path) {
    if (path.empty()) return false;
    if (hasWildcard(path)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(systemPath(path), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool isSameFile(const String& a, const String& b) {
    if (a == b) return true;
    Handle first = openForIdentity(a);
    Handle second = openForIdentity(b);
    if (!first.valid() || !second.valid()) return false;
    BY_HANDLE_FILE_INFORMATION x, y;
    if (!GetFileInformationByHandle(first.get(), &x) ||
        !GetFileInformationByHandle(second.get(), &y))
        return false;
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow &&
           x.nFileSizeHigh == y.nFileSizeHigh && x.nFileSizeLow == y.nFileSizeLow;
}

int32_t fileAttributes(const String& path) {
    if (path.empty()) return kNoAttributes;
    DWORD attributes = GetFileAttributesW(systemPath(path));
    return attributes == INVALID_FILE_ATTRIBUTES ? kNoAttributes : static_cast<int32_t>(attributes);
}

bool setFileAttributes(const String& path, uint32_t attributes) {
    return SetFileAttributesW(systemPath(path), attributes) != 0;
}

bool clearFileAttributes(const String& path) {
    return setFileAttributes(path, FILE_ATTRIBUTE_NORMAL);
}

// Missing parents are created from the top down; a parent of three characters or fewer (a
// root) is never created.
bool createFolder(const String& path) {
    if (path.empty()) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    if (folderExists(path)) return true;
    std::vector<String> missing{path};
    for (String child = path;;) {
        String parent = parentFolder(child);
        if (parent == child || parent.wideLength() <= 3 || folderExists(parent)) break;
        missing.push_back(parent);
        child = std::move(parent);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        CreateDirectoryW(systemPath(*folder), nullptr);
        LastErrorKeeper keep;
        if (!folderExists(*folder)) return false;
    }
    return true;
}

bool createParentFolders(const String& path) {
    return createFolder(parentFolder(path));
}

// The shell's files are only deleted when nothing else keeps the folder: otherwise the
// removal would fail anyway and the folder would have lost its customisation.
bool removeFolder(const String& path, uint32_t options) {
    if (path.wideLength() <= 3) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    String folder = path;
    folder.removeBackWideChar(u'\\');
    // Most folders are empty by now and go at the first try; only a folder that refuses is
    // looked into, and its shell files are deleted when they are all that keeps it.
    if (RemoveDirectoryW(systemPath(folder))) return true;
    DWORD error = GetLastError();
    if (error == ERROR_DIR_NOT_EMPTY && !(options & kRemoveFolderKeepShellFiles) &&
        holdsOnlyShellFiles(path)) {
        deleteFile(joinPath(path, String(u"thumbs.db")), kDeleteMissingIsDeleted);
        deleteFile(joinPath(path, String(u"desktop.ini")), kDeleteMissingIsDeleted);
        if (RemoveDirectoryW(systemPath(folder))) return true;
        error = GetLastError();
    }
    SetLastError(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
    return false;
}

// ---- Drives ------------------------------------------------------------------------------

uint32_t driveKind(const String& path) {
    char16_t letter = path.getWide(0);
    if (!isAsciiLetter(letter)) return 0;
    return kindOfDriveType(GetDriveTypeA(letterRoot(letter).c_str()));
}

bool driveExists(char16_t letter) {
    if (!isAsciiLetter(letter)) return false;
    return GetDriveTypeA(letterRoot(letter).c_str()) != DRIVE_NO_ROOT_DIR;
}

int64_t clusterSize(const String& path) {
    String root = driveRoot(path);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(rootArgument(root), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &clusters))
        return -1;
    return static_cast<int64_t>(sectorsPerCluster) * bytesPerSector;
}

bool freeSpace(const String& path, uint64_t& freeBytes, uint64_t& totalBytes) {
    String root = driveRoot(path);
    if (DiskFreeSpaceEx query = diskFreeSpaceEx()) {
        ULARGE_INTEGER available, total, free;
        if (query(rootArgument(root), &available, &total, &free)) {
            freeBytes = available.QuadPart;
            totalBytes = total.QuadPart;
            return true;
        }
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(rootArgument(root), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &clusters))
        return false;
    uint64_t cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    freeBytes = cluster * freeClusters;
    totalBytes = cluster * clusters;
    return true;
}

bool volumeInformation(const String& path, VolumeInformation& info) {
    String root = driveRoot(path);
    char name[MAX_PATH + 1] = {};
    char fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0, maxComponent = 0, flags = 0;
    if (!GetVolumeInformationA(rootArgument(root), name, sizeof name, &serial, &maxComponent,
                               &flags, fileSystem, sizeof fileSystem))
        return false;
    info.name = String(name);
    info.fileSystem = String(fileSystem);
    info.serialNumber = serial;
    info.maxComponentLength = maxComponent;
    info.flags = flags;
    return true;
}

String currentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return String();
    std::vector<wchar_t> buffer(size + 1);
    DWORD n = GetCurrentDirectoryW(size + 1, buffer.data());
    if (n == 0 || n > size) return String();
    return String(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<int32_t>(n));
}

bool setCurrentDirectory(const String& path) {
    return SetCurrentDirectoryW(win(path)) != 0;
}

PrivateNameSource setPrivateNameSource(PrivateNameSource source) {
    return privateNameSource.exchange(source != nullptr ? source : systemRandomName);
}

}  // namespace tessarin
