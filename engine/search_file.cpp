#include "engine/search_file.h"

#include "framework/sync.h"
#include "framework/thread.h"
#include "engine/address_space.h"
#include "engine/find_pattern.h"
#include "engine/piece_order.h"
#include "engine/read_guard.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

namespace {

DWORD High(int64_t v) { return static_cast<DWORD>(static_cast<uint64_t>(v) >> 32); }
DWORD Low(int64_t v) { return static_cast<DWORD>(v); }

// Views start at file offsets that are multiples of this and are placed at addresses
// that are multiples of it too, so the system can map the file's cached pages 2 MiB at
// a time where it holds them in blocks that large. Under Wine on Linux a view placed
// anywhere else is filled 64 KiB per page fault, which made the search of a cached
// file several times slower.
constexpr int64_t kViewAlignment = 2 << 20;
static_assert(kSmallestViewBytes >= 2 * kViewAlignment, "a view must reach past the next boundary to move on");

constexpr int64_t kPageBytes = 4096;

// How long a wait goes on before it calls back whoever waits.
constexpr DWORD kWaitSliceMs = 50;

// Waits on condition until done() holds, in slices of kWaitSliceMs, calling waiting
// without the lock whenever a slice runs out; gives up once *stop holds. True when done.
template <class Done>
bool WaitCallingBack(CCondition& condition, std::unique_lock<CLock>& lock, Done done,
                     const std::function<void()>& waiting, const std::atomic<bool>* stop)
{
    while (!done()) {
        if (stop && stop->load())
            return false;
        if (!condition.WaitFor(lock, kWaitSliceMs) && waiting) {
            lock.unlock();
            waiting();
            lock.lock();
        }
    }
    return true;
}

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
        m_bytes = std::min(m_viewBytes, m_length - m_base);
    }

    int64_t m_length;
    int32_t m_overlap;
    int64_t m_viewBytes = kSearchViewBytes;
    int64_t m_start = 0, m_base = 0, m_bytes = 0;
};

// One view of a plan, mapped, and where it lies in the file; no view when it could not
// be mapped.
struct MappedPart {
    CMappedView view;
    int64_t base = 0, bytes = 0, start = 0;
    bool last = false;
};

// Maps the view the plan stands at, smaller while address space is short.
MappedPart MapPart(HANDLE mapping, ViewPlan& plan)
{
    for (;;) {
        CMappedView view = MapView(mapping, plan.Base(), plan.Bytes());
        if (view.Get() || !plan.Shrink())
            return MappedPart{std::move(view), plan.Base(), plan.Bytes(), plan.Start(), plan.Last()};
    }
}

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

// The first occurrence in bytes of which some may not be readable: SEARCH_OPEN_FAILED
// only when the search had to read such a byte to give its answer. The search may read
// ahead of the lowest occurrence, so after a failure the part before the page that
// failed is searched again: an occurrence that lies whole before it is still found.
int64_t FindReadable(const unsigned char* data, int64_t len, const PatternBytes& pattern, const int32_t* table)
{
    bool cut = false;
    for (;;) {
        GuardedFind find{data, &pattern, table, len, SEARCH_NOT_FOUND};
        const void* failedAt = nullptr;
        if (ReadGuarded(data, static_cast<size_t>(len), GuardedFind::Run, &find, &failedAt))
            return find.found >= 0 || !cut ? find.found : SEARCH_OPEN_FAILED;
        const uintptr_t page = reinterpret_cast<uintptr_t>(failedAt) & ~static_cast<uintptr_t>(kPageBytes - 1);
        const uintptr_t from = reinterpret_cast<uintptr_t>(data);
        if (page <= from)
            return SEARCH_OPEN_FAILED;
        len = std::min<int64_t>(len - 1, static_cast<int64_t>(page - from));
        cut = true;
    }
}

// Reads one byte of every page, so the system brings the pages in and maps them now.
// A page that cannot be read stops it: the search meets that page only if no
// occurrence comes before it. So does quit (if given), looked at every so many pages:
// on a slow disk a view takes seconds to bring in.
struct PageToucher {
    const unsigned char* view;
    int64_t bytes;
    const std::atomic<bool>* quit;

