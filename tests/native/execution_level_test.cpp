// The execution level written into the installer's manifest: found through the resource tree of
// a hand-built image, rewritten in place with the resource's size kept, and refused with a
// reason when the image gives no room or no manifest.
#include "tools/build/execution_level.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "pe_sample.h"

namespace tessarin::build {
namespace {

using testing::Bytes;
using testing::fakeStub;
using testing::set32;

const std::string kStubManifest =
    "<assembly><trustInfo><security><requestedPrivileges>"
    "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"
    "</requestedPrivileges></security></trustInfo></assembly>";

// The fake stub's third section (.rsrc: RVA 0x3000, file offset 0x800, 0x200 bytes) made into a
// resource tree type -> name -> language -> data, with the manifest at 0x60 inside it.
struct ResourceImage {
    Bytes bytes;
    static constexpr size_t kSection = 0x800;
    static constexpr size_t kManifestAt = kSection + 0x60;

    explicit ResourceImage(bool pe32Plus = false, const std::string& manifest = kStubManifest,
                           uint32_t type = 24) {
        bytes = fakeStub(pe32Plus);
        size_t optional = 0x98;
        set32(bytes, optional + (pe32Plus ? 108 : 92), 16);           // data directories
        set32(bytes, optional + (pe32Plus ? 112 : 96) + 16, 0x3000);  // resources
        set32(bytes, optional + (pe32Plus ? 112 : 96) + 20, 0x200);
        std::fill(bytes.begin() + kSection, bytes.begin() + kSection + 0x200, 0);
        directory(0x00, type, 0x80000000u | 0x18);
        directory(0x18, 1, 0x80000000u | 0x30);
        directory(0x30, 0x409, 0x48);
        set32(bytes, kSection + 0x48, 0x3060);
        set32(bytes, kSection + 0x4C, static_cast<uint32_t>(manifest.size()));
        std::copy(manifest.begin(), manifest.end(), bytes.begin() + kManifestAt);
    }
    void directory(size_t at, uint32_t id, uint32_t target) {
        bytes[kSection + at + 14] = 1;  // one entry named by id
        set32(bytes, kSection + at + 16, id);
        set32(bytes, kSection + at + 20, target);
    }
    std::string manifest(size_t size = kStubManifest.size()) const {
        return std::string(bytes.begin() + kManifestAt, bytes.begin() + kManifestAt + size);
    }
};

std::string failure(Bytes bytes, ExecutionLevel level = ExecutionLevel::User) {
    try {
        setExecutionLevel(bytes, level);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(ExecutionLevel, RewritesTheLevelInPlaceInBothImageFormats) {
    struct Case {
        ExecutionLevel level;
        const char* element;
    } cases[] = {
        {ExecutionLevel::User,
         "<requestedExecutionLevel level=\"asInvoker\"            uiAccess=\"false\"/>"},
        {ExecutionLevel::Highest,
         "<requestedExecutionLevel level=\"highestAvailable\"     uiAccess=\"false\"/>"},
        {ExecutionLevel::Admin,
         "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"},
    };
    for (bool pe32Plus : {false, true}) {
        for (const Case& c : cases) {
            ResourceImage original(pe32Plus);
            ResourceImage image(pe32Plus);
            setExecutionLevel(image.bytes, c.level);
            std::string expected = kStubManifest;
            size_t at = expected.find("<requestedExecutionLevel");
            expected.replace(at, std::string(c.element).size(), c.element);
            EXPECT_EQ(image.manifest(), expected) << pe32Plus;
            // Nothing else changed, and nothing moved.
            ASSERT_EQ(image.bytes.size(), original.bytes.size());
            std::copy(expected.begin(), expected.end(),
                      original.bytes.begin() + ResourceImage::kManifestAt);
            EXPECT_EQ(image.bytes, original.bytes);
        }
    }
}

TEST(ExecutionLevel, ALevelWrittenOnceCanBeWrittenAgain) {
    ResourceImage image;
    setExecutionLevel(image.bytes, ExecutionLevel::User);
    setExecutionLevel(image.bytes, ExecutionLevel::Highest);
    setExecutionLevel(image.bytes, ExecutionLevel::Admin);
    EXPECT_EQ(image.bytes, ResourceImage().bytes);
}

TEST(ExecutionLevel, ImagesWithoutRoomOrManifestAreRefusedWithTheReason) {
    ResourceImage noDirectory;
    set32(noDirectory.bytes, 0x98 + 92, 2);
    EXPECT_EQ(failure(noDirectory.bytes), "stub: no resource directory");

    EXPECT_EQ(failure(ResourceImage(false, kStubManifest, 3).bytes),
              "stub: no application manifest (resource 24, 1)");

    EXPECT_EQ(failure(ResourceImage(false, "<assembly/>").bytes),
              "stub: the application manifest has no requestedExecutionLevel");
    EXPECT_EQ(failure(ResourceImage(false,
                                    "<requestedExecutionLevel uiAccess=\"false\"/>"
                                    "<x level=\"y\"/>")
                          .bytes),
              "stub: the manifest's requestedExecutionLevel has no level");

    // A level without blanks after it leaves room only for values as long as its own.
    std::string tight = "<requestedExecutionLevel level=\"asInvoker\"/>";
    EXPECT_EQ(failure(ResourceImage(false, tight).bytes, ExecutionLevel::Admin),
              "stub: no room in the manifest for level=\"requireAdministrator\"");
    ResourceImage same(false, tight);
    setExecutionLevel(same.bytes, ExecutionLevel::User);
    EXPECT_EQ(same.manifest(tight.size()), tight);

    ResourceImage outside;
    set32(outside.bytes, ResourceImage::kSection + 0x4C, 0x1000);  // beyond the section
    EXPECT_EQ(failure(outside.bytes), "stub: resource data outside the file's sections");

    Bytes cut = ResourceImage().bytes;
    cut.resize(ResourceImage::kManifestAt + 16);  // the manifest's bytes are not all there
    EXPECT_EQ(failure(cut), "stub: resource data outside the file's sections");
    cut.resize(0x100);  // the section table is not all there
    EXPECT_EQ(failure(cut), "stub: headers cut short");
}

}  // namespace
}  // namespace tessarin::build
