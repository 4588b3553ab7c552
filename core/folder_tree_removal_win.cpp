// Deleting a folder with everything in it, without ever following a link.
//
// An elevated process that lists a tree and then deletes each listed path by its name deletes
// wherever the names lead at that moment: a user who swaps a subfolder for a junction to the
// system folder in between has the system folder emptied. Here every folder is opened as
// itself and held, without sharing deletion, while its entries go, so that no folder on the way
// can be renamed or replaced; each entry is opened as itself too (a link is opened, not what it
// points to), checked to lie in the folder that holds it, and deleted through its handle. A
// link is removed itself and never entered.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <vector>

#include "core/file_system.h"
#include "core/file_system_win.h"
#include "core/handle_win.h"
#include "core/path.h"
#include "core/system_function_win.h"

namespace tessarin {

using fs_detail::systemPath;

namespace {

using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
using SetInformationFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
using GetInformationFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

FinalPathFunction finalPathFunction() {
    static const FinalPathFunction function =
        systemFunction<FinalPathFunction>(L"kernel32.dll", "GetFinalPathNameByHandleW");
    return function;
}

SetInformationFunction setInformationFunction() {
    static const SetInformationFunction function =
        systemFunction<SetInformationFunction>(L"kernel32.dll", "SetFileInformationByHandle");
    return function;
}

GetInformationFunction getInformationFunction() {
    static const GetInformationFunction function =
        systemFunction<GetInformationFunction>(L"kernel32.dll", "GetFileInformationByHandleEx");
    return function;
}

// The entry itself, a link included, open for deletion (and a folder for listing); nobody else
// may rename or delete it while it is held.
Handle openEntry(const String& path, bool folder) {
    DWORD access = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
    if (folder) access |= FILE_LIST_DIRECTORY;
    return Handle(CreateFileW(systemPath(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

DWORD attributesOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(handle, &info) ? info.dwFileAttributes
                                                     : INVALID_FILE_ATTRIBUTES;
}

// The path the system reached through the handle; empty where the system cannot say.
std::wstring finalPath(HANDLE handle) {
    FinalPathFunction function = finalPathFunction();
    if (!function) return std::wstring();
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = function(handle, path.data(), DWORD(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length + 1);
        length = function(handle, path.data(), DWORD(path.size()), 0);
    }
    path.resize(length < path.size() ? length : 0);
    return path;
}

// Whether the entry the system opened lies right inside the folder held: a name that led
// elsewhere (a link the system followed) does not.
bool liesIn(HANDLE entry, const std::wstring& folderFinal) {
    if (!finalPathFunction()) return true;  // older systems: the held folders must do
    std::wstring path = finalPath(entry);
    size_t n = folderFinal.size();
    return !folderFinal.empty() && path.size() > n + 1 && path[n] == L'\\' &&
           _wcsnicmp(path.c_str(), folderFinal.c_str(), n) == 0 &&
           path.find(L'\\', n + 1) == std::wstring::npos;
}

// Deletes what the handle holds (the link itself for a link) once the handle is closed; a
// read-only entry loses that attribute first. Without the call (older systems) the entry is
// deleted by its name, which names the held entry as long as its folder is held.
bool deleteEntry(Handle& entry, const String& path, DWORD attributes) {
    SetInformationFunction setInformation = setInformationFunction();
    bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!setInformation) {
        entry.reset();
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(systemPath(path), FILE_ATTRIBUTE_NORMAL);
        return folder ? RemoveDirectoryW(systemPath(path)) : DeleteFileW(systemPath(path));
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY |
                                              FILE_ATTRIBUTE_REPARSE_POINT);
        if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        setInformation(entry.get(), FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    bool marked =
        setInformation(entry.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
    entry.reset();
    return marked;
}

struct FoundEntry {
    String name;
    DWORD attributes;
};

bool isDotName(const wchar_t* name, size_t length) {
    return name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.'));
}

// The names in the held folder, read through its handle before anything in it changes; on
// systems without that call, through its name (which names the held folder).
std::vector<FoundEntry> entriesOf(HANDLE held, const String& folder) {
    std::vector<FoundEntry> found;
    if (GetInformationFunction getInformation = getInformationFunction()) {
        // On the heap: a deep tree holds one listing per level.
        std::vector<uint64_t> buffer(2048);
        const DWORD size = DWORD(buffer.size() * sizeof(uint64_t));
        FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
        while (getInformation(held, kind, buffer.data(), size)) {
            kind = FileIdBothDirectoryInfo;
            for (size_t at = 0;;) {
                auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(
                    reinterpret_cast<unsigned char*>(buffer.data()) + at);
                size_t length = entry->FileNameLength / sizeof(wchar_t);
                if (!isDotName(entry->FileName, length))
                    found.push_back({String(reinterpret_cast<const char16_t*>(entry->FileName),
                                            int32_t(length)),
                                     entry->FileAttributes});
                if (entry->NextEntryOffset == 0) break;
                at += entry->NextEntryOffset;
            }
        }
        return found;
    }
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(systemPath(joinPath(folder, String(u"*"))), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        if (!isDotName(data.cFileName, wcslen(data.cFileName)))
            found.push_back(
                {String(reinterpret_cast<const char16_t*>(data.cFileName)), data.dwFileAttributes});
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

bool isLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

void emptyFolder(HANDLE held, const String& folder, const std::wstring& folderFinal);

// One entry of a held folder. A link goes itself when the system opened the link; one that it
// followed (or that lies elsewhere by now) stays untouched.
void removeEntry(const String& folder, const std::wstring& folderFinal, const FoundEntry& found) {
    String path = joinPath(folder, found.name);
    Handle entry =
        openEntry(path, (found.attributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink(found.attributes));
    if (!entry) return;
    DWORD attributes = attributesOf(entry.get());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (isLink(found.attributes) || isLink(attributes)) {
        if (isLink(attributes) && liesIn(entry.get(), folderFinal))
            deleteEntry(entry, path, attributes);
        return;
    }
    if (!liesIn(entry.get(), folderFinal)) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        emptyFolder(entry.get(), path, finalPath(entry.get()));
    deleteEntry(entry, path, attributes);
}

void emptyFolder(HANDLE held, const String& folder, const std::wstring& folderFinal) {
    for (const FoundEntry& found : entriesOf(held, folder)) removeEntry(folder, folderFinal, found);
}

}  // namespace

bool deleteFolderTree(const String& path) {
    String folder = path;
    folder.removeBackWideChar(u'\\');
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(systemPath(folder), &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    Handle top = openEntry(folder, true);
    if (!top) return false;
    DWORD attributes = attributesOf(top.get());
    if (isLink(data.dwFileAttributes) || isLink(attributes) ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    emptyFolder(top.get(), folder, finalPath(top.get()));
    return deleteEntry(top, folder, attributes) && !folderExists(folder);
}

}  // namespace tessarin
