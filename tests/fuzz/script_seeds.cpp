// Writes the script fuzzer's seed corpus with the build tool's script writer: a script with
// every field, a minimal one, and variants that reach the optional parts and the list limits.
//
// usage: script_seeds OUT_DIR
#include <cstdio>
#include <string>

#include "tests/native/script_sample.h"
#include "tools/build/script_writer.h"

using namespace tessarin;

namespace {

bool save(const std::string& dir, const char* name, const String& bytes) {
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.c_str(), 1, static_cast<size_t>(bytes.length()), f) ==
              static_cast<size_t>(bytes.length());
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: script_seeds OUT_DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    InstallScript rich = testing::richScript();
    InstallScript bare = rich;
    bare.ProductFlags = 0;
    bare.CopyrightPos = 0;
    bare.BackgroundBitmap.clear();
    InstallScript longTexts = testing::minimalScript();
    longTexts.TaskbarText = String(std::string(300, 'a').c_str());     // three-byte length
    longTexts.DisplayTitle = String(std::string(70000, 'b').c_str());  // six-byte length
    InstallScript fullLists = testing::minimalScript();
    for (int i = 0; i < 1000; ++i) fullLists.ProgramsToClose.append(rich.ProgramsToClose[0]);
    for (int i = 0; i < 20; ++i) fullLists.LicenseTexts.append(rich.LicenseTexts[0]);
    bool ok = save(dir, "rich", build::writeInstallScript(rich)) &&
              save(dir, "bare", build::writeInstallScript(bare)) &&
              save(dir, "minimal", build::writeInstallScript(testing::minimalScript())) &&
              save(dir, "long_texts", build::writeInstallScript(longTexts)) &&
              save(dir, "full_lists", build::writeInstallScript(fullLists));
    if (!ok) std::perror(dir.c_str());
    return ok ? 0 : 1;
}
