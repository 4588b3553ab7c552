#include "core/memory.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "core/fatal.h"

namespace tessarin {
namespace {

struct ReleaseHook {
    MemoryReleaseHook hook;
    void* context;
};

constexpr int kMaxTries = 100;
constexpr int kMaxReleaseRuns = 50000;

std::mutex& hookLock() {
    static std::mutex m;
    return m;
}
std::vector<ReleaseHook>& releaseHooks() {
    static std::vector<ReleaseHook> list;
    return list;
}
std::atomic<bool> g_lowMemory{false};
std::atomic<int> g_releaseRuns{0};
const char* g_advice = "Make sure the hard drive is not full.";
AllocatorFault g_fault = nullptr;
size_t g_pendingRequest = 0;

bool faultInjected(size_t size) {
    return g_fault && g_fault(size);
}

void* rawRealloc(void* block, size_t size) {
    if (faultInjected(size)) return nullptr;
    return std::realloc(block, size ? size : 1);
}

void newHandler() {
    if (!handleOutOfMemory(g_pendingRequest)) throw std::bad_alloc();
}

// Reads words upwards from this frame for the report. The first two words are markers that
// make the start of the dump recognisable.
#if defined(__clang__) || defined(__GNUC__)
__attribute__((no_sanitize_address, noinline))
#endif
void readStackWords(uint32_t* out, int count) {
    volatile uint32_t frame[2] = {0x11223344u, 0x55667788u};
    const volatile uint32_t* p = frame;
    for (int i = 0; i < count; ++i) out[i] = p[i];
}

}  // namespace

void* reallocateBlock(void* block, size_t size) {
    for (int tries = 0; tries < kMaxTries; ++tries) {
        if (void* p = rawRealloc(block, size)) return p;
        if (!handleOutOfMemory(size)) break;
    }
    throw std::bad_alloc();
}

void* allocateBlock(size_t size) {
    return reallocateBlock(nullptr, size);
}

void* tryReallocateBlock(void* block, size_t size) {
    for (int tries = 0; tries < kMaxTries; ++tries) {
        if (void* p = rawRealloc(block, size)) return p;
        if (!runMemoryReleaseHooks()) break;
    }
    return nullptr;
}

void freeBlock(void* block) {
    std::free(block);
}

void addMemoryReleaseHook(MemoryReleaseHook hook, void* context) {
    std::lock_guard<std::mutex> lock(hookLock());
    releaseHooks().push_back({hook, context});
}

void removeMemoryReleaseHook(MemoryReleaseHook hook, void* context) {
    std::lock_guard<std::mutex> lock(hookLock());
    auto& list = releaseHooks();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->hook == hook && it->context == context) {
            list.erase(it);
            return;
        }
    }
}

bool runMemoryReleaseHooks() {
    g_lowMemory = true;
    if (++g_releaseRuns > kMaxReleaseRuns) return false;
    std::lock_guard<std::mutex> lock(hookLock());
    bool freed = false;
    try {
        for (const ReleaseHook& h : releaseHooks()) freed = h.hook(h.context) || freed;
    } catch (...) {
    }
    return freed;
}

bool lowMemoryOccurred() {
    return g_lowMemory;
}

void setOutOfMemoryAdvice(const char* advice) {
    g_advice = advice;
}

void buildOutOfMemoryReport(char* out, size_t outSize, size_t requested, const uint32_t* words,
                            int wordCount) {
    int n = std::snprintf(
        out, outSize, "%s.\r\nAdvice: %s\r\nRequested size = %zu (0x%08zX)\r\n\r\nStack contents:",
        "Out Of Memory", g_advice, requested, requested);
    size_t used = n > 0 ? static_cast<size_t>(n) : 0;
    for (int i = 0; i < wordCount && used + 10 < outSize; ++i) {
        n = std::snprintf(out + used, outSize - used, "%c%08X", i % 8 == 0 ? '\r' : ' ',
                          static_cast<unsigned>(words[i]));
        if (n > 0) used += static_cast<size_t>(n);
    }
}

bool handleOutOfMemory(size_t requested) {
    if (runMemoryReleaseHooks()) return true;
    uint32_t words[80];
    readStackWords(words, 80);
    static char report[2048];
    buildOutOfMemoryReport(report, sizeof report, requested, words, 80);
    fatalError(report);
}

void installOutOfMemoryHandler() {
    std::set_new_handler(newHandler);
}

void setAllocatorFault(AllocatorFault fault) {
    g_fault = fault;
}

}  // namespace tessarin
