#include <windows.h>

#include "core/font_resource.h"
#include "core/os_info.h"
#include "core/wide_win.h"

namespace tessarin {

bool addFontResource(const String& file) {
    return AddFontResourceW(win(file)) > 0;
}

bool removeFontResource(const String& file) {
    return RemoveFontResourceW(win(file)) != 0;
}

const char16_t* fontRegistrationKey() {
    return isWindows9598() ? u"Software\\Microsoft\\Windows\\CurrentVersion\\Fonts"
                           : u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
}

// Sent without waiting on windows that hang: a stuck window must not stop the installation.
void broadcastFontChange() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

}  // namespace tessarin
