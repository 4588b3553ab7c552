// Describing built installers (tessarin-build --dump): lengths taken from a damaged or cut
// installer are held against the file instead of being followed, and the description is UTF-8
// JSON whatever code page the payload's texts are stored in.
#include "tools/build/payload_dump.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/payload_format.h"
#include "package/payload_reader.h"
#include "package/payload_section.h"
#include "pe_sample.h"
#include "script_sample.h"
#include "tools/build/payload_writer.h"
#include "tools/build/script_writer.h"

namespace tessarin {
namespace {

using testing::Bytes;
using testing::set32;

build::FileEntry file(const char* name, int32_t kind, int32_t options, const std::string& data) {
    build::FileEntry f;
    f.name = String(name);
    f.kind = kind;
    f.options = options;
    f.data = String(data.data(), static_cast<int32_t>(data.size()));
    return f;
}

// An installer whose script the installer's reader takes (so the dump follows the layout it
// declares: data in the image, stored blocks) with a data area of a few blocks.
Bytes sampleInstaller() {
    build::PayloadSpec spec;
    spec.script = build::writeInstallScript(testing::minimalScript());
    spec.compressBlocks = false;
    spec.blockSize = 64;
    for (int i = 0; i < 6; ++i)
        spec.files.push_back(file("f.bin", 0, 0, std::string(200, char('a' + i))));
    return build::buildInstaller(testing::fakeStub(), spec);
}

std::string dumpError(const Bytes& installer) {
    try {
        build::dumpInstaller(installer);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

TEST(PayloadDump, LengthsFromTheInstallerAreHeldAgainstTheFile) {
    const Bytes good = sampleInstaller();
    ASSERT_NE(build::dumpInstaller(good).find("\"fileCount\":6"), std::string::npos);
    const size_t section = locateSetupSection(good.data(), good.size()).rawOffset;
    PayloadHeader h;
    String script;
    ASSERT_TRUE(openPayload(&good[section], good.size() - section, h, script).ok());
    const size_t dataEnd = section + size_t(h.DataEnd);

    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        const char* error;
    };
    const Case cases[] = {
        {"cut inside the data area", [&](Bytes& b) { b.resize(dataEnd - 300); },
         "truncated installer: the data area ends at byte"},
        {"cut right after the script", [&](Bytes& b) { b.resize(section + h.dataOffset); },
         "truncated installer"},
        {"DataSize beyond the file",
         [&](Bytes& b) { set32(b, section + 35, uint32_t(h.DataSize) + 0x100000); },
         "error code 46"},
        {"DataEnd before the data area",
         [&](Bytes& b) { set32(b, section + 27, uint32_t(h.dataOffset) - 1); }, "error code 46"},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        c.damage(b);
        b.shrink_to_fit();  // nothing past the cut may be readable
        EXPECT_NE(dumpError(b).find(c.error), std::string::npos) << c.what << ": " << dumpError(b);
    }
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (more < 0 || i + more >= s.size()) return false;
        for (int k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        i += more + 1;
    }
    return true;
}

TEST(PayloadDump, DescriptionIsUtf8Json) {
    InstallScript script = testing::minimalScript();
    script.Version8 = String("1.0 \xe9");  // 8-bit (1252): "1.0 é"
    script.UninstallerName = String("d\xe9sinstaller.exe");
    build::PayloadSpec spec;
    spec.script = build::writeInstallScript(script);
    spec.compressBlocks = false;
    build::FileEntry shortcut = file(
        "|\xc3\x9c"
        "bung.txt",
        0, 0x2, "x");  // "Übung.txt"
    shortcut.label = String(
        "\xc3\x9c"
        "bung");                                   // UTF-8
    shortcut.arguments = String("/caf\xe9");       // 1252
    shortcut.auxiliary = String("|C:\\\xc3\x9c");  // narrow path form
    build::FileEntry font = file("font.ttf", 4, 0, "y");
    font.label = String("Caf\xe9 Sans");  // 8-bit
    spec.files = {shortcut, font};
    std::string json = build::dumpInstaller(build::buildInstaller(testing::fakeStub(), spec));

    EXPECT_TRUE(validUtf8(json)) << json;
    for (const char* expected :
         {"\"name\":\"\xc3\x9c"
          "bung.txt\"",
          "\"label\":\"\xc3\x9c"
          "bung\"",
          "\"arguments\":\"/caf\xc3\xa9\"", "\"auxiliary\":\"C:\\\\\xc3\x9c\"",
          "\"label\":\"Caf\xc3\xa9 Sans\"", "\"version\":\"1.0 \xc3\xa9\"",
          "\"uninstallerName\":\"d\xc3\xa9sinstaller.exe\""}) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected;
    }
}

}  // namespace
}  // namespace tessarin
