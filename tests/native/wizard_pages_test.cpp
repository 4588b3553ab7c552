#include "ui/wizard_pages.h"

#include <gtest/gtest.h>

#include "tests/native/test_text.h"

namespace tessarin {
namespace {

using testing::bytes;
using testing::S;
using testing::U;
using testing::utf8;

TEST(WizardPages, TemplateFollowsTheLayoutSelector) {
    struct Case {
        int32_t selector;
        const char* name;
    } cases[] = {{1, "LicenseDlg"},  {0, "LicenseDlg2"}, {2, "LicenseDlg3"},
                 {3, "LicenseDlg4"}, {7, "LicenseDlg3"}, {-1, "LicenseDlg3"}};
    for (const Case& c : cases)
        EXPECT_EQ(bytes(pageTemplateName("LicenseDlg", c.selector)), c.name) << c.selector;
}

TEST(WizardPages, GreetingShowsUnlessAutomaticOrSwitchedOff) {
    EXPECT_TRUE(greetingShown(0, false));
    EXPECT_FALSE(greetingShown(0, true));
    EXPECT_FALSE(greetingShown(kFlagsGreetingNever, false));
    EXPECT_TRUE(greetingShown(kFlagsGreetingAlways | kFlagsGreetingNever, true));
}

TEST(WizardPages, FirstLanguageIsTheUsersThenEnglishThenTheFirst) {
    Vector<String> languages;
    for (const char16_t* name : {u"Deutsch", u"English", u"Français"}) languages.append(S(name));
    EXPECT_EQ(initialLanguage(languages, S(u"Français (France)")), 2);
    EXPECT_EQ(initialLanguage(languages, S(u"  Deutsch ")), 0);
    EXPECT_EQ(initialLanguage(languages, S(u"Italiano (Italia)")), 1);
    EXPECT_EQ(initialLanguage(languages, S(u"")), 1);
    Vector<String> noEnglish;
    noEnglish.append(S(u"Deutsch"));
    noEnglish.append(S(u"Français"));
    EXPECT_EQ(initialLanguage(noEnglish, S(u"Italiano")), 0);
    EXPECT_EQ(U(languageLine(S(u"Deutsch"))), u"\tDeutsch");
}

TEST(WizardPages, DocumentPagesPutTheIntroductionFirstAndSkipEmptyEntries) {
    Vector<String> texts;
    texts.append(String("first"));
    texts.append(String());
    texts.append(String("{\\rtf1 second}"));
    Vector<String> pages = documentPages(S(u"Read"), texts);
    ASSERT_EQ(pages.count(), 3);
    EXPECT_EQ(bytes(pages[0]), std::string("\xFF\xFE", 2) + bytes(S(u"Read")));
    EXPECT_EQ(bytes(pages[1]), "first");
    EXPECT_EQ(documentPages(String(), texts).count(), 2);

    int32_t start = -1;
    EXPECT_EQ(documentKind(pages[0], start), DocumentKind::Wide);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(documentKind(pages[1], start), DocumentKind::Plain);
    EXPECT_EQ(documentKind(pages[2], start), DocumentKind::Rich);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(documentKind(String("\xEF\xBB\xBF{\\rtf1 x}"), start), DocumentKind::Rich);
    EXPECT_EQ(start, 3);
    EXPECT_EQ(documentKind(String("\xEF\xBB\xBFplain"), start), DocumentKind::Plain);
    EXPECT_EQ(documentKind(String("{\\rt"), start), DocumentKind::Plain);
}

TEST(WizardPages, StartMenuNameRule) {
    for (const char16_t* good : {u"Tessarin", u"Vendor\\Product", u"A b-c_(d)", u"", u"x\\"})
        EXPECT_TRUE(startMenuNameAcceptable(S(good))) << utf8(S(good));
    for (const char16_t* bad : {u"\\Lead", u"Two\\\\Slashes", u"a/b", u"a\"b", u"a<b", u"a>b",
                                u"a|b", u"a*b", u"a?b", u"C:x", u"a;b"})
        EXPECT_FALSE(startMenuNameAcceptable(S(bad))) << utf8(S(bad));
}

class ScriptedFolders : public FolderCheckSystem {
  public:
    bool driveExists(char16_t letter) override { return letter == u'C' || letter == u'N'; }
    bool networkDrive(const String& path) override { return path.getWide(0) == u'N'; }
    String programFiles32() override { return S(u"C:\\Program Files (x86)"); }
    String programFiles64() override { return S(u"C:\\Program Files"); }
    bool volumeUsable(const String& path) override {
        return !String(path).startsWithWide(u"C:\\ro");
    }
    bool portableDrive(const String& path) override { return false; }
};

TEST(WizardPages, ChosenFolderChecksInTheirOrder) {
    struct Case {
        const char16_t* folder;
        uint64_t flags;
        FolderProblem problem;
    } cases[] = {
        {u"", 0, FolderProblem::Empty},
        {u"relative\\path", 0, FolderProblem::Invalid},
        {u"C:\\bad<name", 0, FolderProblem::Invalid},
        {u"Q:\\Product", 0, FolderProblem::NoDrive},
        {u"N:\\Product", kFlagsRefuseNetworkFolder, FolderProblem::Network},
        {u"\\\\server\\share\\Product", kFlagsRefuseNetworkFolder, FolderProblem::Network},
        {u"N:\\Product", 0, FolderProblem::None},
        {u"C:\\", 0, FolderProblem::DriveRoot},
        {u"C:\\.\\", 0, FolderProblem::DriveRoot},
        {u"C:\\Users\\..", 0, FolderProblem::DriveRoot},
        {u"C:\\Users\\..\\Data", 0, FolderProblem::None},
        {u"c:\\program files\\", 0, FolderProblem::ProgramFiles},
        {u"C:\\Program Files (x86)", 0, FolderProblem::ProgramFiles},
        {u"C:\\Program Files\\Vendor\\..", 0, FolderProblem::ProgramFiles},
        {u"C:\\Program Files\\Vendor", 0, FolderProblem::None},
        {u"C:\\ro\\Product", 0, FolderProblem::UnusableVolume},
    };
    ScriptedFolders system;
    for (const Case& c : cases) {
        String named;
        EXPECT_EQ(checkChosenFolder(S(c.folder), c.flags, system, named), c.problem)
            << utf8(S(c.folder));
    }
    String named;
    checkChosenFolder(S(u"C:\\Program Files\\"), 0, system, named);
    EXPECT_EQ(U(named), u"C:\\Program Files");
}

TEST(WizardPages, WindowPlacementWithinTheArea) {
    const Rect area{100, 50, 1100, 850};  // 1000 x 800
    struct Case {
        int32_t placement;
        Point at;
    } cases[] = {{0, {400, 350}}, {1, {100, 50}}, {2, {700, 50}},  {3, {100, 650}},
                 {4, {700, 650}}, {5, {400, 50}}, {6, {400, 650}}, {99, {400, 350}}};
    for (const Case& c : cases) {
        Point at = placeWindow(area, 400, 200, c.placement);
        EXPECT_EQ(at.x, c.at.x) << c.placement;
        EXPECT_EQ(at.y, c.at.y) << c.placement;
    }
    Point big = placeWindow(area, 1200, 900, 4);
    EXPECT_EQ(big.x, 100);
    EXPECT_EQ(big.y, 50);
}

TEST(WizardPages, PictureFrameByBorderCodeAndLayout) {
    EXPECT_EQ(pictureFrame(0, 1), PictureFrame::None);
    EXPECT_EQ(pictureFrame(1, 3), PictureFrame::Sunken);
    EXPECT_EQ(pictureFrame(2, 1), PictureFrame::Thin);
    EXPECT_EQ(pictureFrame(3, 1), PictureFrame::Sunken);
    EXPECT_EQ(pictureFrame(3, 3), PictureFrame::None);
    EXPECT_EQ(pictureFrame(7, 1), PictureFrame::None);
}

TEST(WizardPages, SpaceQuestionAndItsException) {
    EXPECT_TRUE(spaceQuestionNeeded(false, false, true, 10, 11));
    EXPECT_FALSE(spaceQuestionNeeded(false, false, true, 11, 11));
    EXPECT_FALSE(spaceQuestionNeeded(true, false, true, 10, 11));
    EXPECT_FALSE(spaceQuestionNeeded(false, true, true, 10, 11));
    EXPECT_FALSE(spaceQuestionNeeded(false, false, false, 10, 11));
    EXPECT_TRUE(spaceCheckApplies(0, S(u"C:\\Prodükt")));
    EXPECT_FALSE(spaceCheckApplies(kFlags2SkipSpaceCheckForWideNames, S(u"C:\\Prodükt")));
    EXPECT_TRUE(spaceCheckApplies(kFlags2SkipSpaceCheckForWideNames, S(u"C:\\Product")));
}

}  // namespace
}  // namespace tessarin
