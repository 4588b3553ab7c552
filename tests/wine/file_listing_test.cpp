// Directory listing and specification expansion over a real folder tree in the Wine prefix.
#include "core/file_listing.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "core/convert.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;

using testing::put;
using testing::ScratchFolder;
using testing::w;

std::string narrow(const String& s) {
    String t;
    wideToPath(s.w_str(), s.wideLength(), t);
    return t.c_str();
}

// The paths of a list relative to the root (full paths lose the root and its backslash).
std::set<std::string> relative(const Array<String>& list, const std::string& root) {
    String wideRoot;
    pathToWide(root.c_str(), kWholeLength, wideRoot);
    std::u16string prefix(wideRoot.w_str(), wideRoot.wideLength());
    prefix += u'\\';
    std::set<std::string> result;
    for (int32_t i = 0; i < list.count(); ++i) {
        std::u16string p(list[i].w_str(), list[i].wideLength());
        if (p.rfind(prefix, 0) == 0) p = p.substr(prefix.size());
        result.insert(narrow(S(p)));
    }
    return result;
}

class FileListingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        put(path(u"a.txt"), "abc");
        put(path(u"b.log"), "12345");
        put(path(u"Thumbs.db"), "t");
        CreateDirectoryW(w(path(u"sub")), nullptr);
        put(path(u"sub\\c.txt"), "1234567");
        put(path(u"sub\\desktop.ini"), "di");
        CreateDirectoryW(w(path(u"sub\\deeper")), nullptr);
        put(path(u"sub\\deeper\\d.txt"), "12345678901");
        CreateDirectoryW(w(path(u"empty")), nullptr);
        root_ = narrow(S(root_folder_.path()));
    }

    std::u16string path(const std::u16string& leaf) const { return root_folder_ / leaf; }
    String pattern(const std::u16string& leaf) const { return S(path(leaf)); }

    // Lists and returns the relative paths; the total goes to *total.
    std::set<std::string> list(const std::u16string& leaf, uint32_t options,
                               int64_t* total = nullptr) {
        Array<String> output;
        int64_t t = listFiles(pattern(leaf), output, options | kListNoMessagePump);
        if (total) *total = t;
        return relative(output, root_);
    }

    ScratchFolder root_folder_{u"tessarin_list_"};
    std::string root_;
};

using Paths = std::set<std::string>;

TEST_F(FileListingTest, FilesOfOneFolderOrOfTheWholeTree) {
    int64_t total = 0;
    EXPECT_EQ(list(u"*.txt", 0, &total), Paths{"a.txt"});
    EXPECT_EQ(total, 3);
    const Paths everyText{"a.txt", "sub\\c.txt", "sub\\deeper\\d.txt"};
    EXPECT_EQ(list(u"*.txt", kListRecursive, &total), everyText);
    EXPECT_EQ(total, 21);
    EXPECT_EQ(list(u"*.txt /s", 0, &total), everyText);
    EXPECT_EQ(total, 21);
    EXPECT_EQ(list(u"*.TXT /S", 0), everyText);
    EXPECT_EQ(list(u"c.txt", kListRecursive), Paths{"sub\\c.txt"});
    EXPECT_EQ(list(u"nothing.*", kListRecursive, &total), Paths{});
    EXPECT_EQ(total, 0);
}

