// What Start does: visit the target file or every file of the target tree, and for
// each run the dialogue of reporting, confirming, overwriting and continuing.
#include "app/replace_dlg.h"

#include "engine/file_patch.h"
#include "engine/find_pattern.h"
#include "engine/offset_text.h"
#include "engine/search_file.h"
#include "app/framework/file_find.h"
#include "pattern/static_buffers.h"

#include <cstring>
#include <string>

namespace {

constexpr wchar_t kOpenFailed[] = L"打开文件失败！";
constexpr wchar_t kNotFound[] = L"没有找到你要搜索的内容。";
constexpr wchar_t kAskReplace[] = L"是否进行替换？";
constexpr wchar_t kWriteFailed[] = L"写入文件失败！";
constexpr wchar_t kContinue[] = L"字符替换成功，是否继续替换？";

// With the byte count, so a lone lead byte at the end cannot take in the terminator.
std::wstring FromAnsi(const char* text)
{
    const int bytes = static_cast<int>(std::strlen(text));
    std::wstring wide(bytes, L'\0');  // no byte gives more than one code unit
    wide.resize(bytes > 0 ? ::MultiByteToWideChar(CP_ACP, 0, text, bytes, &wide[0], bytes) : 0);
    return wide;
}

// 文件"<path>"\n找到关键位置：0x0000ABCD。
std::wstring FoundMessage(const char* path, int64_t offset)
{
    char digits[24];
    FormatOffset(static_cast<uint64_t>(offset), digits);
    return L"文件\"" + FromAnsi(path) + L"\"\n找到关键位置：" + FromAnsi(digits) + L"。";
}

// Whether the last character of path is a backslash. Read character by character in
// the ANSI code page: the trail byte of a double-byte character may be 0x5C too.
bool EndsWithBackslash(const std::string& path)
{
    bool last = false;
    for (size_t i = 0; i < path.size(); ++i) {
        last = path[i] == '\\';
        if (::IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size())
            ++i;
    }
    return last;
}

}  // namespace

void CReplaceDlg::OnStart()
{
    if (TextLength(IDC_PATH) <= 2) {
        OnBrowse();
        return;
    }
    if (TextLength(IDC_FIND_HEX) == 0)
        return;

    ReadText(IDC_PATH, g_szTarget);
    if (IsChecked(IDC_OPEN_DIR)) {
        m_walkedDirs.clear();
        ScanDirectory(g_szTarget);
        m_walkedDirs.clear();
    } else {
        ProcessFile(g_szTarget, false);
    }
}

bool CReplaceDlg::MarkDirectoryWalked(const std::string& dir)
{
    HANDLE h = ::CreateFileA(dir.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return true;  // identity unknown: walk it; 8-bit paths are bounded, and so is the depth
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(h, &info) != FALSE;
    ::CloseHandle(h);
    if (!known)
        return true;
    const uint64_t index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // Some redirectors and file systems report no index: the identity is unknown then.
    if (index == 0)
        return true;
    return m_walkedDirs.emplace(info.dwVolumeSerialNumber, index).second;
}

void CReplaceDlg::ScanDirectory(std::string dir)
{
    // A link back into the tree leads to a directory walked already: skip it.
    if (!MarkDirectoryWalked(dir))
        return;

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
        const CString path = finder.GetFilePath();
        if (finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY))
            ScanDirectory(path);
        else
            ProcessFile(path.c_str(), true);
    }
    finder.Close();
}

void CReplaceDlg::ProcessFile(const char* path, bool quiet)
{
    for (;;) {
        ReadText(IDC_FIND_HEX, g_szText);
        const int n = HexTextToBytes(g_szText);
        const int64_t found = SearchFile(path, reinterpret_cast<const unsigned char*>(g_szText), n);
        if (found == SEARCH_OPEN_FAILED) {
            if (!quiet)
                ShowMessage(kOpenFailed, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        if (found < 0) {
            if (!quiet)
                ShowMessage(kNotFound, MB_OK | MB_ICONINFORMATION);
            return;
        }

        std::wstring message = FoundMessage(path, found);
        if (TextLength(IDC_REPLACE_HEX) == 0) {
            ShowMessage(message.c_str(), MB_OK | MB_ICONQUESTION);
            return;
        }
        message += kAskReplace;
        if (IsChecked(IDC_ASK) && ShowMessage(message.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;

        ReadText(IDC_REPLACE_HEX, g_szText);
        const int m = HexTextToBytes(g_szText);
        if (!WriteReplacement(path, found, g_szText, m)) {
            // Nothing was changed, or not all of it: never report that as a success.
            ShowMessage(kWriteFailed, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        if (ShowMessage(kContinue, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        // Search again from the start of the file as it now is.
    }
}
