#include "engine/search_file.h"

#include "engine/find_pattern.h"
#include "engine/read_guard.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

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

// The views that cover a file of length bytes for a pattern of n bytes, one after
// another. Each starts on a kViewAlignment boundary at or before the first window
// start not searched yet, so an occurrence across a view boundary lies whole in the
// next view.
class ViewPlan {
public:
    ViewPlan(int64_t length, int32_t n) : m_length(length), m_overlap(std::max<int32_t>(n - 1, 0)) { Place(0); }

    int64_t Base() const { return m_base; }
    int64_t Bytes() const { return m_bytes; }
    int64_t Start() const { return m_start; }  // the first window start to search
    bool Last() const { return m_base + m_bytes >= m_length; }
    // Windows from here on reach past this view.
    void Advance() { Place(m_base + m_bytes - m_overlap); }

private:
    void Place(int64_t start)
    {
        m_start = start;
        m_base = start / kViewAlignment * kViewAlignment;
        m_bytes = std::min(kSearchViewBytes, m_length - m_base);
    }

    int64_t m_length;
    int32_t m_overlap;
    int64_t m_start = 0, m_base = 0, m_bytes = 0;
};

// FindPattern over bytes that may fail to be read (ReadGuarded).
struct GuardedFind {
    const unsigned char* data;
    const unsigned char* pattern;
    const int32_t* table;
    int64_t len;
    int32_t n;
    int64_t found;

    static void Run(void* arg)
    {
        auto* f = static_cast<GuardedFind*>(arg);
        f->found = FindPattern(f->data, f->pattern, f->table, f->len, f->n);
    }
    // The offset found, SEARCH_NOT_FOUND, or SEARCH_OPEN_FAILED when a byte could not be read.
    int64_t operator()()
    {
        return ReadGuarded(data, static_cast<size_t>(len), Run, this) ? found : SEARCH_OPEN_FAILED;
    }
};

constexpr int64_t kPageBytes = 4096;

// Reads one byte of every page, so the system brings the pages in and maps them now.
struct PageToucher {
    const unsigned char* view;
    int64_t bytes;

    static void Run(void* arg)
    {
        const auto* t = static_cast<PageToucher*>(arg);
        // Volatile: reads the compiler must make although their values go unused.
        for (int64_t at = 0; at < t->bytes; at += kPageBytes)
            static_cast<void>(*static_cast<const volatile unsigned char*>(t->view + at));
    }
    bool operator()() { return ReadGuarded(view, static_cast<size_t>(bytes), Run, this); }
};

// Maps the views of a plan on a helper thread, one ahead of the search, and brings
// their pages in meanwhile: the search of a cached file then runs at memory speed.
// At most two views are mapped at a time: the one searched and the next.
class ViewsAhead {
public:
    ViewsAhead(HANDLE mapping, const ViewPlan& plan) : m_mapping(mapping), m_plan(plan)
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~ViewsAhead()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    // The next view of the plan; empty when it could not be mapped or read.
    CMappedView Next()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_full; });
        m_full = false;
        m_changed.notify_all();
        return std::move(m_ready);
    }

private:
    void Run()
    {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_full || m_stop; });
                if (m_stop)
                    return;
            }
            CMappedView view = MapView(m_mapping, m_plan.Base(), m_plan.Bytes());
            if (view.Get() && !PageToucher{view.Get(), m_plan.Bytes()}())
                view.Unmap();
            const bool end = m_plan.Last() || !view.Get();
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_stop)
                    return;
                m_ready = std::move(view);
                m_full = true;
            }
            m_changed.notify_all();
            if (end)
                return;
            m_plan.Advance();
        }
    }

    HANDLE m_mapping;
    ViewPlan m_plan;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_full = false;  // m_ready holds the next view, or its failure
    bool m_stop = false;
    CMappedView m_ready;
    std::thread m_thread;
};

HANDLE CreateReadMapping(HANDLE file, int64_t length)
{
    return ::CreateFileMappingA(file, nullptr, PAGE_READONLY, High(length), Low(length), nullptr);
}

}  // namespace

int64_t QueryFileLength(HANDLE file)
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size))
        return -1;
    return size.QuadPart;
}

int64_t FileSearcher::Search(const char* path, const unsigned char* pattern, int32_t n)
{
    CHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return SEARCH_OPEN_FAILED;
    return SearchMeasured(file.Get(), QueryFileLength(file.Get()), pattern, n, &file);
}

int64_t FileSearcher::SearchOpen(HANDLE file, int64_t length, const unsigned char* pattern, int32_t n)
{
    return SearchMeasured(file, length, pattern, n, nullptr);
}

int64_t FileSearcher::SearchMeasured(HANDLE file, int64_t length, const unsigned char* pattern, int32_t n,
                                     CHandle* owner)
{
    if (length < 0)
        return SEARCH_OPEN_FAILED;
    if (length > kReadWholeBytes) {
        CHandle mapping(CreateReadMapping(file, length));
        if (owner)
            owner->Close();  // the mapping keeps the file open as long as it needs it
        return mapping.IsValid() ? SearchMapping(mapping.Get(), length, pattern, n) : SEARCH_OPEN_FAILED;
    }

    // From the start, exactly the bytes measured: a file that has shrunk since cannot be
    // read whole, and what has been added is not searched.
    if (m_buffer.size() < static_cast<size_t>(length))
        m_buffer.resize(static_cast<size_t>(length));
    OVERLAPPED at{};
    DWORD got = 0;
    const bool read = length == 0 || (::ReadFile(file, m_buffer.data(), static_cast<DWORD>(length), &got, &at) &&
                                      got == static_cast<DWORD>(length));
    if (owner)
        owner->Close();
    if (!read)
        return SEARCH_OPEN_FAILED;
    BuildShiftTable(pattern, n, m_table);
    return FindPattern(m_buffer.data(), pattern, m_table, length, n);
}

int64_t FileSearcher::SearchMapping(HANDLE mapping, int64_t length, const unsigned char* pattern, int32_t n)
{
    BuildShiftTable(pattern, n, m_table);
    ViewPlan plan(length, n);
    if (plan.Last()) {
        const CMappedView view = MapView(mapping, plan.Base(), plan.Bytes());
        if (!view.Get())
            return SEARCH_OPEN_FAILED;
        return GuardedFind{view.Get(), pattern, m_table, plan.Bytes(), n, 0}();
    }

    ViewsAhead ahead(mapping, plan);
    for (;;) {
        CMappedView view = ahead.Next();
        if (!view.Get())
            return SEARCH_OPEN_FAILED;
        const int64_t skip = plan.Start() - plan.Base();
        const int64_t found = GuardedFind{view.Get() + skip, pattern, m_table, plan.Bytes() - skip, n, 0}();
        if (found == SEARCH_OPEN_FAILED)
            return SEARCH_OPEN_FAILED;
        if (found >= 0)
            return plan.Start() + found;
        if (plan.Last())
            return SEARCH_NOT_FOUND;
        view.Unmap();
        plan.Advance();
        if (m_betweenViews)
            m_betweenViews();
    }
}

int64_t SearchFile(const char* path, const unsigned char* pattern, int32_t n)
{
    static FileSearcher searcher(g_shiftTable);
    return searcher.Search(path, pattern, n);
}

int64_t SearchOpenFile(HANDLE file, int64_t length, const unsigned char* pattern, int32_t n)
{
    static FileSearcher searcher(g_shiftTable);
    return searcher.SearchOpen(file, length, pattern, n);
}