TEST_F(FileListingTest, FoldersBareNamesAndTheShellsFiles) {
    int64_t total = 0;
    EXPECT_EQ(list(u"*", 0, &total), (Paths{"a.txt", "b.log", "Thumbs.db"}));
    EXPECT_EQ(total, 9);
    EXPECT_EQ(list(u"*", kListFolders, &total),
              (Paths{"a.txt", "b.log", "Thumbs.db", "sub", "empty"}));
    EXPECT_EQ(total, 9);  // folders add nothing to the size
    EXPECT_EQ(list(u"*", kListFoldersOnly), (Paths{"sub", "empty"}));
    EXPECT_EQ(list(u"*", kListFoldersOnly | kListRecursive),
              (Paths{"sub", "empty", "sub\\deeper"}));
    EXPECT_EQ(list(u"*.txt", kListBareNames | kListRecursive), (Paths{"a.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(list(u"*", kListRecursive | kListSkipShellFiles, &total),
              (Paths{"a.txt", "b.log", "sub\\c.txt", "sub\\deeper\\d.txt"}));
    EXPECT_EQ(total, 26);
    EXPECT_EQ(list(u"*", kListRecursive).count("sub\\desktop.ini"), 1u);
}

TEST_F(FileListingTest, PatternsAreCanonicalisedAndAFolderNamesItself) {
    EXPECT_EQ(list(u"sub\\..\\*.txt", 0), Paths{"a.txt"});
    EXPECT_EQ(list(u"sub\\", kListFolders), Paths{"sub"});
    EXPECT_EQ(list(u"sub\\", 0), Paths{});
}

TEST_F(FileListingTest, AppendKeepsTheOutput) {
    Array<String> output;
    output.append(String(u"earlier"));
    listFiles(pattern(u"*.txt"), output, kListAppend | kListNoMessagePump);
    EXPECT_EQ(output.count(), 2);
    listFiles(pattern(u"*.log"), output, kListNoMessagePump);
    EXPECT_EQ(relative(output, root_), Paths{"b.log"});
}

TEST_F(FileListingTest, AnAbortFlagEndsTheListing) {
    std::atomic<bool> abort{true};
    Array<String> output;
    SetLastError(0);
    EXPECT_EQ(listFiles(pattern(u"*"), output, kListRecursive, &abort), kListAborted);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REQUEST_ABORTED));
}

// A window message handled while the listing runs sets the abort flag: only a listing that
// pumps messages between entries sees it.
std::atomic<bool>* g_abortFlag = nullptr;

LRESULT CALLBACK abortingProcedure(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_APP && g_abortFlag) g_abortFlag->store(true);
    return DefWindowProcW(window, message, wp, lp);
}

TEST_F(FileListingTest, MessagesArePumpedBetweenEntriesUnlessTurnedOff) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = abortingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TessarinListingProbe";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"TessarinListingProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    std::atomic<bool> abort{false};
    g_abortFlag = &abort;
    Array<String> output;

    ASSERT_TRUE(PostMessageW(window, WM_APP, 0, 0));
    EXPECT_EQ(listFiles(pattern(u"*"), output, kListRecursive | kListNoMessagePump, &abort), 29);
    EXPECT_FALSE(abort.load());

    EXPECT_EQ(listFiles(pattern(u"*"), output, kListRecursive, &abort), kListAborted);
    EXPECT_TRUE(abort.load());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REQUEST_ABORTED));

    g_abortFlag = nullptr;
    DestroyWindow(window);
    UnregisterClassW(L"TessarinListingProbe", windowClass.hInstance);
}

TEST_F(FileListingTest, LinksToFoldersAreNotFollowed) {
    std::u16string link = path(u"sub\\up");
    CreateSymbolicLinkW(w(link), w(root_folder_.path()), SYMBOLIC_LINK_FLAG_DIRECTORY);
    DWORD attributes = GetFileAttributesW(w(link));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        GTEST_SKIP() << "this Wine makes no folder links; the loop guard could not be exercised";
    }
    EXPECT_EQ(list(u"*.txt", kListRecursive), (Paths{"a.txt", "sub\\c.txt", "sub\\deeper\\d.txt"}));
}

