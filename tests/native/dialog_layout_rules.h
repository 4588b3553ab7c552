// The layout rules of the wizard's dialog templates, checked on the rectangles of a created
// dialog: every visible control lies inside the client area, and no two visible controls overlap,
// except a control lying wholly on the background it is meant to lie on (the banner's title and
// subtitle on the banner, the page's controls on the white panel). Shared by the Wine test of
// the templates and the gallery tool that shows them at other scales.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "resources/control_ids.h"

namespace tessarin::testing {

// Every template of the wizard: each page in its layouts (plain, "2", "3", "4"; the greeting
// has no "2"), then the single-layout dialogs.
inline const std::vector<std::string>& wizardTemplates() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const char* page : {"LanguageDlg", "GreetingDlg", "LicenseDlg", "ReadmeDlg",
                                 "ChooseDirDlg", "StartMenuDlg", "ProgressDlg", "SummaryDlg"}) {
            for (const char* suffix : {"", "2", "3", "4"}) {
                std::string name = std::string(page) + suffix;
                if (name != "GreetingDlg2") list.push_back(name);
            }
        }
        list.push_back("EnterPassword");
        list.push_back("MustUninstall");
        return list;
    }();
    return names;
}

struct LaidOutControl {
    int id = 0;
    Rect rect;  // in the dialog's client coordinates
    bool visible = true;
};

// Which control may lie on which: the inner one wholly inside the outer one.
struct AllowedContainment {
    int outer;
    int inner;
};

inline const std::vector<AllowedContainment>& wizardContainments() {
    static const std::vector<AllowedContainment> allowed = [] {
        std::vector<AllowedContainment> list = {{ID_BANNER, ID_BANNER_TITLE},
                                                {ID_BANNER, ID_BANNER_SUBTITLE}};
        for (int id :
             {ID_MAIN_TEXT, ID_LANGUAGE_LIST, ID_GREETING_LINK, ID_DOCUMENT_TEXT, ID_FOLDER_EDIT,
              ID_BROWSE, ID_SPACE_NEEDED, ID_SPACE_FREE, ID_STATUS_LINE, ID_PROGRESS_BAR,
              ID_OPEN_README, ID_LAUNCH_PROGRAM, ID_FOURTH_OPTION, ID_OPEN_DOCUMENT}) {
            list.push_back({ID_WHITE_PANEL, id});
        }
        return list;
    }();
    return allowed;
}

inline bool contains(const Rect& outer, const Rect& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

inline bool overlaps(const Rect& a, const Rect& b) {
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

// The system rounds a control's position and its size to pixels each on their own, so an edge
// placed on the dialog's own right or bottom edge may land one pixel beyond it (where the dialog
// clips it).
inline Rect withRounding(const Rect& client) {
    return Rect{client.left, client.top, client.right + 1, client.bottom + 1};
}

inline std::string describe(const LaidOutControl& c) {
    char text[96];
    std::snprintf(text, sizeof text, "control %d (%d,%d)-(%d,%d)", c.id, c.rect.left, c.rect.top,
                  c.rect.right, c.rect.bottom);
    return text;
}

// One line per broken rule; empty when the layout keeps them all.
inline std::vector<std::string> layoutProblems(
    const Rect& client, const std::vector<LaidOutControl>& controls,
    const std::vector<AllowedContainment>& allowed = wizardContainments()) {
    std::vector<std::string> problems;
    auto allowedOn = [&](const LaidOutControl& outer, const LaidOutControl& inner) {
        return contains(outer.rect, inner.rect) &&
               std::any_of(allowed.begin(), allowed.end(), [&](const AllowedContainment& a) {
                   return a.outer == outer.id && a.inner == inner.id;
               });
    };
    for (size_t i = 0; i < controls.size(); ++i) {
        const LaidOutControl& a = controls[i];
        if (!a.visible) continue;
        if (a.rect.width() <= 0 || a.rect.height() <= 0)
            problems.push_back(describe(a) + " has no area");
        if (!contains(withRounding(client), a.rect))
            problems.push_back(describe(a) + " leaves the client area");
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const LaidOutControl& b = controls[j];
            if (!b.visible || !overlaps(a.rect, b.rect)) continue;
            if (allowedOn(a, b) || allowedOn(b, a)) continue;
            problems.push_back(describe(a) + " overlaps " + describe(b));
        }
    }
    return problems;
}

}  // namespace tessarin::testing
