// CFileFind: enumerates the entries that match a wildcard pattern, with 8-bit paths.
#pragma once

#include <windows.h>

#include <string>

using CString = std::string;

class CFileFind {
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts the enumeration; FALSE when nothing matches.
    BOOL FindFile(const char* spec);
    // Makes the next entry current; FALSE when the entry it made current is the last.
    BOOL FindNextFile();
    void Close();

    // Full path of the current entry, 8-bit. A name the ANSI code page cannot spell
    // comes back as its short name, or with '?' in it where it has none (framework/ansi_path.h).
    CString GetFilePath() const;
    BOOL MatchesMask(DWORD mask) const { return (m_current.dwFileAttributes & mask) != 0; }
    BOOL IsDots() const;

private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW m_current{};
    WIN32_FIND_DATAW m_next{};
    bool m_hasNext = false;
    CString m_root;  // the pattern up to and including its last separator
};
