// The installer's own payload: found in the executable, checked, unpacked. Every structural
// fault ends the process with the corruption message and its code.
#pragma once

#include <cstdint>

#include "core/string.h"
#include "package/payload_reader.h"
#include "package/payload_section.h"

namespace tessarin {

// The fatal messages of the payload. Those that can carry text in any language (the script's
// message 13, the program's path, the system's error text) are UTF-16 from end to end.
//
// "This installation program is corrupt. ... Error code: %d" (or the script's message 13,
// UTF-16, used as the format once a script is loaded).
String corruptionMessage(int code, const String& scriptMessage13 = String());
// "Error code 1: The installer could not open itself. ..." with the UTF-16 path and error text.
String selfOpenFailureMessage(const String& path, uint32_t error, const String& errorText);
String versionMismatchMessage(const String& foundVersion);

struct Payload {
    SetupSection section;
    PayloadHeader header;
    String script;
    const uint8_t* sectionBase = nullptr;  // in the loaded image
    // The data area is read from the executable file (set by OpenPayload), else in place from
    // sectionBase.
    bool dataFromFile = false;
    uint64_t fileSize = 0;
    // The size of the uninstaller: the executable without ".setup", or the whole executable.
    uint64_t uninstallerSize = 0;
};

// Ends the process with the corruption message; never returns.
[[noreturn]] void raiseCorruption(int code);

// Opens the program's own executable, locates ".setup" and unpacks the script. Returns false
// when the executable carries no payload at all.
bool OpenPayload(Payload& payload);

// After the script has been read: builds the uninstaller image from the executable's head and
// the bytes after the section, checking ImageCheck when checkImage (codes 35, 40, 42), and
// notes its size. The image itself is not kept.
void PrepareUninstallerImage(Payload& payload, bool checkImage);
// The uninstaller image, built again from the executable when the uninstaller is written;
// empty when the uninstaller is the whole executable. A fault ends the process as above.
String UninstallerImage(const Payload& payload);

// Positions on the data area (in the image, or read from the file with external data) and
// checks its length and checksum.
void OpenDataArea(Payload& payload, DataArea& area, bool externalData, bool compressedBlocks);
// Once every record was read: lets go of the area's buffers and of the file it was read from.
void CloseDataArea(DataArea& area);

}  // namespace tessarin
