// CFileFind: enumerates the entries that match a wildcard pattern, 8-bit paths.
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

    // Full path of the current entry. A name the ANSI code page cannot spell comes back
    // with '?' in it and would name no file; its short name still does.
    CString GetFilePath() const;
    BOOL MatchesMask(DWORD mask) const { return (m_current.dwFileAttributes & mask) != 0; }
    BOOL IsDots() const;

private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA m_current{};
    WIN32_FIND_DATAA m_next{};
    bool m_hasNext = false;
    CString m_root;  // the pattern up to and including its last separator
};
