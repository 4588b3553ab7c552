// Shared files: files that several products may use (kind 1 in the shared folder, kinds 6, 7 and
// 8 in the system folder). Each installation adds one to the file's count under HKLM
// "Software\Microsoft\Windows\CurrentVersion\SharedDLLs" and hands the uninstaller the list of
// counted files (the uninstall value "SharedFiles"), so that a file is removed, or its
// registration undone, only when no product uses it any more.
//
// The list entries and the text are portable (shared_files.cpp); the registry side is
// shared_files_win.cpp.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "package/script_format.h"

namespace tessarin {

// The mark after an entry's path: what the uninstaller does when the count reaches zero. A
// plain entry (kinds 1 and 6) is deleted.
inline constexpr char kSharedMarkPermanent = ' ';       // count only, never delete
inline constexpr char kSharedMarkComServer = '^';       // unregister the COM server
inline constexpr char kSharedMarkTypeLibrary = '\xA9';  // unregister the type library

// File kinds of the file table that are shared.
inline constexpr int32_t kKindSharedFolderFile = 1;
inline constexpr int32_t kKindSystemFile = 6;
inline constexpr int32_t kKindSystemComServer = 7;
inline constexpr int32_t kKindSystemTypeLibrary = 8;

inline constexpr const char* kSharedCountKeyError =
    "Registry error: unable to increment shared file reference counts.\r\n\r\n";

// The list entry for a file record (8-bit path in the narrow path form), or an empty String
// when the record is not counted: kinds other than 1, 6, 7 and 8, and kinds 1 and 7 on a
// portable installation.
String sharedFileEntry(const String& path, int32_t kind, bool permanent, bool portable);
// The path a count is kept under: the entry without its mark.
String sharedFileCountPath(const String& entry);
// Whether the counting runs at all.
bool sharedFilesCounted(uint64_t productFlags, bool portable);

// The counts as the system keeps them.
class SharedFileCounts {
  public:
    virtual ~SharedFileCounts() = default;
    // Opens the key, creating it where there is none yet.
    virtual bool open() = 0;
    // Whether path (8-bit, narrow path form) has a count of one or more.
    virtual bool counted(const String& path) = 0;
    // Adds one to the count of path. On failure errorText gets the system's text of the error
    // (UTF-16).
    virtual bool increment(const String& path, String& errorText) = 0;
    virtual void close() = 0;
};

// Counts every entry once and returns the SharedFiles text ("entry";"entry"...). A file that
// the product's previous installation listed (previous: its SharedFiles text) already holds the
// product's count and is listed again without a second count, unless its count is gone; one
// that this installation does not list stays listed, with its mark, while its count stands. A key
// that can be neither opened nor created adds one line to the error list and gives an empty
// text; a count that cannot be written is logged and its entry still listed. Each path whose
// count went up is added to raised when given.
String countSharedFiles(const Vector<String>& list, const String& previous,
                        SharedFileCounts& counts, Vector<String>* raised = nullptr);

// The process-wide list the file loop fills, in file-table order, and the text made from it.
Vector<String>& sharedFileList();
String& sharedFilesText();

// The install action: counts the process-wide list for the running installation.
void CountSharedFiles();
// Takes back the counts a stopped installation raised (8-bit count paths): each goes down by
// one, and a count that reaches zero goes with its value.
void TakeBackSharedFileCounts(const Vector<String>& paths);

}  // namespace tessarin
