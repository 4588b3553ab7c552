// Operations on names and folders: the temporary folder and temporary names, existence tests,
// folder creation and removal, attributes, drives, copy, move and delete with their
// reboot-time forms, and version resources.
//
// Paths are UTF-16 Strings. Every operation reports failure through its result and leaves the
// Windows error code as the thread's last error. Implemented for Windows only
// (file_system_win.cpp, file_operations_win.cpp, file_version_win.cpp).
#pragma once

#include <cstdint>

#include "core/string.h"
#include "core/temp_name.h"

namespace tessarin {

// ---- Temporary folder and names ----------------------------------------------------------

// The temporary folder without its trailing backslash, worked out once per process:
// GetTempPathW, else the Windows folder's "temp", else "c:\temp" (created).
const String& temporaryFolder();
// A new temporary file "OQT….tmp" (created empty by the system) in folder (the temporary folder
// when empty; created with its parents when missing). With an extension the file is renamed to
// carry it instead of "tmp". Empty on failure. Option: kTempNameKeepFolder.
String temporaryFileName(const String& folder = String(), const String& extension = String(),
                         uint32_t options = 0);

// A new folder with a random name in parent (the temporary folder when empty) for files an
// elevated process writes there: the system's temporary folder is open to every user, who could
// otherwise have made a file of a known name first and kept the right to change it. The folder
// is made by this call (an entry of the name that exists already, whoever made it, is never
// taken: another name is drawn) and, in a process with administrator rights, carries its own
// protected access list: administrators and the system only. Empty on failure, with the
// system's error.
String createPrivateFolder(const String& parent = String());

// ---- Names -------------------------------------------------------------------------------

// GetLongPathNameW / GetShortPathNameW; the path unchanged when the system cannot answer.
String longPathName(const String& path);
String shortPathName(const String& path);
// PathCanonicalizeW ("." and ".." resolved); true when the path changed.
bool canonicalizePath(String& path);

// ---- Existence, attributes, folders -------------------------------------------------------

// An entry of that name exists and is a folder (access denied counts as existing). Empty is
// false. The existence tests, attributes, folder creation and removal, and copy, move and
// delete (done now) take paths of any length (see extendedLengthPath).
bool folderExists(const String& path);
// An entry of that name exists and is not a folder. Wildcards find nothing.
bool fileExists(const String& path);
// The same text, or the same file on the same volume (index and size) opened through both
// names; only the attributes are read, so a file nobody may read is still recognised.
bool isSameFile(const String& a, const String& b);

inline constexpr int32_t kNoAttributes = -1;
int32_t fileAttributes(const String& path);  // kNoAttributes for an empty name or on failure
bool setFileAttributes(const String& path, uint32_t attributes);
bool clearFileAttributes(const String& path);  // FILE_ATTRIBUTE_NORMAL

// Creates the folder and every missing parent. Empty fails with ERROR_DIRECTORY; an existing
// folder succeeds.
bool createFolder(const String& path);
bool createParentFolders(const String& path);

// Option of removeFolder: leave "thumbs.db" and "desktop.ini" alone (otherwise they are
// deleted first, since the shell drops them into folders that look empty to the user).
inline constexpr uint32_t kRemoveFolderKeepShellFiles = 0x1;
// Removes an empty folder. Roots and shorter texts fail with ERROR_BAD_PATHNAME without
// asking the system; a missing folder fails with ERROR_PATH_NOT_FOUND.
bool removeFolder(const String& path, uint32_t options = 0);

// Deletes the folder with every file and folder in it, without following a link: a junction or
// symbolic link inside is removed itself, never entered, and an entry that leads out of its
// folder (replaced by a link meanwhile, or a link the system follows) stays untouched. What
// cannot be deleted stays. True when the folder is gone; a folder that is itself a link is
// left alone (ERROR_DIRECTORY).
bool deleteFolderTree(const String& folder);

// ---- Drives ------------------------------------------------------------------------------

enum DriveKind : uint32_t {
    kDriveExists = 1,
    kDriveFixed = 2,
    kDriveRemovable = 4,
    kDriveOptical = 8,  // always with kDriveRemovable
    kDriveRamDisk = 16,
    kDriveNetwork = 32,
};
// The kind flags of the drive named by the path's first letter (0 when there is none).
uint32_t driveKind(const String& path);
// A portable installation's folder: on a removable, optical or RAM-disk drive.
inline bool onPortableDrive(const String& path) {
    return (driveKind(path) & (kDriveRemovable | kDriveRamDisk)) != 0;
}
bool driveExists(char16_t letter);
// Bytes per cluster of the path's drive, -1 on failure.
int64_t clusterSize(const String& path);
// Free bytes available to the caller and total bytes of the path's drive.
bool freeSpace(const String& path, uint64_t& freeBytes, uint64_t& totalBytes);

struct VolumeInformation {
    String name;        // 8-bit
    String fileSystem;  // 8-bit
    uint32_t serialNumber = 0;
    uint32_t maxComponentLength = 0;
    uint32_t flags = 0;
};
bool volumeInformation(const String& path, VolumeInformation& info);

String currentDirectory();
bool setCurrentDirectory(const String& path);

// ---- Copy, move, delete ------------------------------------------------------------------

// Creates or truncates the file (no sharing) and writes length bytes; a FileError code: 2 for
// an empty name, 7 for a failed write. Null or empty data leaves an empty file.
int writeFile(const String& name, const void* data, int32_t length);

enum CopyOptions : uint32_t {
    kCopyFailIfExists = 0x1,
    kCopyAccessList = 0x80,     // give the target the source's DACL
    kCopyCreationTime = 0x200,  // give the target the source's creation time
};
// CopyFileW and the extras asked for; a failed extra fails the call with its error (the copy
// stays).
bool copyFile(const String& source, const String& target, uint32_t options = 0);

enum DeleteOptions : uint32_t {
    kDeleteKeepAttributes = 0x1,   // otherwise cleared when they refuse it: read-only files go too
    kDeleteAtReboot = 0x2,         // schedule instead of deleting now
    kDeleteRebootFallback = 0x10,  // schedule when deleting now fails (not for a missing file)
    kDeleteToRecycleBin = 0x80,
    kDeleteOnlyIfEmpty = 0x100,  // a file with content stays: false, ERROR_FILE_EXISTS
    kDeleteMissingIsDeleted = 0x800,
};
// Scheduling for the restart uses MoveFileExW's delay flag, or "wininit.ini" where the system
// needs it. A scheduled deletion returns true.
bool deleteFile(const String& path, uint32_t options = 0);

enum MoveOptions : uint32_t {
    kMoveTargetMustExist = 0x1,
    kMoveFailIfExists = 0x2,
    kMoveCreateFolders = 0x4,
    kMoveAtReboot = 0x8,
    kMoveRefuseReadOnlyTarget = 0x40,  // ERROR_ACCESS_DENIED
    kMoveIntoFolder = 0x80,            // the target is a folder; the source's name is kept
    kMoveRelativeToSource = 0x200,     // a relative target is taken in the source's folder
};
// Moves or renames; an existing target is replaced (deleted first) unless options say
// otherwise. With kMoveAtReboot success means scheduled for the next restart, signalled by
// ERROR_BUSY left as the last error (see movedAtReboot).
bool moveFile(const String& source, const String& target, uint32_t options = 0);
// After a successful moveFile: whether it was scheduled for the restart rather than done.
bool movedAtReboot();

// SHFileOperationW delete with undo (the recycle bin), silently; true when it returned 0.
bool deleteToRecycleBin(const String& path);

// ---- Versions ----------------------------------------------------------------------------

// The "FileVersion" string of the file's first translation, dotted and without blanks (8-bit);
// comparable pads each component to ten digits. Empty without a version resource.
String fileVersionText(const String& path, bool comparable = false);

// ---- Seams for tests ---------------------------------------------------------------------

// Where the names of private folders come from: 64 random bits each, by default from the
// system's cryptographic generator. Tests replace it to play a name that is already taken.
// Returns the previous source; null restores the system's.
using PrivateNameSource = uint64_t (*)();
PrivateNameSource setPrivateNameSource(PrivateNameSource source);

// The reboot-time move primitive (MoveFileExW's signature with UTF-16 names; null target
// deletes). Tests replace it to reach the "wininit.ini" fallback; null means "the system has
// none", as on the oldest systems. resetRebootMove() restores the run-time lookup.
using RebootMoveFunction = bool (*)(const char16_t* source, const char16_t* target, uint32_t flags);
void setRebootMove(RebootMoveFunction move);
void resetRebootMove();

}  // namespace tessarin
