// Directory listing and the expansion of file specifications ("C:\App\*.dll; C:\App\Data\ /s",
// one or more lines) into lists of files, with the messages the user sees for what did not
// resolve.
//
// The expansion logic is portable (file_listing.cpp) and reaches the file system through
// FileSpecificationSystem; listFiles, DirectorySearch and expandFileSpecification are the
// Windows side (file_listing_win.cpp).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

// One directory entry. The times are FILETIME values.
struct FileInfoW {
    uint32_t attributes = 0;
    uint64_t size = 0;
    String name;
    String alternateName;  // the short name, when the system keeps one
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;

    bool isFolder() const { return (attributes & 0x10) != 0; }         // FILE_ATTRIBUTE_DIRECTORY
    bool isReparsePoint() const { return (attributes & 0x400) != 0; }  // links and junctions
};

// FindFirstFileW / FindNextFileW over a pattern.
class DirectorySearch {
  public:
    DirectorySearch() = default;
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;
    ~DirectorySearch() { close(); }
    bool first(const String& pattern, FileInfoW& entry);
    bool next(FileInfoW& entry);
    void close();

  private:
    void* handle_ = nullptr;
};

enum ListOptions : uint32_t {
    kListFolders = 0x1,
    kListRecursive = 0x2,  // also set by a pattern ending in " /s"
    kListBareNames = 0x4,
    kListAppend = 0x10,           // keep what the output holds
    kListNoMessagePump = 0x4000,  // otherwise pending window messages are handled between entries
    kListFoldersOnly = 0x10000,
    kListSkipShellFiles = 0x80000,  // "thumbs.db" and "desktop.ini"
};
inline constexpr int64_t kListAborted = -2;

// Lists the entries matching pattern (full paths unless kListBareNames); recursive listings
// look for the same name in every subfolder (links to folders are not followed). Returns the
// total size of the files listed, or kListAborted with ERROR_REQUEST_ABORTED once *abort is set.
int64_t listFiles(const String& pattern, Array<String>& output, uint32_t options,
                  const std::atomic<bool>* abort = nullptr);

// A listed entry with its size (0 for folders).
struct ListedFile {
    String path;
    int64_t size = 0;
};
template <>
struct TypeName<ListedFile> {
    static constexpr const char* value = "ListedFile";
};

// As listFiles, appending to found.
int64_t listEntries(const String& pattern, uint32_t options, Vector<ListedFile>& found,
                    const std::atomic<bool>* abort = nullptr);

enum ExpandOptions : uint32_t {
    // kListFolders, kListRecursive, kListBareNames and kListSkipShellFiles pass to each listing;
    // kListAppend keeps what the output holds.
    kExpandNoLineNumbers = 0x100,
    kExpandAllowDuplicates = 0x200,
    kExpandEmptyIsError = 0x400,
    kExpandClearMessages = 0x800,
    kExpandSortByPath = 0x1000,        // ascending, without regard to case
    kExpandSortDeepestFirst = 0x2000,  // most folder levels first: contents before folders
    kExpandLongNames = 0x8000,
    kExpandShortNames = 0x20000,
    kExpandComments = 0x40000,          // a line beginning with ";" is a comment
    kExpandNoDefaultFolder = 0x100000,  // relative specifications are not resolved
};

// Optional outputs and inputs of an expansion.
struct FileSpecificationExtras {
    Vector<int>* lines = nullptr;  // the line number of each path added to the output
    void (*found)(void* context, const String& path) = nullptr;  // called for each accepted path
    void* context = nullptr;
    int64_t* totalSize = nullptr;  // the sizes of the accepted files are added
    const std::atomic<bool>* abort = nullptr;
};

// What the expansion asks of the file system.
class FileSpecificationSystem {
  public:
    virtual ~FileSpecificationSystem() = default;
    virtual bool folderExists(const String& path) = 0;
    virtual int64_t list(const String& pattern, uint32_t options, Vector<ListedFile>& found,
                         const std::atomic<bool>* abort) = 0;
    virtual String longName(const String& path) = 0;
    virtual String shortName(const String& path) = 0;
};

// Expands a specification text: lines of ";"-separated specifications, each a file, a
// wildcard pattern or a folder (ending in "\"), " /s" at the end meaning recursive; relative
// ones are taken in defaultFolder. Messages for what did not resolve are appended to messages
// (may be null). Returns the number of messages added, or kListAborted.
int expandFileSpecification(const String& text, Array<String>& output, uint32_t options,
                            const String& defaultFolder, String* messages,
                            FileSpecificationExtras* extras = nullptr);
int expandFileSpecificationWith(FileSpecificationSystem& system, const String& text,
                                Array<String>& output, uint32_t options,
                                const String& defaultFolder, String* messages,
                                FileSpecificationExtras* extras = nullptr);

}  // namespace tessarin