    static void Run(void* arg)
    {
        const auto* t = static_cast<PageToucher*>(arg);
        // Volatile: reads the compiler must make although their values go unused.
        for (int64_t at = 0; at < t->bytes; at += kPageBytes) {
            static_cast<void>(*static_cast<const volatile unsigned char*>(t->view + at));
            if ((at & (64 * kPageBytes - 1)) == 0 && t->quit && t->quit->load())
                return;
        }
    }
    void operator()() { ReadGuarded(view, static_cast<size_t>(bytes), Run, this); }
};

constexpr int32_t kMostSteps = static_cast<int32_t>(kSearchViewBytes / kSearchStepBytes);
static_assert(kSearchStepBytes % kTouchChunkBytes == 0 && kTouchChunkBytes % kViewAlignment == 0,
              "steps and chunks start where views may start");
static_assert(kSearchViewBytes / kTouchChunkBytes <= 64, "a view's chunks are counted in 64 bits");

// A step's result before anybody has searched it.
constexpr int64_t kNotSearched = -100;

// The work on one view: its chunks brought in and its steps searched, each taken in
// turn by whoever is free, and what each step found. Under the lock.
struct ViewSteps {
    const unsigned char* view = nullptr;
    int64_t bytes = 0;
    int64_t start = 0;  // the first window start to search, from the view's start
    int32_t carry = 0;
    int32_t steps = 0, chunks = 0;
    int32_t nextStep = 0, nextChunk = 0;  // the first nobody has taken
    uint64_t in = 0;                      // a bit per chunk brought in (or given up on)
    // The first step that found an occurrence, failed or was given up: none after it
    // need be searched.
    int32_t decided = kMostSteps;
    int64_t found[kMostSteps] = {};  // from the view's start

    void Reset(const MappedPart& part, int32_t n)
    {
        view = part.view.Get();
        bytes = part.bytes;
        start = part.start - part.base;
        carry = std::max(n - 1, 0);
        steps = view ? static_cast<int32_t>((bytes + kSearchStepBytes - 1) / kSearchStepBytes) : 0;
        chunks = view ? static_cast<int32_t>((bytes + kTouchChunkBytes - 1) / kTouchChunkBytes) : 0;
        nextStep = nextChunk = 0;
        in = 0;
        decided = kMostSteps;
        std::fill(std::begin(found), std::end(found), kNotSearched);
    }
    // The bytes step i reads: its window starts and the n - 1 bytes after the last.
    int64_t From(int32_t i) const { return std::max(start, i * kSearchStepBytes); }
    int64_t End(int32_t i) const { return std::min(bytes, (i + 1) * kSearchStepBytes + carry); }
    // Steps that still matter.
    int32_t Needed() const { return std::min(steps, decided); }
    // Bytes from the view's start whose chunks are all in.
    int64_t Prefix() const
    {
        const int32_t whole = ~in ? __builtin_ctzll(~in) : 64;
        return std::min(bytes, whole * kTouchChunkBytes);
    }
    bool StepReady() const { return nextStep < Needed() && Prefix() >= End(nextStep); }
    bool ChunkNeeded() const { return nextChunk < chunks && Needed() > 0 && nextChunk * kTouchChunkBytes < End(Needed() - 1); }
    bool WorkLeft() const { return StepReady() || ChunkNeeded(); }
    bool AllTaken() const { return nextStep >= Needed(); }
};

