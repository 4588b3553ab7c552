// The registry layer against the real registry of the test prefix, in a private key under
// HKCU\Software\TessarinTest (HKLM\Software\TessarinTest for the view tests). Results are
// checked with direct Win32 calls, not with the layer under test.
#include "core/registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "fatal_capture.h"
#include "key_access.h"

namespace tessarin {
namespace {

using testing::everyoneHasFullAccess;

const wchar_t* w(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
std::u16string u(const String& s) {
    return std::u16string(s.w_str(), s.wideLength());
}
std::string bytesOf(const String& s) {
    return std::string(s.c_str(), s.length());
}
std::string bytesOf(const std::u16string& s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}
std::u16string decimal16(unsigned long value) {
    std::wstring text = std::to_wstring(value);
    return std::u16string(text.begin(), text.end());
}

std::u16string uniqueName() {
    static int serial = 0;
    return decimal16(GetCurrentProcessId()) + u"-" + decimal16(GetTickCount()) + u"-" +
           decimal16(++serial);
}

// ---- Direct access -----------------------------------------------------------------------

struct Raw {
    bool found = false;
    DWORD type = 0;
    std::string data;
};

Raw rawRead(HKEY root, const std::u16string& key, const std::u16string& name, REGSAM view = 0) {
    Raw result;
    HKEY k;
    if (RegOpenKeyExW(root, w(key), 0, KEY_QUERY_VALUE | view, &k) != ERROR_SUCCESS) return result;
    DWORD bytes = 0;
    if (RegQueryValueExW(k, w(name), nullptr, &result.type, nullptr, &bytes) == ERROR_SUCCESS) {
        result.data.resize(bytes);
        result.found =
            RegQueryValueExW(k, w(name), nullptr, &result.type,
                             reinterpret_cast<BYTE*>(result.data.data()), &bytes) == ERROR_SUCCESS;
        result.data.resize(bytes);
    }
    RegCloseKey(k);
    return result;
}

// Stores exactly the given bytes: the system would add a terminator to text data followed by
// a zero, so a non-zero guard follows them here.
void rawWrite(HKEY root, const std::u16string& key, const std::u16string& name, DWORD type,
              const std::string& data, REGSAM view = 0) {
    std::string guarded = data + "??";
    HKEY k;
    ASSERT_EQ(
        RegCreateKeyExW(root, w(key), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &k, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, w(name), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(k);
}

void rawCreate(HKEY root, const std::u16string& key, REGSAM view = 0) {
    HKEY k;
    ASSERT_EQ(
        RegCreateKeyExW(root, w(key), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(k);
}

bool rawExists(HKEY root, const std::u16string& key, REGSAM view = 0) {
    HKEY k;
    if (RegOpenKeyExW(root, w(key), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

void rawDeleteTree(HKEY root, const std::u16string& key, REGSAM view = 0) {
    HKEY k;
    if (RegOpenKeyExW(root, w(key), 0, KEY_ALL_ACCESS | view, &k) != ERROR_SUCCESS) return;
    RegDeleteTreeW(k, nullptr);
    RegCloseKey(k);
    RegDeleteKeyExW(root, w(key), view, 0);
}

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        base_ = u"Software\\TessarinTest\\" + uniqueName();
        rawCreate(HKEY_CURRENT_USER, base_);
    }
    void TearDown() override { rawDeleteTree(HKEY_CURRENT_USER, base_); }

    std::u16string sub(const std::u16string& relative) const { return base_ + u"\\" + relative; }
    // The key open in an object of its own, with full access.
    void openBase(RegistryKey& key, uint32_t access = kRegAccessAll) const {
        ASSERT_EQ(key.open(kHkeyCurrentUser, base_.c_str(), kRegOpenExisting, access),
                  kRegOpenedExisting);
    }
    Raw read(const std::u16string& name) const { return rawRead(HKEY_CURRENT_USER, base_, name); }
    void write(const std::u16string& name, DWORD type, const std::string& data) const {
        rawWrite(HKEY_CURRENT_USER, base_, name, type, data);
    }

    std::u16string base_;
};

// ---- Opening and the saved keys ----------------------------------------------------------

TEST_F(RegistryTest, OpenReportsCreatedOrExistingAndKeepsTheDisplayPath) {
    RegistryKey key;
    std::u16string child = sub(u"Child\\Grandchild");
    EXPECT_EQ(key.open(kHkeyCurrentUser, child.c_str(), 0, kRegAccessAll), kRegCreated);
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, child));
    EXPECT_EQ(u(key.displayPath()), u"HKEY_CURRENT_USER\\" + child + u"\\");
    EXPECT_EQ(key.open(kHkeyCurrentUser, child.c_str(), 0, kRegAccessAll), kRegOpenedExisting);

    // Open-existing never creates.
    std::u16string missing = sub(u"Missing");
    EXPECT_EQ(key.open(kHkeyCurrentUser, missing.c_str(), kRegOpenExisting, kRegAccessAll),
              kRegOpenFailed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(rawExists(HKEY_CURRENT_USER, missing));

    EXPECT_EQ(key.open(kRegistryNoRoot, u"Software", 0, kRegAccessAll), kRegOpenFailed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(RegistryTest, SlashedPathsOpenThroughTheirRootAndUnknownRootsAreRejected) {
    RegistryKey key;
    std::u16string slashed = u"\\HKCU\\" + sub(u"Slashed");
    EXPECT_EQ(key.openSlashed(slashed.c_str(), 0, kRegAccessAll), kRegCreated);
    EXPECT_EQ(u(key.displayPath()), u"HKEY_CURRENT_USER\\" + sub(u"Slashed") + u"\\");

    std::string narrow = "\\hkcu\\" + std::string(base_.begin(), base_.end()) + "\\Slashed";
    EXPECT_EQ(key.openSlashed(narrow.c_str(), kRegOpenExisting, kRegAccessRead),
              kRegOpenedExisting);

    // HKEY_USERS through "\HKU\": the hive of the current user is loaded under some SID.
    Array<String> profiles = listUserProfiles();
    ASSERT_FALSE(profiles.empty());
    std::u16string hive = u"\\HKU\\" + u(profiles[0]) + u"\\Software";
    EXPECT_EQ(key.openSlashed(hive.c_str(), kRegOpenExisting, kRegAccessRead), kRegOpenedExisting);

    int32_t saved = key.savedCount();
    EXPECT_EQ(key.openSlashed(u"\\HKAU\\Software", 0, kRegAccessAll), kRegOpenFailed);
    EXPECT_EQ(GetLastError(), 161u);
    EXPECT_EQ(key.openSlashed("HKCU\\Software", 0, kRegAccessAll), kRegOpenFailed);
    EXPECT_EQ(GetLastError(), 161u);
    EXPECT_EQ(key.savedCount(), saved);  // failures leave the stack alone
}

TEST_F(RegistryTest, CloseReturnsToTheSavedKeysInReverseOrder) {
    RegistryKey key;
    std::u16string prefix = u"HKEY_CURRENT_USER\\" + base_ + u"\\";
    ASSERT_EQ(key.open(kHkeyCurrentUser, sub(u"A").c_str(), 0, kRegAccessAll), kRegCreated);
    ASSERT_EQ(key.open(kHkeyCurrentUser, sub(u"B").c_str(), 0, kRegAccessAll), kRegCreated);
    ASSERT_EQ(key.openRelative(u"C", 0, kRegAccessAll), kRegCreated);
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, sub(u"B\\C")));
    EXPECT_EQ(u(key.displayPath()), prefix + u"B\\C\\");
    EXPECT_EQ(key.savedCount(), 2);

    // Each level writes through its own handle.
    ASSERT_TRUE(key.writeText(u"Level", String(u"C")));
    key.close();
    EXPECT_EQ(u(key.displayPath()), prefix + u"B\\");
    ASSERT_TRUE(key.writeText(u"Level", String(u"B")));
    key.close();
    EXPECT_EQ(u(key.displayPath()), prefix + u"A\\");
    ASSERT_TRUE(key.writeText(u"Level", String(u"A")));
    const std::pair<const char16_t*, const char16_t*> levels[] = {
        {u"A", u"A"}, {u"B", u"B"}, {u"B\\C", u"C"}};
    for (const auto& [path, level] : levels)
        EXPECT_EQ(rawRead(HKEY_CURRENT_USER, sub(path), u"Level").data,
                  bytesOf(std::u16string(level, 2)));
    key.close();
    EXPECT_FALSE(key.isOpen());
    EXPECT_TRUE(key.displayPath().empty());

    // Replacing the current key saves nothing.
    ASSERT_TRUE(key.open(kHkeyCurrentUser, sub(u"A").c_str(), 0, kRegAccessAll));
    ASSERT_TRUE(key.open(kHkeyCurrentUser, sub(u"B").c_str(), kRegReplaceCurrent, kRegAccessAll));
    EXPECT_EQ(key.savedCount(), 0);
    EXPECT_EQ(u(key.displayPath()), prefix + u"B\\");

    ASSERT_TRUE(key.open(kHkeyCurrentUser, sub(u"A").c_str(), 0, kRegAccessAll));
    key.closeAll();
    EXPECT_FALSE(key.isOpen());
    EXPECT_EQ(key.savedCount(), 0);
}

TEST_F(RegistryTest, ExistenceTestLeavesTheCurrentKeyInPlace) {
    RegistryKey key;
    openBase(key);
    EXPECT_TRUE(key.exists(kHkeyCurrentUser, base_.c_str(), 0, 0));
    EXPECT_TRUE(key.exists(kHkeyCurrentUser, base_.c_str(), kRegTestReadOnly, 0));
    EXPECT_FALSE(key.exists(kHkeyCurrentUser, sub(u"Missing").c_str(), 0, 0));
    EXPECT_FALSE(rawExists(HKEY_CURRENT_USER, sub(u"Missing")));
    EXPECT_EQ(key.savedCount(), 0);
    EXPECT_EQ(u(key.displayPath()), u"HKEY_CURRENT_USER\\" + base_ + u"\\");
}

TEST_F(RegistryTest, EnumerationCountsAndEmptiness) {
    rawCreate(HKEY_CURRENT_USER, sub(u"One"));
    rawCreate(HKEY_CURRENT_USER, sub(u"Zwei\u00df"));
    write(u"V1", REG_SZ, bytesOf(std::u16string(u"x")));
    write(u"", REG_SZ, bytesOf(std::u16string(u"default")));
    RegistryKey key;
    openBase(key);
    EXPECT_EQ(key.countSubKeys(), 2);
    EXPECT_FALSE(key.isEmpty());
    Array<String> names;
    ASSERT_TRUE(key.enumerateSubKeys(names));
    ASSERT_EQ(names.count(), 2);
    std::vector<std::u16string> keys = {u(names[0]), u(names[1])};
    EXPECT_NE(std::find(keys.begin(), keys.end(), u"Zwei\u00df"), keys.end());
    EXPECT_NE(std::find(keys.begin(), keys.end(), u"One"), keys.end());
    ASSERT_TRUE(key.enumerateValues(names));
    ASSERT_EQ(names.count(), 2);
    EXPECT_TRUE(u(names[0]) == u"" || u(names[1]) == u"");

    ASSERT_EQ(key.openRelative(u"One", kRegOpenExisting, kRegAccessAll), kRegOpenedExisting);
    EXPECT_EQ(key.countSubKeys(), 0);
    EXPECT_TRUE(key.isEmpty());
    key.closeAll();
    EXPECT_EQ(key.countSubKeys(), -1);
    EXPECT_FALSE(key.enumerateSubKeys(names));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// ---- Reading and writing -----------------------------------------------------------------

TEST_F(RegistryTest, TextIsStoredTerminatedAndReadBackWithNonAsciiNames) {
    RegistryKey key;
    openBase(key);
    const char16_t* name = u"Gr\u00f6\u00dfe \u2713";
    String text(u"\u00dcn\u00efc\u00f8d\u00e9 \u2603 C:\\Program Files");
    ASSERT_TRUE(key.writeText(name, text));
    Raw raw = read(name);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    // The terminator is stored with the text.
    EXPECT_EQ(raw.data, bytesOf(text) + std::string(2, '\0'));
    EXPECT_EQ(u(key.readText(name)), u(text));

    ASSERT_TRUE(key.writeText(u"Expand", String(u"%SystemRoot%\\x"), kRegExpandable));
    EXPECT_EQ(read(u"Expand").type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(u(key.readText(u"Expand")), u"%SystemRoot%\\x");

    // As REG_BINARY the text's own bytes, without a terminator.
    ASSERT_TRUE(key.writeText(u"AsBinary", String(u"ab"), kRegBinary));
    raw = read(u"AsBinary");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(raw.data, bytesOf(std::u16string(u"ab")));

    // The default value and a missing value.
    ASSERT_TRUE(key.writeText(u"", String(u"default")));
    EXPECT_EQ(u(key.readText(u"")), u"default");
    EXPECT_EQ(u(key.readText(u"Missing", String(u"fallback"))), u"fallback");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryTest, EightBitNamesUseTheEightBitCallsUnlessConverted) {
    RegistryKey key;
    openBase(key);
    // "\xe9" is a letter in the system code page; its UTF-16 form is what the name becomes.
    String wideName;
    ASSERT_TRUE(toWide("Caf\xe9", kWholeLength, wideName));
    ASSERT_TRUE(key.writeText("Caf\xe9", String("na\xefve")));
    String wideText;
    ASSERT_TRUE(toWide("na\xefve", kWholeLength, wideText));
    Raw raw = read(u(wideName));
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.data, bytesOf(wideText) + std::string(2, '\0'));
    EXPECT_EQ(bytesOf(key.readText("Caf\xe9")), "na\xefve");

    // kRegConvertName: 8-bit name, UTF-16 data both ways.
    ASSERT_TRUE(key.writeText("Converted", String(u"\u2603"), kRegConvertName));
    EXPECT_EQ(read(u"Converted").data, bytesOf(std::u16string(u"\u2603")) + std::string(2, '\0'));
    EXPECT_EQ(u(key.readText("Converted", String(), kRegConvertName)), u"\u2603");

    ASSERT_TRUE(key.writeNumber("Count8", 7));
    EXPECT_EQ(key.readNumber("Count8", 0), 7u);
    EXPECT_EQ(key.deleteValue("Count8"), kRegDeleted);
    EXPECT_FALSE(read(u"Count8").found);
}

TEST_F(RegistryTest, NumbersBytesAndRealsRoundTrip) {
    RegistryKey key;
    openBase(key);
    ASSERT_TRUE(key.writeNumber(u"Count", 0xDEADBEEF));
    Raw raw = read(u"Count");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.data, std::string("\xEF\xBE\xAD\xDE", 4));
    EXPECT_EQ(key.readNumber(u"Count", 1), 0xDEADBEEFu);
    EXPECT_EQ(u(key.readText(u"Count")), u"3735928559");
    RegistryValue value;
    ASSERT_TRUE(key.read(u"Count", value));
    EXPECT_TRUE(value.isNumber());
    EXPECT_EQ(value.number, 0xDEADBEEFu);

    String bytes("\x00\x01\xFF\x00", 4);
    ASSERT_TRUE(key.writeBytes(u"Blob", bytes));
    raw = read(u"Blob");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(raw.data, std::string("\x00\x01\xFF\x00", 4));
    ASSERT_TRUE(key.read(u"Blob", value));
    EXPECT_EQ(bytesOf(value.text), std::string("\x00\x01\xFF\x00", 4));

    for (double real : {0.1, -2.5, 1e300, 3.0}) {
        ASSERT_TRUE(key.writeReal(u"Real", real));
        EXPECT_EQ(read(u"Real").type, static_cast<DWORD>(REG_SZ));
        String text = key.readText(u"Real");
        String narrow;
        toNarrow(text.w_str(), text.wideLength(), narrow);
        EXPECT_EQ(std::strtod(narrow.c_str(), nullptr), real) << narrow.c_str();
    }
    ASSERT_TRUE(key.writeReal(u"Real", 0.1));
    EXPECT_EQ(u(key.readText(u"Real")), u"0.1");

    // A 64-bit value is no number here, and cannot be read.
    write(u"Quad", REG_QWORD, std::string(8, '\x01'));
    EXPECT_FALSE(key.read(u"Quad", value));
    EXPECT_EQ(key.readNumber(u"Quad", 5), 5u);
}

TEST_F(RegistryTest, StoredTerminatorIsDroppedUnlessKept) {
    RegistryKey key;
    openBase(key);
    write(u"WithZero", REG_SZ, bytesOf(std::u16string(u"abc", 4)));
    write(u"TwoZeros", REG_SZ, bytesOf(std::u16string(u"ab\0", 4)));
    write(u"NoZero", REG_SZ, bytesOf(std::u16string(u"abc")));
    write(u"ExpandZero", REG_EXPAND_SZ, bytesOf(std::u16string(u"%x%", 4)));

    EXPECT_EQ(u(key.readText(u"WithZero")), u"abc");
    EXPECT_EQ(u(key.readText(u"WithZero", String(), kRegKeepTerminator)),
              std::u16string(u"abc", 4));
    EXPECT_EQ(u(key.readText(u"TwoZeros")), std::u16string(u"ab", 3));  // only one goes
    EXPECT_EQ(u(key.readText(u"NoZero")), u"abc");
    EXPECT_EQ(u(key.readText(u"NoZero", String(), kRegKeepTerminator)), u"abc");
    EXPECT_EQ(u(key.readText(u"ExpandZero")), u"%x%");

    // The 8-bit calls get the text converted by the system; one zero byte goes.
    EXPECT_EQ(bytesOf(key.readText("WithZero")), "abc");
    EXPECT_EQ(bytesOf(key.readText("WithZero", String(), kRegKeepTerminator)),
              std::string("abc", 4));

    // Binary data keeps every byte.
    write(u"BinaryZero", REG_BINARY, std::string("ab\0\0", 4));
    EXPECT_EQ(bytesOf(key.readText(u"BinaryZero")), std::string("ab\0\0", 4));
}

TEST_F(RegistryTest, DwordValuesMustHoldExactlyFourBytes) {
    RegistryKey key;
    openBase(key);
    write(u"Eight", REG_DWORD, std::string("\x01\x00\x00\x00\x02\x00\x00\x00", 8));
    write(u"Two", REG_DWORD, std::string("\x01\x00", 2));
    write(u"Four", REG_DWORD, std::string("\x2A\x00\x00\x00", 4));
    RegistryValue value;
    EXPECT_FALSE(key.read(u"Eight", value));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(key.readNumber(u"Eight", 99), 99u);
    EXPECT_EQ(u(key.readText(u"Eight", String(u"none"))), u"none");
    EXPECT_FALSE(key.read(u"Two", value));
    EXPECT_EQ(key.readNumber(u"Four", 99), 42u);
}

TEST_F(RegistryTest, ValuesAboveOneMebibyteAreRefused) {
    RegistryKey key;
    openBase(key);
    std::string limit(kRegMaxValueBytes, '\0');
    for (size_t i = 0; i < limit.size(); ++i) limit[i] = static_cast<char>(i * 7 + i / 251);
    write(u"AtLimit", REG_BINARY, limit);
    write(u"AboveLimit", REG_BINARY, limit + "x");

    RegistryValue value;
    ASSERT_TRUE(key.read(u"AtLimit", value));
    EXPECT_EQ(value.text.length(), static_cast<int32_t>(kRegMaxValueBytes));
    EXPECT_TRUE(bytesOf(value.text) == limit);
    EXPECT_FALSE(key.read(u"AboveLimit", value));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));

    // Just above the first small query.
    write(u"ThirtyThree", REG_BINARY, limit.substr(0, 33));
    ASSERT_TRUE(key.read(u"ThirtyThree", value));
    EXPECT_EQ(bytesOf(value.text), limit.substr(0, 33));
}

TEST_F(RegistryTest, KeepExistingAndEmptyDeletes) {
    RegistryKey key;
    openBase(key);
    ASSERT_TRUE(key.writeText(u"Kept", String(u"old")));
    EXPECT_TRUE(key.writeText(u"Kept", String(u"new"), kRegKeepExisting));
    EXPECT_EQ(u(key.readText(u"Kept")), u"old");
    EXPECT_TRUE(key.writeNumber(u"Kept", 5, kRegKeepExisting));
    EXPECT_EQ(read(u"Kept").type, static_cast<DWORD>(REG_SZ));
    EXPECT_TRUE(key.writeText(u"Fresh", String(u"new"), kRegKeepExisting));
    EXPECT_EQ(u(key.readText(u"Fresh")), u"new");

    EXPECT_TRUE(key.writeText(u"Fresh", String(), kRegEmptyDeletes));
    EXPECT_FALSE(read(u"Fresh").found);
    EXPECT_TRUE(key.writeText(u"Fresh", String(), kRegEmptyDeletes));  // already gone
    EXPECT_TRUE(key.writeText("Fresh8", String(), kRegEmptyDeletes));
    EXPECT_FALSE(read(u"Fresh8").found);
    // Without the option an empty text is an empty value: its terminator alone, never data of
    // length 0 (which Wine's reg.exe cannot show), in both forms.
    EXPECT_TRUE(key.writeText(u"Empty", String()));
    Raw raw = read(u"Empty");
    EXPECT_TRUE(raw.found);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.data, std::string("\0\0", 2));
    EXPECT_TRUE(key.writeText("Empty8", String()));
    EXPECT_EQ(read(u"Empty8").data, std::string("\0\0", 2));

    RegistryKey closed;
    EXPECT_FALSE(closed.writeText(u"X", String(u"y")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    RegistryValue value;
    EXPECT_FALSE(closed.read(u"X", value));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(RegistryTest, MultiStringsWithAndWithoutQuotes) {
    RegistryKey key;
    openBase(key);
    Array<String> items;
    items.append(String(u"one"));
    items.append(String(u"two words"));
    ASSERT_TRUE(key.writeMultiString(u"Quoted", items, kRegQuote));
    Raw raw = read(u"Quoted");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(raw.data,
              bytesOf(std::u16string(u"\"one\"\0\"two words\"\0", 18)) + std::string(2, '\0'));

    Array<String> back;
    ASSERT_TRUE(key.readMultiString(u"Quoted", back, kRegUnquote));
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(u(back[0]), u"one");
    EXPECT_EQ(u(back[1]), u"two words");
    ASSERT_TRUE(key.readMultiString(u"Quoted", back));
    EXPECT_EQ(u(back[0]), u"\"one\"");

    ASSERT_TRUE(key.writeMultiString(u"Plain", items));
    EXPECT_EQ(read(u"Plain").data,
              bytesOf(std::u16string(u"one\0two words\0", 14)) + std::string(2, '\0'));

    // Reading stops at the empty string that ends the list.
    write(u"Stored", REG_MULTI_SZ, bytesOf(std::u16string(u"a\0\0b\0\0", 6)));
    ASSERT_TRUE(key.readMultiString(u"Stored", back));
    ASSERT_EQ(back.count(), 1);
    EXPECT_EQ(u(back[0]), u"a");

    Array<String> narrowItems;
    narrowItems.append(String("x"));
    narrowItems.append(String("yz"));
    ASSERT_TRUE(key.writeMultiString("Narrow", narrowItems, kRegQuote));
    EXPECT_EQ(read(u"Narrow").data,
              bytesOf(std::u16string(u"\"x\"\0\"yz\"\0", 4 + 5)) + std::string(2, '\0'));
    ASSERT_TRUE(key.readMultiString("Narrow", back, kRegUnquote));
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(bytesOf(back[1]), "yz");

    ASSERT_TRUE(key.writeNumber(u"Number", 1));
    EXPECT_FALSE(key.readMultiString(u"Number", back));
}

TEST_F(RegistryTest, FullPathsReadWriteAndDeleteThroughTheSlashedRoot) {
    RegistryKey key;
    std::u16string path = u"\\HKCU\\" + sub(u"Made\\Here\\Value");
    EXPECT_TRUE(key.writeTextByPath(path.c_str(), String(u"by path")));
    EXPECT_FALSE(key.isOpen());  // opened and closed again
    Raw raw = rawRead(HKEY_CURRENT_USER, sub(u"Made\\Here"), u"Value");
    EXPECT_EQ(raw.data, bytesOf(std::u16string(u"by path", 8)));
    EXPECT_EQ(u(key.readTextByPath(path.c_str(), String(u"dflt"))), u"by path");

    std::u16string missingValue = u"\\HKCU\\" + sub(u"Made\\Here\\Nothing");
    std::u16string missingKey = u"\\HKCU\\" + sub(u"Nowhere\\Value");
    EXPECT_EQ(u(key.readTextByPath(missingValue.c_str(), String(u"dflt"))), u"dflt");
    EXPECT_EQ(u(key.readTextByPath(missingKey.c_str(), String(u"dflt"))), u"dflt");
    EXPECT_FALSE(rawExists(HKEY_CURRENT_USER, sub(u"Nowhere")));

    // A key opened before stays current.
    openBase(key);
    EXPECT_EQ(u(key.readTextByPath(path.c_str())), u"by path");
    EXPECT_EQ(u(key.displayPath()), u"HKEY_CURRENT_USER\\" + base_ + u"\\");
    EXPECT_EQ(key.savedCount(), 0);

    EXPECT_EQ(key.deleteValueByPath(path.c_str()), kRegDeleted);
    EXPECT_FALSE(rawRead(HKEY_CURRENT_USER, sub(u"Made\\Here"), u"Value").found);
    EXPECT_EQ(key.deleteValueByPath(path.c_str()), kRegNotFound);
    EXPECT_EQ(key.deleteValueByPath(missingKey.c_str()), kRegNotFound);
    EXPECT_EQ(key.deleteValueByPath(u"\\HKAU\\Software\\Value"), kRegUnknownRoot);
    EXPECT_EQ(GetLastError(), 161u);
    EXPECT_EQ(u(key.displayPath()), u"HKEY_CURRENT_USER\\" + base_ + u"\\");
}

TEST_F(RegistryTest, MissingRequiredValueRaisesTheFatalReport) {
    RegistryKey key;
    openBase(key, kRegAccessRead);
    std::string report = testing::captureFatal([&] {
        RegistryValue value;
        key.read(u"InstallDir", value, kRegRequired);
    });
    std::string path(base_.begin(), base_.end());
    EXPECT_EQ(report,
              "The following registry key is required by Tessarin Setup, but is invalid or does "
              "not exist:\n\nHKEY_CURRENT_USER\\" +
                  path +
                  "\\InstallDir\n\nIf you have tried moving this program to a different "
                  "computer by copying files, this will not work.  This program must be "
                  "reinstalled.");
    // Without the option a missing value is an ordinary failure.
    EXPECT_EQ(testing::captureFatal([&] { key.readText(u"InstallDir"); }), "");
}

// ---- Deleting ----------------------------------------------------------------------------

TEST_F(RegistryTest, DeleteValueCodes) {
    RegistryKey key;
    openBase(key);
    ASSERT_TRUE(key.writeText(u"Gone", String(u"x")));
    EXPECT_EQ(key.deleteValue(u"Gone"), kRegDeleted);
    EXPECT_FALSE(read(u"Gone").found);
    EXPECT_EQ(key.deleteValue(u"Gone"), kRegNotFound);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A key opened for reading cannot lose values.
    write(u"Stays", REG_SZ, bytesOf(std::u16string(u"y")));
    RegistryKey readOnly;
    openBase(readOnly, kRegAccessRead);
    EXPECT_EQ(readOnly.deleteValue(u"Stays"), kRegDeleteFailed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(read(u"Stays").found);

    RegistryKey closed;
    EXPECT_EQ(closed.deleteValue(u"Stays"), kRegNotFound);
}

TEST_F(RegistryTest, DeleteKeyCodes) {
    RegistryKey closed;
    EXPECT_EQ(closed.deleteKey(u"Anything"), kRegNotFound);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    rawCreate(HKEY_CURRENT_USER, sub(u"Full\\Inner"));
    rawCreate(HKEY_CURRENT_USER, sub(u"WithValue"));
    rawWrite(HKEY_CURRENT_USER, sub(u"WithValue"), u"v", REG_SZ, "x");
    rawCreate(HKEY_CURRENT_USER, sub(u"Empty"));
    RegistryKey key;
    openBase(key);

    EXPECT_EQ(key.deleteKey(nullptr), kRegNoSubKey);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // An empty name would be the open key itself.
    EXPECT_EQ(key.deleteKey(u""), kRegNoSubKey);
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, sub(u"Full\\Inner")));

    EXPECT_EQ(key.deleteKey(u"Missing"), kRegNotFound);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_EQ(key.deleteKey(u"Full", kRegOnlyIfEmpty), kRegNotEmpty);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_EQ(key.deleteKey(u"WithValue", kRegOnlyIfEmpty), kRegNotEmpty);
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, sub(u"Full\\Inner")));
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, sub(u"WithValue")));
    EXPECT_EQ(key.deleteKey(u"Empty", kRegOnlyIfEmpty), kRegDeleted);
    EXPECT_FALSE(rawExists(HKEY_CURRENT_USER, sub(u"Empty")));

    // Below a key that has been deleted since it was opened nothing can be deleted.
    rawCreate(HKEY_CURRENT_USER, sub(u"Stale\\Child"));
    ASSERT_EQ(key.openRelative(u"Stale", kRegOpenExisting, kRegAccessAll), kRegOpenedExisting);
    rawDeleteTree(HKEY_CURRENT_USER, sub(u"Stale"));
    EXPECT_EQ(key.deleteKey(u"Child"), kRegDeleteFailed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_KEY_DELETED));
}

TEST_F(RegistryTest, KeyTreesAreDeletedDeepestFirst) {
    // The system deletes only keys without sub-keys, so the tree can only go bottom up.
    for (const char16_t* path : {u"Tree\\L1a\\L2a\\L3", u"Tree\\L1a\\L2b", u"Tree\\L1b\\L2c\\L3"})
        rawCreate(HKEY_CURRENT_USER, sub(path));
    rawWrite(HKEY_CURRENT_USER, sub(u"Tree\\L1a\\L2a\\L3"), u"v", REG_DWORD, std::string(4, 'x'));
    rawWrite(HKEY_CURRENT_USER, sub(u"Tree"), u"v", REG_SZ, "xx");
    rawCreate(HKEY_CURRENT_USER, sub(u"Sibling"));
    {
        HKEY tree;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, w(base_), 0, KEY_ALL_ACCESS, &tree), 0);
        EXPECT_NE(RegDeleteKeyW(tree, L"Tree"), ERROR_SUCCESS);  // what the order is for
        RegCloseKey(tree);
    }
    RegistryKey key;
    openBase(key);
    EXPECT_EQ(key.deleteKey(u"Tree"), kRegDeleted);
    EXPECT_FALSE(rawExists(HKEY_CURRENT_USER, sub(u"Tree")));
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, sub(u"Sibling")));
    EXPECT_EQ(key.deleteKey(u"Tree"), kRegNotFound);
}

