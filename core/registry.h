// Registry access: the root names and path syntax (portable, registry_path.cpp), the key object
// with its stack of saved keys (registry_win.cpp) and the operations that act on every user
// profile (registry_all_users_win.cpp).
//
// Results follow the library's rule: booleans or small codes, with the Windows error code left
// as the thread's last error. Nothing is shown unless kRegShowError asks for the "Registry
// Error" message box.
#pragma once

#include <cstdint>
#include <vector>

#include "core/containers.h"
#include "core/string.h"
#include "core/unique_handle.h"

namespace tessarin {

// ---- Roots and path syntax (portable) ------------------------------------------------------

// The predefined keys, by their handle values.
enum RegistryRoot : uint32_t {
    kRegistryNoRoot = 0,
    kHkeyClassesRoot = 0x80000000u,
    kHkeyCurrentUser = 0x80000001u,
    kHkeyLocalMachine = 0x80000002u,
    kHkeyUsers = 0x80000003u,
    kHkeyCurrentConfig = 0x80000005u,
    kHkeyDynData = 0x80000006u,
};

// The system's keys (below HKLM) that installations register with: the uninstall entries and
// the shared files' reference counts.
inline constexpr const char16_t* kUninstallKeyParent =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr const char16_t* kSharedDllsKey =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

struct RegistryRootName {
    RegistryRoot key;
    const char* fullName;  // "HKEY_LOCAL_MACHINE"
    const char16_t* fullNameWide;
    const char* abbreviation;  // "HKLM"
    const char16_t* abbreviationWide;
    const char* slashed;  // "\HKLM\"
    const char16_t* slashedWide;
    const char16_t* displayPrefix;  // "HKEY_LOCAL_MACHINE\"; empty for HKEY_DYN_DATA
};

inline constexpr int kRegistryRootCount = 6;
// HKLM, HKCU, HKCR, HKU, HKCC, HKDD in this order.
extern const RegistryRootName kRegistryRoots[kRegistryRootCount];
// The table row of a predefined key; null for keys outside the table.
const RegistryRootName* findRegistryRoot(RegistryRoot key);

inline constexpr uint32_t kErrorBadPathname = 161;  // ERROR_BAD_PATHNAME

// An optional backslash, then a full root name or abbreviation (any case) ending at a
// backslash or at the end of the text: the root is returned and rest gets what follows that
// backslash. Otherwise kRegistryNoRoot, and rest is the whole path (leading backslash kept).
// The 8-bit form gives an 8-bit rest.
RegistryRoot splitRegistryRoot(const char16_t* path, String& rest);
RegistryRoot splitRegistryRoot(const char* path, String& rest);

// The path must begin with a slashed form ("\HKLM\", any case) or be one without its last
// backslash ("\HKLM"). Returns 0 and sets root and rest, or kErrorBadPathname.
uint32_t splitSlashedRegistryRoot(const char16_t* path, RegistryRoot& root, String& rest);
uint32_t splitSlashedRegistryRoot(const char* path, RegistryRoot& root, String& rest);

// Splits at the last backslash: the key path (no trailing backslash) and the value name. A
// path without a backslash is all value name.
void splitRegistryValue(const char16_t* path, String& keyPath, String& valueName);
void splitRegistryValue(const char* path, String& keyPath, String& valueName);

// Display paths end in a backslash: the root's display prefix and the sub-key, or a parent's
// display path and the sub-key.
String registryDisplayPath(RegistryRoot root, const char16_t* subKey);
String registryDisplayPath(const String& parent, const char16_t* subKey);

// Whether a sub-key of HKEY_USERS is a user's hive: neither ".DEFAULT" nor a "<SID>_Classes"
// hive (any case).
bool isUserHiveName(const char16_t* name);

// ---- Option bits -------------------------------------------------------------------------

// Each operation uses the bits that concern it.
inline constexpr uint32_t kRegReplaceCurrent = 0x1;     // open: close the current key, save nothing
inline constexpr uint32_t kRegRequired = 0x2;           // read: missing value is a fatal error
inline constexpr uint32_t kRegTestReadOnly = 0x4;       // key test: read access, not full access
inline constexpr uint32_t kRegEmptyDeletes = 0x8;       // write: empty data deletes the value
inline constexpr uint32_t kRegShowError = 0x10;         // failure: "Registry Error" message box
inline constexpr uint32_t kRegOnlyIfEmpty = 0x20;       // key deletion: refuse a non-empty key
inline constexpr uint32_t kRegOpenExisting = 0x40;      // open: never create
inline constexpr uint32_t kRegBinary = 0x80;            // write text: as REG_BINARY
inline constexpr uint32_t kRegExpandable = 0x100;       // write text: as REG_EXPAND_SZ
inline constexpr uint32_t kRegUnquote = 0x200;          // read multi-string: strip one "..." pair
inline constexpr uint32_t kRegQuote = 0x400;            // write multi-string: wrap each in "..."
inline constexpr uint32_t kRegNoSecurity = 0x800;       // create: default security (always)
inline constexpr uint32_t kRegConvertName = 0x1000;     // 8-bit name: use the UTF-16 call
inline constexpr uint32_t kRegKeepTerminator = 0x2000;  // read text: keep a stored final zero
inline constexpr uint32_t kRegDeleteEmptyKey = 0x4000;  // all-users value deletion
inline constexpr uint32_t kRegKeepExisting = 0x8000;    // write: an existing value stays

// Access masks. The view bits are added to every mask an operation builds.
inline constexpr uint32_t kRegView64 = 0x100;  // KEY_WOW64_64KEY
inline constexpr uint32_t kRegView32 = 0x200;  // KEY_WOW64_32KEY
inline constexpr uint32_t kRegViewMask = kRegView64 | kRegView32;
// The view bits of a view argument, to be added to an access mask.
inline constexpr uint32_t viewOf(uint32_t view) {
    return view & kRegViewMask;
}
inline constexpr uint32_t kRegAccessRead = 0x20019;         // KEY_READ
inline constexpr uint32_t kRegAccessAll = 0xF003F;          // KEY_ALL_ACCESS
inline constexpr uint32_t kRegAccessReadValues = 0x20009;   // query, enumerate, read control
inline constexpr uint32_t kRegAccessWriteValues = 0x2000F;  // query, set, create, enumerate
inline constexpr uint32_t kRegAccessDelete = 0x3000F;       // the same and DELETE

// Value types.
inline constexpr uint32_t kRegTypeSz = 1;
inline constexpr uint32_t kRegTypeExpandSz = 2;
inline constexpr uint32_t kRegTypeBinary = 3;
inline constexpr uint32_t kRegTypeDword = 4;
inline constexpr uint32_t kRegTypeMultiSz = 7;
inline constexpr uint32_t kRegTypeQword = 11;

// Values above this size are refused rather than read.
inline constexpr uint32_t kRegMaxValueBytes = 1 << 20;

// ---- Key object (Windows) ------------------------------------------------------------------

// Owner of one open key handle (HKEY).
struct RegistryKeyTraits {
    using Type = void*;  // HKEY
    static void* empty() { return nullptr; }
    static bool valid(void* key) { return key != nullptr; }
    static void close(void* key);  // RegCloseKey
};
using RegistryHandle = UniqueHandle<RegistryKeyTraits>;

// What a read gives: text for REG_SZ, REG_EXPAND_SZ, REG_BINARY and REG_MULTI_SZ (8-bit or
// UTF-16 as the call that read it), a number for a REG_DWORD of 4 bytes.
struct RegistryValue {
    uint32_t type = 0;
    String text;
    uint32_t number = 0;
    bool isNumber() const { return type == kRegTypeDword; }
};

// Results of RegistryKey::open.
inline constexpr int kRegOpenFailed = 0;
inline constexpr int kRegOpenedExisting = 1;
inline constexpr int kRegCreated = 2;

// Results of value and key deletion.
inline constexpr int kRegDeleted = 1;
inline constexpr int kRegNotFound = 2;  // also: no key open
inline constexpr int kRegDeleteFailed = 3;
inline constexpr int kRegNotEmpty = 4;     // kRegOnlyIfEmpty; ERROR_DIR_NOT_EMPTY
inline constexpr int kRegNoSubKey = 5;     // null or empty sub-key; ERROR_INVALID_PARAMETER
inline constexpr int kRegUnknownRoot = 5;  // by-path deletion; ERROR_BAD_PATHNAME

// A key object: the open key, its display path, and the keys that were open before it. Every
// successful open saves the current key (unless kRegReplaceCurrent); close() goes back to the
// most recently saved one. Destroying the object closes them all. One thread only.
//
// 8-bit value names use the 8-bit calls, whose text data is 8-bit (system code page). With
// kRegConvertName the name is converted and the UTF-16 call is used: the text data is then
// UTF-16, as in the UTF-16 forms.
class RegistryKey {
  public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() = default;

