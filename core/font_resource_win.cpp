#include <windows.h>

#include "core/font_resource.h"
#include "core/wide_win.h"

namespace tessarin {

bool addFontResource(const String& file) {
    return AddFontResourceW(win(file)) > 0;
}

// Sent without waiting on windows that hang: a stuck window must not stop the installation.
void broadcastFontChange() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

}  // namespace tessarin
