#include "tests/wine/support/fault_injection.h"

#include "framework/sync.h"
#include "tests/wine/support/import_table.h"
#include "tests/wine/support/message_boxes.h"

#include <objbase.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <vector>


namespace {

std::atomic<Fault> g_armed{Fault::None};
std::atomic<Fault> g_then{Fault::None};
std::atomic<bool> g_fired{false};
std::atomic<int> g_calls{0};
std::atomic<int> g_failAt{0};
// How deep the calling thread is in work of the test's own. In a slot of the system's:
// the toolchain's thread_local gives every thread that touches it a record of the
// threads library, whose event outlives the thread.
const DWORD g_unwatchedSlot = ::TlsAlloc();

int Unwatched()
{
    // TlsGetValue clears the last error, which the program may be about to read.
    const DWORD error = ::GetLastError();
    const void* depth = ::TlsGetValue(g_unwatchedSlot);
    ::SetLastError(error);
    return static_cast<int>(reinterpret_cast<intptr_t>(depth));
}

void AddUnwatched(int by)
{
    ::TlsSetValue(g_unwatchedSlot, reinterpret_cast<void*>(static_cast<intptr_t>(Unwatched() + by)));
}

// The seam's own bookkeeping allocates: never counted.
struct OwnWork {
    OwnWork() { AddUnwatched(1); }
    ~OwnWork() { AddUnwatched(-1); }
};

// True when this call of fault's function is the one to fail.
bool Fails(Fault fault)
{
    if (Unwatched())
        return false;
    if (g_fired.load() && g_then.load() == fault)
        return true;
    if (g_armed.load() != fault || ++g_calls != g_failAt.load())
        return false;
    g_fired = true;
    return true;
}

// The system's functions, as the import table held them before.
struct Real {
    decltype(&::CreateFileA) CreateFileA;
    decltype(&::GetFileSizeEx) GetFileSizeEx;
    decltype(&::ReadFile) ReadFile;
    decltype(&::CreateFileMappingA) CreateFileMappingA;
    decltype(&::MapViewOfFile) MapViewOfFile;
    decltype(&::MapViewOfFileEx) MapViewOfFileEx;
    decltype(&::UnmapViewOfFile) UnmapViewOfFile;
    decltype(&::WriteFile) WriteFile;
    decltype(&::SetFilePointerEx) SetFilePointerEx;
    decltype(&::SetEndOfFile) SetEndOfFile;
    decltype(&::LockFileEx) LockFileEx;
    decltype(&::FindFirstFileW) FindFirstFileW;
    decltype(&::FindNextFileW) FindNextFileW;
    decltype(&::GetFileInformationByHandle) GetFileInformationByHandle;
    decltype(&::CloseHandle) CloseHandle;
    decltype(&::CreateThread) CreateThread;
    decltype(&::FlushFileBuffers) FlushFileBuffers;
    decltype(&::UnlockFileEx) UnlockFileEx;
    decltype(&::FindClose) FindClose;
    decltype(&::GetFileAttributesA) GetFileAttributesA;
    decltype(&::GetShortPathNameW) GetShortPathNameW;
    decltype(&::AddVectoredExceptionHandler) AddVectoredExceptionHandler;
    decltype(&::GetWindowTextA) GetWindowTextA;
    decltype(&::GetWindowTextW) GetWindowTextW;
    decltype(&::MessageBoxW) MessageBoxW;
    decltype(&::CoCreateInstance) CoCreateInstance;
    decltype(&::ReOpenFile) ReOpenFile;
    decltype(&::GetSystemInfo) GetSystemInfo;
    decltype(&::QueryPerformanceCounter) QueryPerformanceCounter;
} g_real;

// --- What the tests watch beside failures ---

CLock g_watchMutex;
std::function<void(const char*, DWORD)> g_onCreateFileA;
// The handles the program holds now to one file, named by its path as the program names
// it, and the mappings made of them.
struct FileHandles {
    std::string path;
    std::set<HANDLE> files, mappings;

