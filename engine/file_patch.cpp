#include "engine/file_patch.h"

#include "framework/handle.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace {

bool Seek(HANDLE file, int64_t offset)
{
    LARGE_INTEGER pos;
    pos.QuadPart = offset;
    return ::SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) != FALSE;
}

// True only when every byte was written.
bool WriteAt(HANDLE file, int64_t offset, const unsigned char* bytes, DWORD count)
{
    DWORD written = 0;
    return Seek(file, offset) && (count == 0 || (::WriteFile(file, bytes, count, &written, nullptr) && written == count));
}

// How many of count bytes at offset were read, or -1 when the read failed.
int64_t ReadAt(HANDLE file, int64_t offset, unsigned char* into, DWORD count)
{
    DWORD got = 0;
    if (!Seek(file, offset) || (count > 0 && !::ReadFile(file, into, count, &got, nullptr)))
        return -1;
    return got;
}

int64_t Length(HANDLE file)
{
    LARGE_INTEGER size;
    return ::GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

bool SetLength(HANDLE file, int64_t length)
{
    return Seek(file, length) && ::SetEndOfFile(file);
}

// What the file held where the write goes, read under the lock before writing.
struct Before {
    int64_t length = 0;
    unsigned char bytes[kMostPatternBytes] = {};
    DWORD count = 0;  // the bytes at the offset that the write overwrites in place
};

// Whether the file reads as it did before: its length and the bytes at the offset.
bool IsAsBefore(HANDLE file, int64_t offset, const Before& before)
{
    unsigned char now[kMostPatternBytes];
    return Length(file) == before.length && ReadAt(file, offset, now, before.count) == before.count &&
           std::memcmp(now, before.bytes, before.count) == 0;
}

// One attempt to put the old length and bytes back, flushed. A length that is neither
// the old one nor the one the write made was set by someone else: not ours to undo.
bool Restore(HANDLE file, int64_t offset, const Before& before, int64_t madeLength)
{
    const int64_t length = Length(file);
    if (length != before.length && (length != madeLength || !SetLength(file, before.length)))
        return false;
    return WriteAt(file, offset, before.bytes, before.count) && ::FlushFileBuffers(file);
}

// After a failed write: true when the file is as it was, put back if need be. Each
// attempt is checked by reading the file again; a second one follows a failed first.
bool PutBack(HANDLE file, int64_t offset, const Before& before, int64_t madeLength)
{
    if (IsAsBefore(file, offset, before))
        return true;  // nothing of the write reached the file
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (Restore(file, offset, before, madeLength) && IsAsBefore(file, offset, before))
            return true;
    }
    return false;
}

// A byte range locked for the life of the object, where the system grants the lock at
// once: other programs then can neither read nor write it between the check and the
// write.
class RangeLock {
public:
    RangeLock(HANDLE file, int64_t offset, int64_t bytes) : m_file(file), m_bytes(bytes)
    {
        m_at.Offset = static_cast<DWORD>(offset);
        m_at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
        m_locked = bytes > 0 && ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                                             Low(), High(), &m_at);
    }
    ~RangeLock()
    {
        // Closing the handle releases the lock anyway, should this fail.
        if (m_locked)
            ::UnlockFileEx(m_file, 0, Low(), High(), &m_at);
    }
    RangeLock(const RangeLock&) = delete;
    RangeLock& operator=(const RangeLock&) = delete;

    bool Locked() const { return m_locked; }

private:
    DWORD Low() const { return static_cast<DWORD>(m_bytes); }
    DWORD High() const { return static_cast<DWORD>(static_cast<uint64_t>(m_bytes) >> 32); }

    HANDLE m_file;
    int64_t m_bytes;
    OVERLAPPED m_at{};
    bool m_locked = false;
};

// The write itself, under the lock: check, write, flush, or undo.
WriteResult WriteLocked(HANDLE file, int64_t offset, const PatternBytes& expected, const PatternBytes& replacement,
                        bool lockedToTheEnd)
{
    Before before;
    before.length = Length(file);
    if (before.length < 0)
        return WriteResult::Failed;
    if (offset + expected.n > before.length)
        return WriteResult::PatternMoved;
    const int64_t madeLength = std::max(before.length, offset + replacement.n);
    // Without the lock to the end another writer could lengthen the file meanwhile, and
    // setting the length would cut what it wrote.
    if (madeLength > before.length && !lockedToTheEnd)
        return WriteResult::Failed;

    const DWORD want = static_cast<DWORD>(std::min<int64_t>(std::max(expected.n, replacement.n), before.length - offset));
    const int64_t got = ReadAt(file, offset, before.bytes, want);
    if (got < 0)
        return WriteResult::Failed;
    if (got < want || std::memcmp(before.bytes, expected.bytes, static_cast<size_t>(expected.n)) != 0)
        return WriteResult::PatternMoved;
    before.count = static_cast<DWORD>(std::min<int64_t>(replacement.n, got));

    // Lengthened first, so a full disk fails the write before any byte is written.
    const bool written = (madeLength == before.length || SetLength(file, madeLength)) &&
                         WriteAt(file, offset, replacement.bytes, static_cast<DWORD>(replacement.n)) &&
                         ::FlushFileBuffers(file);
    if (written)
        return WriteResult::Written;
    return PutBack(file, offset, before, madeLength) ? WriteResult::Failed : WriteResult::LeftChanged;
}

}  // namespace

WriteResult WriteReplacement(const char* path, int64_t offset, const PatternBytes& expected,
                             const PatternBytes& replacement)
{
    // Nothing to check the file against, or nothing to write: never a success.
    if (expected.n <= 0 || replacement.n <= 0)
        return WriteResult::Failed;
    // Shared like a C runtime update stream, so other readers of the file are not refused.
    CHandle file(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return WriteResult::Failed;
    // From the offset to the end of any file: no other writer changes the bytes checked
    // or the length between the check and the write. Where another program holds a lock
    // there, the bytes written alone; without any lock the check and the write still
    // happen, and a write into a range another program locked fails by itself.
    const RangeLock toTheEnd(file.Get(), offset, std::numeric_limits<int64_t>::max() - offset);
    std::optional<RangeLock> range;
    if (!toTheEnd.Locked())
        range.emplace(file.Get(), offset, std::max(expected.n, replacement.n));
    // Once flushed, the bytes are on the disk: closing the handle cannot change that.
    return WriteLocked(file.Get(), offset, expected, replacement, toTheEnd.Locked());
}
