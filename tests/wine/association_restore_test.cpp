// The association restore against the prefix's HKEY_CLASSES_ROOT: keys written here with raw
// Win32 calls as the installer leaves them, restored, and read back the same way. Whether the
// shell acts on the change notification cannot be seen under Wine; only that the run ends.
#include "uninstall/association_restore.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "recording_reporter.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::RecordingReporter;
using testing::w;

std::u16string processId() {
    return reinterpret_cast<const char16_t*>(std::to_wstring(GetCurrentProcessId()).c_str());
}

const std::u16string kBackup = u"Tessarin Test Backup";

void setText(const std::u16string& key, const std::u16string& name, const std::u16string& data) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, w(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(k, w(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * 2));
    RegCloseKey(k);
}

bool keyExists(const std::u16string& key) {
    HKEY k;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, w(key), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// The text of a value, "<missing>" when it or its key is absent.
std::u16string text(const std::u16string& key, const std::u16string& name) {
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, w(key), w(name), RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS)
        return u"<missing>";
    return reinterpret_cast<const char16_t*>(buffer);
}

class AssociationRestoreOnThePrefix : public ::testing::Test {
  protected:
    std::u16string ext = u".tsrtest" + processId();
    std::u16string type = u"Tessarin.TestDoc" + processId();
    std::u16string command = type + u"\\shell\\open\\command";
    RecordingReporter reporter;

    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, w(ext));
        RegDeleteTreeW(HKEY_CLASSES_ROOT, w(type));
    }
    // What the installer leaves for a type of its own with an icon and the "open" verb.
    void install() {
        setText(ext, u"", type);
        setText(ext + u"\\OpenWithProgids", type, u"");
        setText(type, u"", u"Tessarin test document");
        setText(type + u"\\DefaultIcon", u"", u"C:\\App\\doc.ico,0");
        setText(type + u"\\shell\\open", u"", u"&Open");
        setText(command, u"", u"\"C:\\App\\demo.exe\" \"%1\"");
    }
    void restore() {
        FileAssociation a;
        std::string ext8(ext.begin(), ext.end()), type8(type.begin(), type.end());
        a.extension = String(ext8.c_str());
        a.programId = String(type8.c_str());
        a.verb = String("open");
        a.icon = String("C:\\App\\doc.ico,0");
        Vector<FileAssociation> list;
        list.append(a);
        RestoreFileAssociations(list, fromUtf8("Tessarin\\ Test"), 0, reporter);
    }
};

TEST_F(AssociationRestoreOnThePrefix, ProductTypeGoesAndOtherProgramsEntryStays) {
    install();
    setText(ext + u"\\OpenWithProgids", u"Other.Doc", u"");
    restore();
    EXPECT_FALSE(keyExists(type));
    EXPECT_TRUE(keyExists(ext));
    EXPECT_EQ(text(ext, u""), u"<missing>");
    EXPECT_EQ(text(ext + u"\\OpenWithProgids", type), u"<missing>");
    EXPECT_EQ(text(ext + u"\\OpenWithProgids", u"Other.Doc"), u"");
    EXPECT_NE(reporter.logged.find("Restoring file association"), std::string::npos);
}

TEST_F(AssociationRestoreOnThePrefix, LoneExtensionKeyIsDeleted) {
    install();
    restore();
    EXPECT_FALSE(keyExists(type));
    EXPECT_FALSE(keyExists(ext));
}

TEST_F(AssociationRestoreOnThePrefix, BackupsAreWrittenBackAndRemoved) {
    install();
    setText(ext, kBackup, u"Old.Doc");
    setText(command, kBackup, u"old.exe \"%1\"");
    restore();
    EXPECT_EQ(text(ext, u""), u"Old.Doc");
    EXPECT_EQ(text(ext, kBackup), u"<missing>");
    EXPECT_EQ(text(command, u""), u"old.exe \"%1\"");
    EXPECT_EQ(text(command, kBackup), u"<missing>");
    EXPECT_EQ(text(type + u"\\shell\\open", u""), u"&Open");
    EXPECT_FALSE(keyExists(type + u"\\DefaultIcon"));
}

}  // namespace
}  // namespace tessarin