    void Name(const std::string& p)
    {
        path = p;
        files.clear();
        mappings.clear();
    }
    void Opened(const char* p, HANDLE h)
    {
        if (!path.empty() && _stricmp(p, path.c_str()) == 0)
            files.insert(h);
    }
    void Reopened(HANDLE original, HANDLE h)
    {
        if (files.count(original))
            files.insert(h);
    }
    void Mapped(HANDLE file, HANDLE mapping)
    {
        if (files.count(file))
            mappings.insert(mapping);
    }
    void Closed(HANDLE h)
    {
        files.erase(h);
        mappings.erase(h);
    }
};

FileHandles g_bad;
int64_t g_badOffset = -1;
// The file watched (WatchFile): its reads so far.
FileHandles g_held;
// The file with a range another program has locked (LockAgainstReads).
FileHandles g_locked;
int64_t g_lockedFrom = 0, g_lockedTo = 0;
std::atomic<bool> g_readsHeld{false};
std::atomic<int> g_heldReads{0};
HANDLE g_viewsReleased = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
std::atomic<int> g_viewsWaiting{0};
std::atomic<bool> g_shortAddressSpace{false};
// What the calls cost on the clock (SetCallCosts), and what they have added to it, in
// the counter's ticks: on the clock of the thread that made them alone, as a call costs
// the core it runs on, so a thread's time on a run holds no other thread's calls. Kept in
// two of the system's thread slots (the low and high halves): a C++ thread_local would have
// the runtime give each thread that reads it an object of its own, with a handle, which the
// fault tests would count as left open.
std::atomic<double> g_bigReadCost{0}, g_smallReadCost{0}, g_viewCost{0};
const DWORD g_clockAheadLow = ::TlsAlloc(), g_clockAheadHigh = ::TlsAlloc();

int64_t ThreadClockAhead()
{
    const auto half = [](DWORD slot) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(::TlsGetValue(slot))); };
    return static_cast<int64_t>(static_cast<uint64_t>(half(g_clockAheadHigh)) << 32 | half(g_clockAheadLow));
}

void SetThreadClockAhead(int64_t ticks)
{
    const uint64_t bits = static_cast<uint64_t>(ticks);
    ::TlsSetValue(g_clockAheadLow, reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(bits))));
    ::TlsSetValue(g_clockAheadHigh, reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(bits >> 32))));
}
// A read with ReadFile has waited on the slow sector: later ones pass.
bool g_slowReadDone = false;
std::vector<uintptr_t> g_badPages;
// A slow sector: its page waits, when read through a view, until let go.
bool g_badIsSlow = false;
struct SlowPage {
    uintptr_t page, viewBegin, viewEnd;
};
std::vector<SlowPage> g_slowPages;
HANDLE g_slowReleased = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
std::atomic<const void*> g_slowHeldView{nullptr};  // the view a read waits in
std::atomic<int> g_slowHolds{0};
std::atomic<int> g_unmappedWhileRead{0};
SIZE_T g_largestView = 0;
std::set<const void*> g_liveViews;
int g_peakViews = 0;
int g_viewsMapped = 0;

constexpr uintptr_t kPage = 4096;

int64_t Offset(DWORD high, DWORD low) { return static_cast<int64_t>(high) << 32 | low; }

