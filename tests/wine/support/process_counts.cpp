#include "tests/wine/support/process_counts.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

int ThreadCount()
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    ::CloseHandle(snapshot);
    // Threads kept idle for the next tasks belong to no run.
    return count - CThread::IdleThreads();
}

namespace {

// SystemHandleInformation (16) of NtQuerySystemInformation.
struct HandleEntry {
    ULONG process;
    BYTE type, flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

int CountInSystemTable()
{
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    LONG status;
    const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        count += table->entries[i].process == ::GetCurrentProcessId();
    return count;
}

}  // namespace

int HandleCount()
{
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count > 0)
        return static_cast<int>(count);
    return CountInSystemTable();
}


void SettledCounts(int& threads, int& handles)
{
    CThread::EndIdleThreads();
    threads = ThreadCount();
    handles = HandleCount();
    for (int i = 0; i < 150; ++i) {
        ::Sleep(20);
        const int t = ThreadCount(), h = HandleCount();
        if (t == threads && h == handles)
            return;
        threads = t;
        handles = h;
    }
}

bool CountsComeBackTo(int threads, int handles)
{
    CThread::EndIdleThreads();
    for (int i = 0; i < 300; ++i) {
        if (ThreadCount() == threads && HandleCount() == handles)
            return true;
        ::Sleep(10);
    }
    return false;
}
