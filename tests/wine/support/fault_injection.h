// Makes the system calls the program makes fail, one at a time, in the test program:
// the program's own calls go through this executable's import table, which is pointed
// at wrappers that count each call of the chosen function and fail the k-th one with
// the error a real failure gives. Allocation fails through a counting operator new.
// Nothing of this is in the product.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

enum class Fault {
    None,
    CreateFileA,
    GetFileSizeEx,
    ReadFile,
    ReadFileLocked,  // ReadFile failing on a range another program locked
    CreateFileMappingA,
    MapView,  // MapViewOfFile and MapViewOfFileEx, counted together
    WriteFile,
    SetFilePointerEx,
    SetEndOfFile,
    LockFileEx,
    FindFirstFileW,
    FindNextFileW,
    GetFileInformationByHandle,
    FileIndexZero,  // GetFileInformationByHandle succeeding with file index 0
    ThreadCreation,
    Allocation,
    CloseHandle,       // the handle closed, and an error reported (a close-time flush failing)
    WriteFilePartial,  // some of the bytes written, then an error
    ReadFileShort,     // fewer bytes read than asked for, without an error
    FlushFileBuffers,
    UnlockFileEx,
    FindClose,         // the search closed, and an error reported
    GetFileAttributesA,
    GetShortPathNameW,
    AddVectoredExceptionHandler,
    GetWindowTextA,
    GetWindowTextW,
    MessageBoxW,  // returning 0: no box could be shown
    CoCreateInstance,
    ReOpenFile,
};

const char* FaultName(Fault fault);

namespace faults {

// Points the import table at the wrappers (once); they pass every call on unless armed.
void Install();
// From now on counts the calls of fault's function and fails the k-th (k >= 1); once
// that has failed, every call of then fails too (two faults in one run).
void Arm(Fault fault, int k, Fault then = Fault::None);
void Disarm();
// Calls of the armed function since Arm.
int Calls();

// Allocations of the calling thread are not counted while one of these lives: for the
// test's own code that runs inside a run, such as the hook that answers boxes.
class Unwatched {
public:
    Unwatched();
    ~Unwatched();
    Unwatched(const Unwatched&) = delete;
    Unwatched& operator=(const Unwatched&) = delete;
};

// Called before each CreateFileA the program makes, with the path and the access asked
// for, while set: a test can hold the open there for as long as it needs.
void OnCreateFileA(std::function<void(const char* path, DWORD access)> call);

// Makes the bytes of the file at path (as the program names it) from offset on, up to
// the end of that page, unreadable as a bad sector is: ReadFile of a range that covers
// them fails with ERROR_IO_DEVICE, and reading them through a mapped view raises an
// in-page error. -1 to stop.
void SetBadSector(const std::string& path, int64_t offset);

// The same bytes as SetBadSector names are slow instead: the first read of their page,
// through a view or with ReadFile, waits until ReleaseSlowSector (30 s at most), then
// finds them. -1 to stop.
void SetSlowSector(const std::string& path, int64_t offset);
// A read waits on the slow sector now.
bool SlowSectorHeld();
void ReleaseSlowSector();
// Reads that have waited on it, and views unmapped while a read waited in them (those
// are left mapped), since it was set.
int SlowSectorHolds();
int UnmappedWhileRead();

// Another program holds a lock on bytes [from, to) of the file at path (as the program
// names it) against the handles the program opens from now on: a ReadFile that reaches
// into them fails with ERROR_LOCK_VIOLATION, while a mapped view reads past the lock as
// it does on Windows (Wine enforces no locks on reads). "" stops.
void LockAgainstReads(const std::string& path, int64_t from, int64_t to);

// Watches the handles the program opens from now on to the file at path (as the program
// names it), its ReadFile calls of them and the mappings made of them; "" stops.
void WatchFile(const std::string& path);
// While held, every ReadFile of the watched file waits until they are let go (30 s at
// most).
void HoldWatchedReads(bool held);
// ReadFile calls of the watched file since it was named, and its handles open now.
int WatchedReads();
int WatchedHandles();
// While held, every MapViewOfFile(Ex) of a mapping of the watched file waits until they
// are let go (120 s at most), so a search through its views holds what it has taken
// first for as long as the test needs; the calls waiting now.
void HoldWatchedViews(bool held);
int WatchedViewsWaiting();

// While set, each ReadFile the program makes advances the performance counter by
// bigRead seconds (for more than 1 MiB asked for) or smallRead (for less), and each view
// it maps by view: the ways of bringing a file's bytes in cost, on the clock a search
// times them by, what the test says, whatever the machine's speed. Zeros stop.
struct CallCosts {
    double bigRead = 0, smallRead = 0, view = 0;
};
void SetCallCosts(const CallCosts& costs);

// While on, GetSystemInfo reports the address space of a 32-bit process on 64-bit
// Windows (4 GiB less 64 KiB), so a 64-bit test program runs the rules of the program
// as it ships.
void ReportShortAddressSpace(bool on);

// Views of a file mapping larger than this cannot be mapped for lack of address space
// (0: no limit).
void SetLargestView(SIZE_T bytes);
// The most views mapped at the same time since the last call.
int TakePeakViews();
// Views mapped now.
int LiveViews();
// Views mapped so far.
int ViewsMapped();

}  // namespace faults