    // Opens (kRegOpenExisting) or opens-or-creates subKey below root with the access mask
    // (including any view bit). kRegOpenFailed, kRegOpenedExisting or kRegCreated. A created
    // key gets the system's default security (kRegNoSecurity or not): never one open to all.
    int open(RegistryRoot root, const char16_t* subKey, uint32_t options, uint32_t access);
    // "\HKLM\Software\..." and the like; an unknown root fails with ERROR_BAD_PATHNAME.
    int openSlashed(const char16_t* path, uint32_t options, uint32_t access);
    int openSlashed(const char* path, uint32_t options, uint32_t access);  // system code page
    // subKey below the current key.
    int openRelative(const char16_t* subKey, uint32_t options, uint32_t access);
    // Whether subKey can be opened with full access (read access with kRegTestReadOnly); the
    // current key is left as it was.
    bool exists(RegistryRoot root, const char16_t* subKey, uint32_t options, uint32_t view);
    void close();     // back to the most recently saved key, if any
    void closeAll();  // the current key and every saved one

    bool isOpen() const { return static_cast<bool>(handle_); }
    void* handle() const { return handle_.get(); }       // HKEY of the current key
    const String& displayPath() const { return path_; }  // UTF-16, ends in a backslash
    int32_t savedCount() const { return static_cast<int32_t>(saved_.size()); }

