#include "actions/finishing.h"

#include <gtest/gtest.h>

#include <string>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::utf8;

Vector<String> texts(std::initializer_list<const char*> items) {
    Vector<String> list;
    for (const char* item : items) list.append(String(item));
    return list;
}

std::string names(const std::vector<TextFile>& files) {
    std::string joined;
    for (const TextFile& file : files)
        joined += utf8(file.name) + "=" + std::to_string(file.index) + " ";
    return joined;
}

TEST(Finishing, TextFilesAreNumberedUnlessTheOnlyTextIsTheLastEntry) {
    EXPECT_EQ(names(textFileNames(texts({"only"}), u"readme")), "readme.txt=0 ");
    EXPECT_EQ(names(textFileNames(texts({"", "last"}), u"readme")), "readme.txt=1 ");
    EXPECT_EQ(names(textFileNames(texts({"a", "b"}), u"eula")), "eula1.txt=0 eula2.txt=1 ");
    // A single text followed by an empty entry is not the last entry: it keeps its number.
    EXPECT_EQ(names(textFileNames(texts({"a", ""}), u"readme")), "readme1.txt=0 ");
    EXPECT_EQ(names(textFileNames(texts({"", "a", "", "b"}), u"readme")),
              "readme1.txt=1 readme2.txt=3 ");
    EXPECT_EQ(names(textFileNames(texts({}), u"readme")), "");
}

TEST(Finishing, TheRestartIsAskedUnlessAutomaticModeMayRestartOnItsOwn) {
    constexpr uint64_t none = 0;
    EXPECT_EQ(restartChoice(false, true, none), RestartChoice::None);
    EXPECT_EQ(restartChoice(true, true, none), RestartChoice::Restart);
    EXPECT_EQ(restartChoice(true, true, kFlagsAskBeforeReboot), RestartChoice::Ask);
    EXPECT_EQ(restartChoice(true, false, none), RestartChoice::Ask);
}

TEST(Finishing, DriveRootsAreNeverRemoved) {
    EXPECT_FALSE(removableFolder(String(u"C:\\")));
    EXPECT_FALSE(removableFolder(String(u"C:")));
    EXPECT_TRUE(removableFolder(String(u"C:\\a")));
}

uint32_t little32(const String& s, int offset) {
    const uint8_t* b = s.bytes() + offset;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

String infoHeader(uint16_t bitCount, uint32_t compression, uint32_t used) {
    uint8_t h[40] = {40};
    h[12] = 1;  // planes
    h[14] = uint8_t(bitCount);
    h[16] = uint8_t(compression);
    h[32] = uint8_t(used);
    h[33] = uint8_t(used >> 8);
    return String(reinterpret_cast<const char*>(h), 40);
}

TEST(Finishing, BitmapFilesPointPastHeaderMasksAndColourTable) {
    struct Case {
        const char* label;
        String header;
        uint32_t offset;
    } cases[] = {
        {"8 bits, full table", infoHeader(8, 0, 0), 14 + 40 + 1024},
        {"8 bits, 16 colours used", infoHeader(8, 0, 16), 14 + 40 + 64},
        {"24 bits", infoHeader(24, 0, 0), 14 + 40},
        {"16 bits with masks", infoHeader(16, 3, 0), 14 + 40 + 12},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.label);
        String dib = c.header;
        dib.append("pixels", 6);
        String file = bitmapFileBytes(dib);
        ASSERT_EQ(file.length(), dib.length() + 14);
        EXPECT_EQ(std::string(file.c_str(), 2), "BM");
        EXPECT_EQ(little32(file, 2), uint32_t(file.length()));
        EXPECT_EQ(little32(file, 10), c.offset);
        EXPECT_EQ(std::string(file.c_str() + 14, size_t(dib.length())),
                  std::string(dib.c_str(), size_t(dib.length())));
    }
    EXPECT_TRUE(bitmapFileBytes(String("\x28\0\0", 3)).empty());        // shorter than its size
    EXPECT_TRUE(bitmapFileBytes(String("\x05\0\0\0\0\0", 6)).empty());  // no known header
}

}  // namespace
}  // namespace tessarin
