// Writing, running and capturing a batch file.
#include <windows.h>

#include "core/convert.h"
#include "core/environment.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/process.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "services/batch.h"

namespace tessarin {
namespace {

// The install folder when it exists; otherwise a private folder made for this run in the
// temporary folder (private is set), where no other user can have put a file of the batch's
// name or change the batch before the interpreter reads it. Empty when none can be made.
String workFolder(const PathVariableValues& values, bool& isPrivate) {
    String installDir = values.value(PathVariable::InstallDir);
    isPrivate = !folderExists(installDir);
    return isPrivate ? createPrivateFolder() : installDir;
}

// A private work folder goes with the run; when a file in it has to wait for the restart, so
// does the folder.
void removeWorkFolder(const String& folder) {
    if (!removeFolder(folder)) deleteFile(folder, kDeleteAtReboot | kDeleteKeepAttributes);
}

String wideText(const char* text) {
    return formatWide(u"%hs", text);
}

void reportFailure(BatchReport& report, const char16_t* what, const String& path,
                   const String& reason) {
    String text = formatWide(u"%s \"%s\".\r\n\r\n%s", what, path.w_str(), reason.w_str());
    report.showError(text);
    text.appendWide(u"\r\n");
    report.log(text);
}

// The console output, unless it is blank, followed by an empty line.
void copyCapture(const String& capture, BatchReport& report) {
    File file;
    String output;
    if (file.open(capture.w_str(),
                  kFileOpenExisting | kFileNoWrite | kFileShareRead | kFileShareWrite) != kFileOk ||
        !file.readAll(output))
        return;
    file.close();
    String trimmed = output;
    trimmed.trim(" \r\n\t");
    if (trimmed.empty()) return;
    if (!output.endsWith("\r\n")) output.append("\r\n");
    output.append("\r\n");
    report.logRaw(output);
}

}  // namespace

bool runBatch(const BatchRequest& request, const PathVariableValues& values, BatchReport& report) {
    if (request.commands.empty()) return true;
    bool titled = !request.title.empty();
    if (titled) {
        String line(u"\r\nRunning ");
        String title;
        toWide(request.title.c_str(), request.title.length(), title, 1252);
        line.append(title);
        line.appendWide(u"...\r\n");
        report.log(line);
    }
    String cli = systemCommandInterpreter();
    if (!fileExists(cli)) {
        report.log(formatWide(u"The CLI %s does not exist!\r\n", cli.w_str()));
        return false;
    }

    const OsRecord& os = osRecord();
    bool dropPause = request.automatic || request.hidden;
    String bytes = encodeForConsole(batchText(values, request.commands, dropPause),
                                    consoleReadsUtf8(isNtFamily(), os.major, os.minor));
    bool privateFolder = false;
    String folder = workFolder(values, privateFolder);
    if (folder.empty()) {
        String reason = systemErrorText(GetLastError());
        reportFailure(report, u"Unable to create batch file",
                      joinPath(temporaryFolder(), String(kBatchFileName)), reason);
        return false;
    }
    String batchFile = joinPath(folder, String(kBatchFileName));
    int written = writeFile(batchFile, bytes.c_str(), bytes.length());
    if (written != kFileOk) {
        reportFailure(report, u"Unable to create batch file", batchFile,
                      wideText(fileErrorText(written)));
        if (privateFolder) {
            deleteFile(batchFile);
            removeWorkFolder(folder);
        }
        return false;
    }

    String capture = joinPath(folder, String(kBatchCaptureName));
    bool capturing = false;
    if (titled) {
        int created = writeFile(capture, nullptr, 0);
        if (created != kFileOk) {
            report.log(formatWide(u"Failed to create batch output capture file.  %hs\r\n",
                                  fileErrorText(created)));
        } else {
            capturing = true;
        }
    }

    String line = batchCommandLine(cli, batchFile, capturing ? capture : String());
    uint32_t options =
        kLaunchWait | kLaunchPumpMessages | (request.hidden ? uint32_t{kLaunchHidden} : 0u);
    SetLastError(ERROR_SUCCESS);
    bool started = launch(line, options, folder) != kLaunchNotStarted;
    if (!started)
        reportFailure(report, u"Unable to launch batch file", batchFile,
                      systemErrorText(GetLastError()));
    else if (capturing)
        copyCapture(capture, report);

    if (capturing) deleteFile(capture, kDeleteRebootFallback);
    // In a private folder the batch file waits for the restart like the capture file, so that
    // the folder can go then.
    deleteFile(batchFile, privateFolder ? uint32_t{kDeleteRebootFallback} : 0u);
    if (privateFolder) removeWorkFolder(folder);
    return started;
}

String systemCommandInterpreter() {
    String comspec(u"%comspec%");
    if (!expandEnvironmentStrings(comspec)) comspec.clear();
    return commandInterpreter(comspec, osRecord().platform == kPlatformWindows9x, windowsFolder(),
                              systemFolder());
}

}  // namespace tessarin