    int32_t countSubKeys();  // -1 on failure
    bool isEmpty();          // no sub-keys and no values; false when that cannot be told
    bool enumerateSubKeys(Array<String>& names);  // UTF-16 names
    bool enumerateValues(Array<String>& names);

    // Reading. kRegRequired turns a missing value into the fatal registry report.
    bool read(const char16_t* name, RegistryValue& value, uint32_t options = 0);
    bool read(const char* name, RegistryValue& value, uint32_t options = 0);
    // The value as text (a REG_DWORD as decimal digits), or the default.
    String readText(const char16_t* name, const String& defaultText = String(),
                    uint32_t options = 0);
    String readText(const char* name, const String& defaultText = String(), uint32_t options = 0);
    // A REG_DWORD value, or the default.
    uint32_t readNumber(const char16_t* name, uint32_t defaultValue, uint32_t options = 0);
    uint32_t readNumber(const char* name, uint32_t defaultValue, uint32_t options = 0);
    // One element per string of a text value; kRegUnquote strips one pair of double quotes.
    bool readMultiString(const char16_t* name, Array<String>& items, uint32_t options = 0);
    bool readMultiString(const char* name, Array<String>& items, uint32_t options = 0);
    // "\HKLM\Key\Value": opens the key read-only, reads, closes; the default when the key or
    // the value is missing.
    String readTextByPath(const char16_t* path, const String& defaultText = String(),
                          uint32_t view = 0);

