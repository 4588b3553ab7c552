// Expansion of file specifications over a scripted file system: each pattern the expansion
// lists has a fixed answer.
#include "core/file_listing.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/convert.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromPathForm;
using testing::pathForm;

class ScriptedSystem : public FileSpecificationSystem {
  public:
    std::map<std::string, std::vector<std::pair<std::string, int64_t>>> answers;
    std::vector<std::string> folders;
    std::vector<std::pair<std::string, uint32_t>> listed;
    bool abortAt = false;
    std::string abortPattern;

    bool folderExists(const String& path) override {
        for (const std::string& f : folders)
            if (f == pathForm(path)) return true;
        return false;
    }
    int64_t list(const String& pattern, uint32_t options, Vector<ListedFile>& found,
                 const std::atomic<bool>*) override {
        std::string p = pathForm(pattern);
        listed.push_back({p, options});
        if (p == abortPattern) return kListAborted;
        int64_t total = 0;
        for (const auto& [path, size] : answers[p]) {
            found.append({fromPathForm(path), size});
            total += size;
        }
        return total;
    }
    String longName(const String& path) override { return fromPathForm("LONG:" + pathForm(path)); }
    String shortName(const String& path) override {
        return fromPathForm("SHORT:" + pathForm(path));
    }
};

struct Result {
    int problems;
    std::vector<std::string> paths;
    std::string messages;
};

Result expand(ScriptedSystem& system, const std::string& text, uint32_t options,
              const std::string& defaultFolder = "", FileSpecificationExtras* extras = nullptr) {
    Array<String> output;
    String messages;
    Result r;
    r.problems = expandFileSpecificationWith(system, fromPathForm(text), output, options,
                                             fromPathForm(defaultFolder), &messages, extras);
    for (int32_t i = 0; i < output.count(); ++i) r.paths.push_back(pathForm(output[i]));
    r.messages = pathForm(messages);
    return r;
}

TEST(FileSpecification, ListsEachSpecificationOfEachLine) {
    ScriptedSystem fs;
    fs.answers["C:\\App\\*.dll"] = {{"C:\\App\\a.dll", 10}, {"C:\\App\\b.dll", 5}};
    fs.answers["C:\\App\\readme.txt"] = {{"C:\\App\\readme.txt", 1}};
    fs.answers["D:\\Data\\x.bin"] = {{"D:\\Data\\x.bin", 100}};
    int64_t total = 0;
    Vector<int> lines;
    FileSpecificationExtras extras;
    extras.totalSize = &total;
    extras.lines = &lines;
    Result r =
        expand(fs, "  C:\\App\\*.dll ; C:\\App\\readme.txt\r\nD:\\Data\\x.bin\r\n", 0, "", &extras);
    EXPECT_EQ(r.problems, 0);
    EXPECT_EQ(r.messages, "");
    EXPECT_EQ(r.paths, (std::vector<std::string>{"C:\\App\\a.dll", "C:\\App\\b.dll",
                                                 "C:\\App\\readme.txt", "D:\\Data\\x.bin"}));
    EXPECT_EQ(total, 116);
    ASSERT_EQ(lines.count(), 4);
    EXPECT_EQ(lines[2], 1);
    EXPECT_EQ(lines[3], 2);
}

TEST(FileSpecification, MessagesForWhatDoesNotResolve) {
    ScriptedSystem fs;
    Result r = expand(fs, "C:\\none.txt;C:\\none\\*.txt\nC:\\gone\\;C:\\g?ne\\\nrel\\x.txt", 0);
    EXPECT_EQ(r.problems, 5);
    EXPECT_EQ(r.messages,
              "The file \"C:\\none.txt\" on line 1 does not exist.\r\n"
              "The file specification \"C:\\none\\*.txt\" on line 1 does not match any files.\r\n"
              "The folder \"C:\\gone\\\" on line 2 does not exist.\r\n"
              "The folder specification \"C:\\g?ne\\\" on line 2 does not match any files.\r\n"
              "The file specification \"rel\\x.txt\" on line 3 is not an absolute path.  "
              "Please include the drive and directory.\r\n");
    EXPECT_TRUE(r.paths.empty());
}

