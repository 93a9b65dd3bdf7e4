// What Start does: visit the target file or every file of the target tree, and for
// each run the dialogue of reporting, confirming, overwriting and continuing.
#include "app/replace_dlg.h"

#include "app/busy_indicator.h"
#include "framework/scoped_flag.h"

#include "engine/aside_search.h"
#include "engine/file_patch.h"
#include "engine/find_pattern.h"
#include "engine/offset_text.h"
#include "engine/search_file.h"
#include "engine/walk_ahead.h"
#include "app/static_buffers.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr wchar_t kOpenFailed[] = L"打开文件失败！";
constexpr wchar_t kNotFound[] = L"没有找到你要搜索的内容。";
constexpr wchar_t kAskReplace[] = L"是否进行替换？";
constexpr wchar_t kWriteFailed[] = L"写入文件失败！";
constexpr wchar_t kWriteFailedLeftChanged[] = L"写入文件失败！\n未能恢复文件原样，文件可能已被改动。";
constexpr wchar_t kContinue[] = L"字符替换成功，是否继续替换？";

// How long the dialog's thread waits on the run's threads before it pumps its messages.
constexpr DWORD kWaitSliceMs = 50;
// How long threads told to stop get before a stopped run leaves them to end on their
// own: the dialog is idle again soon after Esc even when one is held up in a read.
constexpr DWORD kStopGraceMs = 100;

