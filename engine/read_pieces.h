// A file's bytes read in pieces into buffers and searched: on one thread, piece after
// piece, or as the runs of engine/runs_ahead.h, each worker with a buffer (and, for the
// helper, a handle) of its own. Reading copies the pages the system holds in its page
// cache; the buffers are kept from file to file, since a new buffer's pages cost a page
// fault each when first written.
#pragma once

#include "framework/handle.h"
#include "engine/pattern_bytes.h"
#include "engine/runs_ahead.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// The sizes of a read piece: a file up to that size is read with one ReadFile.
constexpr int64_t kReadPieceBytes = int64_t{2} << 20;
constexpr int64_t kSmallReadPieceBytes = int64_t{512} << 10;

// Gives buffer at least bytes, one from the process's shelf where it holds one; may throw
// std::bad_alloc.
void FitReadBuffer(std::vector<unsigned char>& buffer, size_t bytes);
// Puts buffer on the shelf, for the searches after this one, where there is room.
void ShelveReadBuffer(std::vector<unsigned char>& buffer) noexcept;

// Searches the file's bytes [from, end) piece by piece on this thread, each piece
// behind the last n - 1 bytes of the one before, so an occurrence across two lies whole
// in the second; exactly those bytes, so a file that has shrunk since it was measured
// cannot be read to the end. Reads from the file pointer where it stands (at from), or
// after moving it there. Between pieces calls between (if given), and ends stopped
// once *stop holds. The first occurrence, not found, unreadable (read short: the file
// shrank), a piece unread, or stopped.
// buffer holds at least pieceBytes + n - 1 bytes, or end - from.
struct PieceSearch {
    HANDLE file;
    int64_t pieceBytes;
    const PatternBytes* pattern;
    const int32_t* table;
    std::vector<unsigned char>* buffer;
    const std::function<void()>* between;
    const std::atomic<bool>* stop;

    SearchAnswer Search(int64_t from, int64_t end, bool seek) const;
};

// Reads the file's bytes [from, end) into buffer, piece after piece of its size, and
// keeps none of them: the system holds them in its page cache afterwards. Calls between
// (if given) between pieces; false once a read fails or falls short, or *stop holds.
bool ReadThrough(HANDLE file, int64_t from, int64_t end, std::vector<unsigned char>& buffer,
                 const std::function<void()>* between, const std::atomic<bool>* stop);

// One worker's runs read with one ReadFile each into its buffer. The helper's reads go
// through a handle of its own, opened on its thread: the system serves one handle's
// reads one at a time. Answers as PieceSearch does, but is never stopped.
class PieceRunReader : public RunWorker {
public:
    PieceRunReader(HANDLE file, bool ownHandle, const PatternBytes& pattern, const int32_t* table,
                   std::vector<unsigned char>& buffer)
        : m_file(file), m_ownHandle(ownHandle), m_pattern(pattern), m_table(table), m_buffer(buffer)
    {
    }
    bool Prepare() override;
    SearchAnswer Search(int64_t from, int64_t end) override;
    void Finish() override { m_own.Close(); }

private:
    HANDLE m_file;
    bool m_ownHandle;
    CHandle m_own;
    const PatternBytes& m_pattern;
    const int32_t* m_table;
    std::vector<unsigned char>& m_buffer;
};
