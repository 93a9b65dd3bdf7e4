// A file's bytes searched through mapped views of a read-only file mapping. A view
// reads past ranges other programs have locked, and finds what lies before a sector
// that cannot be read; each worker maps one view at a time and unmaps it once searched,
// so a file's search holds at most two views, whatever the file's size.
#pragma once

#include "engine/pattern_bytes.h"
#include "engine/runs_ahead.h"

#include <windows.h>

#include <cstdint>

// The window starts a worker takes at a time, mapped as one view with the bytes that
// follow them: large enough that the system's cost of mapping and unmapping a view is
// small beside the search's; small enough for two to find room beside everything else
// in a 32-bit process, and for a run to end soon after an occurrence.
constexpr int64_t kSearchViewBytes = int64_t{32} << 20;
// Where a view cannot be mapped for lack of address space, views half as large are
// mapped instead, down to this.
constexpr int64_t kSmallestViewBytes = int64_t{4} << 20;
// Views start at file offsets that are multiples of this and are placed at addresses
// that are multiples of it too, so the system can map the file's pages from its page
// cache 2 MiB at a time where it holds them in blocks that large.
constexpr int64_t kViewAlignment = int64_t{2} << 20;

// Seconds spent searching bytes through views, mappingSeconds of them on mapping and
// unmapping views many: what the same bytes would cost in views of kSearchViewBytes,
// since a view costs as much to map and unmap whatever its size.
inline double SecondsInViewsOfTheRest(double seconds, double mappingSeconds, int views, int64_t bytes)
{
    if (views <= 0)
        return seconds;
    const double restViews = static_cast<double>(bytes) / static_cast<double>(kSearchViewBytes);
    return seconds - mappingSeconds + mappingSeconds / views * restViews;
}

// A read-only mapping of a file's first length bytes, or nullptr.
HANDLE CreateReadMapping(HANDLE file, int64_t length);

// One worker's runs searched through views of mapping: the first occurrence, as a file
// offset, not found, or unreadable where no view of the smallest size could be mapped
// or a byte the search had to read could not be read.
class ViewRunSearcher : public RunWorker {
public:
    ViewRunSearcher(HANDLE mapping, const PatternBytes& pattern, const int32_t* table)
        : m_mapping(mapping), m_pattern(pattern), m_table(table)
    {
    }
    SearchAnswer Search(int64_t from, int64_t end) override;
    // The seconds spent mapping and unmapping views so far, and the views mapped: what
    // a view costs whatever its size.
    double MappingSeconds() const { return m_mappingSeconds; }
    int Views() const { return m_views; }

private:
    HANDLE m_mapping;
    const PatternBytes& m_pattern;
    const int32_t* m_table;
    // The largest view to map: a run whole, with its carry, from the view boundary at or
    // before its start; once one could not be mapped, smaller from then on.
    int64_t m_viewBytes = kSearchViewBytes + kViewAlignment;
    double m_mappingSeconds = 0;
    int m_views = 0;
};