TEST_F(RegistryTest, KeyThatCannotBeDeletedGivesCodeThreeAndItsSiblingsStillGo) {
    rawCreate(HKEY_CURRENT_USER, sub(u"Tree\\Locked"));
    rawCreate(HKEY_CURRENT_USER, sub(u"Tree\\Free\\Deep"));
    // An access list on "Locked" that allows everything except deletion.
    HKEY locked;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, w(sub(u"Tree\\Locked")), 0, KEY_ALL_ACCESS, &locked),
              0);
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidBytes = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidBytes));
    alignas(DWORD) BYTE aclBuffer[256];
    ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
    ASSERT_TRUE(InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS & ~DELETE, sid));
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    ASSERT_EQ(RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, &descriptor), 0);
    RegCloseKey(locked);
    HKEY probe;
    bool enforced = RegOpenKeyExW(HKEY_CURRENT_USER, w(sub(u"Tree\\Locked")), 0, DELETE, &probe) !=
                    ERROR_SUCCESS;
    if (!enforced) {
        RegCloseKey(probe);
        GTEST_SKIP() << "this Wine grants DELETE despite the key's access list";
    }

    RegistryKey key;
    openBase(key);
    EXPECT_EQ(key.deleteKey(u"Tree"), kRegDeleteFailed);
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, sub(u"Tree\\Locked")));
    EXPECT_FALSE(rawExists(HKEY_CURRENT_USER, sub(u"Tree\\Free")));

    // Clean-up: give DELETE back.
    SetSecurityDescriptorDacl(&descriptor, FALSE, nullptr, FALSE);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, w(sub(u"Tree\\Locked")), 0, WRITE_DAC, &locked), 0);
    RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(locked);
}

