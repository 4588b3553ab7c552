#include <windows.h>

#include "core/convert.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/file_time.h"
#include "core/folder_protection.h"
#include "core/font_resource.h"
#include "core/path.h"
#include "core/privilege.h"
#include "core/registry.h"
#include "core/special_folders.h"
#include "core/system_colour.h"
#include "core/system_error.h"
#include "core/ui.h"
#include "services/uninstall_data.h"
#include "uninstall/uninstall_entry.h"

namespace tessarin {

namespace {

bool isText(const RegistryValue& value) {
    return value.type == kRegTypeSz || value.type == kRegTypeExpandSz;
}

// The entry's values from its open key.
class RegistryEntryValues : public EntryValues {
  public:
    explicit RegistryEntryValues(RegistryKey& key) : key_(key) {}
    bool wideText(const char* name, String& text) override {
        return readText(name, kRegConvertName, text);
    }
    bool narrowText(const char* name, String& text) override { return readText(name, 0, text); }
    bool number(const char* name, uint32_t& value) override {
        RegistryValue read;
        if (!key_.read(name, read) || !read.isNumber()) return false;
        value = read.number;
        return true;
    }
    int32_t systemColour(int index) override { return tessarin::systemColour(index); }
    bool onPortableDrive(const String& folder) override {
        return tessarin::onPortableDrive(folder);
    }

  private:
    bool readText(const char* name, uint32_t options, String& text) {
        RegistryValue read;
        if (!key_.read(name, read, options) || !isText(read)) return false;
        text = std::move(read.text);
        return true;
    }
    RegistryKey& key_;
};

// Fonts go from the system's registration key, the font table and the Fonts folder; the list is
// emptied in the entry.
class SystemFonts : public FontSystem {
  public:
    explicit SystemFonts(RegistryKey& entry) : entry_(entry) {}
    bool confirm(const String& question, const String& caption) override {
        return showMessageBox(nullptr, question, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    String fontsFolder() override { return specialFolder(SpecialFolder::Fonts); }
    uint32_t deleteRegistration(const String& fontName) override {
        RegistryKey key;
        if (key.open(kHkeyLocalMachine, fontRegistrationKey(), kRegOpenExisting,
                     kRegAccessWriteValues) == kRegOpenFailed)
            return lastSystemError();
        return key.deleteValue(fontName.w_str()) == kRegDeleteFailed ? lastSystemError() : 0;
    }
    uint32_t removeResource(const String& path) override {
        return removeFontResource(path) ? 0 : lastSystemError();
    }
    uint32_t deleteFontFile(const String& path) override {
        return deleteFile(path, kDeleteMissingIsDeleted) ? 0 : lastSystemError();
    }
    void clearFontList() override { entry_.writeText("ProductFonts", String()); }
    void broadcastFontChange() override { tessarin::broadcastFontChange(); }
    String errorText(uint32_t code) override { return systemErrorText(code); }

  private:
    RegistryKey& entry_;
};

}  // namespace

String uninstallEntryPath(const String& name) {
    return joinPath(String(kUninstallKeyParent), name);
}

// The installer writes the entry in the 32-bit view, so the 64-bit build reads it there too.
// Whether the key exists is asked with full access: a user without administrator rights then
// learns why, instead of being told that the entry cannot be read.
String OpenUninstallEntry(const String& name, RegistryKey& key, UninstallSettings& settings,
                          Reporter& reporter) {
    key.closeAll();
    const String path = uninstallEntryPath(name);
    if (!key.exists(kHkeyLocalMachine, path.w_str(), 0, kRegView32))
        return lastSystemError() == ERROR_ACCESS_DENIED ? permissionDeniedMessage()
                                                        : notInstalledMessage(name);
    if (key.open(kHkeyLocalMachine, path.w_str(), kRegOpenExisting,
                 kRegAccessWriteValues | kRegView32) == kRegOpenFailed)
        return inaccessibleEntryMessage(name);
    RegistryEntryValues values(key);
    String message = readUninstallSettings(name, values, settings, reporter);
    if (!message.empty()) key.closeAll();
    return message;
}

// An uninstaller without administrator rights can do no more than its user could anyway.
String CheckUninstallRecords(const UninstallSettings& settings) {
    if (!runsElevated()) return String();
    return unprotectedRecordsMessage(settings.DisplayName, settings.uninstallFolder,
                                     readObjectSecurity, processUserSid());
}

String LoadUninstallData(const UninstallSettings& settings, UninstallData& data,
                         Reporter& reporter) {
    const String path = uninstallDataPath(settings.uninstallFolder);
    Vector<String> notes;
    const int code = readUninstallDataFile(path, data, &notes);
    for (const String& note : notes) {
        String line;
        toWide(note.c_str(), note.length(), line);
        line.appendWide(u"\r\n");
        reporter.log(line);
    }
    if (code == kFileOk) return String();
    return uninstallDataLoadFailure(settings.DisplayName, path, code);
}

int32_t RemoveProductFonts(const UninstallSettings& settings, bool automaticMode,
                           const UninstallData& data, RegistryKey& key, Reporter& reporter) {
    FontRemoval request;
    request.list = settings.ProductFonts;
    request.ask = asksForFonts(settings.ProductFlags, automaticMode);
    request.question = data.text(56);
    request.caption = data.text(57);
    SystemFonts system(key);
    return removeFonts(request, system, reporter);
}

}  // namespace tessarin
