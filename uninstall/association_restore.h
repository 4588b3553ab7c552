// Undoing the file associations of an installation. The installer saved every default value it
// replaced under HKEY_CLASSES_ROOT in a backup value named after the product; the uninstaller
// puts those back, removes what the product wrote and deletes the keys the product made once
// nothing else is left in them. Data of other programs under a shared extension or type key
// stays.
//
// The decisions are portable (association_restore.cpp) and ask the registry through
// AssociationRegistry; association_restore_win.cpp answers for the running system.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "services/reporter.h"
#include "services/uninstall_data.h"

namespace tessarin {

// What a key holds. Value names are UTF-16; the default value has the empty name.
struct AssociationKeyContents {
    bool exists = false;
    int32_t subKeys = 0;
    int32_t namedValues = 0;  // values other than the default value
    bool hasDefault = false;
};

// Keys are sub-keys of HKEY_CLASSES_ROOT (UTF-16, no leading backslash).
class AssociationRegistry {
  public:
    virtual ~AssociationRegistry() = default;
    // The text of a value; empty when the key or the value is missing.
    virtual String readText(const String& key, const String& name) = 0;
    // Writes a text value into an existing key; false when that failed.
    virtual bool writeText(const String& key, const String& name, const String& text) = 0;
    virtual void deleteValue(const String& key, const String& name) = 0;
    virtual AssociationKeyContents contents(const String& key) = 0;
    // Deletes a key that has no sub-keys (its values go with it).
    virtual void deleteKey(const String& key) = 0;
    virtual void notifyAssociationsChanged() = 0;
};

// The value name under which the installer saved a replaced default value: the product name
// and " Backup", without backslashes, CR, LF and tabs. UTF-16.
String associationBackupName(const String& productName);

// Restores every association with a non-empty extension and type, then tells the shell when
// at least one was restored. productName is UTF-16.
void restoreFileAssociations(const Vector<FileAssociation>& associations, const String& productName,
                             AssociationRegistry& registry, Reporter& reporter);

// The running system: HKEY_CLASSES_ROOT in the given view (0 or kRegView64). Windows only.
void RestoreFileAssociations(const Vector<FileAssociation>& associations, const String& productName,
                             uint32_t view, Reporter& reporter);

}  // namespace tessarin