// Maps the views of a plan on a helper thread, one ahead of the search, and works on
// them with it: a view is handed to the search as soon as it is mapped. Its pages are
// brought in chunk by chunk, in turn, so a disk sees one stream read in order; a step is
// searched as soon as its chunks are all in. The helper and a search that has a thread
// of its own (no waiting call; the dialog's thread only waits) take whichever is ready,
// a step first: a cached file is searched by both processors at memory speed. The
// helper moves on to the next view once the steps of this one are all taken. At most
// two views are mapped at a time: the one searched and the next. When no thread can be
// started, Running is false and the caller maps and searches the views itself.
class ViewsAhead {
public:
    ViewsAhead(HANDLE mapping, const ViewPlan& plan, const PatternBytes& pattern, const int32_t* table,
               const std::atomic<bool>* searchStop, const std::function<void()>& waiting)
        : m_mapping(mapping), m_plan(plan), m_pattern(pattern), m_table(table), m_searchStop(searchStop),
          m_waiting(waiting)
    {
        m_thread.Start<ViewsAhead, &ViewsAhead::Run>(this);
    }
    // Waits for the helper in slices, calling waiting between them: on the dialog's
    // thread the helper may be bringing in pages from a slow disk. Views handed out must
    // outlive this: the helper may still be reading one.
    ~ViewsAhead()
    {
        m_quit = true;
        {
            std::lock_guard<CLock> lock(m_lock);
            m_stop = true;
        }
        m_changed.NotifyAll();
        while (!m_thread.WaitEnded(kWaitSliceMs)) {
            if (m_waiting)
                m_waiting();
        }
        m_thread.Join();
    }
    ViewsAhead(const ViewsAhead&) = delete;
    ViewsAhead& operator=(const ViewsAhead&) = delete;

    bool Running() const { return m_thread.Running(); }

    // The next view of the plan, mapped; no view when it could not be mapped, or when the
    // search is stopped meanwhile. While it waits, calls waiting every so often.
    MappedPart Next(const std::function<void()>& waiting)
    {
        std::unique_lock<CLock> lock(m_lock);
        if (!WaitCallingBack(m_changed, lock, [this] { return m_full; }, waiting, m_searchStop))
            return MappedPart{};
        m_full = false;
        m_current = &m_views[m_taken++ % 2];
        m_changed.NotifyAll();
        return std::move(m_ready);
    }

    // The first occurrence in the view Next handed out last, from the view's start, once
    // the steps before it are searched; SEARCH_NOT_FOUND, SEARCH_OPEN_FAILED, or
    // SEARCH_STOPPED when the search is stopped meanwhile. Without a waiting call, works
    // on the view itself, and on the next while the helper ends this one.
    int64_t Searched(const std::function<void()>& waiting)
    {
        ViewSteps& s = *m_current;
        ViewSteps& next = m_views[m_taken % 2];
        std::unique_lock<CLock> lock(m_lock);
        int32_t i = 0;
        const auto known = [&s, &i] {
            while (i < s.steps && s.found[i] == SEARCH_NOT_FOUND)
                ++i;
            return i == s.steps || s.found[i] != kNotSearched;
        };
        // The next view stays mapped until the search has taken it off the helper.
        const auto work = [&]() -> ViewSteps* {
            if (waiting)
                return nullptr;
            if (s.WorkLeft())
                return &s;
            return m_full && next.WorkLeft() ? &next : nullptr;
        };
        for (;;) {
            if (!WaitCallingBack(m_changed, lock, [&] { return known() || work(); }, waiting, m_searchStop))
                return SEARCH_STOPPED;
            if (known())
                return i == s.steps ? SEARCH_NOT_FOUND : s.found[i];
            Work(*work(), lock, m_searchStop);
        }
    }

private:
    void Run()
    {
        for (int32_t seq = 0;; ++seq) {
            std::unique_lock<CLock> lock(m_lock);
            m_changed.Wait(lock, [this] { return !m_full || m_stop; });
            if (m_stop)
                return;
            lock.unlock();
            MappedPart part = MapPart(m_mapping, m_plan);
            const bool end = part.last || !part.view.Get();
            // The search took the view before last off this slot before it took the last.
            ViewSteps& s = m_views[seq % 2];
            lock.lock();
            if (m_stop)
                return;
            s.Reset(part, m_pattern.n);
            m_ready = std::move(part);
            m_full = true;
            m_changed.NotifyAll();
            for (;;) {
                m_changed.Wait(lock, [&s, this] { return s.WorkLeft() || s.AllTaken() || m_stop; });
                if (m_stop || s.AllTaken())
                    break;
                Work(s, lock, &m_quit);
            }
            if (m_stop || end || s.decided < s.steps)
                return;
            lock.unlock();
            m_plan.Advance();
        }
    }

