// The uninstaller's confirmation and support offer, shown for real and answered by posting the
// button's command from a thread timer that runs inside the dialog's own message loop.
#include "uninstall/uninstall_questions.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/process.h"

namespace tessarin {
namespace {

// What the timer saw of the window it answered.
struct Answer {
    std::wstring caption;
    UINT message = WM_COMMAND;
    WPARAM command = 0;
    bool answered = false;
    std::wstring address;
    std::wstring getSupport;
    std::wstring uninstall;
    std::wstring font;
};
Answer g_answer;

std::wstring itemText(HWND dialog, int item) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, item, text, 256);
    return text;
}

void CALLBACK answerWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", g_answer.caption.c_str());
    if (dialog == nullptr || !IsWindowVisible(dialog) || g_answer.answered) return;
    KillTimer(nullptr, timer);
    g_answer.answered = true;
    g_answer.address = itemText(dialog, kSupportAddressItem);
    g_answer.getSupport = itemText(dialog, kGetSupportButton);
    g_answer.uninstall = itemText(dialog, kUninstallButton);
    LOGFONTW font = {};
    HFONT used = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    if (used != nullptr && GetObjectW(used, sizeof font, &font) != 0)
        g_answer.font = font.lfFaceName;
    PostMessageW(dialog, g_answer.message, g_answer.command, 0);
}

void answerWith(const wchar_t* caption, UINT message, WPARAM command) {
    g_answer = Answer();
    g_answer.caption = caption;
    g_answer.message = message;
    g_answer.command = command;
    SetTimer(nullptr, 0, 20, answerWhenShown);
}

TEST(UninstallQuestionsDialog, SupportOfferShowsTheAddressAndOnlyGetSupportAccepts) {
    const String address(u"https://support.example.com/help?a=1&b=2");
    struct Case {
        const char* what;
        UINT message;
        WPARAM command;
        bool accepted;
    } cases[] = {
        {"Get Support", WM_COMMAND, kGetSupportButton, true},
        {"Uninstall", WM_COMMAND, kUninstallButton, false},
        {"Esc", WM_COMMAND, IDCANCEL, false},
        {"closing", WM_CLOSE, 0, false},
    };
    for (const Case& c : cases) {
        answerWith(L"Tessarin Offer Test", c.message, c.command);
        EXPECT_EQ(askSupportOffer(address, String(u"Tessarin Offer Test")), c.accepted) << c.what;
        EXPECT_TRUE(g_answer.answered) << c.what;
        EXPECT_EQ(g_answer.address, L"https://support.example.com/help?a=1&b=2") << c.what;
        EXPECT_EQ(g_answer.getSupport, L"Get Support");
        EXPECT_EQ(g_answer.uninstall, L"Uninstall");
    }
    // Wine may substitute the shell font's face; the template asks for "MS Shell Dlg 2".
    EXPECT_FALSE(g_answer.font.empty());
}

// Records the address opened instead of starting a browser.
std::u16string g_opened;
intptr_t recordOpen(const String&, const String& file, const String&, const String&, int) {
    g_opened.assign(file.w_str(), static_cast<size_t>(file.wideLength()));
    return 42;
}

TEST(UninstallQuestionsDialog, GetSupportOpensTheAddress) {
    ShellExecuteFunction previous = setShellExecute(recordOpen);
    g_opened.clear();
    answerWith(L"Tessarin Open Test", WM_COMMAND, kUninstallButton);
    EXPECT_FALSE(OfferSupport(String(u"mailto:help@example.com"), String(u"Tessarin Open Test")));
    EXPECT_TRUE(g_opened.empty());

    answerWith(L"Tessarin Open Test", WM_COMMAND, kGetSupportButton);
    EXPECT_TRUE(OfferSupport(String(u"mailto:help@example.com"), String(u"Tessarin Open Test")));
    setShellExecute(previous);
    // Where Wine's desktop shell takes the request itself, the fallback is not called.
    if (!g_opened.empty()) {
        EXPECT_EQ(g_opened, u"mailto:help@example.com");
    }
}

TEST(UninstallQuestionsDialog, ConfirmationIsTrueForYesOnly) {
    answerWith(L"Tessarin Confirm Test", WM_COMMAND, IDYES);
    EXPECT_TRUE(ConfirmUninstall(String(u"Remove it?"), String(u"Tessarin Confirm Test")));
    EXPECT_TRUE(g_answer.answered);
    answerWith(L"Tessarin Confirm Test", WM_COMMAND, IDNO);
    EXPECT_FALSE(ConfirmUninstall(String(u"Remove it?"), String(u"Tessarin Confirm Test")));
    EXPECT_TRUE(g_answer.answered);
}

}  // namespace
}  // namespace tessarin