// The pattern a HEX view holds now, its first 86 bytes; false when the view cannot be
// read. A view that decodes to no bytes (empty, or a lone digit) holds no pattern.
bool ReadPattern(CReplaceDlg& dlg, int id, PatternBytes& pattern)
{
    if (dlg.ReadText(id, g_szText) < 0)
        return false;
    const int n = dlg.HexTextToBytes(g_szText);
    pattern = PatternBytes(g_szText, n);
    return true;
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
    const int pathLength = TextLength(IDC_PATH);
    if (pathLength < 0)
        return;  // the field cannot be read: no target
    if (pathLength <= 2) {
        OnBrowse();
        return;
    }
    // A find view that decodes to no bytes is as good as empty: nothing is searched for.
    PatternBytes find;
    if (!ReadPattern(*this, IDC_FIND_HEX, find) || find.n == 0)
        return;

    m_stopRun = false;
    m_afterStop = AfterStop::Stay;
    const bool walk = IsChecked(IDC_OPEN_DIR);
    {
        const CScopedFlag running(m_bRunning);
        const CBusyIndicator busy(m_hWnd);
        try {
            // The threads an earlier run left behind end before this run starts any.
            // A path that cannot be read is no target: an empty one would name the
            // current drive's root.
            if (EndLeftThreads() && ReadPath(IDC_PATH, g_szTarget) > 2) {
                if (walk)
                    ScanDirectory(g_szTarget);
                else
                    ProcessFile(g_szTarget, false);
            }
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
    PatternBytes pattern;
    if (!ReadPattern(*this, IDC_FIND_HEX, pattern) || pattern.n == 0)
        return;
    std::unique_ptr<WalkAhead> walk = std::make_unique<WalkAhead>(std::move(dir), pattern, WalkSearchers());
    try {
        WalkFiles(*walk, pattern);
    } catch (...) {
        EndRunThreads(std::move(walk));
        throw;
    }
    EndRunThreads(std::move(walk));
}

void CReplaceDlg::WalkFiles(WalkAhead& walk, PatternBytes pattern)
{
    WalkAhead::File file;
    while (walk.Next(file, [this] { PumpMessages(); }, m_stopRun)) {
        // The pattern as the HEX view holds it now, as for any file (the one in hand
        // where the view cannot be read); searched here when it has changed since the
        // file was searched ahead, or when it was not. A view emptied meanwhile ends the walk.
        ReadPattern(*this, IDC_FIND_HEX, pattern);
        if (pattern.n == 0)
            return;
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
        PumpMessages();
    }
}

void CReplaceDlg::ProcessFile(const char* path, bool quiet)
{
    PatternBytes pattern;
    if (!ReadPattern(*this, IDC_FIND_HEX, pattern) || pattern.n == 0)
        return;
    RunFileDialogue(path, quiet, SearchAside(path, pattern), pattern);
}

int64_t CReplaceDlg::SearchAside(const char* path, const PatternBytes& pattern)
{
    if (!m_aside)
        m_aside = std::make_unique<AsideSearch>();
    if (!m_aside->Start(path, pattern))
        return m_searcher.Search(path, pattern);  // no thread: here, pumping messages while it waits
    if (WaitRunThreads(*m_aside))
        return m_aside->Result();
    // Stopped, and the search is held up in a system call: it ends on its own.
    m_leftThreads.Keep(std::move(m_aside));
    return SEARCH_STOPPED;
}

bool CReplaceDlg::WaitRunThreads(CThreadsOwner& owner)
{
    bool stopped = false;
    DWORD stoppedAt = 0;
    while (!owner.WaitEnded(kWaitSliceMs)) {
        PumpMessages();
        if (!m_stopRun)
            continue;
        const DWORD now = ::GetTickCount();
        if (!stopped) {
            owner.Stop();
            stopped = true;
            stoppedAt = now;
        } else if (now - stoppedAt >= kStopGraceMs) {
            return false;
        }
    }
    return true;
}

void CReplaceDlg::EndRunThreads(std::unique_ptr<CThreadsOwner> owner) noexcept
{
    owner->Stop();
    if (!WaitRunThreads(*owner))
        m_leftThreads.Keep(std::move(owner));
}

bool CReplaceDlg::EndLeftThreads()
{
    while (!m_leftThreads.WaitEnded(kWaitSliceMs)) {
        PumpMessages();
        if (m_stopRun)
            return false;
    }
    return true;
}

bool CReplaceDlg::ThreadsLeft()
{
    return !m_leftThreads.WaitEnded(0);
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

        // A replace view that decodes to no bytes is as good as empty: the find is
        // reported, and nothing is asked, written or claimed.
        PatternBytes replacement;
        if (ReadPattern(*this, IDC_REPLACE_HEX, replacement) && replacement.n == 0) {
            ShowMessage(FoundMessage(path, found, false), MB_OK | MB_ICONQUESTION);
            return;
        }
        // A stop asked for while this question is up (the close box) ends the run right
        // after it; the answer given still holds for this file.
        if (IsChecked(IDC_ASK) && ShowMessage(FoundMessage(path, found, true), MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;

        // Read again after the question, as the view holds it now: no bytes, or no
        // view to read, and nothing can be written.
        const WriteResult written = ReadPattern(*this, IDC_REPLACE_HEX, replacement) && replacement.n > 0
                                        ? WriteReplacement(path, found, searched, replacement)
                                        : WriteResult::Failed;
        if (written == WriteResult::PatternMoved && ++moves < kMostMovesInARow) {
            // The file changed since it was searched: nothing was written. Search it
            // again as it now is, and go on from what that finds.
            if (!NextSearch(path, searched, found))
                return;
            continue;
        }
        if (written != WriteResult::Written) {
            // Never reported as a success; and the file is said to be as before only
            // where it is.
            ShowMessage(written == WriteResult::LeftChanged ? kWriteFailedLeftChanged : kWriteFailed,
                        MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        moves = 0;
        if (m_stopRun || ShowMessage(kContinue, MB_YESNO | MB_ICONQUESTION) != IDYES || m_stopRun)
            return;
        // Search again from the start of the file as it now is.
        if (!NextSearch(path, searched, found))
            return;
    }
}

bool CReplaceDlg::NextSearch(const char* path, PatternBytes& searched, int64_t& found)
{
    // The find pattern as the view holds it now, or the one in hand where it cannot be read.
    ReadPattern(*this, IDC_FIND_HEX, searched);
    if (searched.n == 0 || m_stopRun)
        return false;
    found = SearchAside(path, searched);
    return true;
}
