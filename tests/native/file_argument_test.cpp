// Files given on tessarin-build's command line (--file PATH[=NAME]): the record's name in the
// narrow path form, its UTF-16 target, attributes left alone, and files the installer cannot
// take refused by name.
#include "tools/build/file_argument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "core/string.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

class FileArgument : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("tessarin-file-argument-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string write(const std::string& name, const std::string& bytes) {
        fs::path p = folder_ / fs::u8path(name);
        std::ofstream(p, std::ios::binary) << bytes;
        auto u8 = p.generic_u8string();
        return std::string(u8.begin(), u8.end());
    }
    fs::path folder_;
};

TEST_F(FileArgument, NameIsStoredInTheNarrowPathFormAndTheTargetInUtf16) {
    std::string path = write("data.bin", "payload");
    struct Case {
        std::string argument;
        const char* name;  // narrow path form
        const char16_t* target;
    };
    const Case cases[] = {
        {path, "data.bin", u"data.bin"},
        {path + "=\xc3\x9c"
                "bung.bin",
         "|\xc3\x9c"
         "bung.bin",
         u"\u00dcbung.bin"},
        {path + "=docs/\xe6\x97\xa5.txt", "|docs\\\xe6\x97\xa5.txt", u"docs\\\u65e5.txt"},
    };
    for (const Case& c : cases) {
        build::FileEntry f = build::fileFromArgument(c.argument);
        EXPECT_STREQ(f.name.c_str(), c.name) << c.argument;
        EXPECT_TRUE(f.targetPath == String(c.target)) << c.argument;
        EXPECT_EQ(f.attributes, -1) << "attributes are left as the installer writes them";
        EXPECT_STREQ(f.data.c_str(), "payload");
    }
}

TEST_F(FileArgument, FilesTheInstallerCannotTakeAreRefusedByName) {
    std::string big = write("big.bin", "");
    fs::resize_file(fs::u8path(big), (uint64_t(1) << 30) + 1);  // sparse: nothing is written
    std::string missing = (folder_ / "missing.bin").generic_string();
    const std::pair<std::string, std::string> cases[] = {
        {big, "--file " + big + ": 1073741825 bytes; the installer takes at most 1073741824"},
        {missing, "--file " + missing + ": cannot open for reading"},
        {write("a.bin", "x") + "=", ": empty name"},
    };
    for (const auto& [argument, error] : cases) {
        try {
            build::fileFromArgument(argument);
            ADD_FAILURE() << argument << " was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(error), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace tessarin
