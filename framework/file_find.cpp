#include "framework/file_find.h"

#include "framework/ansi_path.h"

#include <cwchar>

BOOL CFileFind::FindFile(const char* spec)
{
    Close();
    // Listed in UTF-16 and converted here: the 8-bit listing converts with best fit and
    // can give a look-alike of a name the code page cannot spell.
    m_find = ::FindFirstFileW(WideFromAnsi(spec).c_str(), &m_next);
    if (m_find == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hasNext = true;

    // Entries are named relative to the folder of the search pattern.
    m_root.assign(spec, FolderPartLength(spec));
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_hasNext)
        return FALSE;
    m_current = m_next;
    m_hasNext = ::FindNextFileW(m_find, &m_next) != FALSE;
    return m_hasNext;
}

void CFileFind::Close()
{
    if (m_find != INVALID_HANDLE_VALUE) {
        ::FindClose(m_find);
        m_find = INVALID_HANDLE_VALUE;
    }
    m_hasNext = false;
}

CString CFileFind::GetFilePath() const
{
    return m_root + AnsiEntryName(m_current.cFileName, m_current.cAlternateFileName);
}

BOOL CFileFind::IsDots() const
{
    return std::wcscmp(m_current.cFileName, L".") == 0 || std::wcscmp(m_current.cFileName, L"..") == 0;
}
