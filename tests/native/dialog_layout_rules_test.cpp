// The layout rules that the template tests apply: each fault they must catch, and the
// arrangements they must let pass.
#include "dialog_layout_rules.h"

#include <gtest/gtest.h>

namespace tessarin::testing {
namespace {

const Rect kClient{0, 0, 400, 300};

LaidOutControl control(int id, int32_t left, int32_t top, int32_t right, int32_t bottom,
                       bool visible = true) {
    return {id, Rect{left, top, right, bottom}, visible};
}

struct Case {
    const char* what;
    std::vector<LaidOutControl> controls;
    size_t problems;
};

TEST(DialogLayoutRules, CatchesControlsOutsideOrOnEachOther) {
    const Case cases[] = {
        {"side by side, touching edges",
         {control(ID_ACCEPT, 170, 270, 280, 290), control(ID_CANCEL, 280, 270, 390, 290)},
         0},
        {"one pixel past the right edge: rounding", {control(ID_CANCEL, 300, 270, 401, 290)}, 0},
        {"past the right edge", {control(ID_CANCEL, 300, 270, 402, 290)}, 1},
        {"above the top", {control(ID_MAIN_TEXT, 10, -1, 100, 20)}, 1},
        {"no area", {control(ID_MAIN_TEXT, 10, 10, 10, 20)}, 1},
        {"two buttons on each other",
         {control(ID_ACCEPT, 170, 270, 281, 290), control(ID_CANCEL, 280, 270, 390, 290)},
         1},
        {"a hidden control is not laid out",
         {control(ID_ACCEPT, 170, 270, 290, 290), control(ID_CANCEL, 280, 270, 390, 290, false),
          control(ID_MAIN_TEXT, 0, 0, 500, 10, false)},
         0},
        {"title on the banner",
         {control(ID_BANNER_TITLE, 10, 5, 300, 20), control(ID_BANNER, 0, 0, 400, 40)},
         0},
        {"title sticking out of the banner",
         {control(ID_BANNER_TITLE, 10, 30, 300, 45), control(ID_BANNER, 0, 0, 400, 40)},
         1},
        {"the rule is not meant to lie on the banner",
         {control(ID_RULE, 10, 30, 300, 31), control(ID_BANNER, 0, 0, 400, 40)},
         1},
        {"page controls on the white panel, buttons below it",
         {control(ID_MAIN_TEXT, 140, 10, 390, 50), control(ID_FOLDER_EDIT, 140, 60, 300, 80),
          control(ID_BROWSE, 304, 60, 390, 80), control(ID_ACCEPT, 170, 270, 280, 290),
          control(ID_WHITE_PANEL, 130, 0, 400, 250), control(ID_SIDE_PICTURE, 0, 0, 130, 300)},
         0},
        {"picture reaching into the panel",
         {control(ID_WHITE_PANEL, 130, 0, 400, 250), control(ID_SIDE_PICTURE, 0, 0, 131, 300)},
         1},
    };
    for (const Case& c : cases) {
        std::vector<std::string> found = layoutProblems(kClient, c.controls);
        std::string all;
        for (const std::string& p : found) all += p + "\n";
        EXPECT_EQ(found.size(), c.problems) << c.what << "\n" << all;
    }
}

TEST(DialogLayoutRules, NamesTheControlsOfAProblem) {
    std::vector<std::string> found = layoutProblems(
        kClient, {control(ID_ACCEPT, 170, 270, 281, 290), control(ID_CANCEL, 280, 270, 390, 290)});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0],
              "control 1001 (170,270)-(281,290) overlaps control 1003 (280,270)-(390,290)");
}

}  // namespace
}  // namespace tessarin::testing
