#include "engine/search_file.h"

#include "engine/find_pattern.h"

#include <algorithm>

namespace {

DWORD High(int64_t v) { return static_cast<DWORD>(static_cast<uint64_t>(v) >> 32); }
DWORD Low(int64_t v) { return static_cast<DWORD>(v); }

int64_t AllocationGranularity()
{
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    return si.dwAllocationGranularity;
}

// Searches a mapping of length bytes view by view, and closes it as soon as the last
// view is mapped. A file of unknown length, or a non-empty one that could not be
// mapped, could not be searched; an empty one holds nothing.
int64_t SearchMapping(HANDLE mapping, int64_t length, const unsigned char* pattern, int32_t n)
{
    if (length == 0)
        return SEARCH_NOT_FOUND;
    if (length < 0 || !mapping) {
        if (mapping)
            ::CloseHandle(mapping);
        return SEARCH_OPEN_FAILED;
    }
    BuildShiftTable(pattern, n, g_shiftTable);

    static const int64_t granularity = AllocationGranularity();
    int64_t base = 0;
    for (;;) {
        const int64_t viewBytes = std::min(kSearchViewBytes, length - base);
        const bool last = base + viewBytes >= length;
        const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, High(base), Low(base),
                                           static_cast<SIZE_T>(viewBytes));
        if (last || !view)
            ::CloseHandle(mapping);
        if (!view)
            return SEARCH_OPEN_FAILED;

        const int64_t found = FindPattern(static_cast<const unsigned char*>(view), pattern,
                                          g_shiftTable, viewBytes, n);
        ::UnmapViewOfFile(view);
        if (found >= 0)
            return base + found;
        if (last)
            return SEARCH_NOT_FOUND;

        // The next view overlaps this one by at least n - 1 bytes, so an occurrence
        // that straddles the boundary lies whole in the next view. Views start on
        // the allocation granularity; patterns are far shorter than a view.
        const int64_t next = (base + viewBytes - std::max<int32_t>(n - 1, 0)) / granularity * granularity;
        base = std::max(next, base + granularity);
    }
}

}  // namespace

int64_t QueryFileLength(HANDLE file)
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size))
        return -1;
    return size.QuadPart;
}

static HANDLE CreateReadMapping(HANDLE file, int64_t length)
{
    return ::CreateFileMappingA(file, nullptr, PAGE_READONLY, High(length), Low(length), nullptr);
}

int64_t SearchOpenFile(HANDLE file, int64_t length, const unsigned char* pattern, int32_t n)
{
    return SearchMapping(length > 0 ? CreateReadMapping(file, length) : nullptr, length, pattern, n);
}

int64_t SearchFile(const char* path, const unsigned char* pattern, int32_t n)
{
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SEARCH_OPEN_FAILED;
    const int64_t length = QueryFileLength(file);
    HANDLE mapping = length > 0 ? CreateReadMapping(file, length) : nullptr;
    ::CloseHandle(file);  // the mapping keeps the file open as long as it needs it
    return SearchMapping(mapping, length, pattern, n);
}
