// The running system's side of the shared-file release.
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include "core/convert.h"
#include "core/desktop.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/process.h"
#include "core/registry.h"
#include "core/special_folders.h"
#include "core/ui.h"
#include "uninstall/shared_file_release.h"

namespace tessarin {
namespace {

const wchar_t* win(const String& s) {
    return reinterpret_cast<const wchar_t*>(s.w_str());
}

class RunningSystem : public SharedFileSystem {
  public:
    RunningSystem(const String& questionTemplate, const String& questionCaption,
                  RegistryKey& uninstallKey)
        : template_(questionTemplate), caption_(questionCaption), uninstallKey_(uninstallKey) {}

    bool openCounts() override {
        return counts_.open(kHkeyLocalMachine, kSharedDllsKey, kRegOpenExisting,
                            kRegAccessWriteValues) != kRegOpenFailed;
    }

    // A name in the narrow path form is decoded and goes through the UTF-16 calls; any other
    // name is used as stored.
    bool readCount(const String& path, uint32_t& count) override {
        RegistryValue value;
        bool found = path.get(0) == '|' ? counts_.read(wideName(path).w_str(), value)
                                        : counts_.read(path.c_str(), value);
        if (!found) return false;
        count = value.isNumber() ? value.number : 0;
        return true;
    }

    bool writeCount(const String& path, uint32_t count) override {
        return path.get(0) == '|' ? counts_.writeNumber(wideName(path).w_str(), count)
                                  : counts_.writeNumber(path.c_str(), count);
    }

    void deleteCount(const String& path) override {
        if (path.get(0) == '|') {
            counts_.deleteValue(wideName(path).w_str());
        } else {
            counts_.deleteValue(path.c_str());
        }
    }

    void closeCounts() override { counts_.closeAll(); }

    void unregisterComServer(const String& path) override {
        String command = systemProgramCommand(systemFolder(), u"regsvr32.exe",
                                              formatWide(u"/s /u \"%s\"", path.w_str()));
        if (launch(command, kLaunchWait | kLaunchHidden, systemFolder()) == 0) return;
        HMODULE library = LoadLibraryW(win(path));
        if (library == nullptr) return;
        using Unregister = HRESULT(WINAPI*)();
        auto unregister = reinterpret_cast<Unregister>(
            reinterpret_cast<void (*)()>(GetProcAddress(library, "DllUnregisterServer")));
        if (unregister != nullptr) unregister();
        FreeLibrary(library);
    }

    void unregisterTypeLibrary(const String& path) override {
        ITypeLib* library = nullptr;
        if (FAILED(LoadTypeLibEx(win(path), REGKIND_NONE, &library)) || library == nullptr) return;
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(library->GetLibAttr(&attributes)) && attributes != nullptr) {
            UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                              attributes->lcid, attributes->syskind);
            library->ReleaseTLibAttr(attributes);
        }
        library->Release();
    }

    bool fileExists(const String& path) override { return tessarin::fileExists(path); }

    bool userKeepsFile(const String& path) override {
        return showMessageBox(nullptr, sharedFileQuestionText(template_, path), caption_,
                              kMbYesNo | kMbIconQuestion) == kIdNo;
    }

    void deleteFile(const String& path) override { tessarin::deleteFile(path); }

    void forgetList() override { uninstallKey_.deleteValue(u"SharedFiles"); }

  private:
    static String wideName(const String& path) {
        String wide;
        pathToWide(path.c_str(), path.length(), wide);
        return wide;
    }

    String template_;
    String caption_;
    RegistryKey& uninstallKey_;
    RegistryKey counts_;
};

}  // namespace

void ReleaseSharedFiles(const String& text, bool askBeforeDelete, const String& questionTemplate,
                        const String& questionCaption, RegistryKey& uninstallKey,
                        Reporter& reporter) {
    RunningSystem system(questionTemplate, questionCaption, uninstallKey);
    releaseSharedFiles(text, askBeforeDelete, system, reporter);
}

}  // namespace tessarin
