// The installation log. During the installation every install step writes its item lines to
// the log body (a temporary file); failures the user must see go to the process-wide error
// list. When the installation ends, Install.log in the uninstall folder gets one block: a
// header describing the installation, the body, and the success line or the failure summary.
//
// Install.log is UTF-8 with one byte-order mark at its start and CR LF line ends; each
// installation appends its block after a separator line.
//
// The writers, the error list, the header and the block are portable (install_log.cpp); the
// body file and the file work live in install_log_win.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

#include "core/date_time.h"
#include "core/format.h"
#include "core/string.h"
#include "package/install_script.h"

namespace tessarin {

inline constexpr const char* kLogByteOrderMark = "\xEF\xBB\xBF";
inline constexpr const char* kLogSeparator =
    "\r\n\r\n**********************************************\r\n";
inline constexpr const char* kLogFailureSummary = "*** FAILURE SUMMARY ***\r\n";
inline constexpr const char* kLogInstallerVersion = "37.0.2";
inline constexpr const char16_t* kInstallLogName = u"Install.log";
// ProductFlags low word: keep a log of every installation, not only of failed ones.
inline constexpr uint64_t kFlagsKeepLog = 0x40;
// ProductFlags low word: log every installed file and shortcut.
inline constexpr uint64_t kFlagsLogEveryItem = 0x00100000;
// Message numbers: the success line of the log.
inline constexpr int32_t kMessageLogSuccess = 43;

// ---- The body and its writers -----------------------------------------------------------

// Where item lines are collected until the log is finished.
class LogBody {
  public:
    virtual ~LogBody() = default;
    virtual bool append(const void* bytes, int32_t length) = 0;
    // The whole content written so far.
    virtual bool read(String& content) = 0;
    // The same handed to take a piece at a time, in order, for a body too large to be held
    // whole; false when it cannot be read or take refuses a piece. By default one piece.
    virtual bool readPieces(const std::function<bool(const String& piece)>& take);
};

// The body that the writers append to; null (the start, and in the uninstaller) drops every
// line. The caller keeps the body alive while it is set.
void setLogBody(LogBody* body);
LogBody* logBody();

// Line writers. None adds a line end: callers supply "\r\n". A write that fails is lost.
void logText8(const char* text, int32_t length = kWholeLength);  // code page 1252
void logText(const String& text);                                // UTF-16; "?" where unconvertible
void logWide(const char16_t* text);                              // UTF-16
void logRaw(const void* bytes, int32_t length);                  // as it is
void logFormat(const char* fmt, ...) TESSARIN_PRINTF(1, 2);      // then as logText8
void logFormatWide(const char16_t* fmt, ...);                    // then as logText
void logConcat(std::initializer_list<const char*> texts);        // joined, then as logText8
void logConcatWide(std::initializer_list<const char16_t*> texts);

// UTF-16 to UTF-8; characters that cannot be converted (lone surrogates) become "?".
String utf8FromWide(const String& text);
// 8-bit text in a code page to UTF-8; bytes the code page does not map become "?".
String utf8FromNarrow(const char* text, int32_t length, int codePage);

// ---- The error list ---------------------------------------------------------------------

// The process-wide list of failures the user must see: 8-bit text in the system ANSI code
// page. Empty means the installation succeeded.
String& errorList();
void appendError(const char* text, int32_t length = kWholeLength);
void appendErrorFormat(const char* fmt, ...) TESSARIN_PRINTF(1, 2);

// ---- Install.log --------------------------------------------------------------------------

// The values of a block's header.
struct InstallLogHeader {
    String productName;  // UTF-16
    DateTime installDate;
    bool showInstallType = false;  // the product has an uninstall entry
    bool reinstall = false;
    String installDir;  // UTF-16
    String version;     // UTF-16; the line is left out when empty
    String oldVersion;  // UTF-16; the line is left out when empty
    String osName;      // 8-bit, system ANSI code page: the long display name
};

InstallLogHeader installLogHeader(const InstallScript& script, bool reinstall, const DateTime& now,
                                  const String& osName);

// The header lines, UTF-8.
String installLogHeaderText(const InstallLogHeader& header);

// One block as appended to Install.log: the separator (or the byte-order mark when the file
// was empty), the header, the body, a line end, and the success line (UTF-16, message 43)
// when the error list (8-bit, system ANSI) is empty, else the failure summary.
String installLogBlock(const InstallLogHeader& header, const String& body, bool fileHadContent,
                       const String& errors, const String& successLine);
// The block's parts before and after the body.
String installLogBlockHead(const InstallLogHeader& header, bool fileHadContent);
String installLogBlockTail(const String& errors, const String& successLine);

// Install.log is written when the script asks for a log or when the installation failed.
bool installLogWanted(uint64_t productFlags, const String& errors);

// An existing log that is not UTF-8 with a byte-order mark was written in code page 1252:
// true and its UTF-8 form with the mark in converted. False for an empty or a UTF-8 log.
bool convertLegacyLog(const String& existing, String& converted);

// Install.log as the composition sees it: the Win32 side answers with the real file.
class LogFile {
  public:
    virtual ~LogFile() = default;
    // Opens for reading and writing, created when missing, shared for reading.
    virtual bool open(const String& path) = 0;
    virtual bool read(String& content) = 0;
    // The first n bytes, or the whole file when it is shorter.
    virtual bool readStart(int32_t n, String& start) = 0;
    virtual bool replace(const String& content) = 0;  // the whole file
    virtual bool append(const String& bytes) = 0;     // at the end
    virtual void close() = 0;
};

// Appends the block to the log at path: opens it (false when it cannot be opened, and nothing
// is written), converts a legacy log, appends, closes. The body (none: an empty one) goes
// across piece by piece; the log is read whole only when a legacy log is converted.
bool appendInstallLog(LogFile& file, const String& path, const InstallLogHeader& header,
                      LogBody* body, const String& errors, const String& successLine);

// The uninstall folder joined with "Install.log".
String installLogPath(const String& uninstallDir);

// ---- The running installer (install_log_win.cpp) ------------------------------------------

// Opens a new temporary file as the log body. False when it cannot be made: lines then go
// nowhere.
bool startLogBody();
// Closes and deletes the body file; later lines go nowhere.
void discardLogBody();
// The temporary file of the body, empty when none is open.
String logBodyPath();

// At the end of the installation: writes Install.log into the uninstall folder of the install
// state when it is wanted, then discards the body. True when Install.log was written.
bool finishInstallLog(bool reinstall);
// After the log was finished: appends UTF-16 text (as UTF-8) to Install.log in the uninstall
// folder, for failures of the launches at the very end. False when the file cannot be written.
bool appendToInstallLogFile(const String& text);

}  // namespace tessarin