    // Takes what is ready in the view, a step before a chunk, and does it without the
    // lock. Given up once *quit holds.
    void Work(ViewSteps& s, std::unique_lock<CLock>& lock, const std::atomic<bool>* quit)
    {
        if (s.StepReady()) {
            const int32_t i = s.nextStep++;
            const int64_t from = s.From(i), end = s.End(i);
            lock.unlock();
            int64_t found = SEARCH_STOPPED;
            if (!quit || !quit->load()) {
                found = FindReadable(s.view + from, end - from, m_pattern, m_table);
                if (found >= 0)
                    found += from;
            }
            lock.lock();
            s.found[i] = found;
            if (found != SEARCH_NOT_FOUND)
                s.decided = std::min(s.decided, i);
        } else {
            const int32_t i = s.nextChunk++;
            const int64_t at = i * kTouchChunkBytes;
            lock.unlock();
            PageToucher{s.view + at, std::min(kTouchChunkBytes, s.bytes - at), quit}();
            lock.lock();
            s.in |= uint64_t{1} << i;
        }
        m_changed.NotifyAll();
    }

    HANDLE m_mapping;
    ViewPlan m_plan;
    const PatternBytes& m_pattern;
    const int32_t* m_table;
    const std::atomic<bool>* m_searchStop;
    const std::function<void()>& m_waiting;
    std::atomic<bool> m_quit{false};  // the search is over: stop working
    CLock m_lock;
    CCondition m_changed;
    bool m_full = false;  // m_ready holds the next view, or its failure
    bool m_stop = false;
    MappedPart m_ready;
    // The views handed out take turns on two slots: the search's and the helper's next.
    ViewSteps m_views[2];
    int32_t m_taken = 0;
    ViewSteps* m_current = nullptr;
    CThread m_thread;  // last: joined before the rest goes
};

// Where address space is short (a 32-bit process), one file at a time is searched
// through mapped views, so its two views always find room. The wait calls waiting every
// so often.
class MappedSearchTurn {
public:
    // Gives up waiting once *stop holds.
    MappedSearchTurn(const std::function<void()>& waiting, const std::atomic<bool>* stop)
    {
        if (!AddressSpaceIsShort()) {
            m_needed = false;
            return;
        }
        std::unique_lock<CLock> lock(s_lock);
        if (WaitCallingBack(s_free, lock, [] { return !s_taken; }, waiting, stop))
            s_taken = m_held = true;
    }
    ~MappedSearchTurn()
    {
        if (!m_held)
            return;
        {
            std::lock_guard<CLock> lock(s_lock);
            s_taken = false;
        }
        s_free.NotifyOne();
    }
    MappedSearchTurn(const MappedSearchTurn&) = delete;
    MappedSearchTurn& operator=(const MappedSearchTurn&) = delete;

    // Whether views may be mapped: the turn is held, or none is needed. A wait that gave
    // up holds nothing, whatever the stop flag says by the time anyone looks again.
    bool Granted() const { return m_held || !m_needed; }

private:
    static CLock s_lock;
    static CCondition s_free;
    static bool s_taken;
    bool m_needed = true;
    bool m_held = false;
};

CLock MappedSearchTurn::s_lock;
CCondition MappedSearchTurn::s_free;
bool MappedSearchTurn::s_taken = false;

// The answer of a piece whose bytes could not be read: the file is searched through
// views instead.
constexpr int64_t kPieceUnread = -10;