    // Writing. kRegKeepExisting leaves an existing value and reports success; kRegEmptyDeletes
    // deletes the value when the data is empty.
    bool writeValue(const char16_t* name, uint32_t type, const void* data, uint32_t bytes,
                    uint32_t options = 0);
    bool writeValue(const char* name, uint32_t type, const void* data, uint32_t bytes,
                    uint32_t options = 0);
    // REG_SZ, or REG_EXPAND_SZ with kRegExpandable, or REG_BINARY with kRegBinary.
    bool writeText(const char16_t* name, const String& text, uint32_t options = 0);
    bool writeText(const char* name, const String& text, uint32_t options = 0);
    bool writeBytes(const char16_t* name, const String& bytes, uint32_t options = 0);
    bool writeBytes(const char* name, const String& bytes, uint32_t options = 0);
    bool writeNumber(const char16_t* name, uint32_t value, uint32_t options = 0);
    bool writeNumber(const char* name, uint32_t value, uint32_t options = 0);
    bool writeReal(const char16_t* name, double value, uint32_t options = 0);  // as text
    bool writeReal(const char* name, double value, uint32_t options = 0);
    // REG_MULTI_SZ; kRegQuote wraps each string in double quotes.
    bool writeMultiString(const char16_t* name, const Array<String>& items, uint32_t options = 0);
    bool writeMultiString(const char* name, const Array<String>& items, uint32_t options = 0);
    // "\HKLM\Key\Value": creates the key when missing, writes UTF-16 text, closes.
    bool writeTextByPath(const char16_t* path, const String& text, uint32_t options = 0,
                         uint32_t view = 0);

    // kRegDeleted, kRegNotFound (also with no key open) or kRegDeleteFailed.
    int deleteValue(const char16_t* name);
    int deleteValue(const char* name, uint32_t options = 0);
    // The same codes, and kRegUnknownRoot when the path has no known root.
    int deleteValueByPath(const char16_t* path, uint32_t view = 0);
    // Deletes subKey of the current key with everything below it, deepest keys first
    // (kRegOnlyIfEmpty: only an empty key). kRegDeleted, kRegNotFound, kRegDeleteFailed,
    // kRegNotEmpty or kRegNoSubKey.
    int deleteKey(const char16_t* subKey, uint32_t options = 0, uint32_t view = 0);

  private:
    struct Saved {
        RegistryHandle handle;
        String path;
    };
    int openBelow(void* parent, const String& displayPath, const char16_t* subKey, uint32_t options,
                  uint32_t access);
    void makeCurrent(RegistryHandle key, String path, uint32_t options);
    bool readValue(const void* name, bool wide, RegistryValue& value, uint32_t options);
    bool storeValue(const void* name, bool wide, uint32_t type, const void* data, uint32_t bytes,
                    bool empty, uint32_t options);
    int removeValue(const void* name, bool wide);
    [[noreturn]] void reportMissingValue(const void* name, bool wide);

    RegistryHandle handle_;
    String path_;
    std::vector<Saved> saved_;
};

// ---- Every user profile (Windows) --------------------------------------------------------

// The profile SIDs from "SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList"; when that
// key cannot be opened, the sub-keys of HKEY_USERS other than ".DEFAULT" and "*_Classes".
Array<String> listUserProfiles();
// Each acts on HKEY_USERS\<SID>\subKey of every profile whose hive is loaded, skipping the
// others, and is true only when it succeeded for every loaded profile.
bool createKeyForAllUsers(const char16_t* subKey, uint32_t view = 0);
bool writeValueForAllUsers(const char16_t* subKey, const char16_t* valueName, uint32_t type,
                           const void* data, uint32_t bytes, uint32_t view = 0,
                           uint32_t options = 0);
// A value that is already missing counts as deleted. kRegDeleteEmptyKey then deletes the key
// when it has become empty.
bool deleteValueForAllUsers(const char16_t* subKey, const char16_t* valueName, uint32_t options = 0,
                            uint32_t view = 0);

}  // namespace tessarin
