// A created dialog's controls as the system placed them, for the tests and tools that check
// templates: each control's window, its id, its rectangle in the dialog's client coordinates and
// whether it is meant to be visible; and a window's text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_layout_rules.h"

namespace tessarin::testing {

struct DialogChild {
    HWND window;
    LaidOutControl laid;
};

// In z-order, which is also the tab order. Visible means created visible: the dialog itself may
// still be hidden.
inline std::vector<DialogChild> dialogChildren(HWND dialog) {
    std::vector<DialogChild> list;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        bool visible = (GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE) != 0;
        list.push_back({c, {GetDlgCtrlID(c), Rect{r.left, r.top, r.right, r.bottom}, visible}});
    }
    return list;
}

inline std::vector<LaidOutControl> laidOut(const std::vector<DialogChild>& children) {
    std::vector<LaidOutControl> list;
    for (const DialogChild& c : children) list.push_back(c.laid);
    return list;
}

inline std::wstring windowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

}  // namespace tessarin::testing