// The pieces of a file read and searched by two threads, each taking the next piece in
// turn into a buffer of its own: the helper, with a handle of its own, and the search,
// unless it has a waiting call (the dialog's thread only waits, and works only once the
// helper has gone). The answer is that of the first piece in order that found the
// pattern or could not be read, once every piece before it is done.
class PiecesAhead {
public:
    PiecesAhead(HANDLE file, int64_t length, const PatternBytes& pattern, const int32_t* table,
                std::vector<unsigned char>& helperBuffer, const std::atomic<bool>* stop,
                const std::function<void()>& waiting)
        : m_file(file), m_length(length), m_carry(std::max(pattern.n - 1, 0)), m_pattern(pattern), m_table(table),
          m_helperBuffer(helperBuffer), m_stop(stop), m_waiting(waiting),
          m_order((length + kReadPieceBytes - 1) / kReadPieceBytes, SEARCH_NOT_FOUND)
    {
        m_thread.Start<PiecesAhead, &PiecesAhead::Run>(this);
    }
    // Waits for the helper in slices, calling waiting between them: it may be reading
    // from a slow disk.
    ~PiecesAhead()
    {
        {
            std::lock_guard<CLock> lock(m_lock);
            m_quit = true;
        }
        while (!m_thread.WaitEnded(kWaitSliceMs)) {
            if (m_waiting)
                m_waiting();
        }
        m_thread.Join();
    }
    PiecesAhead(const PiecesAhead&) = delete;
    PiecesAhead& operator=(const PiecesAhead&) = delete;

    bool Running() const { return m_thread.Running(); }

    // The first occurrence, SEARCH_NOT_FOUND, SEARCH_OPEN_FAILED (the file is shorter
    // than measured), kPieceUnread or SEARCH_STOPPED; file and buffer are the search's.
    int64_t Search(HANDLE file, std::vector<unsigned char>& buffer)
    {
        std::unique_lock<CLock> lock(m_lock);
        for (;;) {
            if (m_stop && m_stop->load())
                return SEARCH_STOPPED;
            if (m_order.Decided())
                return m_order.Answer();
            if (m_order.PieceLeft() && (!m_waiting || m_helperGone))
                Work(0, file, buffer, lock);
            else
                m_changed.WaitFor(lock, kWaitSliceMs);
            // At every wake-up: pieces that come often would otherwise keep the waiting
            // thread from ever looking at its queue.
            if (m_waiting) {
                lock.unlock();
                m_waiting();
                lock.lock();
            }
        }
    }

private:
    void Run()
    {
        // A handle of its own, read with its own file pointer; without one, nothing to help with.
        CHandle own(::ReOpenFile(m_file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 FILE_FLAG_SEQUENTIAL_SCAN));
        std::unique_lock<CLock> lock(m_lock);
        if (own.IsValid()) {
            while (!m_quit && !(m_stop && m_stop->load()) && m_order.PieceLeft())
                Work(1, own.Get(), m_helperBuffer, lock);
        }
        m_helperGone = true;
        m_changed.NotifyAll();
    }

    // Reads and searches the next piece without the lock, as worker.
    void Work(int worker, HANDLE file, std::vector<unsigned char>& buffer, std::unique_lock<CLock>& lock)
    {
        const int64_t piece = m_order.Take(worker);
        lock.unlock();
        const int64_t found = ReadAndFind(file, piece, buffer);
        lock.lock();
        m_order.Done(worker, found);
        m_changed.NotifyAll();
    }

    int64_t ReadAndFind(HANDLE file, int64_t piece, std::vector<unsigned char>& buffer) const
    {
        const int64_t at = piece * kReadPieceBytes;
        const DWORD want = static_cast<DWORD>(std::min(kReadPieceBytes + m_carry, m_length - at));
        LARGE_INTEGER to;
        to.QuadPart = at;
        DWORD got = 0;
        if (!::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) || !::ReadFile(file, buffer.data(), want, &got, nullptr))
            return kPieceUnread;
        if (got != want)
            return SEARCH_OPEN_FAILED;
        const int64_t found = FindPattern(buffer.data(), m_pattern.bytes, m_table, want, m_pattern.n);
        return found >= 0 ? at + found : SEARCH_NOT_FOUND;
    }

    HANDLE m_file;
    int64_t m_length;
    int64_t m_carry;
    const PatternBytes& m_pattern;
    const int32_t* m_table;
    std::vector<unsigned char>& m_helperBuffer;
    const std::atomic<bool>* m_stop;
    const std::function<void()>& m_waiting;
    CLock m_lock;
    CCondition m_changed;
    PieceOrder m_order;  // reader 0 the search, 1 the helper
    bool m_helperGone = false;
    bool m_quit = false;
    CThread m_thread;  // last: joined before the rest goes
};

