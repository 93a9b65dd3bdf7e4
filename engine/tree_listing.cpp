#include "engine/tree_listing.h"

#include "framework/ansi_path.h"
#include "framework/handle.h"

namespace {

// Whether the last character of path is a backslash, not the trail byte of a
// double-byte character.
bool EndsWithBackslash(const std::string& path)
{
    return !path.empty() && path.back() == '\\' && FolderPartLength(path.c_str()) == path.size();
}

}  // namespace

bool TreeListing::Next(std::string& path)
{
    if (!m_started) {
        m_started = true;
        try {
            Enter(m_root);
        } catch (...) {
        }
    }
    while (!m_open.empty()) {
        try {
            CFileFind::Entry entry;
            if (!m_open.back()->Next(entry)) {
                m_open.pop_back();
                continue;
            }
            if (entry.folder) {
                Enter(entry.path);
                continue;
            }
            path = std::move(entry.path);
            return true;
        } catch (...) {
            // Passed over, as an entry that cannot be opened; the walk goes on.
        }
    }
    return false;
}

void TreeListing::Enter(const std::string& dir)
{
    // A link back into the tree leads to a folder walked already: pass it over.
    if (!MarkWalked(dir))
        return;
    std::string spec = dir;
    if (!EndsWithBackslash(spec))
        spec += '\\';
    spec += "*.*";
    auto finder = std::make_unique<CFileFind>();
    if (finder->FindFile(spec.c_str()))
        m_open.push_back(std::move(finder));
}

// Records a folder of the walk; false when it was walked already.
bool TreeListing::MarkWalked(const std::string& dir)
{
    CHandle h(::CreateFileA(dir.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.IsValid())
        return true;  // identity unknown: walk it; 8-bit paths are bounded, and so is the depth
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(h.Get(), &info) != FALSE;
    h.Close();
    if (!known)
        return true;
    const uint64_t index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // Some redirectors and file systems report no index: the identity is unknown then.
    if (index == 0)
        return true;
    try {
        return m_walkedDirs.emplace(info.dwVolumeSerialNumber, index).second;
    } catch (...) {
        return true;  // not recorded: walked as one of unknown identity
    }
}