// ---- Security of created keys ------------------------------------------------------------

// Creates key with a descriptor that gives Everyone every right, directly.
bool systemHonoursCreationDescriptor(const std::u16string& key) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidBytes = sizeof sid;
    alignas(DWORD) BYTE aclBuffer[256];
    ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
    SECURITY_DESCRIPTOR descriptor;
    CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidBytes);
    InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, sid);
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    HKEY k;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, w(key), 0, nullptr, 0, KEY_ALL_ACCESS, &attributes, &k,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return everyoneHasFullAccess(HKEY_CURRENT_USER, key);
}

// A key open to everyone would let any user change what an elevated installer or uninstaller
// reads from it later, so keys are created with default security whatever the options say: the
// by-path writer and the all-users creator too.
TEST_F(RegistryTest, CreatedKeysNeverGiveEveryoneFullAccess) {
    if (!systemHonoursCreationDescriptor(sub(u"Control")))
        GTEST_SKIP() << "this Wine gives new keys default security whatever descriptor "
                        "RegCreateKeyExW is given, so a key open to all cannot be told apart";
    RegistryKey key;
    ASSERT_EQ(key.open(kHkeyCurrentUser, sub(u"Open").c_str(), 0, kRegAccessAll), kRegCreated);
    ASSERT_EQ(key.open(kHkeyCurrentUser, sub(u"Default").c_str(), kRegNoSecurity, kRegAccessAll),
              kRegCreated);
    EXPECT_FALSE(everyoneHasFullAccess(HKEY_CURRENT_USER, sub(u"Open")));
    EXPECT_FALSE(everyoneHasFullAccess(HKEY_CURRENT_USER, sub(u"Default")));
    key.closeAll();
    std::u16string byPath = u"\\HKCU\\" + sub(u"ByPath\\Value");
    ASSERT_TRUE(key.writeTextByPath(byPath.c_str(), String(u"C:\\App"), 0, 0));
    EXPECT_FALSE(everyoneHasFullAccess(HKEY_CURRENT_USER, sub(u"ByPath")));
}

