// Seeds of the script target: the unpacked script of each installer, and scripts written by
// the build tool's script writer: one with every field, a minimal one, and variants that reach
// the optional parts and the list limits.
#include <cstdio>
#include <string>

#include "tests/fuzz/seed_files.h"
#include "tests/native/script_sample.h"
#include "tools/build/script_writer.h"

using namespace tessarin;

namespace {

using fuzz::Installer;
using fuzz::save;

bool write(const std::string& dir, const std::vector<Installer>& installers) {
    bool ok = true;
    for (const Installer& in : installers) ok = save(dir, in.name, in.script) && ok;
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
    ok = ok && save(dir, "rich", build::writeInstallScript(rich)) &&
         save(dir, "bare", build::writeInstallScript(bare)) &&
         save(dir, "minimal", build::writeInstallScript(testing::minimalScript())) &&
         save(dir, "long_texts", build::writeInstallScript(longTexts)) &&
         save(dir, "full_lists", build::writeInstallScript(fullLists));
    if (!ok) std::perror(dir.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return fuzz::seedMain(argc, argv, write);
}
