// regview.exe - write or delete one registry value through the library's key object, in a
// chosen registry view, so that tests can look at the result from outside.
//
// Usage:
//   regview.exe write 64|32 PATH NAME TEXT   open or create PATH, write NAME as REG_SZ
//   regview.exe delete 64|32 PATH NAME       delete NAME from PATH (existing key only)
//   regview.exe show-error PATH              open the missing key PATH with the "Registry
//                                            Error" message box enabled
// PATH is a slashed registry path such as \HKLM\Software\X; 64 and 32 choose the view bit.
//
// Output: "ok" or "error <Windows error code>" on stdout. Exit codes: 0 ok, 1 the registry
// operation failed, 126 bad usage.

#include <windows.h>

#include <string>

#include "core/registry.h"

namespace {

using tessarin::RegistryKey;
using tessarin::String;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 126;

void out(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

const char16_t* text(const wchar_t* s) {
    return reinterpret_cast<const char16_t*>(s);
}

int finish(bool ok) {
    DWORD error = GetLastError();
    out(ok ? "ok\n" : "error " + std::to_string(error) + "\n");
    return ok ? 0 : kExitFailed;
}

bool viewBit(const std::wstring& view, uint32_t& bit) {
    if (view == L"64")
        bit = tessarin::kRegView64;
    else if (view == L"32")
        bit = tessarin::kRegView32;
    else
        return false;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace tessarin;
    const std::wstring action = argc > 1 ? argv[1] : L"";
    RegistryKey key;
    uint32_t view = 0;
    if (action == L"write" && argc == 6 && viewBit(argv[2], view)) {
        bool ok = key.openSlashed(text(argv[3]), 0, kRegAccessWriteValues | view) != 0 &&
                  key.writeText(text(argv[4]), String(text(argv[5])));
        return finish(ok);
    }
    if (action == L"delete" && argc == 5 && viewBit(argv[2], view)) {
        bool ok = key.openSlashed(text(argv[3]), kRegOpenExisting, kRegAccessDelete | view) != 0 &&
                  key.deleteValue(text(argv[4])) == kRegDeleted;
        return finish(ok);
    }
    if (action == L"show-error" && argc == 3) {
        return finish(
            key.openSlashed(text(argv[2]), kRegOpenExisting | kRegShowError, kRegAccessRead) != 0);
    }
    out("usage: regview.exe write 64|32 PATH NAME TEXT | delete 64|32 PATH NAME | "
        "show-error PATH\n");
    return kExitUsage;
}