// ---- Registry views ----------------------------------------------------------------------

// HKLM\Software is the part of the registry that has a 32-bit and a 64-bit view.
class RegistryViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        key_ = u"Software\\TessarinTest\\" + uniqueName();
        // These checks need a default view that differs from the 64-bit one.
        if (sizeof(void*) == 8)
            GTEST_SKIP() << "a 64-bit process: its default registry view is the 64-bit one";
        BOOL wow64 = FALSE;
        IsWow64Process(GetCurrentProcess(), &wow64);
        if (!wow64) GTEST_SKIP() << "not a 32-bit process on a 64-bit system";
    }
    void TearDown() override {
        rawDeleteTree(HKEY_LOCAL_MACHINE, key_, KEY_WOW64_64KEY);
        rawDeleteTree(HKEY_LOCAL_MACHINE, key_, KEY_WOW64_32KEY);
    }
    std::u16string key_;
};

TEST_F(RegistryViewTest, ValuesWrittenInOneViewAreInvisibleInTheOther) {
    RegistryKey key;
    ASSERT_EQ(key.open(kHkeyLocalMachine, key_.c_str(), 0, kRegAccessAll | kRegView64),
              kRegCreated);
    ASSERT_TRUE(key.writeText(u"Bits", String(u"64")));
    key.close();
    ASSERT_EQ(key.open(kHkeyLocalMachine, key_.c_str(), 0, kRegAccessAll | kRegView32),
              kRegCreated);
    ASSERT_TRUE(key.writeText(u"Only32", String(u"32")));
    key.close();

    EXPECT_TRUE(rawRead(HKEY_LOCAL_MACHINE, key_, u"Bits", KEY_WOW64_64KEY).found);
    EXPECT_FALSE(rawRead(HKEY_LOCAL_MACHINE, key_, u"Bits", KEY_WOW64_32KEY).found);
    EXPECT_FALSE(rawRead(HKEY_LOCAL_MACHINE, key_, u"Only32", KEY_WOW64_64KEY).found);
    EXPECT_TRUE(rawRead(HKEY_LOCAL_MACHINE, key_, u"Only32", KEY_WOW64_32KEY).found);
    // The process's own view is the 32-bit one.
    EXPECT_TRUE(rawRead(HKEY_LOCAL_MACHINE, key_, u"Only32").found);

    std::u16string path = u"\\HKLM\\" + key_ + u"\\Bits";
    EXPECT_EQ(u(key.readTextByPath(path.c_str(), String(u"none"), kRegView64)), u"64");
    EXPECT_EQ(u(key.readTextByPath(path.c_str(), String(u"none"), kRegView32)), u"none");
    EXPECT_TRUE(key.exists(kHkeyLocalMachine, key_.c_str(), 0, kRegView64));
}

