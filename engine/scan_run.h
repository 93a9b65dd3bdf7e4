// What Start runs: the target file, or every file of the target tree, searched on
// threads of their own while the host pumps its messages, and written where the user
// says, by the rules of engine/file_dialogue.h.
#pragma once

#include "framework/left_threads.h"
#include "engine/run_host.h"
#include "engine/search_file.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class AsideSearch;

class ScanRun : public RunFiles {
public:
    // stop: set by the host once the user asks the run to stop, read by the run's threads.
    ScanRun(RunHost& host, const std::atomic<bool>& stop);
    ~ScanRun() override;
    ScanRun(const ScanRun&) = delete;
    ScanRun& operator=(const ScanRun&) = delete;

    // Waits for the threads an earlier run left; false when the run is stopped meanwhile.
    bool EndLeftThreads();
    // Whether threads of a stopped run are still held up in a system call.
    bool ThreadsLeft();

    // Every file of the tree at dir.
    void Walk(std::string dir);

    // A search on a thread of its own while the host pumps its messages: a slow disk
    // keeps neither waiting. Stopped once the run is stopped.
    SearchAnswer Search(const char* path, const PatternBytes& pattern) override;
    WriteResult Write(const char* path, int64_t offset, const PatternBytes& expected,
                      const PatternBytes& replacement) override;

private:
    // Every wait for the run's threads: in slices, pumping messages between them. Once
    // the run is stopped, the threads are told to stop and get kStopGraceMs; false when
    // they are still busy then (held up in a system call).
    bool WaitRunThreads(CThreadsOwner& owner);
    // Stops owner's threads and waits for them; those still busy are left to end on
    // their own (m_leftThreads).
    void EndRunThreads(std::unique_ptr<CThreadsOwner> owner) noexcept;

    RunHost& m_host;
    const std::atomic<bool>& m_stop;
    // Searches of the host's own thread, with the shared shift table, where no thread
    // can be started; and those made on a thread of their own, kept from search to
    // search while its thread ends with the search.
    FileSearcher m_searcher{g_shiftTable};
    std::unique_ptr<AsideSearch> m_aside;
    CLeftThreads m_leftThreads;
};
