#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "actions/file_installation.h"
#include "actions/rollback.h"
#include "actions/shared_files.h"
#include "actions/shortcuts.h"
#include "core/convert.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/file_time.h"
#include "core/font_resource.h"
#include "core/format.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/registry.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "package/install_script.h"
#include "package/payload.h"
#include "services/install_log.h"
#include "services/path_variables.h"
#include "services/progress.h"
#include "services/setup_state.h"
#include "services/uninstall_data.h"

namespace tessarin {

namespace {

constexpr int kWriteAttempts = 3;
constexpr uint32_t kRetryPause = 50;
constexpr uint32_t kAttributeMask = 0x1127;

uint64_t productFlags() {
    return installScript().ProductFlags;
}

constexpr size_t kCompareChunk = 64 * 1024;

enum class TempWrite { Written, Failed, Mismatch, SourceFailed };

// Every byte of data, from the first, into the open file.
TempWrite copyData(File& file, FileData& data) {
    if (!data.rewind()) return TempWrite::SourceFailed;
    const uint8_t* piece;
    size_t size;
    while (true) {
        if (!data.next(piece, size)) return TempWrite::SourceFailed;
        if (size == 0) return TempWrite::Written;
        if (!file.write(piece, static_cast<int32_t>(size))) return TempWrite::Failed;
    }
}

// The file as written holds data byte for byte, and nothing after it.
TempWrite compareData(const String& path, FileData& data) {
    File file;
    if (file.open(path.w_str(), kFileOpenExisting | kFileNoWrite) != kFileOk)
        return TempWrite::Mismatch;
    if (!data.rewind()) return TempWrite::SourceFailed;
    std::vector<uint8_t> back(kCompareChunk);
    const uint8_t* piece;
    size_t size;
    while (true) {
        if (!data.next(piece, size)) return TempWrite::SourceFailed;
        if (size == 0) break;
        while (size > 0) {
            size_t n = std::min(size, kCompareChunk);
            if (!file.read(back.data(), static_cast<int32_t>(n)) ||
                std::memcmp(back.data(), piece, n) != 0)
                return TempWrite::Mismatch;
            piece += n;
            size -= n;
        }
    }
    uint8_t more;
    return file.readSome(&more, 1) == 0 ? TempWrite::Written : TempWrite::Mismatch;
}

// The data streams into the temporary file; date and attributes go onto it, so the target has
// them the moment it appears under its name. A mismatch when read back (the verify option)
// leaves ERROR_WRITE_FAULT.
TempWrite writeTemporary(const String& temp, FileData& data, const FileDateTime& date) {
    {
        File file;
        if (file.open(extendedLengthPath(temp).w_str(), kFileCreateAlways) != kFileOk)
            return TempWrite::Failed;
        TempWrite copied = copyData(file, data);
        if (copied != TempWrite::Written) {
            uint32_t error = lastSystemError();
            file.close();
            SetLastError(error);
            return copied;
        }
    }
    uint64_t time = 0;
    if (!date.isUnset() && recordToFileTime(date, time) && !setFileTimes(temp, time, time)) {
        return TempWrite::Failed;
    }
    if (productFlags() & kFlagsVerifyWrittenFiles) {
        TempWrite back = compareData(temp, data);
        if (back == TempWrite::Mismatch) SetLastError(ERROR_WRITE_FAULT);
        return back;
    }
    return TempWrite::Written;
}

// A target that did not exist is written where it belongs: created new (never over a file that
// appeared meanwhile) and dated through its own handle, so no temporary file, move or second
// open is needed. Whatever fails removes what was created; the caller then takes the route
// through a temporary file.
TempWrite writeNew(const String& target, FileData& data, const FileDateTime& date,
                   uint32_t attributes) {
    TempWrite result;
    {
        File file;
        if (file.open(extendedLengthPath(target).w_str(), kFileCreateNew, attributes) != kFileOk)
            return TempWrite::Failed;
        result = copyData(file, data);
        uint64_t time = 0;
        if (result == TempWrite::Written && !date.isUnset() && recordToFileTime(date, time) &&
            !file.setCreationAndWriteTime(time, time))
            result = TempWrite::Failed;
    }
    if (result == TempWrite::Written && (productFlags() & kFlagsVerifyWrittenFiles))
        result = compareData(target, data);
    if (result != TempWrite::Written) deleteFile(target);
    return result;
}

// One attempt: unless an earlier attempt left the whole file in temp, a fresh temporary file
// beside the target takes the data; then it is moved onto the target. A temporary file that was
// written but could not be moved stays in temp, for the next attempt or the restart.
TempWrite attemptWrite(const String& target, FileData& data, const FileDateTime& date, String& temp,
                       uint32_t& error) {
    if (temp.empty()) {
        temp = temporaryFileName(parentFolder(target), String(), kTempNameKeepFolder);
        if (temp.empty()) {
            error = lastSystemError();
            return TempWrite::Failed;
        }
        TempWrite written = writeTemporary(temp, data, date);
        if (written != TempWrite::Written) {
            error = lastSystemError();
            deleteFile(temp);
            temp = String();
            return written;
        }
    }
    uint32_t options =
        (productFlags() & kFlagsOverwriteProtected) ? 0u : uint32_t{kMoveRefuseReadOnlyTarget};
    if (moveFile(temp, target, options)) return TempWrite::Written;
    error = lastSystemError();
    return TempWrite::Failed;
}

void appendWideError(const String& text) {
    String narrow;
    toNarrow(text.w_str(), text.wideLength(), narrow);
    appendError(narrow.c_str(), narrow.length());
}

TempWrite scheduleReplacement(const String& target, FileData& data, const FileDateTime& date,
                              String& temp, String& text) {
    if (temp.empty()) {
        temp = temporaryFileName(parentFolder(target), String(), kTempNameKeepFolder);
        TempWrite written = temp.empty() ? TempWrite::Failed : writeTemporary(temp, data, date);
        if (written != TempWrite::Written) {
            String reason = systemErrorText(lastSystemError());
            if (!temp.empty()) deleteFile(temp);
            temp = String();
            if (written == TempWrite::SourceFailed) return written;
            formatAppendWide(text,
                             u"Failed to register '%s' for replacement because no temporary file "
                             u"could be created.\r\n%s\r\n\r\n",
                             target.w_str(), reason.w_str());
            return TempWrite::Failed;
        }
    }
    if (!moveFile(temp, target, kMoveAtReboot)) {
        String reason = systemErrorText(lastSystemError());
        formatAppendWide(text,
                         u"Failed to register '%s' for replacement with temporary file '%s'\r\n"
                         u"%s\r\n\r\n",
                         target.w_str(), temp.w_str(), reason.w_str());
        deleteFile(temp);
        temp = String();
        return TempWrite::Failed;
    }
    fileInstallationState().rebootRequired = true;
    logFormatWide(
        u"\"%s\" was successfully registered for replacement.\r\nTemporary file is "
        u"\"%s\"\r\nReboot will be required.\r\n\r\n",
        target.w_str(), temp.w_str());
    return TempWrite::Written;
}

}  // namespace

bool WriteInstalledFile(const String& target, FileData& data, const FileDateTime& date,
                        int32_t attributes, bool existed, bool& scheduled) {
    scheduled = false;
    String temp;
    uint32_t error = 0;
    if (!existed) {
        // The archive attribute alone is what the new file gets when it is made.
        uint32_t wanted = static_cast<uint32_t>(attributes) & kAttributeMask;
        bool atCreation = attributes != kNoAttributes && wanted == FILE_ATTRIBUTE_ARCHIVE;
        TempWrite result = writeNew(target, data, date, atCreation ? wanted : kFileAttributeNormal);
        if (result == TempWrite::SourceFailed) return false;
        if (result == TempWrite::Written) {
            if (attributes != kNoAttributes && !atCreation) setFileAttributes(target, wanted);
            return true;
        }
    }
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        TempWrite result = attemptWrite(target, data, date, temp, error);
        if (result == TempWrite::Written) {
            if (attributes != kNoAttributes) {
                setFileAttributes(target, static_cast<uint32_t>(attributes) & kAttributeMask);
            }
            return true;
        }
        if (result == TempWrite::SourceFailed) return false;
        bool mismatch = result == TempWrite::Mismatch;
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
        if (attempt + 1 < kWriteAttempts && !mismatch) pauseMilliseconds(kRetryPause);
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
    if (rebootAllowed) {
        TempWrite result = scheduleReplacement(target, data, date, temp, text);
        if (result == TempWrite::SourceFailed) return false;
        if (result == TempWrite::Written) {
            scheduled = true;
            return false;
        }
    }
    if (!temp.empty()) deleteFile(temp);
    appendWideError(text);
    return false;
}

namespace {

// The open record's data as the writer takes it. A fault leaves its corruption code, which ends
// the installation once nothing of the file is left behind.
class RecordData : public FileData {
  public:
    explicit RecordData(DataArea& area) : area_(area) {}
    bool next(const uint8_t*& piece, size_t& size) override {
        read_ = true;
        return keep(area_.readData(piece, size));
    }
    bool rewind() override {
        if (!read_) return true;
        read_ = false;
        return keep(area_.rewindData());
    }
    void raiseIfFailed() const {
        if (code_ != kCodeOk) raiseCorruption(code_);
    }
    // Reads and checks what the writer left of the record.
    void finish() {
        keep(area_.finishRecord());
        raiseIfFailed();
    }

