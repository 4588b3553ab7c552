#include <windows.h>

#include "actions/file_installation.h"
#include "core/convert.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/file_time.h"
#include "core/format.h"
#include "core/path.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "services/install_log.h"
#include "services/path_variables.h"
#include "setup/install_script.h"
#include "setup/payload.h"
#include "setup/setup_state.h"
#include "uninstall/uninstall_data.h"

namespace tessarin {

namespace {

constexpr int kWriteAttempts = 3;
constexpr uint32_t kRetryPause = 50;
constexpr uint32_t kAttributeMask = 0x1127;

uint64_t productFlags() {
    return installScript().ProductFlags;
}

// Date and attributes go onto the temporary file, so the target has them the moment it
// appears under its name.
bool writeTemporary(const String& temp, const String& data, const FileDateTime& date) {
    if (writeFile(temp, data.c_str(), data.length()) != 0) return false;
    uint64_t time = 0;
    if (!date.isUnset() && recordToFileTime(date, time) && !setFileTimes(temp, time, time)) {
        return false;
    }
    if (productFlags() & kFlagsVerifyWrittenFiles) {
        String back;
        File file;
        if (file.open(temp.w_str(), kFileOpenExisting | kFileNoWrite) != kFileOk ||
            !file.readAll(back) || !(back == data)) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
    }
    return true;
}

// One attempt: a fresh temporary file beside the target, moved onto it. A temporary file that
// was written but could not be moved stays in temp for the restart.
bool attemptWrite(const String& target, const String& data, const FileDateTime& date, String& temp,
                  uint32_t& error) {
    if (!temp.empty()) deleteFile(temp);
    temp = temporaryFileName(parentFolder(target), String(), kTempNameKeepFolder);
    if (temp.empty()) {
        error = lastSystemError();
        return false;
    }
    if (!writeTemporary(temp, data, date)) {
        error = lastSystemError();
        deleteFile(temp);
        temp = String();
        return false;
    }
    uint32_t options =
        (productFlags() & kFlagsOverwriteProtected) ? 0u : uint32_t{kMoveRefuseReadOnlyTarget};
    if (moveFile(temp, target, options)) return true;
    error = lastSystemError();
    return false;
}

void appendWideError(const String& text) {
    String narrow;
    toNarrow(text.w_str(), text.wideLength(), narrow);
    appendError(narrow.c_str(), narrow.length());
}

bool scheduleReplacement(const String& target, const String& data, const FileDateTime& date,
                         String& temp, String& text) {
    if (temp.empty()) {
        temp = temporaryFileName(parentFolder(target), String(), kTempNameKeepFolder);
        if (temp.empty() || !writeTemporary(temp, data, date)) {
            String reason = systemErrorText(lastSystemError());
            if (!temp.empty()) deleteFile(temp);
            formatAppendWide(text,
                             u"Failed to register '%s' for replacement because no temporary file "
                             u"could be created.\r\n%s\r\n\r\n",
                             target.w_str(), reason.w_str());
            return false;
        }
    }
    if (!moveFile(temp, target, kMoveAtReboot)) {
        String reason = systemErrorText(lastSystemError());
        formatAppendWide(text,
                         u"Failed to register '%s' for replacement with temporary file '%s'\r\n"
                         u"%s\r\n\r\n",
                         target.w_str(), temp.w_str(), reason.w_str());
        deleteFile(temp);
        return false;
    }
    fileInstallationState().rebootRequired = true;
    logFormatWide(
        u"\"%s\" was successfully registered for replacement.\r\nTemporary file is "
        u"\"%s\"\r\nReboot will be required.\r\n\r\n",
        target.w_str(), temp.w_str());
    return true;
}

}  // namespace

FileInstallationState& fileInstallationState() {
    static FileInstallationState state;
    return state;
}

bool WriteInstalledFile(const String& target, const String& data, const FileDateTime& date,
                        int32_t attributes, bool existed, bool& scheduled) {
    scheduled = false;
    String temp;
    uint32_t error = 0;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (attemptWrite(target, data, date, temp, error)) {
            if (attributes != kNoAttributes) {
                setFileAttributes(target, static_cast<uint32_t>(attributes) & kAttributeMask);
            }
            return true;
        }
        if (attempt == 0) {
            if (error == ERROR_PATH_NOT_FOUND) createParentFolders(target);
            if (productFlags() & kFlagsOverwriteProtected) {
                int32_t now = fileAttributes(target);
                if (now != kNoAttributes) {
                    setFileAttributes(
                        target, static_cast<uint32_t>(now) &
                                    ~uint32_t{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                              FILE_ATTRIBUTE_SYSTEM});
                }
            }
        }
        if (attempt + 1 < kWriteAttempts) pauseMilliseconds(kRetryPause);
    }
    String text(u"\r\n");
    text.append(Message(kMessageItemFailed));
    text.appendWide(u" ");
    text.append(target);
    text.appendWide(u"\r\n");
    if (driveKind(target) == 0) {
        formatAppendWide(text, u"Drive %c: is not present.\r\n", target.getWide(0));
        if (!temp.empty()) deleteFile(temp);
        appendWideError(text);
        return false;
    }
    String reason = systemErrorText(error);
    if (!reason.empty()) text.append(reason);
    text.appendWide(u"\r\n\r\n");
    bool rebootAllowed =
        (existed || (productFlags() & kFlagsAlwaysReplaceAtReboot)) && error != ERROR_INVALID_NAME;
    if (rebootAllowed && scheduleReplacement(target, data, date, temp, text)) {
        scheduled = true;
        return false;
    }
    if (!temp.empty()) deleteFile(temp);
    appendWideError(text);
    return false;
}

