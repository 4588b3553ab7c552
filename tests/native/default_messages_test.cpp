// The default English message table of tessarin-build: every message the installer and the
// uninstaller show has a text, format texts take exactly what their callers pass, and the texts
// survive the trip through the uninstall data.
#include "tools/build/default_messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

namespace tessarin::build {
namespace {

// Every number the system shows, with the printf conversions its caller fills in ("" for a
// plain text, which then must hold no "%" at all).
const std::map<int, std::string> kUsed = {
    {0, ""},   {1, ""},     {2, ""},   {3, ""},     {4, ""},   {5, ""},    {6, ""},    {7, ""},
    {8, ""},   {9, ""},     {10, "s"}, {11, ""},    {12, "s"}, {13, "d"},  {14, ""},   {15, ""},
    {16, "c"}, {17, ""},    {18, "s"}, {19, "scs"}, {20, ""},  {21, ""},   {22, "s"},  {23, "s"},
    {24, ""},  {25, ""},    {26, ""},  {27, ""},    {28, ""},  {31, ""},   {32, ""},   {33, ""},
    {34, ""},  {35, ""},    {36, ""},  {37, ""},    {38, "s"}, {39, ""},   {40, "s"},  {41, ""},
    {42, ""},  {43, ""},    {44, ""},  {45, ""},    {46, ""},  {47, ""},   {48, ""},   {49, ""},
    {50, ""},  {51, ""},    {52, ""},  {53, ""},    {54, ""},  {55, ""},   {56, "s"},  {57, ""},
    {58, ""},  {59, "s"},   {61, "s"}, {62, ""},    {65, ""},  {66, ""},   {67, ""},   {68, ""},
    {69, ""},  {70, ""},    {71, ""},  {72, ""},    {73, "s"}, {74, ""},   {75, ""},   {76, ""},
    {77, ""},  {78, ""},    {79, ""},  {80, ""},    {81, ""},  {82, ""},   {83, ""},   {84, ""},
    {85, ""},  {86, ""},    {87, ""},  {88, ""},    {89, ""},  {90, ""},   {91, ""},   {92, ""},
    {93, ""},  {94, ""},    {95, ""},  {96, "c"},   {97, ""},  {98, ""},   {99, "s"},  {100, ""},
    {101, ""}, {102, ""},   {103, ""}, {104, ""},   {105, ""}, {106, "s"}, {107, "s"}, {108, ""},
    {111, ""}, {112, "ss"}, {113, ""}, {999, ""},
};

// The texts the installer copies into the uninstall data for the uninstaller.
const int kCarried[] = {10, 15, 20, 30, 34, 35, 49, 53,  55,  56,  57,  58,  59,  65,  67, 68,
                        69, 70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111};

// Texts shown on one line: status lines, headings followed by a path, labels in front of a
// value, and everything in kShort.
const int kOneLine[] = {3,  4,  5,  6,  8,  25, 26, 31, 32, 36,  54,
                        58, 62, 67, 68, 69, 70, 77, 78, 97, 108, 113};

// Captions, headers, titles, labels, check boxes and shortcut names: one short line.
const int kShort[] = {0,  2,  15, 20, 21, 24, 27, 33, 35, 38, 41, 43, 44,  50,  55,
                      57, 65, 75, 83, 84, 85, 86, 87, 89, 92, 93, 94, 103, 111, 999};

// Buttons of the pages and of the relabelled message boxes (at most 78 dialog units wide).
const int kButtons[] = {45, 46, 48, 49, 52, 79, 80, 90, 95, 100, 104};

std::string text(int number) {
    const char* t = defaultMessage(number);
    return t ? t : "";
}

// The conversion characters of a printf format, "%%" skipped; "!" marks a lone "%" at the end.
std::string conversions(const std::string& format) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        ++i;
        if (i < format.size() && format[i] == '%') continue;
        while (i < format.size() && std::strchr("-+ #0123456789.*hlLqjzt", format[i])) ++i;
        out += i < format.size() ? format[i] : '!';
    }
    return out;
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (more < 0 || c == 0xC0 || c == 0xC1 || i + more >= s.size()) return false;
        for (int k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        }
        i += more + 1;
    }
    return true;
}

std::string expandTokens(std::string s) {
    for (const char* token : {"<product>", "<description>", "<os>"}) {
        for (size_t at; (at = s.find(token)) != std::string::npos;)
            s.replace(at, std::strlen(token), "Demo");
    }
    return s;
}

TEST(DefaultMessages, EveryShownNumberHasAText) {
    for (const auto& [number, expected] : kUsed) {
        SCOPED_TRACE(number);
        EXPECT_FALSE(text(number).empty());
    }
    // Any text in 63 or 64 adds a page to every installation.
    EXPECT_EQ(defaultMessage(63), nullptr);
    EXPECT_EQ(defaultMessage(64), nullptr);
}

TEST(DefaultMessages, FormatsTakeExactlyTheCallersArguments) {
    for (const DefaultMessage& m : defaultMessages()) {
        SCOPED_TRACE(m.number);
        auto used = kUsed.find(m.number);
        ASSERT_NE(used, kUsed.end()) << "a default for a number the system never shows";
        EXPECT_EQ(conversions(m.text), used->second);
        if (used->second.empty()) {
            EXPECT_EQ(std::strchr(m.text, '%'), nullptr);
        }
    }
}

