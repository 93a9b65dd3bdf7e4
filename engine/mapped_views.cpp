#include "engine/mapped_views.h"

#include "framework/handle.h"
#include "engine/find_pattern.h"
#include "engine/read_guard.h"
#include "engine/search_clock.h"
#include "engine/search_file.h"

#include <algorithm>

namespace {

static_assert(kSmallestViewBytes >= 2 * kViewAlignment, "a view must reach past the next boundary to move on");

constexpr int64_t kPageBytes = 4096;

DWORD High(int64_t v) { return static_cast<DWORD>(static_cast<uint64_t>(v) >> 32); }
DWORD Low(int64_t v) { return static_cast<DWORD>(v); }

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

CMappedView MapView(HANDLE mapping, int64_t offset, int64_t size)
{
    // The address found free may be taken by the time the view is mapped (another
    // thread maps too): then anywhere will do.
    const SIZE_T bytes = static_cast<SIZE_T>(size);
    void* at = AlignedAddressFor(bytes);
    void* view = at ? ::MapViewOfFileEx(mapping, FILE_MAP_READ, High(offset), Low(offset), bytes, at) : nullptr;
    if (!view)
        view = ::MapViewOfFile(mapping, FILE_MAP_READ, High(offset), Low(offset), bytes);
    return CMappedView(view);
}

// The views that cover the window starts [from, end - n + 1) of a file, one after
// another. Each starts on a kViewAlignment boundary at or before the first window start
// not searched yet, so an occurrence across a view boundary lies whole in the next view.
class ViewPlan {
public:
    ViewPlan(int64_t from, int64_t end, int32_t n, int64_t viewBytes)
        : m_end(end), m_overlap(std::max<int32_t>(n - 1, 0)), m_viewBytes(viewBytes)
    {
        Place(from);
    }

    int64_t Base() const { return m_base; }
    int64_t Bytes() const { return m_bytes; }
    int64_t Start() const { return m_start; }  // the first window start to search
    int64_t ViewBytes() const { return m_viewBytes; }
    bool Last() const { return m_base + m_bytes >= m_end; }
    // Windows from here on reach past this view.
    void Advance() { Place(m_base + m_bytes - m_overlap); }
    // Views half as large from here on, after one could not be mapped; false when they
    // are as small as they get.
    bool Shrink()
    {
        if (m_viewBytes <= kSmallestViewBytes)
            return false;
        m_viewBytes = std::max(kSmallestViewBytes, m_viewBytes / 2);
        Place(m_start);
        return true;
    }

private:
    void Place(int64_t start)
    {
        m_start = start;
        m_base = start / kViewAlignment * kViewAlignment;
        m_bytes = std::min(m_viewBytes, m_end - m_base);
    }

    int64_t m_end;
    int32_t m_overlap;
    int64_t m_viewBytes;
    int64_t m_start = 0, m_base = 0, m_bytes = 0;
};

// FindPattern over bytes that may fail to be read (ReadGuarded).
struct GuardedFind {
    const unsigned char* data;
    const PatternBytes* pattern;
    const int32_t* table;
    int64_t len;
    int64_t found;

    static void Run(void* arg)
    {
        auto* f = static_cast<GuardedFind*>(arg);
        f->found = FindPattern(f->data, f->pattern->bytes, f->table, f->len, f->pattern->n);
    }
};

// The first occurrence in bytes of which some may not be readable (the bytes start at
// file offset base): unreadable only when the search had to read such a byte to give
// its answer. The search may read ahead of the lowest occurrence, so after a failure
// the part before the page that failed is searched again: an occurrence that lies
// whole before it is still found.
SearchAnswer FindReadable(const unsigned char* data, int64_t len, int64_t base, const PatternBytes& pattern,
                          const int32_t* table)
{
    bool cut = false;
    for (;;) {
        GuardedFind find{data, &pattern, table, len, SEARCH_NOT_FOUND};
        const void* failedAt = nullptr;
        if (ReadGuarded(data, static_cast<size_t>(len), GuardedFind::Run, &find, &failedAt))
            return find.found >= 0 || !cut ? SearchAnswer::OfFind(find.found, base)
                                           : SearchAnswer::Of(Searched::Unreadable);
        const uintptr_t page = reinterpret_cast<uintptr_t>(failedAt) & ~static_cast<uintptr_t>(kPageBytes - 1);
        const uintptr_t from = reinterpret_cast<uintptr_t>(data);
        if (page <= from)
            return SearchAnswer::Of(Searched::Unreadable);
        len = std::min<int64_t>(len - 1, static_cast<int64_t>(page - from));
        cut = true;
    }
}

}  // namespace

HANDLE CreateReadMapping(HANDLE file, int64_t length)
{
    return ::CreateFileMappingA(file, nullptr, PAGE_READONLY, High(length), Low(length), nullptr);
}

SearchAnswer ViewRunSearcher::Search(int64_t from, int64_t end)
{
    ViewPlan plan(from, end, m_pattern.n, m_viewBytes);
    for (;;) {
        double start = SearchClockSeconds();
        CMappedView view = MapView(m_mapping, plan.Base(), plan.Bytes());
        m_mappingSeconds += SearchClockSeconds() - start;
        if (!view.Get()) {
            if (!plan.Shrink())
                return SearchAnswer::Of(Searched::Unreadable);
            m_viewBytes = plan.ViewBytes();
            continue;
        }
        const int64_t skip = plan.Start() - plan.Base();
        const SearchAnswer found = FindReadable(view.Get() + skip, plan.Bytes() - skip, plan.Start(), m_pattern, m_table);
        ++m_views;
        start = SearchClockSeconds();
        view.Unmap();
        m_mappingSeconds += SearchClockSeconds() - start;
        if (found.status != Searched::NotFound || plan.Last())
            return found;
        plan.Advance();
    }
}
