#include <windows.h>

#include "core/ui.h"

namespace tessarin {

int showMessageBox(void* owner, const String& text, const String& caption, unsigned flags) {
    return MessageBoxW(static_cast<HWND>(owner), reinterpret_cast<const wchar_t*>(text.w_str()),
                       reinterpret_cast<const wchar_t*>(caption.w_str()), flags);
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

}  // namespace tessarin
