// The system PATH edit: the installer adds the product's folder to the machine's "Path"
// variable and the uninstaller takes it out again.
//
// Entries are compared whole (ignoring case and a trailing backslash), so that a folder never
// matches a longer neighbour that merely begins with it. The edits are portable
// (system_path.cpp); system_path_win.cpp reads and writes the registry value.
#pragma once

#include "core/string.h"
#include "services/reporter.h"

namespace tessarin {

// The folder that goes into the PATH: installDir for an empty subfolder, the subfolder itself
// when it is absolute, otherwise the subfolder below installDir. UTF-16.
String systemPathFolder(const String& subfolder, const String& installDir);

// The PATH text (UTF-16) with folder appended as a last entry; false (and result untouched)
// when it is an entry already.
bool pathWithFolder(const String& path, const String& folder, String& result);
// The PATH text without any entry that is folder, with one ";" of each entry taken out; the
// rest of the text is kept as it is. False when no entry matched.
bool pathWithoutFolder(const String& path, const String& folder, String& result);

// What the edit asks of the system.
class SystemPathAccess {
  public:
    virtual ~SystemPathAccess() = default;
    // The "Path" value; false when the environment key cannot be opened.
    virtual bool readPath(String& path) = 0;
    virtual bool writePath(const String& path) = 0;  // as REG_EXPAND_SZ
    virtual bool folderExists(const String& folder) = 0;
    virtual void announceChange() = 0;  // running programs re-read the environment
};

// Adds (add) or removes the folder. Nothing happens when the key cannot be opened or "Path"
// is empty; a folder to add that does not exist is logged and left out.
void editSystemPath(bool add, const String& subfolder, const String& installDir,
                    SystemPathAccess& access, Reporter& reporter);

// The running system: HKLM "SYSTEM\CurrentControlSet\Control\Session Manager\Environment".
// Windows only.
void AddToSystemPath(bool add, const String& subfolder, const String& installDir,
                     Reporter& reporter);

}  // namespace tessarin
