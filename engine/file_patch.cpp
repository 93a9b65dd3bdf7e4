#include "engine/file_patch.h"

#include "framework/handle.h"

#include <algorithm>
#include <cstring>

namespace {

bool Seek(HANDLE file, int64_t offset)
{
    LARGE_INTEGER pos;
    pos.QuadPart = offset;
    return ::SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) != FALSE;
}

bool WriteAt(HANDLE file, int64_t offset, const unsigned char* bytes, DWORD count)
{
    DWORD written = 0;
    return Seek(file, offset) && (count == 0 || (::WriteFile(file, bytes, count, &written, nullptr) && written == count));
}

enum class Check { Holds, Differs, Unreadable };

// Whether the file holds expected at offset now.
Check HoldsAt(HANDLE file, int64_t offset, const PatternBytes& expected)
{
    if (expected.n == 0)
        return Check::Holds;
    unsigned char now[kMostPatternBytes];
    DWORD got = 0;
    if (!Seek(file, offset) || !::ReadFile(file, now, static_cast<DWORD>(expected.n), &got, nullptr))
        return Check::Unreadable;
    return got == static_cast<DWORD>(expected.n) && std::memcmp(now, expected.bytes, got) == 0 ? Check::Holds
                                                                                               : Check::Differs;
}

// Sets the file's length.
bool SetLength(HANDLE file, int64_t length)
{
    return Seek(file, length) && ::SetEndOfFile(file);
}

// Writes the bytes. A write that runs past the end first makes the file as long as it
// needs, so a full disk fails it before any byte is written, and if the write then
// fails the file is cut back to its old length and keeps its old bytes.
bool WriteKeepingOldBytesOnFailure(HANDLE file, int64_t offset, const unsigned char* bytes, int32_t count)
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size))
        return false;
    const int64_t oldLength = size.QuadPart;
    const bool lengthens = offset + count > oldLength;
    if (lengthens && !SetLength(file, offset + count)) {
        SetLength(file, oldLength);
        return false;
    }
    const bool ok = WriteAt(file, offset, bytes, static_cast<DWORD>(count));
    if (!ok && lengthens)
        SetLength(file, oldLength);
    return ok;
}

// A byte range locked for the life of the object, where the system grants the lock at
// once: other programs then can neither read nor write it between the check and the
// write. Without the lock (another program holds one) the check and the write still
// happen; a write into a range another program locked fails by itself.
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
        if (m_locked)
            ::UnlockFileEx(m_file, 0, Low(), High(), &m_at);
    }
    RangeLock(const RangeLock&) = delete;
    RangeLock& operator=(const RangeLock&) = delete;

private:
    DWORD Low() const { return static_cast<DWORD>(m_bytes); }
    DWORD High() const { return static_cast<DWORD>(static_cast<uint64_t>(m_bytes) >> 32); }

    HANDLE m_file;
    int64_t m_bytes;
    OVERLAPPED m_at{};
    bool m_locked = false;
};

}  // namespace

WriteResult WriteReplacement(const char* path, int64_t offset, const PatternBytes& expected,
                             const PatternBytes& replacement)
{
    // Shared like a C runtime update stream, so other readers of the file are not refused.
    CHandle file(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return WriteResult::Failed;
    WriteResult result = WriteResult::Written;
    if (replacement.n > 0) {
        const RangeLock lock(file.Get(), offset, std::max(expected.n, replacement.n));
        switch (HoldsAt(file.Get(), offset, expected)) {
        case Check::Holds:
            if (!WriteKeepingOldBytesOnFailure(file.Get(), offset, replacement.bytes, replacement.n))
                result = WriteResult::Failed;
            break;
        case Check::Differs:
            result = WriteResult::PatternMoved;
            break;
        case Check::Unreadable:
            result = WriteResult::Failed;
            break;
        }
    }
    if (!file.Close() && result == WriteResult::Written)
        result = WriteResult::Failed;
    return result;
}
