#include <windows.h>

#include "core/file_listing.h"
#include "core/file_system.h"
#include "core/file_system_win.h"
#include "core/path.h"
#include "core/process.h"

namespace tessarin {
namespace {

uint64_t joined(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

uint64_t fileTime(const FILETIME& t) {
    return joined(t.dwHighDateTime, t.dwLowDateTime);
}

void fill(const WIN32_FIND_DATAW& found, FileInfoW& entry) {
    entry.attributes = found.dwFileAttributes;
    entry.size = joined(found.nFileSizeHigh, found.nFileSizeLow);
    entry.name.assignWide(reinterpret_cast<const char16_t*>(found.cFileName));
    entry.alternateName.assignWide(reinterpret_cast<const char16_t*>(found.cAlternateFileName));
    entry.creationTime = fileTime(found.ftCreationTime);
    entry.lastAccessTime = fileTime(found.ftLastAccessTime);
    entry.lastWriteTime = fileTime(found.ftLastWriteTime);
}

bool aborted(const std::atomic<bool>* abort) {
    if (abort == nullptr || !abort->load()) return false;
    SetLastError(ERROR_REQUEST_ABORTED);
    return true;
}

bool accepted(const FileInfoW& entry, uint32_t options) {
    if (!isListableEntryName(entry.name.w_str())) return false;
    if ((options & kListSkipShellFiles) && isShellFolderFile(entry.name.w_str())) return false;
    if (entry.isFolder()) return (options & (kListFolders | kListFoldersOnly)) != 0;
    return !(options & kListFoldersOnly);
}

class SystemSpecifications : public FileSpecificationSystem {
  public:
    bool folderExists(const String& path) override { return tessarin::folderExists(path); }
    int64_t list(const String& pattern, uint32_t options, Vector<ListedFile>& found,
                 const std::atomic<bool>* abort) override {
        return listEntries(pattern, options, found, abort);
    }
    String longName(const String& path) override { return longPathName(path); }
    String shortName(const String& path) override { return shortPathName(path); }
};

}  // namespace

bool DirectorySearch::first(const String& pattern, FileInfoW& entry) {
    close();
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(fs_detail::systemPath(pattern), &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = h;
    fill(found, entry);
    return true;
}

bool DirectorySearch::next(FileInfoW& entry) {
    if (handle_ == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    WIN32_FIND_DATAW found;
    if (!FindNextFileW(static_cast<HANDLE>(handle_), &found)) return false;
    fill(found, entry);
    return true;
}

void DirectorySearch::close() {
    if (handle_ != nullptr) FindClose(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

int64_t listEntries(const String& patternGiven, uint32_t options, Vector<ListedFile>& found,
                    const std::atomic<bool>* abort) {
    String pattern = patternGiven;
    if (takeRecursiveMark(pattern)) options |= kListRecursive;
    pattern.removeBackWideChar(u'\\');
    canonicalizePath(pattern);
    String folder = parentFolder(pattern);
    int64_t total = 0;
    DirectorySearch search;
    FileInfoW entry;
    for (bool more = search.first(pattern, entry); more; more = search.next(entry)) {
        if (aborted(abort)) return kListAborted;
        if (accepted(entry, options)) {
            int64_t size = entry.isFolder() ? 0 : static_cast<int64_t>(entry.size);
            found.append(
                {(options & kListBareNames) ? entry.name : joinPath(folder, entry.name), size});
            total += size;
        }
        if (!(options & kListNoMessagePump)) dispatchPendingMessages();
    }
    if (!(options & kListRecursive)) return total;
    // Links and junctions are not followed: one pointing upwards would never end.
    String leaf = fileName(pattern);
    DirectorySearch folders;
    for (bool more = folders.first(joinPath(folder, String(u"*.*")), entry); more;
         more = folders.next(entry)) {
        if (aborted(abort)) return kListAborted;
        if (!entry.isFolder() || entry.isReparsePoint() || !isListableEntryName(entry.name.w_str()))
            continue;
        String below = joinPath(joinPath(folder, entry.name), leaf);
        int64_t sub = listEntries(below, options | kListAppend, found, abort);
        if (sub == kListAborted) return kListAborted;
        total += sub;
    }
    return total;
}

int64_t listFiles(const String& pattern, Array<String>& output, uint32_t options,
                  const std::atomic<bool>* abort) {
    if (!(options & kListAppend)) output.clear();
    Vector<ListedFile> found;
    int64_t total = listEntries(pattern, options, found, abort);
    if (total == kListAborted) return kListAborted;
    for (const ListedFile& file : found) output.append(file.path);
    return total;
}

int expandFileSpecification(const String& text, Array<String>& output, uint32_t options,
                            const String& defaultFolder, String* messages,
                            FileSpecificationExtras* extras) {
    SystemSpecifications system;
    return expandFileSpecificationWith(system, text, output, options, defaultFolder, messages,
                                       extras);
}

}  // namespace tessarin
