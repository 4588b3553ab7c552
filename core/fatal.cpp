#include "core/fatal.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "core/convert.h"

namespace tessarin {
namespace {

struct HookEntry {
    FatalErrorHook hook;
    void* context;
};

FatalHandler g_handler = nullptr;
FatalHandlerWide g_wideHandler = nullptr;
std::atomic<bool> g_reporting{false};

std::mutex& hookLock() {
    static std::mutex m;
    return m;
}

std::vector<HookEntry>& hooks() {
    static std::vector<HookEntry> list;
    return list;
}

// Each hook is taken off the list before it runs, so a hook that fails cannot be run twice.
void runHooks(const char* text) {
    for (int called = 0; called < 100; ++called) {
        HookEntry entry;
        {
            std::lock_guard<std::mutex> lock(hookLock());
            if (hooks().empty()) return;
            entry = hooks().back();
            hooks().pop_back();
        }
        try {
            entry.hook(text, entry.context);
        } catch (...) {
        }
    }
}

}  // namespace

void setFatalErrorHandler(FatalHandler handler, FatalHandlerWide wideHandler) {
    g_handler = handler;
    g_wideHandler = wideHandler;
}

void addFatalErrorHook(FatalErrorHook hook, void* context) {
    std::lock_guard<std::mutex> lock(hookLock());
    hooks().push_back({hook, context});
}

void fatalError(const char* text) {
    if (g_reporting.exchange(true)) std::_Exit(1);
    runHooks(text ? text : "");
    if (g_handler) g_handler(text ? text : "");
    std::_Exit(1);
}

// The 8-bit form is made only here, off the out-of-memory path, which reports 8-bit text.
void fatalErrorWide(const char16_t* text) {
    if (g_reporting.exchange(true)) std::_Exit(1);
    const char16_t* wide = text ? text : u"";
    String narrow;
    toNarrow(wide, kWholeLength, narrow, 1252, "?");
    runHooks(narrow.c_str());
    if (g_wideHandler)
        g_wideHandler(wide);
    else if (g_handler)
        g_handler(narrow.c_str());
    std::_Exit(1);
}

void internalFatalError(const char* module, int line) {
    char text[512];
    std::snprintf(text, sizeof text, "Internal Fatal Error\r\nModule: %s\r\nLine: %d", module,
                  line);
    fatalError(text);
}

void resetFatalErrorState() {
    g_reporting = false;
}

}  // namespace tessarin
