// Seeds of the record target: each installer's decoded record stream with its stored file
// sizes, framed into small, middling and large blocks.
#include <cstdint>

#include "tests/fuzz/seed_files.h"

using namespace tessarin;
using namespace tessarin::fuzz;

namespace {

Bytes recordInput(const Installer& in, uint8_t options, uint8_t blockSizeByte) {
    Bytes b{options, blockSizeByte};
    std::vector<int32_t> sizes(
        in.header.FileSizes.begin(),
        in.header.FileSizes.begin() + std::min<std::ptrdiff_t>(255, in.header.FileCount));
    putSizes(b, sizes);
    Bytes flat = flatRecords(in);
    b.insert(b.end(), flat.begin(), flat.end());
    return b;
}

bool write(const std::string& out, const std::vector<Installer>& installers) {
    bool ok = true;
    for (const Installer& in : installers) {
        ok = save(out, in.name + "_small", recordInput(in, 0, 0)) && ok;
        ok = save(out, in.name + "_middle", recordInput(in, kInputSilent, 24)) && ok;
        ok = save(out, in.name + "_large", recordInput(in, 0, 255)) && ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return seedMain(argc, argv, write);
}
