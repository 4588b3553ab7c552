// The source table of the special folders and the order in which sources are tried.
#include "core/special_folders.h"

#include <initializer_list>

#include "core/path.h"

namespace tessarin {
namespace {

enum class SourceKind {
    ShellFolder,  // a CSIDL number
    KnownFolder,
    ShellFoldersUser,     // "Shell Folders" value in HKEY_CURRENT_USER
    ShellFoldersMachine,  // "Shell Folders" value in HKEY_LOCAL_MACHINE
    CurrentVersion,       // value under CurrentVersion in HKEY_LOCAL_MACHINE
    Environment,
    OtherFolder,        // another folder of this table
    OtherFolderJoined,  // another folder joined with a name
    WindowsJoined,      // the Windows folder joined with a name
    WithoutX86,         // another folder with its first " (x86)" removed
    StartupParent,      // HKLM "Common Startup" with `number` last components removed
    DevicePathValue,
    WebRootValue,
    WebRootParent,
    Fixed,
};

struct Source {
    SourceKind kind = SourceKind::Fixed;
    int number = 0;
    const KnownFolderId* id = nullptr;
    const char16_t* text = nullptr;
    SpecialFolder other = SpecialFolder::ProgramFiles;
};

constexpr Source csidl(int n) {
    return {SourceKind::ShellFolder, n};
}
constexpr Source known(const KnownFolderId& id) {
    return {SourceKind::KnownFolder, 0, &id};
}
constexpr Source userValue(const char16_t* name) {
    return {SourceKind::ShellFoldersUser, 0, nullptr, name};
}
constexpr Source machineValue(const char16_t* name) {
    return {SourceKind::ShellFoldersMachine, 0, nullptr, name};
}
constexpr Source currentVersion(const char16_t* name) {
    return {SourceKind::CurrentVersion, 0, nullptr, name};
}
constexpr Source environment(const char16_t* name) {
    return {SourceKind::Environment, 0, nullptr, name};
}
constexpr Source folder(SpecialFolder f) {
    return {SourceKind::OtherFolder, 0, nullptr, nullptr, f};
}
constexpr Source joined(SpecialFolder f, const char16_t* name) {
    return {SourceKind::OtherFolderJoined, 0, nullptr, name, f};
}
constexpr Source windowsJoined(const char16_t* name) {
    return {SourceKind::WindowsJoined, 0, nullptr, name};
}
constexpr Source withoutX86(SpecialFolder f) {
    return {SourceKind::WithoutX86, 0, nullptr, nullptr, f};
}
constexpr Source startupParent(int components) {
    return {SourceKind::StartupParent, components};
}
constexpr Source fixed(const char16_t* text) {
    return {SourceKind::Fixed, 0, nullptr, text};
}

constexpr KnownFolderId kProgramFilesId{
    0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}};
constexpr KnownFolderId kProgramFilesX86Id{
    0x7C5A40EF, 0xA0FB, 0x4BFC, {0x87, 0x4A, 0xC0, 0xF2, 0xE0, 0xB9, 0xFA, 0x8E}};
constexpr KnownFolderId kProgramFilesX64Id{
    0x6D809377, 0x6AF0, 0x444B, {0x89, 0x57, 0xA3, 0x77, 0x3F, 0x02, 0x20, 0x0E}};
constexpr KnownFolderId kCommonFilesId{
    0xF7F1ED05, 0x9F6D, 0x47A2, {0xAA, 0xAE, 0x29, 0xD3, 0x17, 0xC6, 0xF0, 0x66}};
constexpr KnownFolderId kCommonFilesX86Id{
    0xDE974D24, 0xD9C6, 0x4D3E, {0xBF, 0x91, 0xF4, 0x45, 0x51, 0x20, 0xB9, 0x17}};
constexpr KnownFolderId kCommonFilesX64Id{
    0x6365D5A7, 0x0F0D, 0x45E5, {0x87, 0xF6, 0x0D, 0xA5, 0x6B, 0x6A, 0x4F, 0x7D}};

using F = SpecialFolder;

// At most five sources per folder, held by value (an initializer_list would not outlive the
// function that makes it).
struct SourceList {
    SourceList(std::initializer_list<Source> list) {
        for (const Source& s : list) {
            if (count < 5) items[count++] = s;
        }
    }
    const Source* begin() const { return items; }
    const Source* end() const { return items + count; }
    Source items[5] = {};
    int count = 0;
};

SourceList sourcesOf(SpecialFolder f) {
    switch (f) {
        case F::ProgramFiles:
            return {csidl(38), known(kProgramFilesId), currentVersion(u"ProgramFilesDir"),
                    fixed(u"c:\\Program Files")};
        case F::ProgramFiles32:
            return {csidl(42), known(kProgramFilesX86Id), environment(u"ProgramFiles(x86)")};
        case F::ProgramFiles64:
            return {known(kProgramFilesX64Id), environment(u"ProgramW6432"),
                    withoutX86(F::ProgramFiles32)};
        case F::CommonFiles:
            return {csidl(43), known(kCommonFilesId), currentVersion(u"CommonFilesDir"),
                    joined(F::ProgramFiles, u"Common Files")};
        case F::CommonFiles32:
            return {csidl(44), known(kCommonFilesX86Id), environment(u"CommonProgramFiles(x86)")};
        case F::CommonFiles64:
            return {known(kCommonFilesX64Id), environment(u"CommonProgramW6432"),
                    withoutX86(F::CommonFiles32)};
        case F::AppDataAllUsers:
            return {csidl(35), machineValue(u"Common AppData"), folder(F::CommonFiles)};
        case F::AppData:
            return {csidl(26), userValue(u"AppData"), folder(F::CommonFiles)};
        case F::DesktopAllUsers:
            return {csidl(25), machineValue(u"Common Desktop"), folder(F::Desktop)};
        case F::Desktop:
            return {csidl(16), userValue(u"Desktop"), windowsJoined(u"Desktop")};
        case F::DocumentsAllUsers:
            return {csidl(46), machineValue(u"Common Documents"), folder(F::Documents)};
        case F::Documents:
            return {csidl(5), userValue(u"Personal"), fixed(u"c:\\My Documents")};
        case F::FavoritesAllUsers:
            return {csidl(31), machineValue(u"Common Favorites"), folder(F::Favorites)};
        case F::Favorites:
            return {csidl(6), userValue(u"Favorites"), windowsJoined(u"Favorites")};
        case F::Fonts:
            return {csidl(20), userValue(u"Fonts"), windowsJoined(u"Fonts")};
        case F::StartMenuAllUsers:
            return {csidl(22), machineValue(u"Common Start Menu"), startupParent(2),
                    folder(F::StartMenu)};
        case F::ProgramsMenuAllUsers:
            return {csidl(23), machineValue(u"Common Programs"), startupParent(1),
                    folder(F::ProgramsMenu)};
        case F::StartMenu:
            return {csidl(11), userValue(u"Start Menu"), windowsJoined(u"Start Menu")};
        case F::ProgramsMenu:
            return {csidl(2), userValue(u"Programs"), joined(F::StartMenu, u"Programs")};
        case F::StartupAllUsers:
            return {csidl(24), machineValue(u"Common Startup"), folder(F::Startup)};
        case F::Startup:
            return {csidl(7), userValue(u"Startup"), joined(F::ProgramsMenu, u"StartUp")};
        case F::DevicePath:
            return {{SourceKind::DevicePathValue}, windowsJoined(u"INF")};
        case F::Media:
            return {currentVersion(u"MediaPath"), windowsJoined(u"Media")};
        case F::WebRoot:
            return {{SourceKind::WebRootValue}, fixed(u"c:\\Inetpub\\wwwroot")};
        case F::WebServer:
            return {{SourceKind::WebRootParent}};
        case F::System32Bit:
            return {csidl(41)};
    }
    return {};
}

constexpr const char16_t* kShellFoldersKey =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char16_t* kCurrentVersionKey = u"Software\\Microsoft\\Windows\\CurrentVersion";

// A source built on a folder that has no answer has none either.
String join(const String& folder, const char16_t* name) {
    return folder.empty() ? folder : joinPath(folder, String(name));
}

// Keeps the backslash of a bare root ("C:\").
void removeTrailingBackslash(String& path) {
    int32_t n = path.wideLength();
    if (n == 0 || path.getWide(n - 1) != u'\\') return;
    if (n == 3 && path.getWide(1) == u':') return;
    path.setWideLength(n - 1);
}

String ancestor(String path, int levels) {
    removeTrailingBackslash(path);
    for (int i = 0; i < levels && !path.empty(); ++i) path = parentFolder(path);
    return path;
}

int findWide(const String& s, const char16_t* what) {
    int32_t n = s.wideLength();
    int32_t m = static_cast<int32_t>(wideTextLength(what));
    for (int32_t i = 0; i + m <= n; ++i) {
        int32_t k = 0;
        while (k < m && s.getWide(i + k) == what[k]) ++k;
        if (k == m) return i;
    }
    return -1;
}

bool equalsNoCaseAt(const String& s, int32_t pos, const char16_t* what) {
    return compareNoCaseWidePrefix(s.w_str() + pos, what, wideTextLength(what)) == 0;
}

// "DevicePath" may list several folders; the first one counts, with the system root filled in.
String devicePath(const FolderSources& sources) {
    String path =
        sources.registryText(RegistryRootKind::LocalMachine, kCurrentVersionKey, u"DevicePath");
    int semicolon = findWide(path, u";");
    if (semicolon >= 0) path.setWideLength(semicolon);
    constexpr const char16_t* kRoot = u"%SystemRoot%";
    int32_t rootLength = static_cast<int32_t>(wideTextLength(kRoot));
    for (int32_t i = 0; i + rootLength <= path.wideLength(); ++i) {
        if (!equalsNoCaseAt(path, i, kRoot)) continue;
        String expanded = sources.expandEnvironment(String(kRoot));
        if (expanded.empty() || expanded.equalsWide(kRoot)) break;
        path.replaceWide(i, rootLength, expanded.w_str(), expanded.wideLength());
        i += expanded.wideLength() - 1;
    }
    return path;
}

String webRoot(const FolderSources& sources) {
    String root = sources.registryText(RegistryRootKind::LocalMachine,
                                       u"SOFTWARE\\Microsoft\\INetStp", u"PathWWWRoot");
    if (root.empty()) return root;
    String expanded = sources.expandEnvironment(root);
    return expanded.empty() ? root : expanded;
}

String fromSource(const Source& s, const FolderSources& sources) {
    switch (s.kind) {
        case SourceKind::ShellFolder:
            return sources.shellFolder(s.number);
        case SourceKind::KnownFolder:
            return sources.knownFolder(*s.id);
        case SourceKind::ShellFoldersUser:
            return sources.registryText(RegistryRootKind::CurrentUser, kShellFoldersKey, s.text);
        case SourceKind::ShellFoldersMachine:
            return sources.registryText(RegistryRootKind::LocalMachine, kShellFoldersKey, s.text);
        case SourceKind::CurrentVersion:
            return sources.registryText(RegistryRootKind::LocalMachine, kCurrentVersionKey, s.text);
        case SourceKind::Environment:
            return sources.environmentVariable(s.text);
        case SourceKind::OtherFolder:
            return resolveSpecialFolder(s.other, sources);
        case SourceKind::OtherFolderJoined:
            return join(resolveSpecialFolder(s.other, sources), s.text);
        case SourceKind::WindowsJoined:
            return join(sources.windowsFolder(), s.text);
        case SourceKind::WithoutX86: {
            String path = resolveSpecialFolder(s.other, sources);
            int at = findWide(path, u" (x86)");
            if (at >= 0) path.replaceWide(at, 6, nullptr, 0);
            return path;
        }
        case SourceKind::StartupParent: {
            return ancestor(sources.registryText(RegistryRootKind::LocalMachine, kShellFoldersKey,
                                                 u"Common Startup"),
                            s.number);
        }
        case SourceKind::DevicePathValue:
            return devicePath(sources);
        case SourceKind::WebRootValue:
            return webRoot(sources);
        case SourceKind::WebRootParent: {
            return ancestor(resolveSpecialFolder(SpecialFolder::WebRoot, sources), 1);
        }
        case SourceKind::Fixed:
            return String(s.text);
    }
    return String();
}

}  // namespace

