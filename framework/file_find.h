// CFileFind: enumerates the entries that match a wildcard pattern, with 8-bit paths.
#pragma once

#include <windows.h>

#include <string>

using CString = std::string;

class CFileFind {
public:
    struct Entry {
        // Full path, 8-bit. A name the ANSI code page cannot spell comes back as its
        // short name, or with '?' in it where it has none (framework/ansi_path.h).
        CString path;
        bool folder = false;
    };

    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts the enumeration; FALSE when nothing matches.
    BOOL FindFile(const char* spec);
    // The next entry other than "." and "..", in the order the file system lists them;
    // false once the listing ends (or the system fails to list more). May throw
    // std::bad_alloc, the entry then passed over.
    bool Next(Entry& entry);
    void Close();

private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW m_data{};
    bool m_first = false;  // m_data holds FindFirstFileW's entry, not yet taken
    CString m_root;        // the pattern up to and including its last separator
};