// Read buffers of searchers that have ended, for those that come after. Its slots take
// a buffer without allocating; where all are full, the buffer is let go.
class BufferShelf {
public:
    static BufferShelf& Of()
    {
        static BufferShelf* shelf = new BufferShelf;  // never destroyed: searchers give back at exit too
        return *shelf;
    }
    // A buffer of at least bytes, one from the shelf where it holds one; may throw
    // std::bad_alloc.
    void Fit(std::vector<unsigned char>& buffer, size_t bytes)
    {
        if (buffer.size() >= bytes)
            return;
        if (buffer.empty()) {
            std::lock_guard<CLock> lock(m_lock);
            for (auto& slot : m_slots) {
                if (slot.size() > buffer.size())
                    buffer.swap(slot);
            }
        }
        if (buffer.size() < bytes)
            buffer.resize(bytes);
    }
    void Give(std::vector<unsigned char>& buffer) noexcept
    {
        std::lock_guard<CLock> lock(m_lock);
        for (auto& slot : m_slots) {
            if (slot.empty()) {
                slot.swap(buffer);
                return;
            }
        }
    }

private:
    static constexpr int kSlots = 8;
    CLock m_lock;
    std::vector<unsigned char> m_slots[kSlots];
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

FileSearcher::~FileSearcher()
{
    BufferShelf::Of().Give(m_buffer);
    BufferShelf::Of().Give(m_helperBuffer);
}

int64_t FileSearcher::Search(const char* path, const PatternBytes& pattern)
{
    try {
        m_pattern = pattern;
        // Shared for deleting too: a file being searched can be renamed or deleted by
        // others meanwhile, as if it were not open. Read from start to end, which the
        // system may read ahead the further for.
        CHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file.IsValid())
            return SEARCH_OPEN_FAILED;
        return SearchMeasured(file.Get(), QueryFileLength(file.Get()), true, &file);
    } catch (...) {
        return SEARCH_OPEN_FAILED;
    }
}

int64_t FileSearcher::SearchOpen(HANDLE file, int64_t length, const PatternBytes& pattern)
{
    try {
        m_pattern = pattern;
        return SearchMeasured(file, length, false, nullptr);
    } catch (...) {
        return SEARCH_OPEN_FAILED;
    }
}

int64_t FileSearcher::SearchMeasured(HANDLE file, int64_t length, bool atStart, CHandle* owner)
{
    if (length < 0)
        return SEARCH_OPEN_FAILED;
    int64_t found = SEARCH_NOT_FOUND;
    ReadResult read = ReadResult::Searched;
    if (length <= kHelpedReadBytes || !SearchReadHelped(file, length, read, found))
        read = SearchRead(file, length, atStart, found);
    switch (read) {
    case ReadResult::Searched:
        return found;
    case ReadResult::Short:
        return SEARCH_OPEN_FAILED;
    case ReadResult::Failed:
        // A range another program locked, or a sector that cannot be read: a mapped
        // view reads past locks, and finds what lies before a bad sector.
        break;
    }
    CHandle mapping(CreateReadMapping(file, length));
    if (owner)
        owner->Close();  // the mapping keeps the file open as long as it needs it
    return mapping.IsValid() ? SearchMapping(mapping.Get(), length) : SEARCH_OPEN_FAILED;
}

