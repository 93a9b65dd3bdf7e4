// The files of a directory tree in walk order: depth first, each folder's entries in
// the order the file system lists them, a sub-folder walked where it is listed. A
// folder walked already (a link back into the tree) is passed over.
#pragma once

#include "framework/file_find.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

class TreeListing {
public:
    explicit TreeListing(std::string root) : m_root(std::move(root)) {}

    const std::string& Root() const { return m_root; }
    // The 8-bit path of the next file; false once the tree is done. No exception leaves:
    // an entry that cannot be taken for lack of memory is passed over, as a file that
    // cannot be opened is.
    bool Next(std::string& path);

private:
    void Enter(const std::string& dir);
    bool MarkWalked(const std::string& dir);

    std::string m_root;
    bool m_started = false;
    std::vector<std::unique_ptr<CFileFind>> m_open;  // the folders being listed, outermost first
    std::set<std::pair<uint32_t, uint64_t>> m_walkedDirs;  // volume serial, file index
};
