// Face lists and the installed-face cache, with a system whose installed faces the test
// chooses.
#include "core/font.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tessarin {
namespace {

struct FakeFonts {
    std::set<std::string> installed;
    std::vector<std::string> asked;
};

bool probe(const char* face, void* context) {
    FakeFonts* fonts = static_cast<FakeFonts*>(context);
    fonts->asked.push_back(face);
    return fonts->installed.count(face) > 0;
}

TEST(FontFaces, ListSplitsAtCommasAndDropsBlanks) {
    struct Case {
        const char* list;
        std::vector<std::string> faces;
    } cases[] = {
        {"Calibri Bold Italic, Verdana Bold Italic, Arial Bold Italic",
         {"Calibri Bold Italic", "Verdana Bold Italic", "Arial Bold Italic"}},
        {"  Tahoma ,,\tSegoe UI,", {"Tahoma", "Segoe UI"}},
        {"", {}},
        {" , ", {}},
        {"Arial", {"Arial"}},
    };
    for (const Case& c : cases) {
        Vector<String> faces;
        splitFaceList(c.list, faces);
        std::vector<std::string> got;
        for (const String& f : faces) got.push_back(f.c_str());
        EXPECT_EQ(got, c.faces) << c.list;
    }
}

TEST(FontFaces, AnswersAreCachedCaseInsensitively) {
    FakeFonts fonts{{"Verdana"}, {}};
    FaceCache cache;
    EXPECT_TRUE(cache.installed("Verdana", probe, &fonts));
    EXPECT_TRUE(cache.installed("VERDANA", probe, &fonts));
    EXPECT_FALSE(cache.installed("Missing Face", probe, &fonts));
    EXPECT_FALSE(cache.installed("missing face", probe, &fonts));
    EXPECT_EQ(fonts.asked, (std::vector<std::string>{"Verdana", "Missing Face"}));
    EXPECT_EQ(cache.count(), 2);
}

TEST(FontFaces, EmptyNameIsNotInstalledAndNotAsked) {
    FakeFonts fonts{{""}, {}};
    FaceCache cache;
    EXPECT_FALSE(cache.installed("", probe, &fonts));
    EXPECT_FALSE(cache.installed(nullptr, probe, &fonts));
    EXPECT_TRUE(fonts.asked.empty());
}

// The system knows faces by at most 31 characters: longer names are asked and cached by
// their first 31.
TEST(FontFaces, LongNamesAreCutTo31Characters) {
    const std::string base = "A Very Long Face Name Of Thirty";  // 31 characters
    ASSERT_EQ(base.size(), 31u);
    FakeFonts fonts{{base}, {}};
    FaceCache cache;
    EXPECT_TRUE(cache.installed((base + " One").c_str(), probe, &fonts));
    EXPECT_TRUE(cache.installed((base + " Two").c_str(), probe, &fonts));
    EXPECT_EQ(fonts.asked, std::vector<std::string>{base});
}

TEST(FontFaces, FirstInstalledFaceOfTheListWins) {
    FakeFonts fonts{{"Verdana", "Tahoma"}, {}};
    FaceCache cache;
    EXPECT_EQ(std::string(cache.firstInstalled("Calibri, Tahoma, Verdana", probe, &fonts).c_str()),
              "Tahoma");
    EXPECT_EQ(fonts.asked, (std::vector<std::string>{"Calibri", "Tahoma"}));
    EXPECT_EQ(std::string(cache.firstInstalled("Calibri, Segoe UI", probe, &fonts).c_str()),
              "Arial");
    EXPECT_EQ(std::string(cache.firstInstalled("", probe, &fonts).c_str()), "Arial");
}

// The cache keeps answering correctly while it grows past its first bucket count.
TEST(FontFaces, CacheGrowsWithoutLosingAnswers) {
    FakeFonts fonts;
    for (int i = 0; i < 400; i += 3) fonts.installed.insert("Face " + std::to_string(i));
    FaceCache cache;
    for (int i = 0; i < 400; ++i)
        cache.installed(("Face " + std::to_string(i)).c_str(), probe, &fonts);
    ASSERT_EQ(fonts.asked.size(), 400u);
    for (int i = 0; i < 400; ++i)
        EXPECT_EQ(cache.installed(("FACE " + std::to_string(i)).c_str(), probe, &fonts),
                  i % 3 == 0);
    EXPECT_EQ(fonts.asked.size(), 400u);
}

TEST(FontFaces, WeightFollowsBoldUnlessGiven) {
    FontRequest r;
    EXPECT_EQ(fontWeight(r), 400);
    r.style = kFontBold | kFontItalic;
    EXPECT_EQ(fontWeight(r), 700);
    r.weight = 900;
    EXPECT_EQ(fontWeight(r), 900);
    r.style = 0;
    r.weight = 0;
    EXPECT_EQ(fontWeight(r), 0);
}

}  // namespace
}  // namespace tessarin