TEST_F(RegistryViewTest, KeyDeletionStaysInItsView) {
    rawCreate(HKEY_LOCAL_MACHINE, key_ + u"\\Tree\\Deep", KEY_WOW64_64KEY);
    rawCreate(HKEY_LOCAL_MACHINE, key_ + u"\\Tree\\Deep", KEY_WOW64_32KEY);
    RegistryKey key;
    ASSERT_EQ(
        key.open(kHkeyLocalMachine, key_.c_str(), kRegOpenExisting, kRegAccessDelete | kRegView64),
        kRegOpenedExisting);
    EXPECT_EQ(key.deleteKey(u"Tree", 0, kRegView64), kRegDeleted);
    EXPECT_FALSE(rawExists(HKEY_LOCAL_MACHINE, key_ + u"\\Tree", KEY_WOW64_64KEY));
    EXPECT_TRUE(rawExists(HKEY_LOCAL_MACHINE, key_ + u"\\Tree\\Deep", KEY_WOW64_32KEY));

    std::u16string path = u"\\HKLM\\" + key_ + u"\\Tree\\Deep\\Absent";
    rawWrite(HKEY_LOCAL_MACHINE, key_ + u"\\Tree\\Deep", u"Absent", REG_SZ, "x", KEY_WOW64_32KEY);
    EXPECT_EQ(key.deleteValueByPath(path.c_str(), kRegView64), kRegNotFound);
    EXPECT_EQ(key.deleteValueByPath(path.c_str(), kRegView32), kRegDeleted);
}

