// Heap blocks for the library's containers, with the out-of-memory policy: memory-release hooks
// are asked to free memory between retries, and the normal path ends in the out-of-memory
// report when nothing can be freed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessarin {

// Normal path: up to 100 tries; never returns null (reports or throws std::bad_alloc).
void* allocateBlock(size_t size);
void* reallocateBlock(void* block, size_t size);
// Soft path: null on failure, the old block stays valid.
void* tryReallocateBlock(void* block, size_t size);
void freeBlock(void* block);

// A hook returns true when it freed memory.
using MemoryReleaseHook = bool (*)(void* context);
void addMemoryReleaseHook(MemoryReleaseHook hook, void* context);
void removeMemoryReleaseHook(MemoryReleaseHook hook, void* context);
// Asks every hook to free memory; true when any did. Sets the low-memory flag.
bool runMemoryReleaseHooks();
bool lowMemoryOccurred();

// Advice line of the out-of-memory report ("Make sure the hard drive is not full." by default).
void setOutOfMemoryAdvice(const char* advice);
// "%s.\r\nAdvice: %s\r\nRequested size = %zu (0x%08zX)\r\n\r\nStack contents:" followed by the
// words, eight to a line. Kept apart from the stack reading so that it can be tested.
void buildOutOfMemoryReport(char* out, size_t outSize, size_t requested, const uint32_t* words,
                            int wordCount);
// Runs the hooks; returns true to retry, otherwise raises the out-of-memory report.
bool handleOutOfMemory(size_t requested);
// Installs handleOutOfMemory as the C++ new-handler.
void installOutOfMemoryHandler();

// Tests only: replaces malloc/realloc to simulate exhaustion.
using AllocatorFault = bool (*)(size_t size);
void setAllocatorFault(AllocatorFault fault);

}  // namespace tessarin
