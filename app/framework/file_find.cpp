#include "app/framework/file_find.h"

#include <cstring>

BOOL CFileFind::FindFile(const char* spec)
{
    Close();
    m_find = ::FindFirstFileA(spec, &m_next);
    if (m_find == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hasNext = true;

    // Entries are named relative to the folder of the search pattern. Scan byte-wise
    // with the code page in mind so a trail byte 0x5C of a double-byte character is
    // not taken for a separator.
    m_root.clear();
    size_t cut = 0;
    for (size_t i = 0; spec[i]; ++i) {
        if (::IsDBCSLeadByte(static_cast<BYTE>(spec[i])) && spec[i + 1]) {
            ++i;
            continue;
        }
        if (spec[i] == '\\' || spec[i] == '/' || spec[i] == ':')
            cut = i + 1;
    }
    m_root.assign(spec, cut);
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_hasNext)
        return FALSE;
    m_current = m_next;
    m_hasNext = ::FindNextFileA(m_find, &m_next) != FALSE;
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
    const bool unspellable = std::strchr(m_current.cFileName, '?') != nullptr;
    if (unspellable && m_current.cAlternateFileName[0])
        return m_root + m_current.cAlternateFileName;
    return m_root + m_current.cFileName;
}

BOOL CFileFind::IsDots() const
{
    return std::strcmp(m_current.cFileName, ".") == 0 || std::strcmp(m_current.cFileName, "..") == 0;
}