  private:
    bool keep(const PayloadResult& result) {
        if (!result.ok()) code_ = result.code;
        return result.ok();
    }

    DataArea& area_;
    bool read_ = false;
    int code_ = kCodeOk;
};

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
    folders.portable = onPortableDrive(folders.installDir);
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
// Files come folder by folder, so the folder made for the previous file is not looked up again
// (a folder removed meanwhile is made again by the writer, which creates missing parents).
bool makeTargetFolder(const String& folder, const String& target) {
    static String lastMade;
    if (!lastMade.empty() && folder == lastMade) return true;
    lastMade = String();
    if (createFolder(folder)) {
        lastMade = folder;
        return true;
    }
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

bool isSharedKind(int32_t kind) {
    return kind == kKindSharedFolderFile || kind == kKindSystemFile ||
           kind == kKindSystemComServer || kind == kKindSystemTypeLibrary;
}

void showRecordStatus(const FileRecord& record, const String& target) {
    if (fileNameHidden(record, productFlags())) {
        showStatusMessage(kMessageInstallingFiles);
    } else {
        showStatusText(target);
    }
}

// Follow-ups that depend only on the kind: the shared-file count and the registrations of the
// later steps.
void queueFollowUps(const FileRecord& record, const String& target, bool portable) {
    FileInstallationState& state = fileInstallationState();
    if (record.kind == kFileKindCom) state.comServers.push_back(target);
    if (record.kind == kFileKindTypeLib) state.typeLibraries.push_back(target);
    String entry = sharedFileEntry(pathText(target), record.kind,
                                   (record.options & kFileOptionPermanent) != 0, portable);
    if (!entry.empty()) sharedFileList().append(entry);
}

// The font's value names its file: by its name when it lies in the Fonts folder, as the system
// keeps its own, else by its full path. The font table gets it for this session at once.
void registerFont(const FileRecord& record, const String& target, const String& fontsDir) {
    String file = fileName(target);
    showStatusText(fontStatusText(Message(kMessageFontInstalled), file));
    String displayName;
    toWide(record.label.c_str(), record.label.length(), displayName);
    String valueData = parentFolder(target).equalsNoCaseWide(fontsDir.w_str()) ? file : target;
    RegistryKey key;
    if (key.open(kHkeyLocalMachine, fontRegistrationKey(), 0, kRegAccessWriteValues) ==
            kRegOpenFailed ||
        !key.writeText(displayName.w_str(), valueData)) {
        String reason = systemErrorText(lastSystemError());
        logFormatWide(u"Failed to register font %s: %s\r\n", target.w_str(), reason.w_str());
    }
    addFontResource(target);
    FileInstallationState& state = fileInstallationState();
    state.fontsChanged = true;
    if (!(record.options & kFileOptionPermanent)) {
        state.fontList.append(fontListEntry(record.label, pathText(file)));
    }
}

void afterWrite(const FileRecord& record, const String& target, const FileFolders& folders) {
    switch (record.kind) {
        case kFileKindFont:
            registerFont(record, target, folders.fontsDir);
            break;
        case kFileKindDriver:
            fileInstallationState().drivers.push_back(target);
            break;
        case kFileKindMsi:
            // Call point: the package is installed here, once component installation exists.
            break;
        case kFileKindApplet:
            // Call point: the applet is registered here, once component installation exists.
            break;
        default:
            break;
    }
}

void installRecord(const FileRecord& record, RecordData& source, const FileFolders& folders,
                   ExistingFiles& files) {
    UninstallData& data = uninstallData();
    FileTarget target = resolveFileTarget(record, folders, expandVariables);
    ShortcutRecord shortcut;
    if (fileShortcutRecord(record, target.path, shortcut)) shortcutList().append(shortcut);
    showRecordStatus(record, target.path);
    queueFollowUps(record, target.path, folders.portable);
    FileDecision decision = decideFile(record, target.path, folders.portable, files);
    // A record that is not written is still read and checked before it counts.
    if (!decision.install) source.finish();
    if (!decision.message.empty()) logTarget(target.path, decision.message);
    InstallRollback& rollback = installRollback();
    if (!decision.install) {
        if (decision.recordRefused) {
            data.recordDeletionWide(target.path, DeletionKind::File);
            rollback.kept.add(target.path);
        }
        return;
    }
    bool counted = isCountedRecord(record.kind, record.options, folders.portable);
    // A stopped installation takes back only the files it made.
    const bool existed = files.exists(target.path);
    String folder = parentFolder(target.path);
    if (target.createFolder && !folder.equalsNoCaseWide(folders.installDir.w_str())) {
        if (!makeTargetFolder(folder, target.path)) return;
        if (counted || record.kind == kFileKindShared) {
            data.recordDeletionWide(folder, DeletionKind::Folder);
        }
    }
    if (counted) {
        data.recordDeletionWide(target.path, DeletionKind::File);
        if (existed) rollback.kept.add(target.path);
    } else {
        fileInstallationState().writtenUnrecorded.append(target.path);
    }
    bool scheduled = false;
    bool written = WriteInstalledFile(target.path, source, FileDateTime::read(record.date),
                                      record.attributes, decision.foundExisting, scheduled);
    source.raiseIfFailed();
    if (written && (installScript().ProductFlags & kFlagsLogEveryItem)) {
        logText(fileName(target.workingName));
        logText8(" >>> ");
        logText(target.path);
        logText8("\r\n");
    }
    // Shared and system files are not in the deletion list: the uninstaller finds them through
    // their counts, which a stopped installation may not have taken yet.
    if (written && !existed && !counted && isSharedKind(record.kind))
        rollback.createdFiles.append(target.path);
    if (written) afterWrite(record, target.path, folders);
    // Call point: a control-panel applet scheduled for the restart is registered all the same,
    // once component installation exists.
    if (written) fileInstallationState().writtenInPlace.add(target.path);
}

struct OpenedData {
    DataArea area;
    bool opened = false;
    int32_t next = 0;  // records read so far
};

OpenedData& openedData() {
    static OpenedData data;
    return data;
}

}  // namespace

void OpenFileData() {
    Payload& payload = setupPayload();
    InstallScript& script = installScript();
    OpenedData& data = openedData();
    showStatusMessage(kMessageCheckingData);
    setProgress(21);
    OpenDataArea(payload, data.area, script.ExternalData != 0,
                 (script.ProductFlags & kFlagsCompressedBlocks) != 0);
    data.opened = true;
    data.next = 0;
    showStatusMessage(kMessageInstallingFiles);
    setProgress(26);
}

void InstallFiles() {
    OpenedData& data = openedData();
    if (!data.opened) raiseCorruption(kCodeRecordReader);
    FileFolders folders = installFolders();
    DiskFiles files;
    int32_t count = setupPayload().header.FileCount;
    for (int32_t i = data.next; i < count; ++i) {
        noteProgressTick();
        setProgress(fileProgress(i, count));
        FileRecord record;
        PayloadResult result = data.area.nextFileRecord(i, record, setupState().SilentMode);
        if (!result.ok()) raiseCorruption(result.code);
        data.next = i + 1;
        RecordData source(data.area);
        if (!isKnownFileKind(record.kind)) {
            source.finish();
            raiseCorruption(kCodeUnknownFileKind);
        }
        installRecord(record, source, folders, files);
        source.finish();
    }
}

void FinishFileData() {
    OpenedData& data = openedData();
    if (!data.opened || data.next != setupPayload().header.FileCount) {
        raiseCorruption(kCodeRecordReader);
    }
    if (data.area.hasLeftover()) raiseCorruption(kCodeDataLeftOver);
    // The steps after the loop run without the block buffers.
    CloseDataArea(data.area);
    data.opened = false;
    setProgress(91);
    showStatusMessage(kMessageInstallingFiles);
}

void BroadcastFontChange() {
    if (fileInstallationState().fontsChanged) broadcastFontChange();
}

}  // namespace tessarin
