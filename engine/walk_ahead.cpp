#include "engine/walk_ahead.h"

#include "app/framework/ansi_path.h"
#include "app/framework/file_find.h"
#include "app/framework/handle.h"
#include "engine/search_file.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

namespace {

// Whether the last character of path is a backslash, not the trail byte of a
// double-byte character.
bool EndsWithBackslash(const std::string& path)
{
    return !path.empty() && path.back() == '\\' && FolderPartLength(path.c_str()) == path.size();
}

}  // namespace

WalkAhead::WalkAhead(std::string root, const unsigned char* pattern, int32_t n, int searchers)
    : m_root(std::move(root)), m_pattern(pattern, pattern + n)
{
    m_threads.emplace_back([this] { List(); });
    for (int i = 0; i < searchers; ++i)
        m_threads.emplace_back([this] { Search(); });
}

WalkAhead::~WalkAhead()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    m_room.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

bool WalkAhead::Next(File& file, const std::function<void()>& waiting)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (!m_slots.empty() && m_slots.front().state == State::Done) {
            file.path = std::move(m_slots.front().path);
            file.found = m_slots.front().found;
            m_slots.pop_front();
            ++m_taken;
            if (m_pendingFrom > 0)
                --m_pendingFrom;
            m_room.notify_one();
            return true;
        }
        if (m_slots.empty() && m_listed)
            return false;
        if (m_done.wait_for(lock, std::chrono::milliseconds(100)) == std::cv_status::timeout) {
            lock.unlock();
            waiting();
            lock.lock();
        }
    }
}

bool WalkAhead::SetPattern(const unsigned char* pattern, int32_t n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pattern.size() == static_cast<size_t>(n) && std::equal(m_pattern.begin(), m_pattern.end(), pattern))
        return false;
    m_pattern.assign(pattern, pattern + n);
    DiscardLocked();
    return true;
}

void WalkAhead::Pause()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paused = true;
}

void WalkAhead::Discard()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    DiscardLocked();
}

void WalkAhead::DiscardLocked()
{
    ++m_epoch;
    for (Slot& slot : m_slots) {
        if (slot.state == State::Done)
            slot.state = State::Pending;
    }
    m_pendingFrom = 0;
    m_paused = false;
    m_work.notify_all();
}

void WalkAhead::List()
{
    ListDirectory(m_root);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listed = true;
    m_done.notify_all();
}

// Depth first, in the order the file system lists the entries. False once stopped.
bool WalkAhead::ListDirectory(const std::string& dir)
{
    // A link back into the tree leads to a directory walked already: skip it.
    if (!MarkWalked(dir))
        return true;

    std::string spec = dir;
    if (!EndsWithBackslash(spec))
        spec += '\\';
    spec += "*.*";

    CFileFind finder;
    BOOL more = finder.FindFile(spec.c_str());
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        CString path = finder.GetFilePath();
        const bool goOn = finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) ? ListDirectory(path) : Add(std::move(path));
        if (!goOn)
            return false;
    }
    return true;
}

// Records a directory of the walk; false when it was walked already.
bool WalkAhead::MarkWalked(const std::string& dir)
{
    CHandle h(::CreateFileA(dir.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.IsValid())
        return true;  // identity unknown: walk it; 8-bit paths are bounded, and so is the depth
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(h.Get(), &info) != FALSE;
    h.Close();
    const uint64_t index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // Some redirectors and file systems report no index: the identity is unknown then.
    if (!known || index == 0)
        return true;
    return m_walkedDirs.emplace(info.dwVolumeSerialNumber, index).second;
}

bool WalkAhead::Add(std::string path)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_room.wait(lock, [this] { return m_stop || m_slots.size() < kWalkAheadFiles; });
    if (m_stop)
        return false;
    m_slots.push_back(Slot{std::move(path), State::Pending, 0});
    m_work.notify_one();
    return true;
}

size_t WalkAhead::FirstPending()
{
    while (m_pendingFrom < m_slots.size() && m_slots[m_pendingFrom].state != State::Pending)
        ++m_pendingFrom;
    return m_pendingFrom;
}

void WalkAhead::Search()
{
    int32_t table[256];
    FileSearcher searcher(table);
    std::vector<unsigned char> pattern;

    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [this] { return m_stop || (!m_paused && FirstPending() < m_slots.size()); });
        if (m_stop)
            return;
        const size_t index = FirstPending();
        Slot& slot = m_slots[index];
        slot.state = State::Searching;
        const uint64_t number = m_taken + index;
        const uint64_t epoch = m_epoch;
        const std::string path = slot.path;
        pattern = m_pattern;
        lock.unlock();

        const int64_t found = searcher.Search(path.c_str(), pattern.data(), static_cast<int32_t>(pattern.size()));

        lock.lock();
        // The dialogue takes only searched files, so this one is still in its slot.
        Slot& searched = m_slots[number - m_taken];
        if (epoch == m_epoch) {
            searched.found = found;
            searched.state = State::Done;
            m_done.notify_all();
        } else {
            searched.state = State::Pending;
            m_pendingFrom = std::min<size_t>(m_pendingFrom, number - m_taken);
            m_work.notify_one();
        }
    }
}
