#include "engine/read_guard.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

// The guarded reads in progress, one slot per thread that runs one. The exception
// handler runs for every exception of every thread: it finds the slot by the thread's
// id, without thread-local storage, which this toolchain emulates with allocations
// that the first use on a thread makes.
struct Guard {
    std::atomic<DWORD> thread{0};  // the thread whose read this is; 0 when free
    uintptr_t begin = 0, end = 0;
    uintptr_t failedAt = 0;
    void* jump[5] = {};  // __builtin_setjmp's buffer
};

// More threads than the program ever reads on at once (the dialog's, the searchers of
// a walk and their view helpers).
constexpr int kMostGuardedThreads = 64;
Guard g_guards[kMostGuardedThreads];
std::atomic<int> g_active{0};

Guard* GuardOf(DWORD thread)
{
    for (Guard& g : g_guards) {
        if (g.thread.load(std::memory_order_acquire) == thread)
            return &g;
    }
    return nullptr;
}

Guard* ClaimGuard(DWORD thread)
{
    for (;;) {
        for (Guard& g : g_guards) {
            DWORD free = 0;
            if (g.thread.compare_exchange_strong(free, thread, std::memory_order_acq_rel))
                return &g;
        }
        ::Sleep(1);  // every slot taken: one frees as soon as its read ends
    }
}

// Where a guarded read resumes after an in-page error: back in ReadGuarded, which
// reports the failure. Entered from the exception handler, not called.
[[noreturn]] __attribute__((noinline)) void Escape()
{
    __builtin_longjmp(GuardOf(::GetCurrentThreadId())->jump, 1);
}

// An in-page error in the guarded range of this thread resumes in Escape. The code and
// whether any read is guarded at all are looked at first, so that other exceptions
// cost nothing here.
LONG CALLBACK OnException(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record->NumberParameters < 2 ||
        g_active.load(std::memory_order_acquire) == 0)
        return EXCEPTION_CONTINUE_SEARCH;
    const uintptr_t at = record->ExceptionInformation[1];
    Guard* guard = GuardOf(::GetCurrentThreadId());
    if (!guard || at < guard->begin || at >= guard->end)
        return EXCEPTION_CONTINUE_SEARCH;
    guard->failedAt = at;
    CONTEXT* context = info->ContextRecord;
    // As if Escape had been called from the faulting instruction, with the stack aligned
    // as a call leaves it.
#ifdef _WIN64
    context->Rsp = (context->Rsp & ~uintptr_t{15}) - 8;
    context->Rip = reinterpret_cast<uintptr_t>(&Escape);
#else
    context->Esp = (context->Esp & ~uintptr_t{15}) - 4;
    context->Eip = reinterpret_cast<uintptr_t>(&Escape);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

__attribute__((noinline)) bool ReadGuarded(const void* begin, size_t size, void (*read)(void* arg), void* arg,
                                           const void** failedAt)
{
    // The handler is there for this read only, and last in line: what runs before it
    // keeps its place. Without it a read error would end the process: nothing is read.
    struct Handler {
        void* h = ::AddVectoredExceptionHandler(0, OnException);
        ~Handler()
        {
            if (h)
                ::RemoveVectoredExceptionHandler(h);
        }
    } handler;
    if (!handler.h) {
        if (failedAt)
            *failedAt = begin;
        return false;
    }

    // Volatile: read again after the jump back, which leaves registers as they were at the fault.
    Guard* volatile const guard = ClaimGuard(::GetCurrentThreadId());
    guard->begin = reinterpret_cast<uintptr_t>(begin);
    guard->end = guard->begin + size;
    g_active.fetch_add(1, std::memory_order_acq_rel);
    const bool ok = __builtin_setjmp(guard->jump) == 0;
    if (ok)
        read(arg);
    g_active.fetch_sub(1, std::memory_order_acq_rel);
    if (!ok && failedAt)
        *failedAt = reinterpret_cast<const void*>(guard->failedAt);
    guard->thread.store(0, std::memory_order_release);
    return ok;
}
