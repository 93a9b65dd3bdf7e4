#include "engine/read_guard.h"

#include <windows.h>

#include <cstdint>
#include <mutex>

namespace {

struct Guard {
    uintptr_t begin, end;
    void* jump[5];  // __builtin_setjmp's buffer
};

thread_local Guard* t_guard = nullptr;

// Where a guarded read resumes after an in-page error: back in ReadGuarded, which
// reports the failure. Entered from the exception handler, not called.
[[noreturn]] __attribute__((noinline)) void Escape()
{
    __builtin_longjmp(t_guard->jump, 1);
}

// An in-page error in the guarded range of this thread resumes in Escape.
LONG CALLBACK OnException(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    const Guard* guard = t_guard;
    if (!guard || record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const uintptr_t at = record->ExceptionInformation[1];
    if (at < guard->begin || at >= guard->end)
        return EXCEPTION_CONTINUE_SEARCH;
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

__attribute__((noinline)) bool ReadGuarded(const void* begin, size_t size, void (*read)(void* arg), void* arg)
{
    static std::once_flag installed;
    std::call_once(installed, [] { ::AddVectoredExceptionHandler(1, OnException); });

    Guard guard;
    guard.begin = reinterpret_cast<uintptr_t>(begin);
    guard.end = guard.begin + size;
    Guard* volatile const outer = t_guard;  // read again after the jump back
    if (__builtin_setjmp(guard.jump) != 0) {
        t_guard = outer;
        return false;
    }
    t_guard = &guard;
    read(arg);
    t_guard = outer;
    return true;
}
