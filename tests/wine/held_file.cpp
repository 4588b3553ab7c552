#include "held_file.h"

#include <vector>

#include "core/string.h"

namespace tessarin::testing {
namespace {

constexpr char16_t kHoldArgument[] = u"--hold-file=";

const wchar_t* w(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

[[maybe_unused]] const bool kHolderRole = [] {
    std::u16string line(reinterpret_cast<const char16_t*>(GetCommandLineW()));
    size_t at = line.find(kHoldArgument);
    if (at == std::u16string::npos) return false;
    std::u16string path = line.substr(at + wideTextLength(kHoldArgument));
    while (!path.empty() && (path.back() == u'"' || path.back() == u' ')) path.pop_back();
    if (!path.empty() && path.front() == u'"') path.erase(0, 1);
    HANDLE held = CreateFileW(w(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) ExitProcess(2);
    CloseHandle(CreateFileW(w(path + u".held"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    Sleep(60000);
    ExitProcess(0);
}();

}  // namespace

HeldFile::HeldFile(const std::u16string& path) {
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::u16string command = u"\"" + std::u16string(reinterpret_cast<char16_t*>(module)) + u"\" " +
                             kHoldArgument + u"\"" + path + u"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
        return;
    }
    std::u16string marker = path + u".held";
    for (int waited = 0; waited < 30000; waited += 50) {
        if (GetFileAttributesW(w(marker)) != INVALID_FILE_ATTRIBUTES) {
            ready_ = true;
            return;
        }
        if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) return;
    }
}

void HeldFile::release() {
    if (process_.hProcess == nullptr) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
}

}  // namespace tessarin::testing
