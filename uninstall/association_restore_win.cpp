// The running system's side of the association restore: HKEY_CLASSES_ROOT in one view.
#include "core/registry.h"
#include "core/shell_notify.h"
#include "uninstall/association_restore.h"

namespace tessarin {
namespace {

class ClassesRoot : public AssociationRegistry {
  public:
    explicit ClassesRoot(uint32_t view) : view_(viewOf(view)) {}

    String readText(const String& key, const String& name) override {
        RegistryKey k;
        if (!k.open(kHkeyClassesRoot, key.w_str(), kRegOpenExisting, kRegAccessRead | view_))
            return String();
        return k.readText(name.w_str());
    }

    bool writeText(const String& key, const String& name, const String& text) override {
        RegistryKey k;
        if (!k.open(kHkeyClassesRoot, key.w_str(), kRegOpenExisting, kRegAccessWriteValues | view_))
            return false;
        return k.writeText(name.w_str(), text);
    }

    void deleteValue(const String& key, const String& name) override {
        RegistryKey k;
        if (k.open(kHkeyClassesRoot, key.w_str(), kRegOpenExisting, kRegAccessWriteValues | view_))
            k.deleteValue(name.w_str());
    }

    AssociationKeyContents contents(const String& key) override {
        AssociationKeyContents c;
        RegistryKey k;
        if (!k.open(kHkeyClassesRoot, key.w_str(), kRegOpenExisting, kRegAccessRead | view_))
            return c;
        c.exists = true;
        Array<String> names;
        int32_t subKeys = k.countSubKeys();
        // A key that cannot be told empty is treated as holding something.
        if (subKeys < 0 || !k.enumerateValues(names)) {
            c.subKeys = 1;
            return c;
        }
        c.subKeys = subKeys;
        for (int32_t i = 0; i < names.count(); ++i) {
            if (names[i].empty())
                c.hasDefault = true;
            else
                ++c.namedValues;
        }
        return c;
    }

    void deleteKey(const String& key) override {
        RegistryKey root;
        if (root.open(kHkeyClassesRoot, u"", kRegOpenExisting, kRegAccessDelete | view_))
            root.deleteKey(key.w_str(), 0, view_);
    }

    void notifyAssociationsChanged() override { tessarin::notifyAssociationsChanged(); }

  private:
    uint32_t view_;
};

}  // namespace

void RestoreFileAssociations(const Vector<FileAssociation>& associations, const String& productName,
                             uint32_t view, Reporter& reporter) {
    ClassesRoot registry(view);
    restoreFileAssociations(associations, productName, registry, reporter);
}

}  // namespace tessarin
