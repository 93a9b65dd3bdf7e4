// What Start does: visit the target file or every file of the target tree, and for
// each run the dialogue of reporting, confirming, overwriting and continuing.
#include "app/replace_dlg.h"

#include "engine/file_patch.h"
#include "engine/find_pattern.h"
#include "engine/offset_text.h"
#include "engine/search_file.h"
#include "engine/walk_ahead.h"
#include "app/framework/ansi_path.h"
#include "app/static_buffers.h"

#include <algorithm>
#include <string>
#include <thread>

namespace {

constexpr wchar_t kOpenFailed[] = L"打开文件失败！";
constexpr wchar_t kNotFound[] = L"没有找到你要搜索的内容。";
constexpr wchar_t kAskReplace[] = L"是否进行替换？";
constexpr wchar_t kWriteFailed[] = L"写入文件失败！";
constexpr wchar_t kContinue[] = L"字符替换成功，是否继续替换？";

// More windows than the dialog has.
constexpr int kMostPaintsAtATime = 64;

const unsigned char* Bytes(const char* buffer)
{
    return reinterpret_cast<const unsigned char*>(buffer);
}

// The find pattern as the HEX view holds it now, decoded into g_szText; its length.
int ReadFindPattern(CReplaceDlg& dlg)
{
    dlg.ReadText(IDC_FIND_HEX, g_szText);
    return dlg.HexTextToBytes(g_szText);
}

// 文件"<path>"\n找到关键位置：0x0000ABCD。
std::wstring FoundMessage(const char* path, int64_t offset)
{
    char digits[24];
    FormatOffset(static_cast<uint64_t>(offset), digits);
    return L"文件\"" + WideFromAnsi(path) + L"\"\n找到关键位置：" + WideFromAnsi(digits) + L"。";
}

// Searcher threads of a walk: on two cores, two keep both busy with the opening and
// reading that a small file costs, while the listing and the dialogue take little.
int WalkSearchers()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::min(std::max(cores, 2u), 4u));
}

}  // namespace

void CReplaceDlg::OnStart()
{
    // A run that the message loop of one of its own boxes reached again would search
    // and write beside it.
    if (m_bRunning)
        return;
    if (TextLength(IDC_PATH) <= 2) {
        OnBrowse();
        return;
    }
    if (TextLength(IDC_FIND_HEX) == 0)
        return;

    m_bRunning = true;
    ReadPath(IDC_PATH, g_szTarget);
    if (IsChecked(IDC_OPEN_DIR))
        ScanDirectory(g_szTarget);
    else
        ProcessFile(g_szTarget, false);
    m_bRunning = false;
}

void CReplaceDlg::ScanDirectory(std::string dir)
{
    int n = ReadFindPattern(*this);
    WalkAhead walk(std::move(dir), Bytes(g_szText), n, WalkSearchers());
    WalkAhead::File file;
    while (walk.Next(file, [this] { LookAtQueue(); })) {
        // The pattern as the HEX view holds it now, as for any file; searched here when
        // it has changed since the file was searched ahead.
        n = ReadFindPattern(*this);
        if (walk.SetPattern(Bytes(g_szText), n))
            file.found = m_searcher.Search(file.path.c_str(), Bytes(g_szText), n);
        if (file.found >= 0) {
            // Boxes follow, and a file may be written: nothing searched before the last
            // of them closes is used.
            walk.Pause();
            RunFileDialogue(file.path.c_str(), true, file.found);
            walk.Discard();
        }
        LookAtQueue();
    }
}

void CReplaceDlg::ProcessFile(const char* path, bool quiet)
{
    const int n = ReadFindPattern(*this);
    RunFileDialogue(path, quiet, m_searcher.Search(path, Bytes(g_szText), n));
}

void CReplaceDlg::RunFileDialogue(const char* path, bool quiet, int64_t found)
{
    for (;;) {
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
        const int n = ReadFindPattern(*this);
        found = m_searcher.Search(path, Bytes(g_szText), n);
    }
}

void CReplaceDlg::LookAtQueue()
{
    const DWORD now = ::GetTickCount();
    if (now - m_lastLook < kLookAtQueueMs)
        return;
    m_lastLook = now;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    // Bounded: a window that never validated would be painted forever.
    for (int i = 0; i < kMostPaintsAtATime && ::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        ::DispatchMessageW(&msg);
}
