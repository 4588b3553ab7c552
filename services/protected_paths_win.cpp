// The running system's folders that a recorded path may never name.
#include "core/environment.h"
#include "core/file_system.h"
#include "core/path.h"
#include "core/registry.h"
#include "core/special_folders.h"
#include "services/protected_paths.h"

namespace tessarin {

namespace {

// The folder and its short name, when it has one.
void addFolder(Vector<String>& list, const String& folder) {
    if (folder.empty()) return;
    list.append(folder);
    String shortName = shortPathName(folder);
    if (!(shortName == folder)) list.append(shortName);
}

String profilesDirectory() {
    RegistryKey key;
    if (!key.open(kHkeyLocalMachine,
                  u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", kRegOpenExisting,
                  kRegAccessReadValues))
        return String();
    String folder = key.readText(u"ProfilesDirectory");
    expandEnvironmentStrings(folder);
    return folder;
}

ProtectedFolders findProtectedFolders() {
    ProtectedFolders found;
    addFolder(found.folders, windowsFolder());
    addFolder(found.folders, systemFolder());
    addFolder(found.folders, systemFolder32());
    for (int selector : {kBitnessSelector32, kBitnessSelector64, kBitnessSelectorDefault,
                         kBitnessSelectorNative}) {
        addFolder(found.folders, programFilesFolder(selector));
        addFolder(found.folders, commonFilesFolder(selector));
    }
    addFolder(found.profileRoots, profilesDirectory());
    String profile;
    if (environmentVariable(u"USERPROFILE", profile) && !profile.empty()) {
        addFolder(found.profiles, profile);
        // A profile straight below a root would make every top folder of the drive a profile.
        String parent = parentFolder(profile);
        if (parent.wideLength() > 3) addFolder(found.profileRoots, parent);
    }
    return found;
}

}  // namespace

const ProtectedFolders& systemProtectedFolders() {
    // Made whole here, comparable forms included, so that no later check writes to it.
    static const ProtectedFolders folders = [] {
        ProtectedFolders found = findProtectedFolders();
        prepareComparableForms(found);
        return found;
    }();
    return folders;
}

}  // namespace tessarin
