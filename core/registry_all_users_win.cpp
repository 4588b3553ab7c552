#include <windows.h>

#include "core/registry.h"

namespace tessarin {
namespace {

constexpr char16_t kProfileList[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// HKEY_USERS holds the loaded hives by SID, besides ".DEFAULT" and the "<SID>_Classes" hives.
Array<String> loadedUserHives() {
    Array<String> names, profiles;
    RegistryKey users;
    if (!users.open(kHkeyUsers, u"", kRegOpenExisting, kRegAccessRead)) return profiles;
    users.enumerateSubKeys(names);
    for (int32_t i = 0; i < names.count(); ++i) {
        if (isUserHiveName(names[i].w_str())) profiles.append(names[i]);
    }
    return profiles;
}

// Runs action(key, "<SID>\\subKey") for every profile whose hive is loaded, that is, whose
// HKEY_USERS\<SID> opens; true when it succeeded for each of them. The last error is that of
// the last failure.
template <typename Action>
bool forEachLoadedProfile(const char16_t* subKey, uint32_t view, Action action) {
    Array<String> profiles = listUserProfiles();
    bool all = true;
    DWORD failure = ERROR_SUCCESS;
    for (int32_t i = 0; i < profiles.count(); ++i) {
        RegistryKey key;
        if (!key.exists(kHkeyUsers, profiles[i].w_str(), kRegTestReadOnly, view)) continue;
        String path = profiles[i];
        path.appendWideChar(u'\\');
        path.appendWide(subKey);
        if (!action(key, path)) {
            all = false;
            failure = GetLastError();
        }
    }
    SetLastError(failure);
    return all;
}

}  // namespace

Array<String> listUserProfiles() {
    RegistryKey list;
    if (!list.open(kHkeyLocalMachine, kProfileList, kRegOpenExisting, kRegAccessRead))
        return loadedUserHives();
    Array<String> profiles;
    list.enumerateSubKeys(profiles);
    return profiles;
}

bool createKeyForAllUsers(const char16_t* subKey, uint32_t view) {
    return forEachLoadedProfile(subKey, view, [&](RegistryKey& key, const String& path) {
        return key.open(kHkeyUsers, path.w_str(), 0, kRegAccessWriteValues | viewOf(view)) !=
               kRegOpenFailed;
    });
}

bool writeValueForAllUsers(const char16_t* subKey, const char16_t* valueName, uint32_t type,
                           const void* data, uint32_t bytes, uint32_t view, uint32_t options) {
    uint32_t openOptions = options & (kRegShowError | kRegNoSecurity);
    return forEachLoadedProfile(subKey, view, [&](RegistryKey& key, const String& path) {
        return key.open(kHkeyUsers, path.w_str(), openOptions,
                        kRegAccessWriteValues | viewOf(view)) != kRegOpenFailed &&
               key.writeValue(valueName, type, data, bytes, options);
    });
}

bool deleteValueForAllUsers(const char16_t* subKey, const char16_t* valueName, uint32_t options,
                            uint32_t view) {
    return forEachLoadedProfile(subKey, view, [&](RegistryKey& key, const String& path) {
        if (!key.open(kHkeyUsers, path.w_str(), kRegOpenExisting, kRegAccessDelete | viewOf(view)))
            return GetLastError() == ERROR_FILE_NOT_FOUND;  // no key, no value
        if (key.deleteValue(valueName) == kRegDeleteFailed) return false;
        if (!(options & kRegDeleteEmptyKey) || !key.isEmpty()) return true;
        // The hive root is the parent from which the emptied key is deleted.
        key.close();
        if (!key.open(kHkeyUsers, u"", kRegOpenExisting, kRegAccessRead | viewOf(view)))
            return false;
        return key.deleteKey(path.w_str(), kRegOnlyIfEmpty, view) != kRegDeleteFailed;
    });
}

}  // namespace tessarin
