// Batch scripts: a command text of the install script run by the command interpreter in a
// batch file that first sets the installation's values as environment variables.
//
// The file's text, its console encoding and the choice of interpreter are portable
// (batch.cpp); writing, running and capturing are in batch_win.cpp. What a run reports goes to
// a BatchReport, which the caller connects to the installation log and its message boxes.
#pragma once

#include <cstdint>

#include "core/string.h"
#include "services/path_variables.h"

namespace tessarin {

struct InstallScript;

inline constexpr const char16_t* kBatchFileName = u"SETUPBAT.BAT";
inline constexpr const char16_t* kBatchCaptureName = u"cs_batch.log";

struct BatchRequest {
    String commands;  // 8-bit, code page 1252; lines end with CR LF, LF or CR
    bool hidden = false;
    String title;            // 8-bit; empty: no announcement and no capture
    bool automatic = false;  // AutomaticMode: PAUSE lines are dropped, as when hidden
};

// The batches of an installation and of its uninstall entry.
enum class BatchKind {
    PreInstallation,
    Upgrade,
    Reinstall,
    PostInstallation,
    InstallationExit,
    Uninstall1,  // before removal
    Uninstall2,  // after removal
};
// The request for a batch of the script: its commands, the title and hidden options of the
// script's option words, hidden in SilentMode.
BatchRequest batchRequest(BatchKind kind, const InstallScript& script, bool automatic, bool silent);

// A PAUSE line, in any letter case, with blanks around it and an optional leading "@".
bool isPauseLine(const String& line);
// The batch file's text (UTF-16): "@echo off", one SET line per value, then the commands
// converted from code page 1252 (without PAUSE lines when dropPause is set).
String batchText(const PathVariableValues& values, const String& commands, bool dropPause);
// The bytes of a batch file for the console: code page 1252 behind "@chcp 1252 >nul" when the
// console cannot read UTF-8 or the text is plain ASCII, else UTF-8 behind "@chcp 65001 >nul";
// every line ended by CR LF.
String encodeForConsole(const String& text, bool utf8Console);
// Whether the console of this system version reads UTF-8 batch files (Windows 7 and later).
bool consoleReadsUtf8(bool ntFamily, uint32_t major, uint32_t minor);

// The command interpreter: the expanded "%comspec%" when that worked, else "command.com" in
// the Windows folder on Windows 9x and "cmd.exe" in the system folder elsewhere.
String commandInterpreter(const String& expandedComspec, bool windows9x,
                          const String& windowsFolder, const String& systemFolder);
// The same for the running system (Windows only).
String systemCommandInterpreter();
// The command line that runs a batch file, its output going to capture when one is given:
// "<interpreter>" /s /c ""<batch>" > "<capture>"". Every path is quoted, so a folder with a blank
// works also on a volume without short names; /s makes the interpreter drop exactly the outer
// pair of quotes around the command.
String batchCommandLine(const String& interpreter, const String& batchFile,
                        const String& capture = String());

// Where a run reports. Texts are UTF-16 unless noted.
class BatchReport {
  public:
    virtual ~BatchReport() = default;
    virtual void log(const String& text) = 0;
    virtual void logRaw(const String& bytes) = 0;  // captured console output, bytes unchanged
    virtual void showError(const String& text) = 0;
};

// Writes, runs and waits for the batch in the work folder (the install folder when it exists,
// else the temporary folder), then removes its files. True when it was started or had no
// commands; its exit code is not examined. Windows only.
bool runBatch(const BatchRequest& request, const PathVariableValues& values, BatchReport& report);

}  // namespace tessarin
