// Telling the shell that associations or folders changed.
#pragma once

#include "core/string.h"

namespace tessarin {

void notifyAssociationsChanged();
// path is UTF-16; nothing happens for an empty path.
void notifyFolderUpdated(const String& path);
// The common desktop when allUsers, otherwise the user's.
void notifyDesktopUpdated(bool allUsers);

}  // namespace tessarin
