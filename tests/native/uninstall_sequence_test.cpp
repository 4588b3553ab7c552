#include "setup/uninstall_sequence.h"

#include <gtest/gtest.h>

#include "package/install_script.h"
#include "services/uninstall_data.h"
#include "test_text.h"
#include "ui/background_window.h"
#include "uninstall/uninstall_entry.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

TEST(UninstallSequence, TheInstallStateComesBackFromTheEntryAndTheRecord) {
    UninstallSettings settings;
    settings.DisplayName = fromUtf8("Prodüct");
    settings.InstallLocation = fromUtf8("C:\\Apps\\Prodüct");
    settings.UninstallSubdir = fromUtf8("Uninstall");
    settings.uninstallFolder = fromUtf8("C:\\Apps\\Prodüct\\Uninstall");
    settings.ProductFlags = 0x0000100000000400ull;
    settings.ProductFlags2 = 0x40000;
    settings.Bitness = 1;
    settings.UninstallBatch1 = String("echo one");
    settings.UninstallBatch2 = String("echo two");
    settings.ProductStartMenu = fromUtf8("Vendor\\Prodüct");
    UninstallData data;
    data.setText(53, fromUtf8("Remove Prodüct?"));
    data.setText(55, fromUtf8("Prodüct Uninstall"));

    InstallScript script;
    script.Messages.Languages.append(fromUtf8("English"));
    script.Messages.Languages.append(fromUtf8("Deutsch"));
    script.Messages.CurrentLanguage = 1;
    restoreInstallState(settings, data, script);

    EXPECT_EQ(utf8(script.ProductName), "Prodüct");
    EXPECT_EQ(utf8(script.InstallDir), "C:\\Apps\\Prodüct");
    EXPECT_EQ(utf8(script.UninstallDir), "C:\\Apps\\Prodüct\\Uninstall");
    EXPECT_EQ(script.ProductFlags, settings.ProductFlags);
    EXPECT_EQ(script.ProductFlags2, 0x40000u);
    EXPECT_EQ(script.Bitness, 1);
    EXPECT_STREQ(script.UninstallBatch1.c_str(), "echo one");
    EXPECT_STREQ(script.UninstallBatch2.c_str(), "echo two");
    EXPECT_EQ(utf8(script.ProductStartMenu), "Vendor\\Prodüct");
    // The record's texts are the one language of the message table.
    EXPECT_EQ(utf8(script.message(53)), "Remove Prodüct?");
    EXPECT_EQ(utf8(script.message(55)), "Prodüct Uninstall");
    EXPECT_EQ(utf8(script.message(21)), "");
    EXPECT_EQ(utf8(script.message(999)), "");
}

TEST(UninstallSequence, EntryMessagesAreShownUnlessSilentOrAutomaticWithoutTheOption) {
    const uint64_t option = kEntryFlagEntryMessagesWhenAutomatic;
    EXPECT_TRUE(entryMessageShown(false, false, 0));
    EXPECT_FALSE(entryMessageShown(true, false, 0));
    EXPECT_TRUE(entryMessageShown(true, false, option));
    EXPECT_FALSE(entryMessageShown(true, true, option));
    EXPECT_FALSE(entryMessageShown(false, true, 0));
}

TEST(UninstallSequence, TheFailureReportFillsOnlyItsPlaceholder) {
    // The report's text comes from a file: a stray conversion in it must stay text.
    EXPECT_EQ(utf8(failureReport(fromUtf8("Some parts stay (%d):\r\n%s\r\nEnd %s"),
                                 fromUtf8("Could not delete the file: C:\\a 100%s.txt\r\n"))),
              "Some parts stay (%d):\r\nCould not delete the file: C:\\a 100%s.txt\r\n\r\nEnd %s");
}

TEST(UninstallSequence, TheBackgroundTakesTheEntrysAppearance) {
    UninstallSettings settings;
    settings.TaskbarText = fromUtf8("Prodüct Setup");
    settings.DisplayTitle = fromUtf8("Prodüct");
    settings.TopColor = 0x112233;
    settings.BottomColor = 0x445566;
    settings.MonoColor = 0;
    settings.TitleSize = 1.5;
    settings.ProductFlags = kFlagBackgroundMaximized;
    BackgroundWindowSettings window;
    backgroundSettingsFromEntry(settings, window);
    EXPECT_EQ(utf8(window.TaskbarText), "Prodüct Setup");
    EXPECT_EQ(utf8(window.DisplayTitle), "Prodüct");
    EXPECT_EQ(window.TopColor, 0x112233u);
    EXPECT_EQ(window.BottomColor, 0x445566u);
    EXPECT_FALSE(window.MonoColor);
    EXPECT_DOUBLE_EQ(window.TitleSize, 1.5);
    EXPECT_TRUE(window.maximized);
}

}  // namespace
}  // namespace tessarin