// ---- Every user profile ------------------------------------------------------------------

// Wine loads one user hive (the current user's, also in ProfileList); other profiles of a real
// system, and profiles whose hives are not loaded, cannot be set up here.
class RegistryAllUsersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        key_ = u"Software\\TessarinTest\\" + uniqueName();
        Array<String> profiles = listUserProfiles();
        for (int32_t i = 0; i < profiles.count(); ++i)
            if (rawExists(HKEY_USERS, u(profiles[i]))) loaded_.push_back(u(profiles[i]));
    }
    void TearDown() override {
        for (const std::u16string& sid : loaded_) rawDeleteTree(HKEY_USERS, sid + u"\\" + key_);
    }
    std::u16string key_;
    std::vector<std::u16string> loaded_;
};

TEST_F(RegistryAllUsersTest, ProfilesComeFromProfileListAndTheirHivesAreLoaded) {
    Array<String> profiles = listUserProfiles();
    ASSERT_FALSE(profiles.empty());
    ASSERT_FALSE(loaded_.empty());
    for (int32_t i = 0; i < profiles.count(); ++i) {
        EXPECT_TRUE(profiles[i].startsWithWide(u"S-1-"));
        EXPECT_FALSE(profiles[i].equalsNoCaseWide(u".DEFAULT"));
    }
}

