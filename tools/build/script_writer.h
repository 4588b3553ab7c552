// Writing the install script: the bytes that the installer's script reader takes, produced
// from an InstallScript through the same field walk (package/script_format.h).
#pragma once

#include <cstdint>

#include "core/string.h"
#include "package/install_script.h"

namespace tessarin::build {

struct ScriptWriteOptions {
    // Refuse values that the installer's range checks reject. Off, such values are written
    // as they are (tests use this to make damaged scripts).
    bool checkRanges = true;
};

// Serialises script in the installer's field order. Written are the stored fields:
// ProductName as the script's product name, Version8 (not its UTF-16 twin), DefaultInstallDir
// (not InstallDir), the lists, the message table (MessageCount, Languages, Texts; missing
// texts are written empty), and every other field as it is. Fields that the installer derives
// while reading (InstallDir, Version, DesktopShortcuts, MonoColor, BackgroundMaximized,
// CurrentLanguage, ...) and ProductFlags2 (a payload header field) are not part of the script.
//
// Throws std::runtime_error when the script cannot be expressed: with checkRanges a value
// outside a range check (the message names its corruption code), and always a zero inside a
// zero-terminated text, a length beyond its field's length form, a list entry that equals its
// list's end marker, more than 255 languages or more texts than the table holds.
String writeInstallScript(const InstallScript& script, const ScriptWriteOptions& options = {});

// The length prefix of a counted field: 1 byte below 255, else 255 and a 16-bit length whose
// low byte is not 255, else 255, 255 and an int32.
void appendCountedLength(String& out, uint32_t length);

}  // namespace tessarin::build
