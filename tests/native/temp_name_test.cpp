#include "core/temp_name.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "core/convert.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::pathForm;

// A file system where the first `taken` names asked about exist.
class CountingSystem : public TempNameSystem {
  public:
    explicit CountingSystem(int taken, bool rootTempWorks = true)
        : taken_(taken), rootTempWorks_(rootTempWorks) {}
    bool nameTaken(const String& path) override {
        asked.push_back(pathForm(path));
        return static_cast<int>(asked.size()) <= taken_;
    }
    String temporaryFolder() override { return String(u"T:\\tmp"); }
    bool createFolder(const String& path) override {
        created.push_back(pathForm(path));
        return rootTempWorks_;
    }
    std::vector<std::string> asked;
    std::vector<std::string> created;

  private:
    int taken_;
    bool rootTempWorks_;
};

TEST(TempName, GeneratedNamesUseTheGeneratorAndTheExtension) {
    CountingSystem system(0);
    String name = generatedTempName(system, String(u"D:\\work"), String(u".log"), 0);
    EXPECT_TRUE(std::regex_match(pathForm(name), std::regex(R"(D:\\work\\OQT[ 0-9A-F]{4}\.log)")))
        << pathForm(name);
    name = generatedTempName(system, String(u"D:\\work"), String(), 0);
    EXPECT_TRUE(std::regex_match(pathForm(name), std::regex(R"(D:\\work\\OQT[ 0-9A-F]{4}\.tmp)")))
        << pathForm(name);
}

TEST(TempName, MovesToTheTemporaryFolderAndThenToRootTemp) {
    CountingSystem system(350);
    String name = generatedTempName(system, String(u"D:\\work"), String(u"dat"), 0);
    ASSERT_EQ(system.asked.size(), 351u);
    EXPECT_EQ(system.asked[198].rfind("D:\\work\\", 0), 0u);
    EXPECT_EQ(system.asked[199].rfind("T:\\tmp\\", 0), 0u);  // the 200th attempt
    EXPECT_EQ(system.asked[298].rfind("T:\\tmp\\", 0), 0u);
    EXPECT_EQ(system.asked[299].rfind("c:\\temp\\", 0), 0u);  // the 300th
    EXPECT_EQ(pathForm(name), system.asked.back());
    EXPECT_EQ(system.created, std::vector<std::string>{"c:\\temp"});
}

TEST(TempName, KeepFolderOptionAndExhaustion) {
    CountingSystem stay(1000);
    EXPECT_TRUE(generatedTempName(stay, String(u"D:\\w"), String(), kTempNameKeepFolder).empty());
    EXPECT_EQ(stay.asked.size(), 400u);
    EXPECT_EQ(stay.asked.back().rfind("D:\\w\\", 0), 0u);
    EXPECT_TRUE(stay.created.empty());

    CountingSystem noRootTemp(310, false);
    String name = generatedTempName(noRootTemp, String(u"D:\\w"), String(), 0);
    EXPECT_EQ(pathForm(name).rfind("T:\\tmp\\", 0), 0u);  // c:\temp could not be made
}

TEST(TempName, OneLeadingDotIsDropped) {
    EXPECT_EQ(pathForm(tempNameExtension(String(u".log"))), "log");
    EXPECT_EQ(pathForm(tempNameExtension(String(u"..log"))), ".log");
    EXPECT_EQ(pathForm(tempNameExtension(String(u"log"))), "log");
}

}  // namespace
}  // namespace tessarin
