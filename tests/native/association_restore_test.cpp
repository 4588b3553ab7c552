#include "uninstall/association_restore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::RecordingReporter;
using testing::utf8;

// Keys of HKEY_CLASSES_ROOT by UTF-8 path, each with its values by name ("" the default).
class ScriptedClasses : public AssociationRegistry {
  public:
    using Values = std::map<std::string, std::string>;

    String readText(const String& key, const String& name) override {
        auto k = keys.find(utf8(key));
        if (k == keys.end()) return String();
        auto v = k->second.find(utf8(name));
        return v == k->second.end() ? String() : fromUtf8(v->second);
    }
    bool writeText(const String& key, const String& name, const String& text) override {
        auto k = keys.find(utf8(key));
        if (k == keys.end() || failWrites) return false;
        k->second[utf8(name)] = utf8(text);
        return true;
    }
    void deleteValue(const String& key, const String& name) override {
        auto k = keys.find(utf8(key));
        if (k != keys.end()) k->second.erase(utf8(name));
    }
    AssociationKeyContents contents(const String& key) override {
        AssociationKeyContents c;
        auto k = keys.find(utf8(key));
        if (k == keys.end()) return c;
        c.exists = true;
        c.subKeys = static_cast<int32_t>(subKeysOf(k->first).size());
        for (const auto& [name, data] : k->second) {
            if (name.empty())
                c.hasDefault = true;
            else
                ++c.namedValues;
        }
        return c;
    }
    void deleteKey(const String& key) override {
        std::string k = utf8(key);
        // The system side deletes only keys without sub-keys.
        ASSERT_TRUE(subKeysOf(k).empty()) << k;
        keys.erase(k);
    }
    void notifyAssociationsChanged() override { ++notified; }

    std::vector<std::string> subKeysOf(const std::string& key) const {
        std::vector<std::string> found;
        for (const auto& [name, values] : keys)
            if (name.rfind(key + "\\", 0) == 0) found.push_back(name);
        return found;
    }
    // "key|name=data" lines, sorted; a key without values shows as "key|".
    std::vector<std::string> dump() const {
        std::vector<std::string> lines;
        for (const auto& [key, values] : keys) {
            if (values.empty()) lines.push_back(key + "|");
            for (const auto& [name, data] : values) lines.push_back(key + "|" + name + "=" + data);
        }
        return lines;
    }

    std::map<std::string, Values> keys;
    bool failWrites = false;
    int notified = 0;
};

const char* const kBackup = "Tessarin Demo Backup";

FileAssociation association(const char* extension, const char* id, const char* verb,
                            const char* icon) {
    FileAssociation a;
    a.extension = String(extension);
    a.programId = String(id);
    a.verb = String(verb);
    a.icon = String(icon);
    return a;
}

// What the installer writes for ".tsr" → "Tsr.Doc" with an icon and the given verb, on a
// system that had none of it.
void installFreshType(ScriptedClasses& r, const std::string& verb) {
    r.keys[".tsr"] = {{"", "Tsr.Doc"}};
    if (verb == "open") r.keys[".tsr\\OpenWithProgids"] = {{"Tsr.Doc", ""}};
    r.keys["Tsr.Doc"] = {{"", "Tessarin document"}};
    r.keys["Tsr.Doc\\DefaultIcon"] = {{"", "C:\\App\\doc.ico,0"}};
    r.keys["Tsr.Doc\\shell"] = {};
    r.keys["Tsr.Doc\\shell\\" + verb] = {{"", "&Open with Demo"}};
    r.keys["Tsr.Doc\\shell\\" + verb + "\\command"] = {{"", "\"C:\\App\\demo.exe\" \"%1\""}};
}

std::vector<std::string> restore(ScriptedClasses& r, const Vector<FileAssociation>& list,
                                 RecordingReporter* reporter = nullptr) {
    RecordingReporter local;
    restoreFileAssociations(list, fromUtf8("Tessarin Demo"), r, reporter ? *reporter : local);
    return r.dump();
}

using Lines = std::vector<std::string>;

TEST(AssociationRestore, BackupNameDropsBackslashesAndLineBreaks) {
    EXPECT_EQ(utf8(associationBackupName(fromUtf8("A\\B\r\n\tC d"))), "ABC d Backup");
    EXPECT_EQ(utf8(associationBackupName(fromUtf8("Tessarin Demo"))), kBackup);
}

TEST(AssociationRestore, TypeTheProductMadeIsRemovedCompletely) {
    for (const char* verb : {"open", "print"}) {
        SCOPED_TRACE(verb);
        ScriptedClasses r;
        installFreshType(r, verb);
        RecordingReporter reporter;
        Vector<FileAssociation> list;
        list.append(association(".tsr", "Tsr.Doc", verb, "C:\\App\\doc.ico,0"));
        EXPECT_EQ(restore(r, list, &reporter), Lines{});
        EXPECT_EQ(r.notified, 1);
        EXPECT_EQ(reporter.logged, "Restoring file association \".tsr\" (Tsr.Doc)...\r\n");
    }
}