TEST(DefaultMessages, ConversionScanner) {
    EXPECT_EQ(conversions("%s of %-5d at 100%% %c %ls %hs"), "sdcss");
    EXPECT_EQ(conversions("50%"), "!");
    EXPECT_EQ(conversions("plain"), "");
}

TEST(DefaultMessages, TextsAreCleanUtf8WithCrLfLineBreaks) {
    for (const DefaultMessage& m : defaultMessages()) {
        SCOPED_TRACE(m.number);
        std::string t = m.text;
        ASSERT_FALSE(t.empty());
        EXPECT_TRUE(validUtf8(t));
        for (size_t i = 0; i < t.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(t[i]);
            bool crWithoutLf = c == '\r' && (i + 1 == t.size() || t[i + 1] != '\n');
            bool lfWithoutCr = c == '\n' && (i == 0 || t[i - 1] != '\r');
            EXPECT_FALSE(crWithoutLf) << "at " << i;
            EXPECT_FALSE(lfWithoutCr) << "at " << i;
            EXPECT_FALSE(c < 0x20 && c != '\r' && c != '\n') << "control character " << int(c);
        }
        EXPECT_NE(t.front(), ' ');
        EXPECT_FALSE(t.back() == ' ' || t.back() == '\n') << "trailing blank or line break";
    }
}

TEST(DefaultMessages, OnlyKnownTokens) {
    for (const DefaultMessage& m : defaultMessages()) {
        SCOPED_TRACE(m.number);
        std::string t = expandTokens(m.text);
        if (m.number == 77) {
            ASSERT_NE(t.find("<file>"), std::string::npos);
            t.replace(t.find("<file>"), 6, "x");
        }
        if (m.number == 105) {
            ASSERT_NE(t.find("<a>"), std::string::npos);
            ASSERT_NE(t.find("</a>"), std::string::npos);
            EXPECT_LT(t.find("<a>"), t.find("</a>"));
            t.replace(t.find("</a>"), 4, "x");
            t.replace(t.find("<a>"), 3, "x");
        }
        EXPECT_EQ(t.find('<'), std::string::npos) << "unknown token in: " << m.text;
    }
}

TEST(DefaultMessages, ShortTextsStayOnOneLine) {
    for (int number : kOneLine) {
        SCOPED_TRACE(number);
        EXPECT_EQ(text(number).find('\n'), std::string::npos);
    }
    for (int number : kShort) {
        SCOPED_TRACE(number);
        EXPECT_EQ(text(number).find('\n'), std::string::npos);
        EXPECT_LE(expandTokens(text(number)).size(), 40u);
    }
    for (int number : kButtons) {
        SCOPED_TRACE(number);
        std::string t = text(number);
        size_t accelerators = 0;
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i] == '&') ++accelerators, ++i;
        }
        // Cancel is reached with Escape; every other button has one accelerator.
        EXPECT_EQ(accelerators, number == 49 ? 0u : 1u);
        EXPECT_LE(t.size() - accelerators, 16u);
    }
}

TEST(DefaultMessages, ShortcutNamesAreFileNames) {
    std::string fallback = text(38);
    fallback.replace(fallback.find("%s"), 2, "app.exe");
    for (const std::string& name : {text(33), text(86), fallback}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(expandTokens(name).find_first_of("\\/:*?\"<>|"), std::string::npos);
    }
}

TEST(DefaultMessages, UninstallerTextsSurviveTheUninstallData) {
    for (int number : kCarried) {
        SCOPED_TRACE(number);
        std::string t = text(number);
        // The uninstaller has no product description or Windows folder to put in.
        EXPECT_EQ(t.find("<description>"), std::string::npos);
        EXPECT_EQ(t.find("<os>"), std::string::npos);
        // A line that starts with "~" or a section header ends the text when it is read back.
        for (size_t start = 0; start < t.size(); start = t.find('\n', start) + 1) {
            EXPECT_NE(t[start], '~');
            EXPECT_NE(t[start], '[');
            if (t.find('\n', start) == std::string::npos) break;
        }
    }
    EXPECT_FALSE(text(kBannerTextNumber).empty());
}

TEST(DefaultMessages, LookupMatchesTheTable) {
    int previous = -1;
    for (const DefaultMessage& m : defaultMessages()) {
        EXPECT_GT(m.number, previous) << "table not sorted";
        previous = m.number;
        EXPECT_EQ(defaultMessage(m.number), m.text);
        EXPECT_TRUE(m.number <= kHighestMessageNumber || m.number == kBannerTextNumber);
    }
    EXPECT_EQ(previous, kBannerTextNumber);
    EXPECT_NE(defaultMessage(kHighestMessageNumber), nullptr);
    for (int number : {-1, 29, 60, 114, 998, 1000}) EXPECT_EQ(defaultMessage(number), nullptr);
}

}  // namespace
}  // namespace tessarin::build
