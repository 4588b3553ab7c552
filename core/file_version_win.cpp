// The version text of a file's version resource.
#include <windows.h>

#include <vector>

#include "core/convert.h"
#include "core/file_system.h"
#include "core/file_system_win.h"
#include "core/format.h"
#include "core/system_function_win.h"
#include "core/version.h"

namespace tessarin {
namespace {

// version.dll is not among the libraries the system always takes from its own folder: imported
// statically, a copy beside the installer would be loaded before the first line of it runs.
// Its functions are therefore looked up at run time, from the system folder.
using GetFileVersionInfoSizeFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetFileVersionInfoFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VerQueryValueFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

struct VersionFunctions {
    GetFileVersionInfoSizeFunction infoSize =
        systemFunction<GetFileVersionInfoSizeFunction>(L"version.dll", "GetFileVersionInfoSizeW");
    GetFileVersionInfoFunction info =
        systemFunction<GetFileVersionInfoFunction>(L"version.dll", "GetFileVersionInfoW");
    VerQueryValueFunction query =
        systemFunction<VerQueryValueFunction>(L"version.dll", "VerQueryValueW");
};

const VersionFunctions& versionFunctions() {
    static const VersionFunctions functions;
    return functions;
}

// The value of a version-resource query, or null.
const void* queryValue(const std::vector<uint8_t>& block, const char16_t* subBlock, UINT& length) {
    void* value = nullptr;
    length = 0;
    if (!versionFunctions().query(block.data(), reinterpret_cast<LPCWSTR>(subBlock), &value,
                                  &length))
        return nullptr;
    return value;
}

// A string value is taken at the length the resource gives it, cut at its first terminator and
// at the end of the block: a malformed resource in a product file must not make us read on.
String valueText(const std::vector<uint8_t>& block, const void* value, UINT chars) {
    const uint8_t* start = static_cast<const uint8_t*>(value);
    const uint8_t* end = block.data() + block.size();
    if (start < block.data() || start >= end) return String();
    size_t room = static_cast<size_t>(end - start) / sizeof(char16_t);
    size_t n = chars < room ? chars : room;
    const char16_t* text = static_cast<const char16_t*>(value);
    size_t length = 0;
    while (length < n && text[length] != 0) ++length;
    String narrow;
    toNarrow(text, static_cast<int32_t>(length), narrow, kCodePageSystem, "?");
    return narrow;
}

}  // namespace

String fileVersionText(const String& path, bool comparable) {
    const VersionFunctions& version = versionFunctions();
    if (version.infoSize == nullptr || version.info == nullptr || version.query == nullptr)
        return String();
    DWORD ignored = 0;
    DWORD size = version.infoSize(win(path), &ignored);
    if (size == 0) return String();
    std::vector<uint8_t> block(size);
    if (!version.info(win(path), 0, size, block.data())) return String();
    UINT length = 0;
    const void* translation = queryValue(block, u"\\VarFileInfo\\Translation", length);
    if (translation == nullptr || length < 2 * sizeof(WORD) ||
        static_cast<const uint8_t*>(translation) + 2 * sizeof(WORD) > block.data() + block.size())
        return String();
    const WORD* pair = static_cast<const WORD*>(translation);
    String subBlock = formatWide(u"\\StringFileInfo\\%04X%04X\\FileVersion", unsigned{pair[0]},
                                 unsigned{pair[1]});
    const void* text = queryValue(block, subBlock.w_str(), length);
    if (text == nullptr || length == 0) return String();
    String clean = cleanVersionText(valueText(block, text, length).c_str());
    return comparable ? comparableVersionText(clean.c_str()) : clean;
}

}  // namespace tessarin