TEST_F(RegistryAllUsersTest, WriteAndDeleteReachEveryLoadedHive) {
    ASSERT_FALSE(loaded_.empty());
    std::u16string data = u"all users";
    ASSERT_TRUE(writeValueForAllUsers(key_.c_str(), u"Shared", REG_SZ, data.c_str(),
                                      static_cast<uint32_t>(data.size() + 1) * 2));
    for (const std::u16string& sid : loaded_) {
        Raw raw = rawRead(HKEY_USERS, sid + u"\\" + key_, u"Shared");
        EXPECT_EQ(raw.data, bytesOf(std::u16string(data.c_str(), data.size() + 1)));
    }
    // The current user's hive is one of them.
    EXPECT_TRUE(rawRead(HKEY_CURRENT_USER, key_, u"Shared").found);

    uint32_t number = 9;
    ASSERT_TRUE(
        writeValueForAllUsers(key_.c_str(), u"Shared", REG_DWORD, &number, 4, 0, kRegKeepExisting));
    EXPECT_EQ(rawRead(HKEY_CURRENT_USER, key_, u"Shared").type, static_cast<DWORD>(REG_SZ));

    ASSERT_TRUE(deleteValueForAllUsers(key_.c_str(), u"Shared", kRegDeleteEmptyKey));
    for (const std::u16string& sid : loaded_)
        EXPECT_FALSE(rawExists(HKEY_USERS, sid + u"\\" + key_));
    // Nothing left to delete is no failure.
    EXPECT_TRUE(deleteValueForAllUsers(key_.c_str(), u"Shared", kRegDeleteEmptyKey));
}

