// The version text of a file's version resource.
#include <windows.h>

#include <vector>

#include "core/convert.h"
#include "core/file_system.h"
#include "core/file_system_win.h"
#include "core/format.h"
#include "core/version.h"

namespace tessarin {
namespace {

// The value of a version-resource query, or null.
const void* queryValue(const std::vector<uint8_t>& block, const char16_t* subBlock, UINT& length) {
    void* value = nullptr;
    length = 0;
    if (!VerQueryValueW(block.data(), reinterpret_cast<LPCWSTR>(subBlock), &value, &length))
        return nullptr;
    return value;
}

}  // namespace

String fileVersionText(const String& path, bool comparable) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(win(path), &ignored);
    if (size == 0) return String();
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(win(path), 0, size, block.data())) return String();
    UINT length = 0;
    const void* translation = queryValue(block, u"\\VarFileInfo\\Translation", length);
    if (translation == nullptr || length < 2 * sizeof(WORD)) return String();
    const WORD* pair = static_cast<const WORD*>(translation);
    String subBlock = formatWide(u"\\StringFileInfo\\%04X%04X\\FileVersion", unsigned{pair[0]},
                                 unsigned{pair[1]});
    const void* text = queryValue(block, subBlock.w_str(), length);
    if (text == nullptr || length == 0) return String();
    String narrow;
    toNarrow(static_cast<const char16_t*>(text), kWholeLength, narrow, kCodePageSystem, "?");
    String clean = cleanVersionText(narrow.c_str());
    return comparable ? comparableVersionText(clean.c_str()) : clean;
}

}  // namespace tessarin
