// What Start does: visit the target file or every file of the target tree, and for
// each run the dialogue of reporting, confirming, overwriting and continuing.
#include "app/replace_dlg.h"

#include "app/busy_indicator.h"
#include "framework/thread.h"

#include "engine/file_patch.h"
#include "engine/find_pattern.h"
#include "engine/offset_text.h"
#include "engine/search_file.h"
#include "engine/walk_ahead.h"
#include "app/static_buffers.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr wchar_t kOpenFailed[] = L"打开文件失败！";
constexpr wchar_t kNotFound[] = L"没有找到你要搜索的内容。";
constexpr wchar_t kAskReplace[] = L"是否进行替换？";
constexpr wchar_t kWriteFailed[] = L"写入文件失败！";
constexpr wchar_t kContinue[] = L"字符替换成功，是否继续替换？";

// How long the dialog's thread waits on a search aside before it looks at its queue.
constexpr DWORD kWaitSliceMs = 50;

// The find pattern as the HEX view holds it now.
PatternBytes ReadFindPattern(CReplaceDlg& dlg)
{
    dlg.ReadText(IDC_FIND_HEX, g_szText);
    const int n = dlg.HexTextToBytes(g_szText);
    return PatternBytes(g_szText, n);
}

// How often in a row a file may turn out changed at the moment of writing before the
// write counts as failed: a file that another program rewrites all the time.
constexpr int kMostMovesInARow = 8;

// Wide text built in the dialog's g_szWork without allocating: a file's dialogue needs
// no memory it does not have already.
class WorkText {
public:
    WorkText() { m_text[0] = L'\0'; }
    const wchar_t* Get() const { return m_text; }
    WorkText& operator<<(const wchar_t* text)
    {
        while (*text && m_length + 1 < kCapacity)
            m_text[m_length++] = *text++;
        m_text[m_length] = L'\0';
        return *this;
    }
    // 8-bit text of the ANSI code page, converted with its byte count.
    WorkText& Ansi(const char* text)
    {
        const int got = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(std::strlen(text)), m_text + m_length,
                                              kCapacity - 1 - m_length);
        m_length += got;
        m_text[m_length] = L'\0';
        return *this;
    }

private:
    static constexpr int kCapacity = static_cast<int>(kStaticBufferSize / sizeof(wchar_t));
    wchar_t* const m_text = reinterpret_cast<wchar_t*>(g_szWork);
    int m_length = 0;
};

// 文件"<path>"\n找到关键位置：0x0000ABCD。 and, when asking, 是否进行替换？
const wchar_t* FoundMessage(const char* path, int64_t offset, bool ask)
{
    char digits[24];
    FormatOffset(static_cast<uint64_t>(offset), digits);
    WorkText text;
    text << L"文件\"";
    text.Ansi(path) << L"\"\n找到关键位置：";
    text.Ansi(digits) << L"。" << (ask ? kAskReplace : L"");
    return text.Get();
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

    struct RunningFlag {
        explicit RunningFlag(bool& flag) : flag(flag) { flag = true; }
        ~RunningFlag() { flag = false; }
        bool& flag;
    };
    m_stopRun = false;
    m_afterStop = AfterStop::Stay;
    const bool walk = IsChecked(IDC_OPEN_DIR);
    {
        const RunningFlag running(m_bRunning);
        const CBusyIndicator busy(m_hWnd);
        try {
            ReadPath(IDC_PATH, g_szTarget);
            if (walk)
                ScanDirectory(g_szTarget);
            else
                ProcessFile(g_szTarget, false);
        } catch (...) {
            // No memory to start with: the file counts as one that cannot be opened, which
            // a walk passes over in silence.
            if (!walk)
                ShowMessage(kOpenFailed, MB_OK | MB_ICONEXCLAMATION);
        }
    }
    // Stopped by the close box, Alt+F4 or 退出: what they do, now that nothing is half done.
    if (m_afterStop == AfterStop::Close)
        EndDialog(IDCANCEL);
    else if (m_afterStop == AfterStop::Exit)
        ::ExitProcess(0);
}

void CReplaceDlg::ScanDirectory(std::string dir)
{
    PatternBytes pattern = ReadFindPattern(*this);
    WalkAhead walk(std::move(dir), pattern, WalkSearchers());
    WalkAhead::File file;
    while (walk.Next(file, [this] { LookAtQueue(); }, m_stopRun)) {
        // The pattern as the HEX view holds it now, as for any file; searched here when
        // it has changed since the file was searched ahead, or when it was not.
        pattern = ReadFindPattern(*this);
        if (walk.SetPattern(pattern) || file.found == kNotSearchedYet)
            file.found = SearchAside(file.path.c_str(), pattern);
        if (file.found >= 0) {
            // Boxes follow, and a file may be written: nothing searched before the last
            // of them closes is used.
            walk.Pause();
            try {
                RunFileDialogue(file.path.c_str(), true, file.found, pattern);
            } catch (...) {
                // No memory to go on with this file: its dialogue ends, the walk goes on.
            }
            walk.Discard();
        }
        LookAtQueue();
    }
}

void CReplaceDlg::ProcessFile(const char* path, bool quiet)
{
    const PatternBytes pattern = ReadFindPattern(*this);
    RunFileDialogue(path, quiet, SearchAside(path, pattern), pattern);
}

int64_t CReplaceDlg::SearchAside(const char* path, const PatternBytes& pattern)
{
    struct Job {
        FileSearcher* searcher;
        const char* path;
        const PatternBytes* pattern;
        int64_t found;
    } job{&m_asideSearcher, path, &pattern, SEARCH_OPEN_FAILED};
    CThread worker;
    if (!worker.Start([](void* p) {
            auto* j = static_cast<Job*>(p);
            j->found = j->searcher->Search(j->path, *j->pattern);
        }, &job))
        return m_searcher.Search(path, pattern);  // no thread: here, looking at the queue between views
    while (!worker.WaitEnded(kWaitSliceMs))
        LookAtQueue();
    worker.Join();
    return job.found;
}

void CReplaceDlg::RunFileDialogue(const char* path, bool quiet, int64_t found, PatternBytes searched)
{
    int moves = 0;
    for (;;) {
        if (found == SEARCH_STOPPED || m_stopRun)
            return;
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

        if (TextLength(IDC_REPLACE_HEX) == 0) {
            ShowMessage(FoundMessage(path, found, false), MB_OK | MB_ICONQUESTION);
            return;
        }
        if (IsChecked(IDC_ASK) && ShowMessage(FoundMessage(path, found, true), MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;

        ReadText(IDC_REPLACE_HEX, g_szText);
        const PatternBytes replacement(g_szText, HexTextToBytes(g_szText));
        const WriteResult written = WriteReplacement(path, found, searched, replacement);
        if (written == WriteResult::PatternMoved && ++moves < kMostMovesInARow) {
            // The file changed since it was searched: nothing was written. Search it
            // again as it now is, and go on from what that finds.
            searched = ReadFindPattern(*this);
            found = SearchAside(path, searched);
            continue;
        }
        if (written != WriteResult::Written) {
            // Nothing was changed: never report that as a success.
            ShowMessage(kWriteFailed, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        moves = 0;
        if (ShowMessage(kContinue, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;

        // Search again from the start of the file as it now is.
        searched = ReadFindPattern(*this);
        found = SearchAside(path, searched);
    }
}
