// Seeds of the container target: the ".setup" section of each installer.
#include "tests/fuzz/seed_files.h"

using namespace tessarin::fuzz;

namespace {

bool write(const std::string& out, const std::vector<Installer>& installers) {
    bool ok = true;
    for (const Installer& in : installers) ok = save(out, in.name, in.section) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return seedMain(argc, argv, write);
}
