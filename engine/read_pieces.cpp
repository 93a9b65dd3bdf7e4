#include "engine/read_pieces.h"

#include "framework/sync.h"
#include "engine/find_pattern.h"
#include "engine/search_file.h"

#include <algorithm>
#include <cstring>

namespace {

// Read buffers of searchers that have ended, for those that come after (a walk's
// searchers end with the walk). Its slots take a buffer without allocating; where all
// are full, the buffer is let go.
class BufferShelf {
public:
    static BufferShelf& Of()
    {
        static BufferShelf* shelf = new BufferShelf;  // never destroyed: searchers give back at exit too
        return *shelf;
    }
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

bool MoveTo(HANDLE file, int64_t offset)
{
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return ::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

}  // namespace

void FitReadBuffer(std::vector<unsigned char>& buffer, size_t bytes)
{
    BufferShelf::Of().Fit(buffer, bytes);
}

void ShelveReadBuffer(std::vector<unsigned char>& buffer) noexcept
{
    BufferShelf::Of().Give(buffer);
}

SearchAnswer PieceSearch::Search(int64_t from, int64_t end, bool seek) const
{
    if (from >= end)
        return SearchAnswer::Of(Searched::NotFound);
    if (seek && !MoveTo(file, from))
        return SearchAnswer::Of(Searched::Unread);
    const int64_t carry = std::max(pattern->n - 1, 0);
    unsigned char* bytes = buffer->data();
    int64_t base = from;  // the file offset of the buffer's first byte
    int64_t held = 0;     // bytes in the buffer
    for (;;) {
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(pieceBytes, end - base - held));
        DWORD got = 0;
        if (!::ReadFile(file, bytes + held, want, &got, nullptr))
            return SearchAnswer::Of(Searched::Unread);
        if (got != want)
            return SearchAnswer::Of(Searched::Unreadable);
        held += want;
        const int64_t at = FindPattern(bytes, pattern->bytes, table, held, pattern->n);
        if (at >= 0 || base + held == end)
            return SearchAnswer::OfFind(at, base);
        if (between && *between)
            (*between)();
        if (stop && stop->load())
            return SearchAnswer::Of(Searched::Stopped);
        std::memmove(bytes, bytes + held - carry, static_cast<size_t>(carry));
        base += held - carry;
        held = carry;
    }
}

bool ReadThrough(HANDLE file, int64_t from, int64_t end, std::vector<unsigned char>& buffer,
                 const std::function<void()>* between, const std::atomic<bool>* stop)
{
    if (buffer.empty() || !MoveTo(file, from))
        return false;
    for (int64_t at = from; at < end;) {
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(static_cast<int64_t>(buffer.size()), end - at));
        DWORD got = 0;
        if (!::ReadFile(file, buffer.data(), want, &got, nullptr) || got != want)
            return false;
        at += want;
        if (between && *between)
            (*between)();
        if (stop && stop->load())
            return false;
    }
    return true;
}

bool PieceRunReader::Prepare()
{
    if (!m_ownHandle)
        return true;
    m_own.Reset(::ReOpenFile(m_file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             FILE_FLAG_SEQUENTIAL_SCAN));
    return m_own.IsValid();
}

SearchAnswer PieceRunReader::Search(int64_t from, int64_t end)
{
    const HANDLE file = m_ownHandle ? m_own.Get() : m_file;
    const DWORD want = static_cast<DWORD>(end - from);
    DWORD got = 0;
    if (!MoveTo(file, from) || !::ReadFile(file, m_buffer.data(), want, &got, nullptr))
        return SearchAnswer::Of(Searched::Unread);
    if (got != want)
        return SearchAnswer::Of(Searched::Unreadable);
    return SearchAnswer::OfFind(FindPattern(m_buffer.data(), m_pattern.bytes, m_table, want, m_pattern.n), from);
}