TEST(AssociationRestore, BackupsComeBackAndKeepTheirKeys) {
    ScriptedClasses r;
    installFreshType(r, "open");
    // The extension named another type before, and the type had its own icon, command and
    // default verb: the installer saved them.
    r.keys[".tsr"][kBackup] = "Old.Doc";
    r.keys["Old.Doc"] = {{"", "Old document"}};
    r.keys["Tsr.Doc\\DefaultIcon"][kBackup] = "old.ico";
    r.keys["Tsr.Doc\\shell"] = {{"", "open"}, {kBackup, "view"}};
    r.keys["Tsr.Doc\\shell\\view"] = {};
    r.keys["Tsr.Doc\\shell\\open\\command"][kBackup] = "old.exe \"%1\"";
    Vector<FileAssociation> list;
    list.append(association(".tsr", "Tsr.Doc", "open", "C:\\App\\doc.ico,0"));
    EXPECT_EQ(restore(r, list), (Lines{
                                    ".tsr|=Old.Doc",
                                    "Old.Doc|=Old document",
                                    "Tsr.Doc|=Tessarin document",
                                    "Tsr.Doc\\DefaultIcon|=old.ico",
                                    "Tsr.Doc\\shell|=view",
                                    "Tsr.Doc\\shell\\open|=&Open with Demo",
                                    "Tsr.Doc\\shell\\open\\command|=old.exe \"%1\"",
                                    "Tsr.Doc\\shell\\view|",
                                }));
}

TEST(AssociationRestore, OtherProgramsDataUnderTheExtensionSurvives) {
    ScriptedClasses r;
    installFreshType(r, "open");
    r.keys[".tsr\\OpenWithProgids"]["Other.Doc"] = "";
    r.keys[".tsr\\ShellNew"] = {{"NullFile", ""}};
    r.keys[".tsr"]["Content Type"] = "text/x-tsr";
    Vector<FileAssociation> list;
    list.append(association(".tsr", "Tsr.Doc", "open", "C:\\App\\doc.ico,0"));
    // The extension no longer names the deleted type; everything else stays.
    EXPECT_EQ(restore(r, list), (Lines{
                                    ".tsr|Content Type=text/x-tsr",
                                    ".tsr\\OpenWithProgids|Other.Doc=",
                                    ".tsr\\ShellNew|NullFile=",
                                }));
}

TEST(AssociationRestore, OtherVerbsLeaveTheOpenWithListAlone) {
    ScriptedClasses r;
    installFreshType(r, "print");
    r.keys[".tsr\\OpenWithProgids"] = {{"Tsr.Doc", ""}};
    Vector<FileAssociation> list;
    list.append(association(".tsr", "Tsr.Doc", "print", "C:\\App\\doc.ico,0"));
    EXPECT_EQ(restore(r, list), (Lines{".tsr|", ".tsr\\OpenWithProgids|Tsr.Doc="}));
}

TEST(AssociationRestore, ExtensionTakenOverByAnotherProgramKeepsItsType) {
    ScriptedClasses r;
    installFreshType(r, "open");
    r.keys[".tsr"][""] = "Other.Doc";
    Vector<FileAssociation> list;
    list.append(association(".tsr", "Tsr.Doc", "open", "C:\\App\\doc.ico,0"));
    EXPECT_EQ(restore(r, list), Lines{".tsr|=Other.Doc"});
}

TEST(AssociationRestore, ExistingTypeGivenAVerbKeepsEverythingElse) {
    // The extension already had the type "txtfile"; the product added a verb and an icon
    // without an icon there before, and no description of its own.
    ScriptedClasses r;
    r.keys[".txt"] = {{"", "txtfile"}};
    r.keys["txtfile"] = {{"", "Text Document"}};
    r.keys["txtfile\\shell"] = {};
    r.keys["txtfile\\shell\\open"] = {};
    r.keys["txtfile\\shell\\open\\command"] = {{"", "notepad.exe %1"}};
    r.keys["txtfile\\shell\\edit"] = {{"", "Edit with Demo"}};
    r.keys["txtfile\\shell\\edit\\command"] = {{"", "demo.exe %1"}};
    r.keys["txtfile\\DefaultIcon"] = {{"", "demo.ico"}};
    Vector<FileAssociation> list;
    list.append(association(".txt", "txtfile", "edit", "demo.ico"));
    EXPECT_EQ(restore(r, list), (Lines{
                                    ".txt|=txtfile",
                                    "txtfile|=Text Document",
                                    "txtfile\\shell|",
                                    "txtfile\\shell\\open|",
                                    "txtfile\\shell\\open\\command|=notepad.exe %1",
                                }));
}

TEST(AssociationRestore, IconIsLeftAloneWhenTheProductSetNone) {
    ScriptedClasses r;
    installFreshType(r, "open");
    Vector<FileAssociation> list;
    list.append(association(".tsr", "Tsr.Doc", "open", ""));
    // The icon is not the product's, so the type that holds it stays, and so does the
    // extension that names it.
    EXPECT_EQ(restore(r, list), (Lines{
                                    ".tsr|=Tsr.Doc",
                                    "Tsr.Doc|=Tessarin document",
                                    "Tsr.Doc\\DefaultIcon|=C:\\App\\doc.ico,0",
                                }));
}

TEST(AssociationRestore, RecordsWithoutExtensionOrTypeAreSkipped) {
    ScriptedClasses r;
    installFreshType(r, "open");
    Lines before = r.dump();
    Vector<FileAssociation> list;
    list.append(association("", "Tsr.Doc", "open", "x.ico"));
    list.append(association(".tsr", "", "open", "x.ico"));
    RecordingReporter reporter;
    EXPECT_EQ(restore(r, list, &reporter), before);
    EXPECT_EQ(r.notified, 0);
    EXPECT_EQ(reporter.logged, "");
}

TEST(AssociationRestore, BackupStaysWhenItCannotBeWrittenBack) {
    ScriptedClasses r;
    installFreshType(r, "open");
    r.keys[".tsr"][kBackup] = "Old.Doc";
    r.failWrites = true;
    Vector<FileAssociation> list;
    list.append(association(".tsr", "Tsr.Doc", "open", "C:\\App\\doc.ico,0"));
    Lines after = restore(r, list);
    EXPECT_NE(std::find(after.begin(), after.end(), std::string(".tsr|") + kBackup + "=Old.Doc"),
              after.end());
}

}  // namespace
}  // namespace tessarin
