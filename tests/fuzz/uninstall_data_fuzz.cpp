// Fuzz target: the Uninstall.DAT reader on arbitrary bytes. What it reads must survive the
// writer: written, read and written again, the file is the same (the reader and the writer agree
// on every section, quoting and text boundary).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "services/uninstall_data.h"

using namespace tessarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (16u << 20)) return 0;
    UninstallData first;
    Vector<String> notes;
    readUninstallDataText(reinterpret_cast<const char*>(data), static_cast<int32_t>(size), first,
                          &notes);
    String written = uninstallDataText(first);
    UninstallData second;
    readUninstallDataText(written.c_str(), written.length(), second);
    String again = uninstallDataText(second);
    if (!(written == again)) __builtin_trap();
    return 0;
}
