#include "core/icon_replacement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessarin {
namespace {

void word(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void dword(std::string& s, uint32_t v) {
    word(s, v & 0xFFFF);
    word(s, v >> 16);
}

// An icon file built by hand: images of the given contents, each entry's width being its index
// + 16, laid out one after the other behind the directory.
std::string iconFile(const std::vector<std::string>& images, uint32_t type = 1,
                     uint32_t reserved = 0) {
    std::string s;
    word(s, reserved);
    word(s, type);
    word(s, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        s += static_cast<char>(16 + i);  // width
        s += static_cast<char>(16 + i);  // height
        s += '\0';                       // colours
        s += '\0';                       // reserved
        word(s, 1);                      // planes
        word(s, 32);                     // bits per pixel
        dword(s, static_cast<uint32_t>(images[i].size()));
        dword(s, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::string& image : images) s += image;
    return s;
}

String bytes(const std::string& s) {
    return String(s.data(), static_cast<int32_t>(s.size()));
}

struct Written {
    uint16_t type, name, language;
    std::string data;
};

class RecordingWriter : public ResourceWriter {
  public:
    explicit RecordingWriter(int failAt = -1) : failAt_(failAt) {}
    bool update(uint16_t type, uint16_t name, uint16_t language, const void* data,
                uint32_t size) override {
        if (static_cast<int>(written.size()) == failAt_) return false;
        written.push_back(
            {type, name, language, std::string(static_cast<const char*>(data), size)});
        return true;
    }
    std::vector<Written> written;

  private:
    int failAt_;
};

TEST(IconReplacement, ThreeImagesBecomeIconsOneToThreeAndAGroupOfThree) {
    std::vector<IconImage> images;
    String why;
    ASSERT_TRUE(readIconFile(bytes(iconFile({"AAAA", "BBBBBB", "CC"})), images, why));
    RecordingWriter writer;
    ASSERT_TRUE(replaceIcon(images, writer));
    ASSERT_EQ(writer.written.size(), 4u);
    const char* expected[] = {"AAAA", "BBBBBB", "CC"};
    for (uint16_t i = 0; i < 3; ++i) {
        EXPECT_EQ(writer.written[i].type, 3);
        EXPECT_EQ(writer.written[i].name, i + 1);
        EXPECT_EQ(writer.written[i].language, 1033);
        EXPECT_EQ(writer.written[i].data, expected[i]);
    }
    const Written& group = writer.written[3];
    EXPECT_EQ(group.type, 14);
    EXPECT_EQ(group.name, 1);
    EXPECT_EQ(group.language, 1033);
    // Header, then per image: width, height, colours, reserved, planes, bits, size, identifier.
    std::string oracle;
    word(oracle, 0);
    word(oracle, 1);
    word(oracle, 3);
    const uint32_t sizes[] = {4, 6, 2};
    for (uint32_t i = 0; i < 3; ++i) {
        oracle += static_cast<char>(16 + i);
        oracle += static_cast<char>(16 + i);
        oracle += std::string(2, '\0');
        word(oracle, 1);
        word(oracle, 32);
        dword(oracle, sizes[i]);
        word(oracle, i + 1);
    }
    EXPECT_EQ(group.data, oracle);
}

TEST(IconReplacement, CursorFileImagesAreWrittenAsIconImages) {
    std::vector<IconImage> images;
    String why;
    ASSERT_TRUE(readIconFile(bytes(iconFile({"cursor"}, 2)), images, why));
    RecordingWriter writer;
    ASSERT_TRUE(replaceIcon(images, writer));
    ASSERT_EQ(writer.written.size(), 2u);
    EXPECT_EQ(writer.written[0].type, 3);
    EXPECT_EQ(writer.written[0].data, "cursor");
    EXPECT_EQ(writer.written[1].type, 14);
}

TEST(IconReplacement, AFailedImageStopsBeforeTheGroup) {
    std::vector<IconImage> images;
    String why;
    ASSERT_TRUE(readIconFile(bytes(iconFile({"A", "B", "C"})), images, why));
    RecordingWriter writer(1);
    EXPECT_FALSE(replaceIcon(images, writer));
    ASSERT_EQ(writer.written.size(), 1u);
    EXPECT_EQ(writer.written[0].type, 3);
}

TEST(IconReplacement, MalformedIconFilesAreRefusedWithTheReason) {
    std::string beyond = iconFile({"AAAA"});
    beyond.resize(beyond.size() - 1);  // the image's last byte is missing
    std::string tooMany;
    word(tooMany, 0);
    word(tooMany, 1);
    word(tooMany, 1001);
    tooMany += std::string(1001 * 16, '\0');
    std::string shortDirectory = iconFile({"A", "B"}).substr(0, 6 + 16);
    struct Case {
        const char* what;
        std::string file;
        const char* reason;
    } cases[] = {
        {"reserved field", iconFile({"A"}, 1, 7), "reserved field 7 and type 1"},
        {"type 3", iconFile({"A"}, 3), "type 3"},
        {"1001 images", tooMany, "1001 images, more than 1000"},
        {"short header", "\0\0\1", "shorter than its header"},
        {"short directory", shortDirectory, "directory of 2 entries"},
        {"image beyond end", beyond, "icon image 1 (4 bytes at offset 22)"},
    };
    for (const Case& c : cases) {
        std::vector<IconImage> images;
        String why;
        EXPECT_FALSE(readIconFile(bytes(c.file), images, why)) << c.what;
        EXPECT_NE(std::string(why.c_str()).find(c.reason), std::string::npos)
            << c.what << ": " << why.c_str();
        EXPECT_TRUE(images.empty()) << c.what;
    }
}

TEST(IconReplacement, AnIconFileWithoutImagesGivesAnEmptyGroup) {
    std::vector<IconImage> images;
    String why;
    ASSERT_TRUE(readIconFile(bytes(iconFile({})), images, why));
    RecordingWriter writer;
    ASSERT_TRUE(replaceIcon(images, writer));
    ASSERT_EQ(writer.written.size(), 1u);
    EXPECT_EQ(writer.written[0].data, std::string("\0\0\1\0\0\0", 6));
}

}  // namespace
}  // namespace tessarin