String resolveSpecialFolder(SpecialFolder folder, const FolderSources& sources) {
    for (const Source& s : sourcesOf(folder)) {
        String path = fromSource(s, sources);
        if (path.empty()) continue;
        removeTrailingBackslash(path);
        if (!path.empty()) return path;
    }
    return String();
}

int normaliseBitnessSelector(int selector, bool is64BitSystem, bool is64BitProcess) {
    if (!is64BitSystem) return kBitnessSelectorDefault;
    if (selector == kBitnessSelectorNative) return kBitnessSelector64;
    if (selector == kBitnessSelector32 && !is64BitProcess) return kBitnessSelectorDefault;
    return selector;
}

SpecialFolder programFilesFolderFor(int selector, bool is64BitSystem, bool is64BitProcess) {
    switch (normaliseBitnessSelector(selector, is64BitSystem, is64BitProcess)) {
        case kBitnessSelector32:
            return SpecialFolder::ProgramFiles32;
        case kBitnessSelector64:
            return SpecialFolder::ProgramFiles64;
        default:
            return SpecialFolder::ProgramFiles;
    }
}

SpecialFolder commonFilesFolderFor(int selector, bool is64BitSystem, bool is64BitProcess) {
    switch (normaliseBitnessSelector(selector, is64BitSystem, is64BitProcess)) {
        case kBitnessSelector32:
            return SpecialFolder::CommonFiles32;
        case kBitnessSelector64:
            return SpecialFolder::CommonFiles64;
        default:
            return SpecialFolder::CommonFiles;
    }
}

}  // namespace tessarin
