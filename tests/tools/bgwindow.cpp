// bgwindow.exe - shows the installer's background window from settings in a file, for tests
// that look at the screen, and the fatal-error message box.
//
// Usage:
//   bgwindow.exe SETTINGS_FILE    show the window, then wait until it is destroyed (at most
//                                 two minutes)
//   bgwindow.exe --fatal TEXT     the 8-bit fatal message (TEXT converted to the ANSI code
//                                 page), program title "Tool Title"
//   bgwindow.exe --fatal-wide TEXT    the UTF-16 one, program title "Tool Title Übung"
//   bgwindow.exe --raise-fatal TEXT   starts the dialog framework (program title "Tool Title
//                                     Übung") and raises TEXT as the library's fatal error, in
//   bgwindow.exe --raise-fatal-wide TEXT    code page 1252 or as UTF-16; ends with code 1
//   bgwindow.exe --load-library NAME  LoadLibraryW(NAME) as a program that does not restrict
//                                     the search would; exit code 0 when it loaded
//
// SETTINGS_FILE holds UTF-8 lines "Name=value" with the names of BackgroundWindowSettings
// (TaskbarText, DisplayTitle, TitleColor, TitleSize, TitleFont, TitlePosition, TitleShadow,
// TopColor, BottomColor, BitmapSize, StretchMode, CopyrightPos, CopyrightColor, CopyrightSize,
// CopyrightText, CopyrightFont, Maximized) and:
//   PictureFile=PATH    a bitmap file whose bytes are the picture
//   DefaultTitle=TEXT   what message 0 would be
//   Minimized=1         create the window minimized
//   Installer=PATH      take every setting from the install script of a built installer, as
//                       the installer itself does (later lines may still override)
//   StatusFile=PATH     written once the window has been painted:
//                         pid N
//                         window LEFT TOP RIGHT BOTTOM   (screen coordinates)
//                         client LEFT TOP RIGHT BOTTOM   (screen coordinates)
//                         state ZOOMED ICONIC            (1 or 0 each)
// Colours are COLORREF numbers (0xBBGGRR). Exit code 0, 1 when the window was not created, 126
// for bad usage. A GUI program, so that starting it creates no console.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/convert.h"
#include "core/dialog.h"
#include "core/fatal.h"
#include "core/process.h"
#include "core/ui.h"
#include "package/payload_reader.h"
#include "package/payload_section.h"
#include "tools/build/script_dump.h"
#include "ui/background_settings.h"
#include "ui/background_window.h"

namespace tessarin {
namespace {

String g_defaultTitle;
String defaultTitle() {
    return g_defaultTitle;
}

String fromUtf8(const std::string& text) {
    String wide;
    toWide(text.c_str(), static_cast<int32_t>(text.size()), wide, 65001);
    return wide;
}

String readFile(const wchar_t* path) {
    String bytes;
    FILE* f = _wfopen(path, L"rb");
    if (!f) return bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, static_cast<int32_t>(n));
    fclose(f);
    return bytes;
}

uint32_t number(const std::string& v) {
    return static_cast<uint32_t>(strtoul(v.c_str(), nullptr, 0));
}

// The settings an installer's script gives, read by the installer's own script reader.
bool settingsFromInstaller(const String& path, BackgroundWindowSettings& s) {
    String bytes = readFile(reinterpret_cast<const wchar_t*>(path.w_str()));
    size_t length = static_cast<size_t>(bytes.length());
    SetupSection section = locateSetupSection(bytes.bytes(), length);
    if (!section.found || section.errorCode || section.rawOffset >= length) return false;
    size_t size =
        length - section.rawOffset < section.rawSize ? length - section.rawOffset : section.rawSize;
    PayloadHeader header;
    String script;
    if (!openPayload(bytes.bytes() + section.rawOffset, size, header, script).ok()) return false;
    static InstallScript read;
    if (build::readScriptForDump(script, header.ScriptCheck, header.ProductFlags2, read) != 0)
        return false;
    backgroundSettingsFromScript(read, s);
    g_defaultTitle = read.message(0);
    return true;
}

struct ToolOptions {
    bool minimized = false;
    String statusFile;
};

void apply(const std::string& name, const std::string& value, BackgroundWindowSettings& s,
           ToolOptions& options) {
    String narrow(value.c_str(), static_cast<int32_t>(value.size()));
    if (name == "TaskbarText")
        s.TaskbarText = fromUtf8(value);
    else if (name == "DisplayTitle")
        s.DisplayTitle = fromUtf8(value);
    else if (name == "TitleColor")
        s.TitleColor = number(value);
    else if (name == "TitleSize")
        s.TitleSize = strtod(value.c_str(), nullptr);
    else if (name == "TitleFont")
        s.TitleFont = narrow;
    else if (name == "TitlePosition")
        s.TitlePosition = static_cast<uint8_t>(number(value));
    else if (name == "TitleShadow")
        s.TitleShadow = static_cast<uint8_t>(number(value));
    else if (name == "TopColor")
        s.TopColor = number(value);
    else if (name == "BottomColor")
        s.BottomColor = number(value);
    else if (name == "BitmapSize")
        s.BitmapSize = static_cast<int32_t>(number(value));
    else if (name == "StretchMode")
        s.StretchMode = static_cast<int32_t>(number(value));
    else if (name == "CopyrightPos")
        s.CopyrightPos = static_cast<uint8_t>(number(value));
    else if (name == "CopyrightColor")
        s.CopyrightColor = number(value);
    else if (name == "CopyrightSize")
        s.CopyrightSize = strtod(value.c_str(), nullptr);
    else if (name == "CopyrightText")
        s.CopyrightText = fromUtf8(value);
    else if (name == "CopyrightFont")
        s.CopyrightFont = narrow;
    else if (name == "Maximized")
        s.maximized = number(value) != 0;
    else if (name == "Minimized")
        options.minimized = number(value) != 0;
    else if (name == "DefaultTitle")
        g_defaultTitle = fromUtf8(value);
    else if (name == "PictureFile")
        s.Picture = readFile(reinterpret_cast<const wchar_t*>(fromUtf8(value).w_str()));
    else if (name == "StatusFile")
        options.statusFile = fromUtf8(value);
    else if (name == "Installer" && !settingsFromInstaller(fromUtf8(value), s))
        ExitProcess(2);
}

void readSettings(const wchar_t* path, BackgroundWindowSettings& s, ToolOptions& options) {
    String bytes = readFile(path);
    std::string text(bytes.c_str(), static_cast<size_t>(bytes.length()));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos) apply(line.substr(0, eq), line.substr(eq + 1), s, options);
        start = end + 1;
    }
    s.defaultTitle = defaultTitle;
}

