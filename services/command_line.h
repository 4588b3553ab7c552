// The installer's command line: tokenizer, option table and usage message.
#pragma once

#include "core/string.h"

namespace tessarin {

// Options found on the command line. Wide values are UTF-16 Strings; the batch additions are
// 8-bit text in the system ANSI code page.
struct CommandLineOptions {
    bool AutomaticMode = false;
    bool SilentMode = false;
    bool UninstallMode = false;
    bool StartMinimized = false;
    String uninstallProductName;
    bool hasProductName = false;
    String ProductName;
    bool hasInstallDir = false;
    String InstallDir;
    String installDirPath;  // the 8-bit twin of InstallDir (narrow path form)
    String RunAfterInstall;
    String ExtraPreInstallCommands;
    String ExtraPostInstallCommands;
    String ExtraExitCommands;
};

inline constexpr int kMaxCommandLineTokens = 19;

// Takes the next token from text (white space skipped first); quoted parts keep their quotes.
// Returns an empty String at the end.
String nextCommandLineToken(const char16_t*& text);

// Parses the full command line, program path included. On a usage error returns false with
// the error text (8-bit, code page 1252) in error; parsing stops there.
bool parseCommandLine(const char16_t* commandLine, CommandLineOptions& options, String& error);

// The usage message with the error text first and the program's file name second.
String usageMessage(const String& error, const String& programFileName);

}  // namespace tessarin
