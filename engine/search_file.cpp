#include "engine/search_file.h"

#include "engine/find_pattern.h"

#include <algorithm>

namespace {

DWORD High(int64_t v) { return static_cast<DWORD>(static_cast<uint64_t>(v) >> 32); }
DWORD Low(int64_t v) { return static_cast<DWORD>(v); }

// Views start at file offsets that are multiples of this and are placed at addresses
// that are multiples of it too, so the system can map the file's cached pages 2 MiB at
// a time where it holds them in blocks that large. Under Wine on Linux a view placed
// anywhere else is filled 64 KiB per page fault, which made the search of a cached
// file several times slower.
constexpr int64_t kViewAlignment = 2 << 20;

// A free address, a multiple of kViewAlignment, with room for size bytes; nullptr to
// let the system choose, for views too small to gain from it.
void* AlignedAddressFor(SIZE_T size)
{
    if (size < static_cast<SIZE_T>(kViewAlignment))
        return nullptr;
    void* room = ::VirtualAlloc(nullptr, size + kViewAlignment, MEM_RESERVE, PAGE_NOACCESS);
    if (!room)
        return nullptr;
    ::VirtualFree(room, 0, MEM_RELEASE);
    const uintptr_t mask = static_cast<uintptr_t>(kViewAlignment) - 1;
    return reinterpret_cast<void*>((reinterpret_cast<uintptr_t>(room) + mask) & ~mask);
}

const unsigned char* MapView(HANDLE mapping, int64_t offset, SIZE_T size)
{
    // The address found free may be taken by the time the view is mapped: then
    // anywhere will do.
    void* at = AlignedAddressFor(size);
    void* view = at ? ::MapViewOfFileEx(mapping, FILE_MAP_READ, High(offset), Low(offset), size, at) : nullptr;
    if (!view)
        view = ::MapViewOfFile(mapping, FILE_MAP_READ, High(offset), Low(offset), size);
    return static_cast<const unsigned char*>(view);
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

    int64_t start = 0;  // the first window start not searched yet
    for (;;) {
        const int64_t base = start / kViewAlignment * kViewAlignment;
        const int64_t viewBytes = std::min(kSearchViewBytes, length - base);
        const bool last = base + viewBytes >= length;
        const unsigned char* view = MapView(mapping, base, static_cast<SIZE_T>(viewBytes));
        if (last || !view)
            ::CloseHandle(mapping);
        if (!view)
            return SEARCH_OPEN_FAILED;

        const int64_t found = FindPattern(view + (start - base), pattern, g_shiftTable,
                                          base + viewBytes - start, n);
        ::UnmapViewOfFile(view);
        if (found >= 0)
            return start + found;
        if (last)
            return SEARCH_NOT_FOUND;
        // Windows from here on reach past this view: the next view starts at or
        // before this point, so an occurrence across the boundary lies whole in it.
        start = base + viewBytes - std::max<int32_t>(n - 1, 0);
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