TEST(FileSpecification, LineNumbersOnlyWhenTheyHelp) {
    ScriptedSystem fs;
    EXPECT_EQ(expand(fs, "C:\\none.txt", 0).messages,
              "The file \"C:\\none.txt\" does not exist.\r\n");
    EXPECT_EQ(expand(fs, "C:\\none.txt\r\n", 0).messages,
              "The file \"C:\\none.txt\" does not exist.\r\n");
    EXPECT_EQ(expand(fs, "\r\nC:\\none.txt", kExpandNoLineNumbers).messages,
              "The file \"C:\\none.txt\" does not exist.\r\n");
    EXPECT_EQ(expand(fs, "\r\nC:\\none.txt", 0).messages,
              "The file \"C:\\none.txt\" on line 2 does not exist.\r\n");
}

TEST(FileSpecification, DuplicatesAreReportedWithoutRegardToCase) {
    ScriptedSystem fs;
    fs.answers["C:\\App\\*.dll"] = {{"C:\\App\\a.dll", 1}};
    fs.answers["C:\\APP\\A.DLL"] = {{"C:\\APP\\A.DLL", 1}};
    Result r = expand(fs, "C:\\App\\*.dll;C:\\APP\\A.DLL", 0);
    EXPECT_EQ(r.paths, std::vector<std::string>{"C:\\App\\a.dll"});
    EXPECT_EQ(r.messages, "The file \"C:\\APP\\A.DLL\" occurs more than once.\r\n");
    EXPECT_EQ(r.problems, 1);

    r = expand(fs, "C:\\App\\*.dll;C:\\APP\\A.DLL", kExpandAllowDuplicates);
    EXPECT_EQ(r.paths.size(), 2u);
    EXPECT_EQ(r.problems, 0);
}

TEST(FileSpecification, ManyDistinctFilesAreNotMistakenForDuplicates) {
    ScriptedSystem fs;
    auto& many = fs.answers["C:\\big\\*"];
    for (int i = 0; i < 2000; ++i) many.push_back({"C:\\big\\f" + std::to_string(i), 1});
    Result r = expand(fs, "C:\\big\\*;C:\\big\\*", 0);
    EXPECT_EQ(r.paths.size(), 2000u);
    EXPECT_EQ(r.problems, 2000);
}

TEST(FileSpecification, DefaultFolderResolvesRelativeSpecifications) {
    ScriptedSystem fs;
    fs.answers["C:\\App\\bin\\x.exe"] = {{"C:\\App\\bin\\x.exe", 1}};
    Result r = expand(fs, "bin\\x.exe", 0, "C:\\App");
    EXPECT_EQ(r.paths, std::vector<std::string>{"C:\\App\\bin\\x.exe"});
    EXPECT_EQ(r.messages, "The default path \"C:\\App\" does not exist.\r\n");

    fs.folders.push_back("C:\\App");
    r = expand(fs, "bin\\x.exe", 0, "C:\\App");
    EXPECT_EQ(r.problems, 0);
    r = expand(fs, "bin\\x.exe", kExpandNoDefaultFolder, "C:\\App");
    EXPECT_EQ(r.problems, 1);
    EXPECT_NE(r.messages.find("is not an absolute path"), std::string::npos);
}

TEST(FileSpecification, OptionsReachTheListing) {
    ScriptedSystem fs;
    expand(fs, "C:\\a\\*.txt /s;C:\\b\\;C:\\c\\*.* /S",
           kListBareNames | kListSkipShellFiles | kExpandNoLineNumbers | kListNoMessagePump);
    ASSERT_EQ(fs.listed.size(), 3u);
    EXPECT_EQ(fs.listed[0].first, "C:\\a\\*.txt");
    EXPECT_EQ(fs.listed[0].second, kListBareNames | kListSkipShellFiles | kListRecursive);
    EXPECT_EQ(fs.listed[1].first, "C:\\b\\");
    EXPECT_EQ(fs.listed[1].second, kListBareNames | kListSkipShellFiles | kListFolders);
    EXPECT_EQ(fs.listed[2].first, "C:\\c\\*.*");
    EXPECT_EQ(fs.listed[2].second & kListRecursive, kListRecursive);
}