TEST_F(RegistryAllUsersTest, CreatedKeysAndKeysThatKeepOtherValues) {
    ASSERT_TRUE(createKeyForAllUsers((key_ + u"\\Sub").c_str()));
    for (const std::u16string& sid : loaded_)
        EXPECT_TRUE(rawExists(HKEY_USERS, sid + u"\\" + key_ + u"\\Sub"));

    uint32_t one = 1;
    ASSERT_TRUE(writeValueForAllUsers(key_.c_str(), u"A", REG_DWORD, &one, 4));
    ASSERT_TRUE(writeValueForAllUsers(key_.c_str(), u"B", REG_DWORD, &one, 4));
    ASSERT_TRUE(deleteValueForAllUsers(key_.c_str(), u"A", kRegDeleteEmptyKey));
    for (const std::u16string& sid : loaded_) {
        EXPECT_FALSE(rawRead(HKEY_USERS, sid + u"\\" + key_, u"A").found);
        EXPECT_TRUE(rawRead(HKEY_USERS, sid + u"\\" + key_, u"B").found);  // key not empty
    }
    // Without the option the emptied key stays.
    ASSERT_TRUE(deleteValueForAllUsers((key_ + u"\\Sub").c_str(), u"None"));
    for (const std::u16string& sid : loaded_)
        EXPECT_TRUE(rawExists(HKEY_USERS, sid + u"\\" + key_ + u"\\Sub"));
}

}  // namespace
}  // namespace tessarin