void writeStatus(const String& path, HWND window) {
    RECT w = {}, c = {};
    GetWindowRect(window, &w);
    GetClientRect(window, &c);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&c), 2);
    // Written under another name first, so that a reader never sees half of it.
    String partial(path);
    partial.appendWide(u".part");
    FILE* f = _wfopen(reinterpret_cast<const wchar_t*>(partial.w_str()), L"w");
    if (!f) return;
    fprintf(f, "pid %lu\nwindow %ld %ld %ld %ld\nclient %ld %ld %ld %ld\nstate %d %d\n",
            GetCurrentProcessId(), w.left, w.top, w.right, w.bottom, c.left, c.top, c.right,
            c.bottom, IsZoomed(window) ? 1 : 0, IsIconic(window) ? 1 : 0);
    fclose(f);
    MoveFileExW(reinterpret_cast<const wchar_t*>(partial.w_str()),
                reinterpret_cast<const wchar_t*>(path.w_str()), MOVEFILE_REPLACE_EXISTING);
}

int showWindow(const wchar_t* settingsFile) {
    BackgroundWindowSettings& settings = backgroundWindowSettings();
    ToolOptions options;
    readSettings(settingsFile, settings, options);
    HWND window = static_cast<HWND>(CreateBackgroundWindow(options.minimized));
    if (!window) return 1;
    dispatchPendingMessages();
    GdiFlush();
    if (!options.statusFile.empty()) writeStatus(options.statusFile, window);
    DWORD deadline = GetTickCount() + 120000;
    while (IsWindow(window) && GetTickCount() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        pumpAllMessages();
    }
    closeBackgroundWindow();
    return 0;
}

}  // namespace
}  // namespace tessarin

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace tessarin;
    int argc = __argc;
    wchar_t** argv = __wargv;
    if (argc == 3 && std::wstring(argv[1]) == L"--fatal") {
        String text;
        const char16_t* wide = reinterpret_cast<const char16_t*>(argv[2]);
        toNarrow(wide, kWholeLength, text, kCodePageSystem, "?");
        setProgramTitles(String("Tool Title"), String(u"Tool Title"));
        showFatalMessage(text.c_str());
        return 0;
    }
    if (argc == 3 && std::wstring(argv[1]) == L"--fatal-wide") {
        setProgramTitles(String("Tool Title"), String(u"Tool Title Übung"));
        showFatalMessageWide(reinterpret_cast<const char16_t*>(argv[2]));
        return 0;
    }
    if (argc == 3 && std::wstring(argv[1]) == L"--raise-fatal") {
        String text;
        toNarrow(reinterpret_cast<const char16_t*>(argv[2]), kWholeLength, text, 1252, "?");
        initializeDialogFramework(String("Tool Title"), String(u"Tool Title Übung"));
        fatalError(text.c_str());
    }
    if (argc == 3 && std::wstring(argv[1]) == L"--raise-fatal-wide") {
        initializeDialogFramework(String("Tool Title"), String(u"Tool Title Übung"));
        fatalErrorWide(reinterpret_cast<const char16_t*>(argv[2]));
    }
    if (argc == 3 && std::wstring(argv[1]) == L"--load-library")
        return LoadLibraryW(argv[2]) != nullptr ? 0 : 1;
    if (argc != 2) return 126;
    return showWindow(argv[1]);
}
