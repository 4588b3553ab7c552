// The running system's answers to the special-folder sources.
#include <shlobj.h>
#include <windows.h>

#include "core/chars.h"
#include "core/environment.h"
#include "core/os_info.h"
#include "core/registry.h"
#include "core/special_folders.h"
#include "core/system_function_win.h"

namespace tessarin {
namespace {

using GetSpecialFolderPathFunction = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
using GetKnownFolderPathFunction = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);

// Older systems lack one or both shell functions; their sources are then skipped.
struct ShellFunctions {
    GetSpecialFolderPathFunction specialFolderPath =
        systemFunction<GetSpecialFolderPathFunction>(L"shell32.dll", "SHGetSpecialFolderPathW");
    GetKnownFolderPathFunction knownFolderPath =
        systemFunction<GetKnownFolderPathFunction>(L"shell32.dll", "SHGetKnownFolderPath");
};

const ShellFunctions& shellFunctions() {
    static const ShellFunctions functions;
    return functions;
}

class SystemFolderSources : public FolderSources {
  public:
    String shellFolder(int csidl) const override {
        auto f = shellFunctions().specialFolderPath;
        wchar_t buffer[MAX_PATH + 1] = {};
        if (!f || !f(nullptr, buffer, csidl, FALSE)) return String();
        return String(reinterpret_cast<const char16_t*>(buffer));
    }
    String knownFolder(const KnownFolderId& id) const override {
        auto f = shellFunctions().knownFolderPath;
        PWSTR path = nullptr;
        if (!f) return String();
        static_assert(sizeof(KnownFolderId) == sizeof(GUID));
        GUID guid;
        memcpy(&guid, &id, sizeof guid);
        String result;
        if (SUCCEEDED(f(guid, 0, nullptr, &path)) && path) {
            result = String(reinterpret_cast<const char16_t*>(path));
        }
        CoTaskMemFree(path);
        return result;
    }
    String registryText(RegistryRootKind root, const char16_t* key,
                        const char16_t* value) const override {
        RegistryKey k;
        RegistryRoot rootKey =
            root == RegistryRootKind::CurrentUser ? kHkeyCurrentUser : kHkeyLocalMachine;
        if (!k.open(rootKey, key, kRegOpenExisting, kRegAccessReadValues)) return String();
        return k.readText(value, String());
    }
    String environmentVariable(const char16_t* name) const override {
        String value;
        tessarin::environmentVariable(name, value);
        return value;
    }
    String expandEnvironment(const String& text) const override {
        String result = text;
        return expandEnvironmentStrings(result) ? result : String();
    }
    String windowsFolder() const override { return tessarin::windowsFolder(); }
};

}  // namespace

String specialFolder(SpecialFolder folder) {
    return resolveSpecialFolder(folder, SystemFolderSources());
}

String windowsFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return String();
    String folder(reinterpret_cast<const char16_t*>(buffer));
    if (folder.wideLength() > 3) folder.removeBackWideChar(u'\\');
    return folder;
}

String systemFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    if (n != 0 && n <= MAX_PATH) return String(reinterpret_cast<const char16_t*>(buffer));
    String path = windowsFolder();
    path.appendWide(isNtFamily() ? u"\\System32" : u"\\System");
    return path;
}

String systemFolder32() {
    String path = specialFolder(SpecialFolder::System32Bit);
    return path.empty() ? systemFolder() : path;
}

char bootDriveLetter() {
    RegistryKey key;
    String dir;
    if (key.open(kHkeyLocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\Setup",
                 kRegOpenExisting, kRegAccessReadValues)) {
        dir = key.readText(u"BootDir", String());
    }
    char16_t letter = dir.getWide(0);
    if (dir.wideLength() >= 2 && dir.getWide(1) == u':' && isAsciiLetter(letter)) {
        return static_cast<char>(letter & ~0x20);
    }
    return 'C';
}

constexpr bool kIs64BitProcess = sizeof(void*) == 8;

String programFilesFolder(int selector) {
    return specialFolder(programFilesFolderFor(selector, is64BitWindows(), kIs64BitProcess));
}

String commonFilesFolder(int selector) {
    return specialFolder(commonFilesFolderFor(selector, is64BitWindows(), kIs64BitProcess));
}

}  // namespace tessarin
