#include <windows.h>

#include "core/format.h"
#include "core/ui.h"

namespace tessarin {
namespace {

struct ProgramTitles {
    String narrow;
    String wide;
};

ProgramTitles& programTitles() {
    static ProgramTitles titles;
    return titles;
}

constexpr unsigned kFatalStyle = MB_TOPMOST | MB_TASKMODAL | MB_ICONERROR;

}  // namespace

int showMessageBox(void* owner, const String& text, const String& caption, unsigned flags) {
    return MessageBoxW(static_cast<HWND>(owner), reinterpret_cast<const wchar_t*>(text.w_str()),
                       reinterpret_cast<const wchar_t*>(caption.w_str()), flags);
}

void setProgramTitles(const String& title, const String& titleWide) {
    programTitles().narrow = title;
    programTitles().wide = titleWide;
}

void showFatalMessage(const char* text) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    String caption = format("FATAL ERROR - %s", programTitles().narrow.c_str());
    MessageBoxA(nullptr, text ? text : "", caption.c_str(), kFatalStyle);
}

void showFatalMessageWide(const char16_t* text) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    String caption(u"FATAL ERROR - ");
    caption.appendWide(programTitles().wide.w_str());
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text ? text : u""),
                reinterpret_cast<const wchar_t*>(caption.w_str()), kFatalStyle);
}

ProgramIcons loadProgramIcons(void* instance, int resourceId) {
    ProgramIcons icons;
    HINSTANCE module = static_cast<HINSTANCE>(instance);
    icons.large = LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0);
    icons.small = LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
    return icons;
}

ProgramIcons loadIconFile(const String& path) {
    ProgramIcons icons;
    const wchar_t* name = reinterpret_cast<const wchar_t*>(path.w_str());
    icons.large = LoadImageW(nullptr, name, IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                             GetSystemMetrics(SM_CYICON), LR_LOADFROMFILE);
    icons.small = LoadImageW(nullptr, name, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                             GetSystemMetrics(SM_CYSMICON), LR_LOADFROMFILE);
    return icons;
}

void setWindowIcons(void* window, const ProgramIcons& icons) {
    HWND hwnd = static_cast<HWND>(window);
    if (icons.large)
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.large));
    if (icons.small)
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.small));
}

}  // namespace tessarin