TEST(FileSpecification, EmptyTextsCommentsAndTheSink) {
    ScriptedSystem fs;
    EXPECT_EQ(expand(fs, " \r\n ", 0).problems, 0);
    Result r = expand(fs, "", kExpandEmptyIsError);
    EXPECT_EQ(r.messages, "No files were specified.\r\n");
    EXPECT_EQ(r.problems, 1);

    fs.answers["C:\\x"] = {{"C:\\x", 1}};
    r = expand(fs, "  ;C:\\none\r\nC:\\x", kExpandComments);
    EXPECT_EQ(r.problems, 0);
    EXPECT_EQ(r.paths, std::vector<std::string>{"C:\\x"});
    r = expand(fs, ";C:\\none", 0);
    EXPECT_EQ(r.problems, 1);  // without the option ";" only separates

    Array<String> output;
    output.append(String(u"kept"));
    String messages(u"old\r\n");
    expandFileSpecificationWith(fs, String(u"C:\\x"), output, kListAppend, String(), &messages);
    EXPECT_EQ(output.count(), 2);
    EXPECT_EQ(pathForm(messages), "old\r\n");
    expandFileSpecificationWith(fs, String(u"C:\\none"), output, kExpandClearMessages, String(),
                                &messages);
    EXPECT_EQ(output.count(), 0);
    EXPECT_EQ(pathForm(messages), "The file \"C:\\none\" does not exist.\r\n");
}

TEST(FileSpecification, SortingNameFormsAndTheCallback) {
    ScriptedSystem fs;
    fs.answers["C:\\t\\*"] = {{"C:\\t\\b", 1}, {"C:\\t\\sub\\z", 1}, {"C:\\t\\A", 1}};
    std::vector<std::string> seen;
    FileSpecificationExtras extras;
    extras.context = &seen;
    extras.found = [](void* context, const String& path) {
        static_cast<std::vector<std::string>*>(context)->push_back(pathForm(path));
    };
    Result r = expand(fs, "C:\\t\\*", kExpandSortByPath, "", &extras);
    EXPECT_EQ(r.paths, (std::vector<std::string>{"C:\\t\\A", "C:\\t\\b", "C:\\t\\sub\\z"}));
    EXPECT_EQ(seen, (std::vector<std::string>{"C:\\t\\b", "C:\\t\\sub\\z", "C:\\t\\A"}));
    r = expand(fs, "C:\\t\\*", kExpandSortDeepestFirst);
    EXPECT_EQ(r.paths, (std::vector<std::string>{"C:\\t\\sub\\z", "C:\\t\\b", "C:\\t\\A"}));
    r = expand(fs, "C:\\t\\A", 0);
    fs.answers["C:\\t\\A"] = {{"C:\\t\\A", 1}};
    EXPECT_EQ(expand(fs, "C:\\t\\A", kExpandLongNames).paths[0], "LONG:C:\\t\\A");
    EXPECT_EQ(expand(fs, "C:\\t\\A", kExpandShortNames).paths[0], "SHORT:C:\\t\\A");
}

TEST(FileSpecification, AnAbortedListingEndsTheExpansion) {
    ScriptedSystem fs;
    fs.answers["C:\\a"] = {{"C:\\a", 1}};
    fs.abortPattern = "C:\\b";
    Result r = expand(fs, "C:\\a;C:\\b;C:\\c", 0);
    EXPECT_EQ(r.problems, kListAborted);
    EXPECT_EQ(fs.listed.size(), 2u);
    EXPECT_TRUE(r.paths.empty());
}

}  // namespace
}  // namespace tessarin
