// The running system's answers to the removal pass.
#include "core/file_system.h"
#include "core/path.h"
#include "core/registry.h"
#include "core/special_folders.h"
#include "uninstall/removal.h"

namespace tessarin {

namespace {

class SystemRemoval : public RemovalSystem {
  public:
    bool fileExists(const String& path) override { return tessarin::fileExists(path); }
    // deleteFile clears the attributes of a file that refuses it; no option asks for the
    // restart or the bin.
    bool deleteFile(const String& path) override { return tessarin::deleteFile(path); }
    bool removeFolder(const String& path) override { return tessarin::removeFolder(path); }
    void deleteValue(RegistryRoot root, const String& subKey, const String& name,
                     uint32_t view) override {
        RegistryKey key;
        if (key.open(root, subKey.w_str(), kRegOpenExisting, kRegAccessWriteValues | viewOf(view)))
            key.deleteValue(name.w_str());
    }
    bool deleteKey(RegistryRoot root, const String& subKey, bool onlyIfEmpty,
                   uint32_t view) override {
        RegistryKey key;
        if (!key.open(root, u"", kRegOpenExisting, kRegAccessDelete | viewOf(view))) return false;
        return key.deleteKey(subKey.w_str(), onlyIfEmpty ? kRegOnlyIfEmpty : 0, view) ==
               kRegDeleted;
    }
    Vector<String> userHives() override {
        Array<String> profiles = listUserProfiles();
        Vector<String> hives;
        for (int32_t i = 0; i < profiles.count(); ++i) {
            RegistryKey key;
            if (key.exists(kHkeyUsers, profiles[i].w_str(), kRegTestReadOnly, 0))
                hives.append(profiles[i]);
        }
        return hives;
    }
    const ProtectedFolders& protectedFolders() override { return systemProtectedFolders(); }
};

}  // namespace

RemovalSystem& systemRemoval() {
    static SystemRemoval system;
    return system;
}

void removeStartMenuFolder(const String& productStartMenu, bool allUsers, Reporter& reporter) {
    if (productStartMenu.empty()) return;
    String programs =
        specialFolder(allUsers ? SpecialFolder::ProgramsMenuAllUsers : SpecialFolder::ProgramsMenu);
    if (programs.empty()) return;
    removeEmptyFolderTree(joinPath(programs, productStartMenu), programs, systemRemoval(),
                          reporter);
}

void removeFolderWithContents(const String& folder, Reporter& reporter) {
    if (folder.empty() || refuseProtectedPath(folder, systemProtectedFolders(), reporter)) return;
    deleteFolderTree(folder);
}

}  // namespace tessarin
