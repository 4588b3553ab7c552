// Write, copy, move and delete, with the reboot-time forms of move and delete.
#include <aclapi.h>
#include <shellapi.h>
#include <windows.h>

#include <string>

#include "core/file.h"
#include "core/file_system.h"
#include "core/file_system_win.h"
#include "core/handle_win.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/special_folders.h"
#include "core/system_function_win.h"
#include "core/wininit.h"

namespace tessarin {

using fs_detail::LastErrorKeeper;
using fs_detail::systemPath;

namespace {

constexpr UINT kRecycleFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI;

// ---- Reboot-time primitives --------------------------------------------------------------

using MoveFileExFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);

MoveFileExFunction systemMoveFileEx() {
    static const MoveFileExFunction function =
        systemFunction<MoveFileExFunction>(L"kernel32.dll", "MoveFileExW");
    return function;
}

bool callSystemMoveFileEx(const char16_t* source, const char16_t* target, uint32_t flags) {
    return systemMoveFileEx()(reinterpret_cast<LPCWSTR>(source), reinterpret_cast<LPCWSTR>(target),
                              flags) != 0;
}

bool g_rebootMoveReplaced = false;
RebootMoveFunction g_rebootMove = nullptr;

RebootMoveFunction rebootMove() {
    if (g_rebootMoveReplaced) return g_rebootMove;
    return systemMoveFileEx() ? callSystemMoveFileEx : nullptr;
}

// "wininit.ini" is only worth writing where a wininit.exe of the old kind will read it: in
// the Windows folder (the one in the system folder of current systems is unrelated).
bool wininitProcessorPresent() {
    String windows = windowsFolder();
    return !windows.empty() && fileExists(joinPath(windows, String(u"wininit.exe")));
}

bool scheduleInWininit(const String& target, const String& source) {
    String t =
        target.equalsWide(u"NUL") ? String("NUL") : fs_detail::ansiText(shortPathName(target));
    String s = fs_detail::ansiText(shortPathName(source));
    return scheduleWininitRename(t.c_str(), s.c_str());
}

bool scheduleDeletion(const String& path) {
    RebootMoveFunction move = rebootMove();
    if (!isNtFamily() || move == nullptr) return scheduleInWininit(String(u"NUL"), path);
    if (move(path.w_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
    LastErrorKeeper keep;
    if (!wininitProcessorPresent()) return false;
    return scheduleInWininit(String(u"NUL"), path);
}

// Success leaves ERROR_BUSY: the caller's sign that the move waits for the restart.
bool scheduleMove(const String& source, const String& target) {
    RebootMoveFunction move = rebootMove();
    if (isNtFamily() && move != nullptr) {
        if (move(source.w_str(), target.w_str(),
                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
            SetLastError(ERROR_BUSY);
            return true;
        }
        LastErrorKeeper keep;
        if (!wininitProcessorPresent()) return false;
    }
    if (!scheduleInWininit(target, source)) return false;
    SetLastError(ERROR_BUSY);
    return true;
}

// ---- Helpers -----------------------------------------------------------------------------

bool isMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool entryExists(const String& path) {
    return GetFileAttributesW(systemPath(path)) != INVALID_FILE_ATTRIBUTES;
}

// The size of an existing file, -1 when it cannot be read.
int64_t sizeOf(const String& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(systemPath(path), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

using GetNamedSecurityInfoFunction = DWORD(WINAPI*)(LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION,
                                                    PSID*, PSID*, PACL*, PACL*,
                                                    PSECURITY_DESCRIPTOR*);
using SetNamedSecurityInfoFunction = DWORD(WINAPI*)(LPWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION,
                                                    PSID, PSID, PACL, PACL);

struct SecurityCalls {
    GetNamedSecurityInfoFunction get = nullptr;
    SetNamedSecurityInfoFunction set = nullptr;
};

const SecurityCalls& securityCalls() {
    static const SecurityCalls calls = [] {
        SecurityCalls c;
        c.get =
            systemFunction<GetNamedSecurityInfoFunction>(L"advapi32.dll", "GetNamedSecurityInfoW");
        c.set =
            systemFunction<SetNamedSecurityInfoFunction>(L"advapi32.dll", "SetNamedSecurityInfoW");
        return c;
    }();
    return calls;
}

bool copyAccessList(const String& source, const String& target) {
    const SecurityCalls& calls = securityCalls();
    if (calls.get == nullptr || calls.set == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = calls.get(win(source), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor);
    if (error == ERROR_SUCCESS) {
        std::wstring name(win(target));
        error = calls.set(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          dacl, nullptr);
    }
    if (descriptor != nullptr) LocalFree(descriptor);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

bool copyCreationTime(const String& source, const String& target) {
    Handle from(CreateFileW(systemPath(source), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!from.valid()) return false;
    FILETIME created;
    if (!GetFileTime(from.get(), &created, nullptr, nullptr)) return false;
    Handle to(CreateFileW(systemPath(target), FILE_WRITE_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return to.valid() && SetFileTime(to.get(), &created, nullptr, nullptr);
}

// The target as the move options make it from the given one.
String moveTarget(const String& source, const String& target, uint32_t options) {
    String result = target;
    if (options & kMoveIntoFolder) result = joinPath(result, fileName(source));
    if ((options & kMoveRelativeToSource) && !isAbsolutePath(result))
        result = joinPath(parentFolder(source), result);
    return result;
}

}  // namespace

// ---- Public operations -------------------------------------------------------------------

int writeFile(const String& name, const void* data, int32_t length) {
    if (name.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return kFileErrorInvalidName;
    }
    File file;
    int code = file.open(extendedLengthPath(name).w_str(), kFileCreateAlways);
    if (code != kFileOk) return code;
    if (data != nullptr && length > 0 && !file.write(data, length)) {
        LastErrorKeeper keep;
        file.close();
        return kFileErrorWriteFailed;
    }
    return kFileOk;
}

bool copyFile(const String& source, const String& target, uint32_t options) {
    if (!CopyFileW(systemPath(source), systemPath(target),
                   (options & kCopyFailIfExists) ? TRUE : FALSE))
        return false;
    if ((options & kCopyAccessList) && !copyAccessList(source, target)) return false;
    if ((options & kCopyCreationTime) && !copyCreationTime(source, target)) return false;
    return true;
}

bool deleteFile(const String& path, uint32_t options) {
    if (path.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if ((options & kDeleteOnlyIfEmpty) && sizeOf(path) > 0) {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    bool clear = !(options & kDeleteKeepAttributes);
    if (options & (kDeleteAtReboot | kDeleteToRecycleBin)) {
        if (clear) SetFileAttributesW(systemPath(path), FILE_ATTRIBUTE_NORMAL);
        if (options & kDeleteAtReboot) return scheduleDeletion(path);
        return deleteToRecycleBin(path);
    }
    // Most files go at the first try; only a refused file (read-only, say) has its attributes
    // cleared before the second. A folder keeps its attributes.
    if (DeleteFileW(systemPath(path))) return true;
    DWORD error = GetLastError();
    DWORD attributes = clear && error == ERROR_ACCESS_DENIED ? GetFileAttributesW(systemPath(path))
                                                             : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(systemPath(path), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(systemPath(path))) return true;
        error = GetLastError();
    }
    SetLastError(error);
    if (isMissingError(error)) return (options & kDeleteMissingIsDeleted) != 0;
    if (options & kDeleteRebootFallback) return scheduleDeletion(path);
    return false;
}

bool moveFile(const String& source, const String& target, uint32_t options) {
    if (source.empty() || target.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!entryExists(source)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    String to = moveTarget(source, target, options);
    if (options & kMoveRefuseReadOnlyTarget) {
        DWORD attributes = GetFileAttributesW(systemPath(to));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
    }
    // A move onto itself (the same text, or another name of the same file) must not replace
    // the target, which is the source.
    bool replacing = false;
    if (to != source && !isSameFile(source, to)) {
        bool exists = entryExists(to);
        if ((options & kMoveTargetMustExist) && !exists) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        if ((options & kMoveFailIfExists) && exists) {
            SetLastError(ERROR_FILE_EXISTS);
            return false;
        }
        replacing = exists;
    }
    if (options & kMoveCreateFolders) createParentFolders(to);
    if (options & kMoveAtReboot) return scheduleMove(source, to);
    // The target is replaced in the one call, never deleted first: a move that fails (the source
    // held open, say) leaves the old file in place. A read-only target loses that attribute, as
    // a deletion would have cleared it.
    if (replacing) {
        DWORD attributes = GetFileAttributesW(systemPath(to));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            SetFileAttributesW(systemPath(to), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    // MOVEFILE_COPY_ALLOWED: to another volume as MoveFileW would.
    DWORD flags = MOVEFILE_COPY_ALLOWED | (replacing ? DWORD{MOVEFILE_REPLACE_EXISTING} : 0);
    if (!MoveFileExW(systemPath(source), systemPath(to), flags)) return false;
    SetLastError(ERROR_SUCCESS);  // no stale ERROR_BUSY may pass for a deferred move
    return true;
}

bool movedAtReboot() {
    return GetLastError() == ERROR_BUSY;
}

bool deleteToRecycleBin(const String& path) {
    if (path.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::wstring list(win(path));
    list.push_back(L'\0');  // the list ends with an empty name
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    operation.fFlags = kRecycleFlags;
    return SHFileOperationW(&operation) == 0;
}

void setRebootMove(RebootMoveFunction move) {
    g_rebootMoveReplaced = true;
    g_rebootMove = move;
}

void resetRebootMove() {
    g_rebootMoveReplaced = false;
    g_rebootMove = nullptr;
}

}  // namespace tessarin
