// Fonts and face choice against the fonts of the Wine prefix.
#include "core/font.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace tessarin {
namespace {

std::string selectedFace(const Font& font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font.get());
    char face[LF_FACESIZE] = {};
    GetTextFaceA(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    DeleteDC(dc);
    return face;
}

int CALLBACK onFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD type, LPARAM found) {
    if (!(type & TRUETYPE_FONTTYPE) || font->lfFaceName[0] == '@') return 1;
    *reinterpret_cast<std::string*>(found) = font->lfFaceName;
    return 0;
}

// Which faces a prefix has depends on the host's fonts, so the test asks the system for one
// TrueType family by enumerating all of them; the made-up names exist nowhere.
std::string someInstalledFace() {
    std::string found;
    HDC screen = GetDC(nullptr);
    LOGFONTA all = {};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(screen, &all, onFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

TEST(FontChoice, FirstInstalledFaceOfAList) {
    std::string face = someInstalledFace();
    ASSERT_FALSE(face.empty());
    EXPECT_TRUE(faceInstalled(face.c_str()));
    std::string upper = face;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    EXPECT_TRUE(faceInstalled(upper.c_str()));
    EXPECT_FALSE(faceInstalled("Tessarin Missing Face"));
    EXPECT_FALSE(faceInstalled(""));
    std::string list = "Tessarin Missing Face, " + face + ", Tessarin Other";
    EXPECT_EQ(std::string(firstInstalledFace(list.c_str()).c_str()), face);
    EXPECT_EQ(std::string(firstInstalledFace("Tessarin Missing Face, Tessarin Other").c_str()),
              "Arial");
}

TEST(FontChoice, ChosenFaceIsTheFontsFace) {
    std::string face = someInstalledFace();
    std::string list = "Tessarin Missing Face, " + face;
    FontRequest request;
    request.face = firstInstalledFace(list.c_str());
    request.height = -20;
    Font font = createFont(request);
    ASSERT_TRUE(font.valid());
    EXPECT_EQ(selectedFace(font), face);
}

TEST(FontChoice, StyleBitsAndWeightReachTheFont) {
    struct Case {
        unsigned style;
        int32_t weight;
        LONG expectedWeight;
        BYTE italic, underline, strikeOut;
    } cases[] = {
        {0, -1, 400, 0, 0, 0},
        {kFontBold | kFontItalic, -1, 700, 1, 0, 0},
        {kFontUnderline | kFontStrikeOut, -1, 400, 0, 1, 1},
        {kFontBold, 900, 900, 0, 0, 0},
    };
    for (const Case& c : cases) {
        FontRequest request;
        request.face = "Tahoma";
        request.height = -17;
        request.style = c.style;
        request.weight = c.weight;
        Font font = createFont(request);
        ASSERT_TRUE(font.valid());
        LOGFONTA logFont = {};
        ASSERT_EQ(GetObjectA(font.get(), sizeof logFont, &logFont), int(sizeof logFont));
        EXPECT_EQ(logFont.lfHeight, -17);
        EXPECT_EQ(logFont.lfWidth, 0);
        EXPECT_EQ(logFont.lfWeight, c.expectedWeight) << c.style;
        EXPECT_EQ(logFont.lfItalic, c.italic) << c.style;
        EXPECT_EQ(logFont.lfUnderline, c.underline) << c.style;
        EXPECT_EQ(logFont.lfStrikeOut, c.strikeOut) << c.style;
        EXPECT_EQ(logFont.lfCharSet, DEFAULT_CHARSET);
        EXPECT_STREQ(logFont.lfFaceName, "Tahoma");
    }
}

}  // namespace
}  // namespace tessarin
