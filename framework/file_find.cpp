#include "framework/file_find.h"

#include "framework/ansi_path.h"

#include <cwchar>

namespace {

bool IsDots(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

}  // namespace

BOOL CFileFind::FindFile(const char* spec)
{
    Close();
    // Entries are named relative to the folder of the search pattern.
    m_root.assign(spec, FolderPartLength(spec));
    // Listed in UTF-16 and converted here: the 8-bit listing converts with best fit and
    // can give a look-alike of a name the code page cannot spell.
    m_find = ::FindFirstFileW(WideFromAnsi(spec).c_str(), &m_data);
    if (m_find == INVALID_HANDLE_VALUE)
        return FALSE;
    m_first = true;
    return TRUE;
}

bool CFileFind::Next(Entry& entry)
{
    while (m_find != INVALID_HANDLE_VALUE) {
        if (!m_first && !::FindNextFileW(m_find, &m_data)) {
            Close();
            return false;
        }
        m_first = false;
        if (IsDots(m_data.cFileName))
            continue;
        entry.folder = (m_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.path = m_root + AnsiEntryName(m_data.cFileName, m_data.cAlternateFileName);
        return true;
    }
    return false;
}

void CFileFind::Close()
{
    if (m_find != INVALID_HANDLE_VALUE) {
        ::FindClose(m_find);
        m_find = INVALID_HANDLE_VALUE;
    }
    m_first = false;
}
