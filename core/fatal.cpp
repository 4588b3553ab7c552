#include "core/fatal.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace tessarin {
namespace {

struct HookEntry {
    FatalErrorHook hook;
    void* context;
};

FatalHandler g_handler = nullptr;
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

void setFatalErrorHandler(FatalHandler handler) {
    g_handler = handler;
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
