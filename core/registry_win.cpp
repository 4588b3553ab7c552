#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/convert.h"
#include "core/fatal.h"
#include "core/format.h"
#include "core/program_label.h"
#include "core/registry.h"
#include "core/system_error.h"
#include "core/system_function_win.h"
#include "core/ui.h"
#include "core/wide_win.h"

namespace tessarin {

void RegistryKeyTraits::close(void* key) {
    RegCloseKey(static_cast<HKEY>(key));
}

namespace {

HKEY hkey(void* key) {
    return static_cast<HKEY>(key);
}
HKEY rootKey(RegistryRoot root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

// The "Registry Error" box for kRegShowError, with the system's text for the last error. The
// last error survives the box.
void showRegistryError(uint32_t options) {
    if (!(options & kRegShowError)) return;
    DWORD error = GetLastError();
    String text = systemErrorText(error);
    if (!text.empty())
        showMessageBox(nullptr, text, String(u"Registry Error"), kMbOk | kMbIconError);
    SetLastError(error);
}

// ---- Security of created keys ------------------------------------------------------------

// Every key is created with the system's default security, inherited from the key above. A
// key open to everyone below HKLM (or in another user's hive) would let an ordinary user
// rewrite what an elevated installer or uninstaller later reads: a previous install folder, a
// file type's command.
LONG createKey(HKEY parent, const wchar_t* subKey, REGSAM access, HKEY* key, DWORD* disposition) {
    wchar_t noClass[] = L"";
    return RegCreateKeyExW(parent, subKey, 0, noClass, 0, access, nullptr, key, disposition);
}

// ---- Calls in the 8-bit or UTF-16 form ----------------------------------------------------

LONG queryValue(HKEY key, const void* name, bool wide, DWORD* type, BYTE* data, DWORD* bytes) {
    return wide ? RegQueryValueExW(key, static_cast<const wchar_t*>(name), nullptr, type, data,
                                   bytes)
                : RegQueryValueExA(key, static_cast<const char*>(name), nullptr, type, data, bytes);
}

LONG setValue(HKEY key, const void* name, bool wide, DWORD type, const void* data, DWORD bytes) {
    const BYTE* d = static_cast<const BYTE*>(data);
    return wide ? RegSetValueExW(key, static_cast<const wchar_t*>(name), 0, type, d, bytes)
                : RegSetValueExA(key, static_cast<const char*>(name), 0, type, d, bytes);
}

bool valueExists(HKEY key, const void* name, bool wide) {
    return queryValue(key, name, wide, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// An 8-bit value name as the call takes it: unchanged for the 8-bit calls, or converted with
// the system code page for the UTF-16 calls (kRegConvertName).
class NarrowName {
  public:
    NarrowName(const char* name, uint32_t options) : wide_((options & kRegConvertName) != 0) {
        if (!wide_ || name == nullptr) {
            name_ = name;
            return;
        }
        ok_ = toWide(name, kWholeLength, converted_);
        name_ = converted_.w_str();
    }
    const void* name() const { return name_; }
    bool wide() const { return wide_; }
    bool ok() const {
        if (!ok_) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return ok_;
    }

  private:
    bool wide_;
    bool ok_ = true;
    const void* name_ = nullptr;
    String converted_;
};

// ---- Text in either form -----------------------------------------------------------------

// One stored zero character at the end of a REG_SZ or REG_EXPAND_SZ goes.
void dropTerminator(String& data, bool wide) {
    int32_t n = data.length();
    if (wide && n >= 2 && n % 2 == 0 && data.c_str()[n - 1] == 0 && data.c_str()[n - 2] == 0)
        data.setLength(n - 2);
    else if (!wide && n >= 1 && data.c_str()[n - 1] == 0)
        data.setLength(n - 1);
}

String numberText(uint32_t number, bool wide) {
    String text;
    if (wide)
        appendDecimalWide(text, number);
    else
        appendDecimal(text, number);
    return text;
}

template <typename Char>
void splitMultiString(const String& data, uint32_t options, Array<String>& items) {
    const Char* p = reinterpret_cast<const Char*>(data.c_str());
    int32_t n = data.length() / static_cast<int32_t>(sizeof(Char));
    for (int32_t start = 0; start < n;) {
        int32_t end = start;
        while (end < n && p[end] != 0) ++end;
        if (end == start) break;  // the empty string ends the list
        String item;
        if constexpr (sizeof(Char) == 2) {
            item.assignWide(p + start, end - start);
            if (options & kRegUnquote) item.stripEnclosingWide(u'"');
        } else {
            item.assign(p + start, end - start);
            if (options & kRegUnquote) item.stripEnclosing('"');
        }
        items.append(item);
        start = end + 1;
    }
}

// Each string followed by one zero, then a final zero.
template <typename Char>
String joinMultiString(const Array<String>& items, uint32_t options) {
    String data;
    const Char quote = Char('"');
    const Char zero = 0;
    auto add = [&data](const Char* text, int32_t count) {
        data.append(reinterpret_cast<const char*>(text),
                    count * static_cast<int32_t>(sizeof(Char)));
    };
    for (int32_t i = 0; i < items.count(); ++i) {
        const String& item = items[i];
        if (options & kRegQuote) add(&quote, 1);
        add(reinterpret_cast<const Char*>(item.c_str()),
            item.length() / static_cast<int32_t>(sizeof(Char)));
        if (options & kRegQuote) add(&quote, 1);
        add(&zero, 1);
    }
    add(&zero, 1);
    return data;
}

uint32_t textType(uint32_t options) {
    if (options & kRegBinary) return kRegTypeBinary;
    return (options & kRegExpandable) ? kRegTypeExpandSz : kRegTypeSz;
}

// Text stored as binary data has no terminator.
int32_t terminatorCount(uint32_t type) {
    return type == kRegTypeBinary ? 0 : 1;
}

// Shortest of the usual precisions that reads back as the same number.
String realText(double value) {
    String text = format("%.15g", value);
    if (std::strtod(text.c_str(), nullptr) != value) text = format("%.17g", value);
    return text;
}

// ---- Enumeration and deletion below a handle ----------------------------------------------

bool enumerateNames(HKEY key, bool values, Array<String>& names) {
    names.clear();
    std::vector<wchar_t> buffer(values ? 16384 : 256);  // the longest names the system allows
    for (DWORD index = 0;; ++index) {
        DWORD chars = static_cast<DWORD>(buffer.size());
        LONG r = values ? RegEnumValueW(key, index, buffer.data(), &chars, nullptr, nullptr,
                                        nullptr, nullptr)
                        : RegEnumKeyExW(key, index, buffer.data(), &chars, nullptr, nullptr,
                                        nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) {
            SetLastError(r);
            return false;
        }
        names.append(
            String(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<int32_t>(chars)));
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool countEntries(HKEY key, DWORD& subKeys, DWORD& values) {
    LONG r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                              nullptr, nullptr, nullptr, nullptr);
    SetLastError(r);
    return r == ERROR_SUCCESS;
}

// A key with entries, or one that cannot be examined, is not empty.
bool keyIsEmpty(HKEY key) {
    DWORD subKeys = 0, values = 0;
    return countEntries(key, subKeys, values) && subKeys == 0 && values == 0;
}

// Only RegDeleteKeyExW takes a registry view, and older systems lack it.
LONG deleteKeyIn(HKEY parent, const wchar_t* subKey, REGSAM view) {
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, const wchar_t*, REGSAM, DWORD);
    static const auto deleteKeyEx = systemFunction<DeleteKeyEx>(L"advapi32.dll", "RegDeleteKeyExW");
    if (view != 0 && deleteKeyEx != nullptr) return deleteKeyEx(parent, subKey, view, 0);
    return RegDeleteKeyW(parent, subKey);
}

int deleteKeyTree(HKEY parent, const wchar_t* subKey, uint32_t options, REGSAM view);

// The system deletes only keys without sub-keys, so each sub-key's tree goes first. A key that
// cannot be opened is left to the deletion itself, which then reports the failure.
void deleteSubKeys(HKEY parent, const wchar_t* subKey, uint32_t options, REGSAM view) {
    HKEY opened = nullptr;
    LONG r = RegOpenKeyExW(parent, subKey, 0, kRegAccessDelete | view, &opened);
    if (r != ERROR_SUCCESS) {
        // A missing key is no failure: it is reported as not found, without a box.
        SetLastError(r);
        if (r != ERROR_FILE_NOT_FOUND) showRegistryError(options);
        return;
    }
    RegistryHandle key(opened);
    Array<String> children;
    enumerateNames(opened, false, children);
    for (int32_t i = 0; i < children.count(); ++i)
        deleteKeyTree(opened, win(children[i]), options, view);
}

bool hasEntries(HKEY parent, const wchar_t* subKey, REGSAM view) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(parent, subKey, 0, kRegAccessRead | view, &opened) != ERROR_SUCCESS)
        return false;
    RegistryHandle key(opened);
    return !keyIsEmpty(opened);
}

int deleteKeyTree(HKEY parent, const wchar_t* subKey, uint32_t options, REGSAM view) {
    if (!(options & kRegOnlyIfEmpty)) {
        deleteSubKeys(parent, subKey, options, view);
    } else if (hasEntries(parent, subKey, view)) {
        SetLastError(ERROR_DIR_NOT_EMPTY);
        return kRegNotEmpty;
    }
    LONG r = deleteKeyIn(parent, subKey, view);
    SetLastError(r);
    if (r == ERROR_SUCCESS) return kRegDeleted;
    if (r == ERROR_FILE_NOT_FOUND) return kRegNotFound;
    showRegistryError(options);
    return kRegDeleteFailed;
}

// Most values fit the first small query; larger ones are read again into a buffer of the size
// the system reported, which may change in between. Sizes above kRegMaxValueBytes are refused.
LONG queryData(HKEY key, const void* name, bool wide, DWORD& type, String& data) {
    BYTE first[32];
    DWORD bytes = sizeof first;
    LONG r = queryValue(key, name, wide, &type, first, &bytes);
    if (r == ERROR_SUCCESS)
        data.assign(reinterpret_cast<const char*>(first), static_cast<int32_t>(bytes));
    for (int attempt = 0; r == ERROR_MORE_DATA && attempt < 4; ++attempt) {
        if (bytes > kRegMaxValueBytes) break;
        if (!data.trySetLength(static_cast<int32_t>(bytes))) return ERROR_NOT_ENOUGH_MEMORY;
        r = queryValue(key, name, wide, &type, reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (r == ERROR_SUCCESS) data.setLength(static_cast<int32_t>(bytes));
    }
    return r;
}

// Text types give text, a REG_DWORD of four bytes a number; anything else is refused.
bool takeData(DWORD type, String& data, bool wide, uint32_t options, RegistryValue& value) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            if (!(options & kRegKeepTerminator)) dropTerminator(data, wide);
            [[fallthrough]];
        case REG_BINARY:
        case REG_MULTI_SZ:
            value.text = std::move(data);
            value.number = 0;
            break;
        case REG_DWORD:
            if (data.length() != 4) {
                SetLastError(ERROR_INVALID_DATA);
                return false;
            }
            std::memcpy(&value.number, data.c_str(), 4);
            value.text.clear();
            break;
        default:
            SetLastError(ERROR_INVALID_DATATYPE);
            return false;
    }
    value.type = type;
    return true;
}

String programTitle() {
    return programLabelWide();
}

}  // namespace

// ---- Opening and closing -----------------------------------------------------------------

int RegistryKey::open(RegistryRoot root, const char16_t* subKey, uint32_t options,
                      uint32_t access) {
    if (root == kRegistryNoRoot) {
        SetLastError(ERROR_INVALID_PARAMETER);
        showRegistryError(options);
        return kRegOpenFailed;
    }
    return openBelow(rootKey(root), registryDisplayPath(root, subKey), subKey, options, access);
}

int RegistryKey::openSlashed(const char16_t* path, uint32_t options, uint32_t access) {
    RegistryRoot root = kRegistryNoRoot;
    String rest;
    if (uint32_t error = splitSlashedRegistryRoot(path, root, rest)) {
        SetLastError(error);
        showRegistryError(options);
        return kRegOpenFailed;
    }
    return open(root, rest.w_str(), options, access);
}

int RegistryKey::openSlashed(const char* path, uint32_t options, uint32_t access) {
    String wide;
    if (path != nullptr && !toWide(path, kWholeLength, wide)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        showRegistryError(options);
        return kRegOpenFailed;
    }
    return openSlashed(path != nullptr ? wide.w_str() : nullptr, options, access);
}

int RegistryKey::openRelative(const char16_t* subKey, uint32_t options, uint32_t access) {
    if (!handle_) {
        SetLastError(ERROR_INVALID_HANDLE);
        showRegistryError(options);
        return kRegOpenFailed;
    }
    return openBelow(handle_.get(), registryDisplayPath(path_, subKey), subKey, options, access);
}

int RegistryKey::openBelow(void* parent, const String& displayPath, const char16_t* subKey,
                           uint32_t options, uint32_t access) {
    const wchar_t* name = win(subKey != nullptr ? subKey : u"");
    HKEY key = nullptr;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    LONG r = (options & kRegOpenExisting)
                 ? RegOpenKeyExW(hkey(parent), name, 0, access, &key)
                 : createKey(hkey(parent), name, access, &key, &disposition);
    if (r != ERROR_SUCCESS) {
        SetLastError(r);
        showRegistryError(options);
        return kRegOpenFailed;
    }
    makeCurrent(RegistryHandle(key), displayPath, options);
    SetLastError(ERROR_SUCCESS);
    return disposition == REG_CREATED_NEW_KEY ? kRegCreated : kRegOpenedExisting;
}

void RegistryKey::makeCurrent(RegistryHandle key, String path, uint32_t options) {
    if (handle_ && !(options & kRegReplaceCurrent))
        saved_.push_back(Saved{std::move(handle_), std::move(path_)});
    handle_ = std::move(key);  // a replaced key is closed here
    path_ = std::move(path);
}

bool RegistryKey::exists(RegistryRoot root, const char16_t* subKey, uint32_t options,
                         uint32_t view) {
    uint32_t access = (options & kRegTestReadOnly) ? kRegAccessRead : kRegAccessAll;
    if (!open(root, subKey, kRegOpenExisting | (options & kRegShowError), access | viewOf(view)))
        return false;
    close();
    return true;
}

void RegistryKey::close() {
    handle_.reset();
    path_.clear();
    if (saved_.empty()) return;
    handle_ = std::move(saved_.back().handle);
    path_ = std::move(saved_.back().path);
    saved_.pop_back();
}

void RegistryKey::closeAll() {
    while (isOpen()) close();
}

// ---- Examining the key -------------------------------------------------------------------

int32_t RegistryKey::countSubKeys() {
    if (!handle_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    DWORD subKeys = 0, values = 0;
    return countEntries(hkey(handle_.get()), subKeys, values) ? static_cast<int32_t>(subKeys) : -1;
}

bool RegistryKey::isEmpty() {
    if (!handle_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return keyIsEmpty(hkey(handle_.get()));
}

bool RegistryKey::enumerateSubKeys(Array<String>& names) {
    names.clear();
    if (!handle_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return enumerateNames(hkey(handle_.get()), false, names);
}

bool RegistryKey::enumerateValues(Array<String>& names) {
    names.clear();
    if (!handle_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return enumerateNames(hkey(handle_.get()), true, names);
}

// ---- Reading -----------------------------------------------------------------------------

bool RegistryKey::readValue(const void* name, bool wide, RegistryValue& value, uint32_t options) {
    if (!handle_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    DWORD type = 0;
    String data;
    LONG r = queryData(hkey(handle_.get()), name, wide, type, data);
    SetLastError(r);
    if (r == ERROR_SUCCESS) return takeData(type, data, wide, options, value);
    if ((r == ERROR_FILE_NOT_FOUND || r == ERROR_BADKEY) && (options & kRegRequired))
        reportMissingValue(name, wide);
    return false;
}

void RegistryKey::reportMissingValue(const void* name, bool wide) {
    String valueName;
    if (wide)
        valueName.assignWide(static_cast<const char16_t*>(name));
    else if (name != nullptr)
        toWide(static_cast<const char*>(name), kWholeLength, valueName);
    String text = formatWide(
        u"The following registry key is required by %s, but is invalid or does not exist:\n\n"
        u"%s%s\n\nIf you have tried moving this program to a different computer by copying "
        u"files, this will not work.  This program must be reinstalled.",
        programTitle().w_str(), path_.w_str(), valueName.w_str());
    // The fatal report shows 8-bit text as code page 1252.
    String narrow;
    toNarrow(text.w_str(), text.wideLength(), narrow, 1252, "?");
    fatalError(narrow.c_str());
}

bool RegistryKey::read(const char16_t* name, RegistryValue& value, uint32_t options) {
    return readValue(name, true, value, options);
}

bool RegistryKey::read(const char* name, RegistryValue& value, uint32_t options) {
    NarrowName n(name, options);
    return n.ok() && readValue(n.name(), n.wide(), value, options);
}

String RegistryKey::readText(const char16_t* name, const String& defaultText, uint32_t options) {
    RegistryValue value;
    if (!readValue(name, true, value, options)) return defaultText;
    return value.isNumber() ? numberText(value.number, true) : value.text;
}

String RegistryKey::readText(const char* name, const String& defaultText, uint32_t options) {
    NarrowName n(name, options);
    RegistryValue value;
    if (!n.ok() || !readValue(n.name(), n.wide(), value, options)) return defaultText;
    return value.isNumber() ? numberText(value.number, n.wide()) : value.text;
}

uint32_t RegistryKey::readNumber(const char16_t* name, uint32_t defaultValue, uint32_t options) {
    RegistryValue value;
    return readValue(name, true, value, options) && value.isNumber() ? value.number : defaultValue;
}

uint32_t RegistryKey::readNumber(const char* name, uint32_t defaultValue, uint32_t options) {
    NarrowName n(name, options);
    RegistryValue value;
    return n.ok() && readValue(n.name(), n.wide(), value, options) && value.isNumber()
               ? value.number
               : defaultValue;
}

bool RegistryKey::readMultiString(const char16_t* name, Array<String>& items, uint32_t options) {
    items.clear();
    RegistryValue value;
    if (!readValue(name, true, value, options)) return false;
    if (value.isNumber()) {
        SetLastError(ERROR_INVALID_DATATYPE);
        return false;
    }
    splitMultiString<char16_t>(value.text, options, items);
    return true;
}

bool RegistryKey::readMultiString(const char* name, Array<String>& items, uint32_t options) {
    items.clear();
    NarrowName n(name, options);
    RegistryValue value;
    if (!n.ok() || !readValue(n.name(), n.wide(), value, options)) return false;
    if (value.isNumber()) {
        SetLastError(ERROR_INVALID_DATATYPE);
        return false;
    }
    if (n.wide())
        splitMultiString<char16_t>(value.text, options, items);
    else
        splitMultiString<char>(value.text, options, items);
    return true;
}

String RegistryKey::readTextByPath(const char16_t* path, const String& defaultText, uint32_t view) {
    String keyPath, valueName;
    splitRegistryValue(path, keyPath, valueName);
    if (!openSlashed(keyPath.w_str(), kRegOpenExisting, kRegAccessReadValues | viewOf(view)))
        return defaultText;
    String text = readText(valueName.w_str(), defaultText);
    DWORD error = GetLastError();
    close();
    SetLastError(error);
    return text;
}

// ---- Writing -----------------------------------------------------------------------------

bool RegistryKey::storeValue(const void* name, bool wide, uint32_t type, const void* data,
                             uint32_t bytes, bool empty, uint32_t options) {
    if (!handle_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    HKEY key = hkey(handle_.get());
    if ((options & kRegKeepExisting) && valueExists(key, name, wide)) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    if ((options & kRegEmptyDeletes) && empty) {
        // A value that is not there has been deleted as far as the caller is concerned.
        if (removeValue(name, wide) == kRegDeleteFailed) return false;
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    LONG r = setValue(key, name, wide, type, data, bytes);
    SetLastError(r);
    return r == ERROR_SUCCESS;
}

bool RegistryKey::writeValue(const char16_t* name, uint32_t type, const void* data, uint32_t bytes,
                             uint32_t options) {
    return storeValue(name, true, type, data, bytes, bytes == 0, options);
}

bool RegistryKey::writeValue(const char* name, uint32_t type, const void* data, uint32_t bytes,
                             uint32_t options) {
    NarrowName n(name, options);
    return n.ok() && storeValue(n.name(), n.wide(), type, data, bytes, bytes == 0, options);
}

// The length covers the terminator, which String always provides: the system stores exactly
// the bytes it is given, and an empty text stored without its terminator is data of length 0
// that some readers of the registry (Wine's reg.exe among them) cannot show.
bool RegistryKey::writeText(const char16_t* name, const String& text, uint32_t options) {
    uint32_t type = textType(options);
    return storeValue(name, true, type, text.c_str(),
                      static_cast<uint32_t>(text.wideLength() + terminatorCount(type)) * 2,
                      text.empty(), options);
}

bool RegistryKey::writeText(const char* name, const String& text, uint32_t options) {
    NarrowName n(name, options);
    if (!n.ok()) return false;
    uint32_t type = textType(options);
    int32_t characters = (n.wide() ? text.wideLength() : text.length()) + terminatorCount(type);
    uint32_t bytes = static_cast<uint32_t>(characters) * (n.wide() ? 2 : 1);
    return storeValue(n.name(), n.wide(), type, text.c_str(), bytes, text.empty(), options);
}

bool RegistryKey::writeBytes(const char16_t* name, const String& bytes, uint32_t options) {
    return storeValue(name, true, kRegTypeBinary, bytes.c_str(),
                      static_cast<uint32_t>(bytes.length()), bytes.empty(), options);
}

bool RegistryKey::writeBytes(const char* name, const String& bytes, uint32_t options) {
    NarrowName n(name, options);
    return n.ok() && storeValue(n.name(), n.wide(), kRegTypeBinary, bytes.c_str(),
                                static_cast<uint32_t>(bytes.length()), bytes.empty(), options);
}

bool RegistryKey::writeNumber(const char16_t* name, uint32_t value, uint32_t options) {
    return storeValue(name, true, kRegTypeDword, &value, 4, false, options);
}

bool RegistryKey::writeNumber(const char* name, uint32_t value, uint32_t options) {
    NarrowName n(name, options);
    return n.ok() && storeValue(n.name(), n.wide(), kRegTypeDword, &value, 4, false, options);
}

bool RegistryKey::writeReal(const char16_t* name, double value, uint32_t options) {
    String text = realText(value);
    widenInPlace(text);
    return writeText(name, text, options & ~kRegBinary);
}

bool RegistryKey::writeReal(const char* name, double value, uint32_t options) {
    String text = realText(value);
    if (options & kRegConvertName) widenInPlace(text);
    return writeText(name, text, options & ~kRegBinary);
}

bool RegistryKey::writeMultiString(const char16_t* name, const Array<String>& items,
                                   uint32_t options) {
    String data = joinMultiString<char16_t>(items, options);
    return storeValue(name, true, kRegTypeMultiSz, data.c_str(),
                      static_cast<uint32_t>(data.length()), items.empty(), options);
}

bool RegistryKey::writeMultiString(const char* name, const Array<String>& items, uint32_t options) {
    NarrowName n(name, options);
    if (!n.ok()) return false;
    String data = n.wide() ? joinMultiString<char16_t>(items, options)
                           : joinMultiString<char>(items, options);
    return storeValue(n.name(), n.wide(), kRegTypeMultiSz, data.c_str(),
                      static_cast<uint32_t>(data.length()), items.empty(), options);
}

bool RegistryKey::writeTextByPath(const char16_t* path, const String& text, uint32_t options,
                                  uint32_t view) {
    String keyPath, valueName;
    splitRegistryValue(path, keyPath, valueName);
    uint32_t openOptions = options & (kRegShowError | kRegNoSecurity);
    if (!openSlashed(keyPath.w_str(), openOptions, kRegAccessWriteValues | viewOf(view)))
        return false;
    bool written = writeText(valueName.w_str(), text, options);
    DWORD error = GetLastError();
    close();
    SetLastError(error);
    return written;
}

// ---- Deleting ----------------------------------------------------------------------------

int RegistryKey::removeValue(const void* name, bool wide) {
    if (!handle_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return kRegNotFound;
    }
    HKEY key = hkey(handle_.get());
    LONG r = wide ? RegDeleteValueW(key, static_cast<const wchar_t*>(name))
                  : RegDeleteValueA(key, static_cast<const char*>(name));
    SetLastError(r);
    if (r == ERROR_SUCCESS) return kRegDeleted;
    return r == ERROR_FILE_NOT_FOUND ? kRegNotFound : kRegDeleteFailed;
}

int RegistryKey::deleteValue(const char16_t* name) {
    return removeValue(name, true);
}

int RegistryKey::deleteValue(const char* name, uint32_t options) {
    NarrowName n(name, options);
    return n.ok() ? removeValue(n.name(), n.wide()) : kRegDeleteFailed;
}

int RegistryKey::deleteValueByPath(const char16_t* path, uint32_t view) {
    String keyPath, valueName;
    splitRegistryValue(path, keyPath, valueName);
    RegistryRoot root = kRegistryNoRoot;
    String subKey;
    if (uint32_t error = splitSlashedRegistryRoot(keyPath.w_str(), root, subKey)) {
        SetLastError(error);
        return kRegUnknownRoot;
    }
    if (!open(root, subKey.w_str(), kRegOpenExisting, kRegAccessDelete | viewOf(view)))
        return GetLastError() == ERROR_FILE_NOT_FOUND ? kRegNotFound : kRegDeleteFailed;
    int code = removeValue(valueName.w_str(), true);
    DWORD error = GetLastError();
    close();
    SetLastError(error);
    return code;
}

// An empty sub-key would name the current key itself, and the recursive deletion would then
// empty whatever key is open (a root included): it is refused like a missing one.
int RegistryKey::deleteKey(const char16_t* subKey, uint32_t options, uint32_t view) {
    if (!handle_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kRegNotFound;
    }
    if (subKey == nullptr || *subKey == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kRegNoSubKey;
    }
    return deleteKeyTree(hkey(handle_.get()), win(subKey), options, viewOf(view));
}

}  // namespace tessarin
