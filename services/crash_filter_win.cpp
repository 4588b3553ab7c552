#include <windows.h>

#include <atomic>

#include "services/crash_filter.h"

namespace tessarin {
namespace {

std::atomic<bool> g_filterActive{false};

LONG WINAPI crashFilter(EXCEPTION_POINTERS* info) {
    if (!info || !info->ExceptionRecord) return EXCEPTION_CONTINUE_SEARCH;
    if (crashFilterIgnores(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    if (g_filterActive.exchange(true)) return EXCEPTION_CONTINUE_SEARCH;
    // The crash report (record, callback, dialog) is called from here once it exists.
    g_filterActive = false;
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void installCrashFilter() {
    SetUnhandledExceptionFilter(crashFilter);
}

}  // namespace tessarin