// Reading the bad page through a view raises an access violation, which the system
// would have raised as an in-page error: it is given that code before the program's
// own handler sees it.
LONG CALLBACK AsInPageError(EXCEPTION_POINTERS* info)
{
    EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const uintptr_t page = record->ExceptionInformation[1] & ~(kPage - 1);
    std::unique_lock<CLock> lock(g_watchMutex);
    for (auto slow = g_slowPages.begin(); slow != g_slowPages.end(); ++slow) {
        if (slow->page != page)
            continue;
        // As a slow disk does: the read waits, then the page is there.
        g_slowHeldView = reinterpret_cast<const void*>(slow->viewBegin);
        g_slowPages.erase(slow);
        lock.unlock();
        ++g_slowHolds;
        ::WaitForSingleObject(g_slowReleased, 30000);
        DWORD old = 0;
        ::VirtualProtect(reinterpret_cast<void*>(page), kPage, PAGE_READONLY, &old);
        g_slowHeldView = nullptr;
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    for (uintptr_t bad : g_badPages) {
        if (bad == page) {
            record->ExceptionCode = EXCEPTION_IN_PAGE_ERROR;
            break;
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void* Watched(void* view, HANDLE mapping, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes)
{
    if (!view)
        return view;
    const OwnWork own;
    std::lock_guard<CLock> lock(g_watchMutex);
    g_liveViews.insert(view);
    ++g_viewsMapped;
    g_peakViews = std::max(g_peakViews, static_cast<int>(g_liveViews.size()));
    // The view holds the bad page where it holds any byte of it: views are mapped in
    // whole pages.
    const int64_t from = Offset(offsetHigh, offsetLow);
    const int64_t badPage = g_badOffset & ~static_cast<int64_t>(kPage - 1);
    if (g_bad.mappings.count(mapping) && g_badOffset >= 0 && badPage >= from && badPage < from + static_cast<int64_t>(bytes)) {
        const uintptr_t page = reinterpret_cast<uintptr_t>(view) + static_cast<uintptr_t>(badPage - from);
        DWORD old = 0;
        if (!::VirtualProtect(reinterpret_cast<void*>(page), kPage, PAGE_NOACCESS, &old))
            return view;
        if (g_badIsSlow) {
            const uintptr_t begin = reinterpret_cast<uintptr_t>(view);
            g_slowPages.push_back(SlowPage{page, begin, begin + bytes});
        } else {
            g_badPages.push_back(page);
        }
    }
    return view;
}

// --- The wrappers ---

HANDLE WINAPI FakeCreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                              DWORD flags, HANDLE templ)
{
    if (!Unwatched()) {
        std::function<void(const char*, DWORD)> before;
        {
            const OwnWork own;
            std::lock_guard<CLock> lock(g_watchMutex);
            before = g_onCreateFileA;
        }
        if (before) {
            const faults::Unwatched unwatched;
            before(path, access);
        }
    }
    if (Fails(Fault::CreateFileA)) {
        ::SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = g_real.CreateFileA(path, access, share, sa, disposition, flags, templ);
    if (h != INVALID_HANDLE_VALUE) {
        const OwnWork own;
        std::lock_guard<CLock> lock(g_watchMutex);
        for (FileHandles* watched : {&g_bad, &g_held, &g_locked})
            watched->Opened(path, h);
    }
    return h;
}

// A handle of its own to the same file: watched as the one it was opened from.
HANDLE WINAPI FakeReOpenFile(HANDLE original, DWORD access, DWORD share, DWORD flags)
{
    if (Fails(Fault::ReOpenFile)) {
        ::SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = g_real.ReOpenFile(original, access, share, flags);
    if (h != INVALID_HANDLE_VALUE) {
        const OwnWork own;
        std::lock_guard<CLock> lock(g_watchMutex);
        for (FileHandles* watched : {&g_bad, &g_held, &g_locked})
            watched->Reopened(original, h);
    }
    return h;
}

BOOL WINAPI FakeGetFileSizeEx(HANDLE file, PLARGE_INTEGER size)
{
    if (Fails(Fault::GetFileSizeEx)) {
        ::SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    return g_real.GetFileSizeEx(file, size);
}

// Whether a read of bytes from at (or from the file pointer) overlaps [from, to).
bool ReadOverlaps(HANDLE file, DWORD bytes, LPOVERLAPPED at, int64_t from, int64_t to)
{
    int64_t start = 0;
    if (at) {
        start = Offset(at->OffsetHigh, at->Offset);
    } else {
        LARGE_INTEGER zero{}, pos{};
        g_real.SetFilePointerEx(file, zero, &pos, FILE_CURRENT);
        start = pos.QuadPart;
    }
    return start < to && from < start + bytes;
}

bool CoversBadSector(HANDLE file, DWORD bytes, LPOVERLAPPED at, bool slow)
{
    std::lock_guard<CLock> lock(g_watchMutex);
    if (!g_bad.files.count(file) || g_badIsSlow != slow)
        return false;
    const int64_t badPage = g_badOffset & ~static_cast<int64_t>(kPage - 1);
    return ReadOverlaps(file, bytes, at, badPage, badPage + static_cast<int64_t>(kPage));
}

bool CoversLockedRange(HANDLE file, DWORD bytes, LPOVERLAPPED at)
{
    std::lock_guard<CLock> lock(g_watchMutex);
    return g_locked.files.count(file) && ReadOverlaps(file, bytes, at, g_lockedFrom, g_lockedTo);
}

// The first read of the slow sector waits until it is let go, as a slow disk does.
void WaitIfSlow(HANDLE file, DWORD bytes, LPOVERLAPPED at)
{
    if (!CoversBadSector(file, bytes, at, true))
        return;
    {
        std::lock_guard<CLock> lock(g_watchMutex);
        if (g_slowReadDone)
            return;
        g_slowReadDone = true;
    }
    // Stands for no view: a view unmapped meanwhile is not this read's.
    static const char kReading = 0;
    g_slowHeldView = &kReading;
    ++g_slowHolds;
    ::WaitForSingleObject(g_slowReleased, 30000);
    g_slowHeldView = nullptr;
}

// Reads of the held file wait while they are held.
void WaitIfHeld(HANDLE file)
{
    {
        std::lock_guard<CLock> lock(g_watchMutex);
        if (!g_held.files.count(file))
            return;
    }
    ++g_heldReads;
    for (int i = 0; i < 6000 && g_readsHeld; ++i)
        ::Sleep(5);
}

void AddToClock(double seconds)
{
    if (seconds <= 0)
        return;
    const DWORD error = ::GetLastError();  // the call's own, for its caller
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    SetThreadClockAhead(ThreadClockAhead() + static_cast<int64_t>(seconds * static_cast<double>(frequency.QuadPart)));
    ::SetLastError(error);
}

BOOL WINAPI FakeQueryPerformanceCounter(LARGE_INTEGER* now)
{
    const BOOL ok = g_real.QueryPerformanceCounter(now);
    const DWORD error = ::GetLastError();  // reading a slot clears it
    now->QuadPart += ThreadClockAhead();
    ::SetLastError(error);
    return ok;
}

BOOL WINAPI FakeReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD got, LPOVERLAPPED at)
{
    if (Fails(Fault::ReadFile) || CoversBadSector(file, bytes, at, false)) {
        if (got)
            *got = 0;
        ::SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    if (Fails(Fault::ReadFileLocked) || CoversLockedRange(file, bytes, at)) {
        if (got)
            *got = 0;
        ::SetLastError(ERROR_LOCK_VIOLATION);
        return FALSE;
    }
    if (bytes > 0 && Fails(Fault::ReadFileShort))
        bytes /= 2;
    AddToClock(bytes > (1u << 20) ? g_bigReadCost : g_smallReadCost);
    // A read that reaches the disk: held, or slow.
    if (!Unwatched()) {
        WaitIfHeld(file);
        WaitIfSlow(file, bytes, at);
    }
    return g_real.ReadFile(file, buffer, bytes, got, at);
}

HANDLE WINAPI FakeCreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect, DWORD high, DWORD low,
                                     LPCSTR name)
{
    if (Fails(Fault::CreateFileMappingA)) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HANDLE mapping = g_real.CreateFileMappingA(file, sa, protect, high, low, name);
    const OwnWork own;
    std::lock_guard<CLock> lock(g_watchMutex);
    if (mapping) {
        g_bad.Mapped(file, mapping);
        g_held.Mapped(file, mapping);
    }
    return mapping;
}

bool TooLarge(SIZE_T bytes)
{
    std::lock_guard<CLock> lock(g_watchMutex);
    return g_largestView && bytes > g_largestView;
}

// While the watched file's views are held, one of them is mapped only once they are let
// go (120 s at most).
void WaitWhileViewsHeld(HANDLE mapping)
{
    {
        std::lock_guard<CLock> lock(g_watchMutex);
        if (!g_held.mappings.count(mapping))
            return;
    }
    ++g_viewsWaiting;
    ::WaitForSingleObject(g_viewsReleased, 120000);
    --g_viewsWaiting;
}

LPVOID WINAPI FakeMapViewOfFile(HANDLE mapping, DWORD access, DWORD high, DWORD low, SIZE_T bytes)
{
    WaitWhileViewsHeld(mapping);
    AddToClock(g_viewCost);
    if (Fails(Fault::MapView) || TooLarge(bytes)) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return Watched(g_real.MapViewOfFile(mapping, access, high, low, bytes), mapping, high, low, bytes);
}

LPVOID WINAPI FakeMapViewOfFileEx(HANDLE mapping, DWORD access, DWORD high, DWORD low, SIZE_T bytes, LPVOID at)
{
    WaitWhileViewsHeld(mapping);
    AddToClock(g_viewCost);
    if (Fails(Fault::MapView) || TooLarge(bytes)) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return Watched(g_real.MapViewOfFileEx(mapping, access, high, low, bytes, at), mapping, high, low, bytes);
}

BOOL WINAPI FakeUnmapViewOfFile(LPCVOID view)
{
    if (view && view == g_slowHeldView.load()) {
        // Left mapped, so the read that waits in it does not end the tests.
        ++g_unmappedWhileRead;
        return TRUE;
    }
    {
        const OwnWork own;
        std::lock_guard<CLock> lock(g_watchMutex);
        g_liveViews.erase(view);
    }
    return g_real.UnmapViewOfFile(view);
}

BOOL WINAPI FakeWriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED at)
{
    if (Fails(Fault::WriteFile)) {
        if (written)
            *written = 0;
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    if (Fails(Fault::WriteFilePartial)) {
        // The first half reaches the file before the disk fills up.
        DWORD put = 0;
        g_real.WriteFile(file, buffer, bytes / 2, &put, at);
        if (written)
            *written = put;
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return g_real.WriteFile(file, buffer, bytes, written, at);
}

BOOL WINAPI FakeFlushFileBuffers(HANDLE file)
{
    if (Fails(Fault::FlushFileBuffers)) {
        ::SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    return g_real.FlushFileBuffers(file);
}

BOOL WINAPI FakeUnlockFileEx(HANDLE file, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED at)
{
    if (Fails(Fault::UnlockFileEx)) {
        ::SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    return g_real.UnlockFileEx(file, reserved, low, high, at);
}

BOOL WINAPI FakeSetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER position, DWORD method)
{
    if (Fails(Fault::SetFilePointerEx)) {
        ::SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    return g_real.SetFilePointerEx(file, distance, position, method);
}

BOOL WINAPI FakeSetEndOfFile(HANDLE file)
{
    if (Fails(Fault::SetEndOfFile)) {
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return g_real.SetEndOfFile(file);
}

BOOL WINAPI FakeLockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED at)
{
    if (Fails(Fault::LockFileEx)) {
        ::SetLastError(ERROR_LOCK_VIOLATION);
        return FALSE;
    }
    return g_real.LockFileEx(file, flags, reserved, low, high, at);
}

HANDLE WINAPI FakeFindFirstFileW(LPCWSTR spec, LPWIN32_FIND_DATAW data)
{
    if (Fails(Fault::FindFirstFileW)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return g_real.FindFirstFileW(spec, data);
}

BOOL WINAPI FakeFindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data)
{
    if (Fails(Fault::FindNextFileW)) {
        ::SetLastError(ERROR_NETNAME_DELETED);
        return FALSE;
    }
    return g_real.FindNextFileW(find, data);
}

BOOL WINAPI FakeGetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    if (Fails(Fault::GetFileInformationByHandle)) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    const BOOL ok = g_real.GetFileInformationByHandle(file, info);
    if (ok && Fails(Fault::FileIndexZero))
        info->nFileIndexHigh = info->nFileIndexLow = 0;
    return ok;
}

BOOL WINAPI FakeCloseHandle(HANDLE h)
{
    {
        const OwnWork own;
        std::lock_guard<CLock> lock(g_watchMutex);
        for (FileHandles* watched : {&g_bad, &g_held, &g_locked})
            watched->Closed(h);
    }
    const BOOL closed = g_real.CloseHandle(h);
    if (closed && Fails(Fault::CloseHandle)) {
        ::SetLastError(ERROR_NETNAME_DELETED);
        return FALSE;
    }
    return closed;
}

BOOL WINAPI FakeFindClose(HANDLE find)
{
    const BOOL closed = g_real.FindClose(find);
    if (closed && Fails(Fault::FindClose)) {
        ::SetLastError(ERROR_NETNAME_DELETED);
        return FALSE;
    }
    return closed;
}

DWORD WINAPI FakeGetFileAttributesA(LPCSTR path)
{
    if (Fails(Fault::GetFileAttributesA)) {
        ::SetLastError(ERROR_NETNAME_DELETED);
        return INVALID_FILE_ATTRIBUTES;
    }
    return g_real.GetFileAttributesA(path);
}

DWORD WINAPI FakeGetShortPathNameW(LPCWSTR path, LPWSTR out, DWORD units)
{
    if (Fails(Fault::GetShortPathNameW)) {
        ::SetLastError(ERROR_NETNAME_DELETED);
        return 0;
    }
    return g_real.GetShortPathNameW(path, out, units);
}

PVOID WINAPI FakeAddVectoredExceptionHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler)
{
    if (Fails(Fault::AddVectoredExceptionHandler)) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return g_real.AddVectoredExceptionHandler(first, handler);
}

int WINAPI FakeGetWindowTextA(HWND window, LPSTR text, int capacity)
{
    if (Fails(Fault::GetWindowTextA)) {
        if (capacity > 0)
            text[0] = '\0';
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return g_real.GetWindowTextA(window, text, capacity);
}

int WINAPI FakeGetWindowTextW(HWND window, LPWSTR text, int capacity)
{
    if (Fails(Fault::GetWindowTextW)) {
        if (capacity > 0)
            text[0] = L'\0';
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return g_real.GetWindowTextW(window, text, capacity);
}

int WINAPI FakeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    if (Fails(Fault::MessageBoxW)) {
        // Recorded as a box nobody saw, so the test can tell what the program meant to say.
        {
            const OwnWork own;
            MessageBoxAnswerer::RecordUnshown(owner, text, caption, style);
        }
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return g_real.MessageBoxW(owner, text, caption, style);
}

HRESULT WINAPI FakeCoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out)
{
    if (Fails(Fault::CoCreateInstance)) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    return g_real.CoCreateInstance(clsid, outer, context, iid, out);
}

HANDLE WINAPI FakeCreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start, LPVOID arg,
                               DWORD flags, LPDWORD id)
{
    if (Fails(Fault::ThreadCreation)) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return g_real.CreateThread(sa, stack, start, arg, flags, id);
}

void WINAPI FakeGetSystemInfo(LPSYSTEM_INFO info)
{
    g_real.GetSystemInfo(info);
    if (g_shortAddressSpace)
        info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t{0xFFFEFFFF});
}

}  // namespace

const char* FaultName(Fault fault)
{
    switch (fault) {
    case Fault::None: return "None";
    case Fault::CreateFileA: return "CreateFileA";
    case Fault::GetFileSizeEx: return "GetFileSizeEx";
    case Fault::ReadFile: return "ReadFile";
    case Fault::ReadFileLocked: return "ReadFileLocked";
    case Fault::CreateFileMappingA: return "CreateFileMappingA";
    case Fault::MapView: return "MapViewOfFile(Ex)";
    case Fault::WriteFile: return "WriteFile";
    case Fault::SetFilePointerEx: return "SetFilePointerEx";
    case Fault::SetEndOfFile: return "SetEndOfFile";
    case Fault::LockFileEx: return "LockFileEx";
    case Fault::FindFirstFileW: return "FindFirstFileW";
    case Fault::FindNextFileW: return "FindNextFileW";
    case Fault::GetFileInformationByHandle: return "GetFileInformationByHandle";
    case Fault::FileIndexZero: return "FileIndexZero";
    case Fault::ThreadCreation: return "ThreadCreation";
    case Fault::Allocation: return "Allocation";
    case Fault::CloseHandle: return "CloseHandle";
    case Fault::WriteFilePartial: return "WriteFilePartial";
    case Fault::ReadFileShort: return "ReadFileShort";
    case Fault::FlushFileBuffers: return "FlushFileBuffers";
    case Fault::UnlockFileEx: return "UnlockFileEx";
    case Fault::FindClose: return "FindClose";
    case Fault::GetFileAttributesA: return "GetFileAttributesA";
    case Fault::GetShortPathNameW: return "GetShortPathNameW";
    case Fault::AddVectoredExceptionHandler: return "AddVectoredExceptionHandler";
    case Fault::GetWindowTextA: return "GetWindowTextA";
    case Fault::GetWindowTextW: return "GetWindowTextW";
    case Fault::MessageBoxW: return "MessageBoxW";
    case Fault::CoCreateInstance: return "CoCreateInstance";
    case Fault::ReOpenFile: return "ReOpenFile";
    }
    return "?";
}

namespace faults {

void Install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        MessageBoxAnswerer::s_aroundAnswer = [](bool entering) { AddUnwatched(entering ? 1 : -1); };
        const char* k = "kernel32.dll";
        PointImportAt(g_real.CreateFileA, k, "CreateFileA", &FakeCreateFileA);
        PointImportAt(g_real.GetFileSizeEx, k, "GetFileSizeEx", &FakeGetFileSizeEx);
        PointImportAt(g_real.ReadFile, k, "ReadFile", &FakeReadFile);
        PointImportAt(g_real.CreateFileMappingA, k, "CreateFileMappingA", &FakeCreateFileMappingA);
        PointImportAt(g_real.MapViewOfFile, k, "MapViewOfFile", &FakeMapViewOfFile);
        PointImportAt(g_real.MapViewOfFileEx, k, "MapViewOfFileEx", &FakeMapViewOfFileEx);
        PointImportAt(g_real.UnmapViewOfFile, k, "UnmapViewOfFile", &FakeUnmapViewOfFile);
        PointImportAt(g_real.WriteFile, k, "WriteFile", &FakeWriteFile);
        PointImportAt(g_real.SetFilePointerEx, k, "SetFilePointerEx", &FakeSetFilePointerEx);
        PointImportAt(g_real.SetEndOfFile, k, "SetEndOfFile", &FakeSetEndOfFile);
        PointImportAt(g_real.LockFileEx, k, "LockFileEx", &FakeLockFileEx);
        PointImportAt(g_real.FindFirstFileW, k, "FindFirstFileW", &FakeFindFirstFileW);
        PointImportAt(g_real.FindNextFileW, k, "FindNextFileW", &FakeFindNextFileW);
        PointImportAt(g_real.GetFileInformationByHandle, k, "GetFileInformationByHandle", &FakeGetFileInformationByHandle);
        PointImportAt(g_real.CloseHandle, k, "CloseHandle", &FakeCloseHandle);
        PointImportAt(g_real.CreateThread, k, "CreateThread", &FakeCreateThread);
        PointImportAt(g_real.ReOpenFile, k, "ReOpenFile", &FakeReOpenFile);
        PointImportAt(g_real.GetSystemInfo, k, "GetSystemInfo", &FakeGetSystemInfo);
        PointImportAt(g_real.QueryPerformanceCounter, k, "QueryPerformanceCounter", &FakeQueryPerformanceCounter);
        PointImportAt(g_real.FlushFileBuffers, k, "FlushFileBuffers", &FakeFlushFileBuffers);
        PointImportAt(g_real.UnlockFileEx, k, "UnlockFileEx", &FakeUnlockFileEx);
        PointImportAt(g_real.FindClose, k, "FindClose", &FakeFindClose);
        PointImportAt(g_real.GetFileAttributesA, k, "GetFileAttributesA", &FakeGetFileAttributesA);
        PointImportAt(g_real.GetShortPathNameW, k, "GetShortPathNameW", &FakeGetShortPathNameW);
        PointImportAt(g_real.AddVectoredExceptionHandler, k, "AddVectoredExceptionHandler",
              &FakeAddVectoredExceptionHandler);
        const char* u = "user32.dll";
        PointImportAt(g_real.GetWindowTextA, u, "GetWindowTextA", &FakeGetWindowTextA);
        PointImportAt(g_real.GetWindowTextW, u, "GetWindowTextW", &FakeGetWindowTextW);
        PointImportAt(g_real.MessageBoxW, u, "MessageBoxW", &FakeMessageBoxW);
        PointImportAt(g_real.CoCreateInstance, "ole32.dll", "CoCreateInstance", &FakeCoCreateInstance);
    });
}

void Arm(Fault fault, int k, Fault then)
{
    Install();
    g_armed = Fault::None;
    g_then = Fault::None;
    g_fired = false;
    g_calls = 0;
    g_failAt = k;
    g_then = then;
    g_armed = fault;
}

void Disarm()
{
    g_armed = Fault::None;
    g_then = Fault::None;
    g_fired = false;
}

int Calls()
{
    return g_calls;
}

Unwatched::Unwatched()
{
    AddUnwatched(1);
}

Unwatched::~Unwatched()
{
    AddUnwatched(-1);
}

void OnCreateFileA(std::function<void(const char*, DWORD)> call)
{
    Install();
    std::lock_guard<CLock> lock(g_watchMutex);
    g_onCreateFileA = std::move(call);
}

void SetBadSector(const std::string& path, int64_t offset)
{
    Install();
    static std::once_flag once;
    // First in line: the program's handler, there only while it reads, comes last.
    std::call_once(once, [] { g_real.AddVectoredExceptionHandler(1, AsInPageError); });
    std::lock_guard<CLock> lock(g_watchMutex);
    g_badIsSlow = false;
    g_bad.Name(offset < 0 ? std::string() : path);
    g_badOffset = offset;
    g_badPages.clear();
}

void SetSlowSector(const std::string& path, int64_t offset)
{
    // Stopping lets go of a read still waiting.
    if (offset < 0)
        ::SetEvent(g_slowReleased);
    else
        ::ResetEvent(g_slowReleased);
    SetBadSector(path, offset);
    std::lock_guard<CLock> lock(g_watchMutex);
    g_badIsSlow = offset >= 0;
    g_slowReadDone = false;
    g_slowPages.clear();
    g_slowHolds = 0;
    g_unmappedWhileRead = 0;
}

bool SlowSectorHeld()
{
    return g_slowHeldView.load() != nullptr;
}

void ReleaseSlowSector()
{
    ::SetEvent(g_slowReleased);
}

int SlowSectorHolds()
{
    return g_slowHolds;
}

int UnmappedWhileRead()
{
    return g_unmappedWhileRead;
}

void WatchFile(const std::string& path)
{
    Install();
    std::lock_guard<CLock> lock(g_watchMutex);
    g_held.Name(path);
    g_heldReads = 0;
}

void HoldWatchedReads(bool held)
{
    g_readsHeld = held;
}

int WatchedReads()
{
    return g_heldReads;
}

int WatchedHandles()
{
    std::lock_guard<CLock> lock(g_watchMutex);
    return static_cast<int>(g_held.files.size());
}

void LockAgainstReads(const std::string& path, int64_t from, int64_t to)
{
    Install();
    std::lock_guard<CLock> lock(g_watchMutex);
    g_locked.Name(path);
    g_lockedFrom = from;
    g_lockedTo = to;
}

void HoldWatchedViews(bool held)
{
    if (held)
        ::ResetEvent(g_viewsReleased);
    else
        ::SetEvent(g_viewsReleased);
}

int WatchedViewsWaiting()
{
    return g_viewsWaiting;
}

void SetCallCosts(const CallCosts& costs)
{
    Install();
    g_bigReadCost = costs.bigRead;
    g_smallReadCost = costs.smallRead;
    g_viewCost = costs.view;
}

void ReportShortAddressSpace(bool on)
{
    Install();
    g_shortAddressSpace = on;
}

void SetLargestView(SIZE_T bytes)
{
    Install();
    std::lock_guard<CLock> lock(g_watchMutex);
    g_largestView = bytes;
}

int TakePeakViews()
{
    std::lock_guard<CLock> lock(g_watchMutex);
    const int peak = g_peakViews;
    g_peakViews = static_cast<int>(g_liveViews.size());
    return peak;
}

int ViewsMapped()
{
    std::lock_guard<CLock> lock(g_watchMutex);
    return g_viewsMapped;
}

int LiveViews()
{
    std::lock_guard<CLock> lock(g_watchMutex);
    return static_cast<int>(g_liveViews.size());
}

}  // namespace faults

// Every allocation of the test program, the product's included, comes here.
void* operator new(std::size_t bytes)
{
    if (Fails(Fault::Allocation))
        throw std::bad_alloc();
    if (void* p = std::malloc(bytes ? bytes : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