namespace {

class DiskFiles : public ExistingFiles {
  public:
    bool exists(const String& path) override { return fileExists(path); }
    String versionText(const String& path) override { return fileVersionText(path); }
    bool timeStamp(const String& path, FileDateTime& stamp) override {
        uint64_t time = 0;
        return fileLastWriteTime(path, time) && fileTimeToRecord(time, stamp);
    }
};

FileFolders installFolders() {
    const PathVariableValues& values = systemPathVariableValues();
    FileFolders folders;
    folders.installDir = values.value(PathVariable::InstallDir);
    folders.sharedDir = values.value(PathVariable::SharedDir);
    folders.uninstallDir = values.value(PathVariable::UninstallDir);
    folders.fontsDir = specialFolder(SpecialFolder::Fonts);
    folders.systemDir = systemFolder();
    folders.portable = (driveKind(folders.installDir) & (kDriveRemovable | kDriveRamDisk)) != 0;
    return folders;
}

void expandVariables(String& text) {
    expandPathVariables(text);
}

void logTarget(const String& target, const String& message) {
    logText(target);
    logText8(message.c_str(), message.length());
}

// The target's folder, made with its parents; false (and the error listed) when it cannot be.
bool makeTargetFolder(const String& folder, const String& target) {
    if (createFolder(folder)) return true;
    uint32_t error = lastSystemError();
    String reason = fileExists(folder)
                        ? String(
                              u"Cannot create directory because there is a file with the same "
                              u"name.")
                        : systemErrorText(error);
    String text = formatWide(u"%s %s\r\n%s\r\n\r\nNot installed: %s\r\n\r\n",
                             Message(kMessageFolderFailed).w_str(), folder.w_str(), reason.w_str(),
                             target.w_str());
    logText(text);
    appendWideError(text);
    return false;
}

void installRecord(const FileRecord& record, const FileFolders& folders, ExistingFiles& files) {
    UninstallData& data = uninstallData();
    FileTarget target = resolveFileTarget(record, folders, expandVariables);
    // Call point: the status line shows the target, or message 54 for hidden names, once the
    // progress display exists.
    FileDecision decision = decideFile(record, target.path, folders.portable, files);
    if (!decision.message.empty()) logTarget(target.path, decision.message);
    if (!decision.install) {
        if (decision.recordRefused) data.recordDeletionWide(target.path, DeletionKind::File);
        return;
    }
    bool counted = isCountedRecord(record.kind, record.options, folders.portable);
    String folder = parentFolder(target.path);
    if (target.createFolder && !folder.equalsNoCaseWide(folders.installDir.w_str())) {
        if (!makeTargetFolder(folder, target.path)) return;
        if (counted || record.kind == kFileKindShared) {
            data.recordDeletionWide(folder, DeletionKind::Folder);
        }
    }
    if (counted) data.recordDeletionWide(target.path, DeletionKind::File);
    bool scheduled = false;
    bool written = WriteInstalledFile(target.path, record.data, FileDateTime::read(record.date),
                                      record.attributes, decision.foundExisting, scheduled);
    if (written && (installScript().ProductFlags & kFlagsLogEveryItem)) {
        logText(fileName(target.workingName));
        logText8(" >>> ");
        logText(target.path);
        logText8("\r\n");
    }
    if (written) fileInstallationState().writtenInPlace.push_back(target.path);
}

}  // namespace

// Fonts, shortcuts, shared-file counts, COM, type libraries, drivers, packages and applets are
// queued or handled by their own actions; this loop puts the files on disk and records them.
void InstallFiles() {
    Payload& payload = setupPayload();
    InstallScript& script = installScript();
    DataArea area;
    OpenDataArea(payload, area, script.ExternalData != 0,
                 (script.ProductFlags & kFlagsCompressedBlocks) != 0);
    FileFolders folders = installFolders();
    DiskFiles files;
    int32_t count = payload.header.FileCount;
    for (int32_t i = 0; i < count; ++i) {
        // Call point: progress i * 62 / count + 28 once the progress display exists.
        FileRecord record;
        PayloadResult result = area.nextFileRecord(i, record, setupState().SilentMode);
        if (!result.ok()) raiseCorruption(result.code);
        if (!isKnownFileKind(record.kind)) raiseCorruption(kCodeUnknownFileKind);
        installRecord(record, folders, files);
    }
}

}  // namespace tessarin