// From the start, exactly the bytes measured, piece by piece: a file that has shrunk
// since cannot be read to the end, and what has been added is not searched. Each piece
// is searched behind the last n - 1 bytes of the one before, so an occurrence across
// two pieces lies whole in the second.
FileSearcher::ReadResult FileSearcher::SearchRead(HANDLE file, int64_t length, bool atStart, int64_t& found)
{
    found = SEARCH_NOT_FOUND;
    if (length == 0)
        return ReadResult::Searched;
    const int64_t carry = std::max(m_pattern.n - 1, 0);
    const size_t capacity = static_cast<size_t>(std::min(length, kReadPieceBytes + carry));
    BufferShelf::Of().Fit(m_buffer, capacity);
    if (!atStart) {
        LARGE_INTEGER zero{};
        if (!::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN))
            return ReadResult::Failed;
    }
    BuildShiftTable(m_pattern.bytes, m_pattern.n, m_table);
    int64_t base = 0;  // the file offset of the buffer's first byte
    int64_t held = 0;  // bytes in the buffer
    for (;;) {
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(kReadPieceBytes, length - base - held));
        DWORD got = 0;
        if (!::ReadFile(file, m_buffer.data() + held, want, &got, nullptr))
            return ReadResult::Failed;
        if (got != want)
            return ReadResult::Short;
        held += want;
        const int64_t at = FindPattern(m_buffer.data(), m_pattern.bytes, m_table, held, m_pattern.n);
        if (at >= 0) {
            found = base + at;
            return ReadResult::Searched;
        }
        if (base + held == length)
            return ReadResult::Searched;
        if (m_whileSearching)
            m_whileSearching();
        if (Stopped()) {
            found = SEARCH_STOPPED;
            return ReadResult::Searched;
        }
        std::memmove(m_buffer.data(), m_buffer.data() + held - carry, static_cast<size_t>(carry));
        base += held - carry;
        held = carry;
    }
}

bool FileSearcher::SearchReadHelped(HANDLE file, int64_t length, ReadResult& result, int64_t& found)
{
    const size_t capacity = static_cast<size_t>(kReadPieceBytes + std::max(m_pattern.n - 1, 0));
    try {
        BufferShelf::Of().Fit(m_buffer, capacity);
        BufferShelf::Of().Fit(m_helperBuffer, capacity);
    } catch (const std::bad_alloc&) {
        return false;  // read alone, in the buffer it has
    }
    BuildShiftTable(m_pattern.bytes, m_pattern.n, m_table);
    PiecesAhead pieces(file, length, m_pattern, m_table, m_helperBuffer, m_stop, m_whileSearching);
    if (!pieces.Running())
        return false;
    found = pieces.Search(file, m_buffer);
    result = found == kPieceUnread ? ReadResult::Failed
             : found == SEARCH_OPEN_FAILED ? ReadResult::Short
                                           : ReadResult::Searched;
    return true;
}

int64_t FileSearcher::SearchMapping(HANDLE mapping, int64_t length)
{
    const MappedSearchTurn turn(m_whileSearching, m_stop);
    if (!turn.Granted() || Stopped())
        return SEARCH_STOPPED;
    BuildShiftTable(m_pattern.bytes, m_pattern.n, m_table);
    ViewPlan plan(length, m_pattern.n);
    // Declared before the helper, so it is unmapped after the helper has ended: the
    // helper may still be reading it when the search is over.
    MappedPart part;
    // A helper only where it has a view or a step to take.
    std::optional<ViewsAhead> ahead;
    if (!plan.Last() || length > kSearchStepBytes)
        ahead.emplace(mapping, plan, m_pattern, m_table, m_stop, m_whileSearching);
    const bool helped = ahead && ahead->Running();
    for (;;) {
        part = helped ? ahead->Next(m_whileSearching) : MapPart(mapping, plan);
        if (!part.view.Get())
            return Stopped() ? SEARCH_STOPPED : SEARCH_OPEN_FAILED;
        int64_t found;
        if (helped) {
            found = ahead->Searched(m_whileSearching);
        } else {
            const int64_t from = part.start - part.base;
            found = FindReadable(part.view.Get() + from, part.bytes - from, m_pattern, m_table);
            if (found >= 0)
                found += from;
        }
        if (found >= 0)
            return part.base + found;
        if (found != SEARCH_NOT_FOUND)
            return found;
        if (part.last)
            return SEARCH_NOT_FOUND;
        part.view.Unmap();
        if (Stopped())
            return SEARCH_STOPPED;
        if (!helped)
            plan.Advance();
        if (m_whileSearching)
            m_whileSearching();
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
    return searcher.SearchOpen(file, length, PatternBytes(pattern, n));
}
