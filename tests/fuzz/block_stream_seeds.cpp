// Seeds of the block-stream target: each installer's data area as stored, with its block mode,
// key and stored file sizes in front; also once in silent mode and once with its checks kept.
#include <cstdint>

#include "tests/fuzz/seed_files.h"

using namespace tessarin;
using namespace tessarin::fuzz;

namespace {

Bytes blockInput(const Installer& in, uint8_t extra) {
    Bytes b;
    uint8_t options = extra | (in.compressed ? kInputCompressed : 0) |
                      ((in.header.ProductFlags2 & kFlags2Enciphered) ? kInputEnciphered : 0);
    b.push_back(options);
    b.insert(b.end(), in.header.CipherKey, in.header.CipherKey + 8);
    std::vector<int32_t> sizes(
        in.header.FileSizes.begin(),
        in.header.FileSizes.begin() + std::min<std::ptrdiff_t>(255, in.header.FileCount));
    putSizes(b, sizes);
    const uint8_t* area = in.section.data() + in.header.dataOffset;
    b.insert(b.end(), area, area + in.header.DataSize);
    return b;
}

bool write(const std::string& out, const std::vector<Installer>& installers) {
    bool ok = true;
    for (const Installer& in : installers) {
        ok = save(out, in.name, blockInput(in, 0)) && ok;
        ok = save(out, in.name + "_silent", blockInput(in, kInputSilent)) && ok;
        ok = save(out, in.name + "_raw_checks", blockInput(in, kInputKeepChecks)) && ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return seedMain(argc, argv, write);
}
