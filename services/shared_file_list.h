// The "SharedFiles" text of an installation: the shared files it counted, each between double
// quotes with its marks. The installer writes it and reads its previous installation's; the
// uninstaller releases what it names.
#pragma once

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

struct SharedFileEntry {
    String path;  // 8-bit as stored: the system code page, or "|" and UTF-8
    bool comServer = false;
    bool permanent = false;
    bool typeLibrary = false;
};

// The entries of a "SharedFiles" value: the pieces between double quotes that are neither empty
// nor a ";" separator. Flag characters ("^", " ", 0xA9) are taken from the front of a piece
// and, as the installer writes them, from its end.
Vector<SharedFileEntry> parseSharedFiles(const String& text);

}  // namespace tessarin
