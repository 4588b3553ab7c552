#include "uninstall/association_restore.h"

#include "core/convert.h"
#include "core/format.h"
#include "core/path.h"

namespace tessarin {

namespace {

String wideText(const String& text) {
    String wide;
    toWide(text.c_str(), text.length(), wide, kCodePageSystem);
    return wide;
}

bool isRemovedFromBackupName(char16_t c) {
    return c == u'\\' || c == u'\r' || c == u'\n' || c == u'\t';
}

// One association's keys and the backup value name, all UTF-16.
class AssociationUndo {
  public:
    AssociationUndo(const FileAssociation& association, const String& backupName,
                    AssociationRegistry& registry)
        : extension_(wideText(association.extension)),
          programId_(wideText(association.programId)),
          verb_(wideText(association.verb)),
          hasIcon_(!association.icon.empty()),
          backup_(backupName),
          registry_(registry) {}

    bool wanted() const { return !extension_.empty() && !programId_.empty(); }
    const String& extension() const { return extension_; }
    const String& programId() const { return programId_; }

    void run() {
        bool extensionRestored = restoreDefault(extension_, false);
        if (verb_.equalsNoCaseWide(u"open")) {
            String withProgids = joinPath(extension_, String(u"OpenWithProgids"));
            registry_.deleteValue(withProgids, programId_);
            removeIfEmpty(withProgids);
        }
        bool typeRestored = restoreDefault(programId_, false);
        if (hasIcon_) {
            String icon = joinPath(programId_, String(u"DefaultIcon"));
            restoreDefault(icon, true);
            removeIfEmpty(icon);
        }
        if (!verb_.empty()) undoVerb();
        // A type whose description came back from a backup existed before the product.
        removeIfUnused(programId_, !typeRestored);
        if (!extensionRestored && !registry_.contents(programId_).exists) undoExtensionType();
    }

  private:
    // Puts the backup back as the default value and drops the backup; without a backup the
    // product's default value goes when deleteWithoutBackup. True when a backup was restored.
    bool restoreDefault(const String& key, bool deleteWithoutBackup) {
        String saved = registry_.readText(key, backup_);
        if (!saved.empty()) {
            // The backup goes only once its text is back in place.
            if (registry_.writeText(key, String(), saved)) registry_.deleteValue(key, backup_);
            return true;
        }
        if (deleteWithoutBackup) registry_.deleteValue(key, String());
        return false;
    }

    // The command goes first, then the verb key (whose default value is the verb's display
    // text the product wrote), then "shell" once no verb is left in it.
    void undoVerb() {
        String shell = joinPath(programId_, String(u"shell"));
        String verbKey = joinPath(shell, verb_);
        String command = joinPath(verbKey, String(u"command"));
        bool commandRestored = restoreDefault(command, true);
        removeIfEmpty(command);
        if (!commandRestored) removeIfUnused(verbKey, true);
        bool defaultVerbRestored = restoreDefault(shell, false);
        removeIfUnused(shell, !defaultVerbRestored);
    }

    // The type is gone: the extension's default value named it and goes too, unless another
    // program has set a type of its own since. The key goes when nothing else is left.
    void undoExtensionType() {
        String type = registry_.readText(extension_, String());
        if (type.empty() || type.compareNoCaseWide(programId_) == 0)
            registry_.deleteValue(extension_, String());
        removeIfEmpty(extension_);
    }

    void removeIfEmpty(const String& key) { removeIfUnused(key, false); }

    // Deletes the key when it has no sub-keys and no named values, and no default value
    // unless that is the product's own.
    void removeIfUnused(const String& key, bool defaultIsOurs) {
        AssociationKeyContents c = registry_.contents(key);
        if (!c.exists || c.subKeys != 0 || c.namedValues != 0) return;
        if (c.hasDefault && !defaultIsOurs) return;
        registry_.deleteKey(key);
    }

    String extension_;
    String programId_;
    String verb_;
    bool hasIcon_;
    const String& backup_;
    AssociationRegistry& registry_;
};

}  // namespace

String associationBackupName(const String& productName) {
    String name;
    const char16_t* p = productName.w_str();
    for (int32_t i = 0; i < productName.wideLength(); ++i)
        if (!isRemovedFromBackupName(p[i])) name.appendWideChar(p[i]);
    name.appendWide(u" Backup");
    return name;
}

void restoreFileAssociations(const Vector<FileAssociation>& associations, const String& productName,
                             AssociationRegistry& registry, Reporter& reporter) {
    String backup = associationBackupName(productName);
    bool restored = false;
    for (int32_t i = 0; i < associations.count(); ++i) {
        AssociationUndo undo(associations[i], backup, registry);
        if (!undo.wanted()) continue;
        reporter.log(formatWide(u"Restoring file association \"%s\" (%s)...\r\n",
                                undo.extension().w_str(), undo.programId().w_str()));
        undo.run();
        restored = true;
    }
    if (restored) registry.notifyAssociationsChanged();
}

}  // namespace tessarin
