#include <windows.h>

#include <csetjmp>

#include "core/crash_guard.h"

namespace tessarin {
namespace {

#if defined(__i386__)

// 32-bit Windows finds exception handlers through a chain of records on the stack. A record of
// our own goes in front of the chain for the call; its handler returns to the point saved
// before the call. The runtime's longjmp unwinds the frames in between (their own handlers see
// the unwind) and restores the chain.
struct GuardRecord {
    EXCEPTION_REGISTRATION_RECORD record;
    jmp_buf resume;
};

EXCEPTION_DISPOSITION __cdecl onException(EXCEPTION_RECORD* exception, void* frame, CONTEXT*,
                                          void*) {
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    longjmp(static_cast<GuardRecord*>(frame)->resume, 1);
}

// The thread's information block, whose first field heads the chain.
NT_TIB* threadBlock() {
    NT_TIB* tib;
    __asm__("movl %%fs:0x18, %0" : "=r"(tib));
    return tib;
}

bool callWithHandler(void (*body)(void*), void* context) {
    GuardRecord guard;
    NT_TIB* tib = threadBlock();
    guard.record.Next = tib->ExceptionList;
    guard.record.Handler = reinterpret_cast<PEXCEPTION_ROUTINE>(onException);
    tib->ExceptionList = &guard.record;
    // A C++ exception is caught here too, so that the record never outlives this frame.
    volatile bool completed = false;
    if (setjmp(guard.resume) == 0) {
        try {
            body(context);
            completed = true;
        } catch (...) {
        }
    }
    threadBlock()->ExceptionList = guard.record.Next;
    return completed;
}

#elif defined(__x86_64__)

// 64-bit Windows finds handlers in tables made at build time. The function below names the
// runtime's scope handler with one scope around the call: the filter accepts every processor
// exception, and execution goes on at the end of the scope. C++ exceptions of this runtime are
// left to the C++ handler of the caller.
constexpr DWORD kCppThrow = 0x20474343;   // STATUS_GCC_THROW
constexpr DWORD kCppUnwind = 0x21474343;  // STATUS_GCC_UNWIND
thread_local bool t_faulted = false;

extern "C" LONG tessarinGuardFilter(EXCEPTION_POINTERS* pointers, void*) {
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (code == kCppThrow || code == kCppUnwind) return EXCEPTION_CONTINUE_SEARCH;
    t_faulted = true;
    return EXCEPTION_EXECUTE_HANDLER;
}

// The scope's labels exist once per program: the function must not be inlined or copied.
__attribute__((noinline, noclone)) void callInScope(void (*body)(void*), void* context) {
    __asm__ __volatile__(
        "\t.l_tessarin_guard_start:\n"
        "\t.seh_handler __C_specific_handler, @except\n"
        "\t.seh_handlerdata\n"
        "\t.long 1\n"
        "\t.rva .l_tessarin_guard_start, .l_tessarin_guard_end, tessarinGuardFilter, "
        ".l_tessarin_guard_end\n"
        "\t.text\n" ::
            : "memory");
    body(context);
    __asm__ __volatile__("\tnop\n\t.l_tessarin_guard_end: nop\n" ::: "memory");
}

bool callWithHandler(void (*body)(void*), void* context) {
    t_faulted = false;
    callInScope(body, context);
    return !t_faulted;
}

#else
#error "no exception guard for this processor"
#endif

}  // namespace

bool runGuarded(void (*body)(void* context), void* context) {
    try {
        return callWithHandler(body, context);
    } catch (...) {
        return false;
    }
}

}  // namespace tessarin