// Product trees reach past MAX_PATH: the listing goes on into them.
TEST_F(FileListingTest, ListingsGoPastMaxPath) {
    std::u16string deep = path(u"long");
    CreateDirectoryW(w(deep), nullptr);
    std::u16string relativeDeep = u"long";
    while (deep.size() < MAX_PATH + 40) {
        deep += u"\\a rather long folder name";
        relativeDeep += u"\\a rather long folder name";
        ASSERT_TRUE(CreateDirectoryW(w(testing::anyLength(deep)), nullptr));
    }
    ASSERT_TRUE(put(testing::anyLength(deep + u"\\bottom.txt"), "12"));
    std::string bottom = narrow(S(relativeDeep + u"\\bottom.txt"));
    int64_t total = 0;
    EXPECT_EQ(list(u"long\\bottom.txt", kListRecursive, &total), Paths{bottom});
    EXPECT_EQ(total, 2);
    Array<String> output;
    EXPECT_EQ(listFiles(S(deep + u"\\*"), output, kListNoMessagePump), 2);
    EXPECT_EQ(relative(output, root_), Paths{bottom});
}

TEST_F(FileListingTest, NonAsciiNames) {
    CreateDirectoryW(w(path(u"\u65e5\u672c")), nullptr);
    put(path(u"\u65e5\u672c\\\u00fcber.txt"), "x");
    EXPECT_EQ(list(u"*.txt", kListRecursive).count(narrow(S(u"\u65e5\u672c\\\u00fcber.txt"))), 1u);
}

// ---- Specification expansion -------------------------------------------------------------

TEST_F(FileListingTest, ExpansionResolvesListsAndReports) {
    Array<String> output;
    String messages;
    Vector<int> lines;
    int64_t total = 0;
    FileSpecificationExtras extras;
    extras.lines = &lines;
    extras.totalSize = &total;
    String text(u"*.txt /s; missing.txt\r\nsub\\\r\nC:\\nowhere\\*.x;a.txt");
    int problems =
        expandFileSpecification(text, output, 0, S(root_folder_.path()), &messages, &extras);
    EXPECT_EQ(problems, 3);
    EXPECT_EQ(relative(output, root_), (Paths{"a.txt", "sub\\c.txt", "sub\\deeper\\d.txt", "sub"}));
    EXPECT_EQ(narrow(messages),
              "The file \"missing.txt\" on line 1 does not exist.\r\n"
              "The file specification \"C:\\nowhere\\*.x\" on line 3 does not match any "
              "files.\r\n"
              "The file \"" +
                  root_ + "\\a.txt\" occurs more than once.\r\n");
    EXPECT_EQ(total, 21);
    ASSERT_EQ(lines.count(), 4);
    EXPECT_EQ(lines[3], 2);

    int none = expandFileSpecification(String(u"C:\\a.txt"), output, 0, S(path(u"no such folder")),
                                       &messages);
    EXPECT_EQ(none, 2);
    EXPECT_NE(narrow(messages).find("The default path \"" + root_ +
                                    "\\no such folder\" does not "
                                    "exist.\r\n"),
              std::string::npos);
}

TEST_F(FileListingTest, ExpansionStopsWhenAborted) {
    std::atomic<bool> abort{true};
    FileSpecificationExtras extras;
    extras.abort = &abort;
    Array<String> output;
    String messages;
    EXPECT_EQ(expandFileSpecification(pattern(u"*.txt"), output, 0, String(), &messages, &extras),
              kListAborted);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REQUEST_ABORTED));
    EXPECT_EQ(output.count(), 0);
}

TEST_F(FileListingTest, ExpansionCanGiveShortNames) {
    put(path(u"A Long Name Here.txt"), "x");
    Array<String> output;
    expandFileSpecification(pattern(u"A Long Name Here.txt"), output, kExpandShortNames, String(),
                            nullptr);
    ASSERT_EQ(output.count(), 1);
    wchar_t buffer[MAX_PATH];
    GetShortPathNameW(w(path(u"A Long Name Here.txt")), buffer, MAX_PATH);
    EXPECT_EQ(narrow(output[0]), narrow(String(reinterpret_cast<const char16_t*>(buffer))));
}

}  // namespace
}  // namespace tessarin
