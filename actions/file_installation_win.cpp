#include <windows.h>

#include "actions/file_installation.h"
#include "core/convert.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/file_time.h"
#include "core/format.h"
#include "core/path.h"
#include "core/system_error.h"
#include "services/install_log.h"
#include "setup/install_script.h"

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

}  // namespace tessarin
