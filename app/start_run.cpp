// Start: the dialog hands the run to the engine (engine/scan_run.h) and is its host,
// reading the patterns from the HEX views and showing the run's boxes.
#include "app/replace_dlg.h"

#include "app/busy_indicator.h"
#include "app/static_buffers.h"
#include "framework/scoped_flag.h"
#include "engine/file_dialogue.h"
#include "engine/offset_text.h"

#include <cstring>

namespace {

constexpr wchar_t kOpenFailed[] = L"打开文件失败！";
constexpr wchar_t kNotFound[] = L"没有找到你要搜索的内容。";
constexpr wchar_t kAskReplace[] = L"是否进行替换？";
constexpr wchar_t kWriteFailed[] = L"写入文件失败！";
constexpr wchar_t kWriteFailedLeftChanged[] = L"写入文件失败！\n未能恢复文件原样，文件可能已被改动。";
constexpr wchar_t kContinue[] = L"字符替换成功，是否继续替换？";

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
    if (!ReadFind(find) || find.n == 0)
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
            if (m_run.EndLeftThreads() && ReadPath(IDC_PATH, g_szTarget) > 2) {
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
    m_run.Walk(std::move(dir));
}

void CReplaceDlg::ProcessFile(const char* path, bool quiet)
{
    RunOneFile(*this, m_run, path, quiet);
}

bool CReplaceDlg::ThreadsLeft()
{
    return m_run.ThreadsLeft();
}

bool CReplaceDlg::ReadFind(PatternBytes& pattern)
{
    return ReadPattern(IDC_FIND_HEX, pattern);
}

bool CReplaceDlg::ReadReplacement(PatternBytes& pattern)
{
    return ReadPattern(IDC_REPLACE_HEX, pattern);
}

bool CReplaceDlg::ReadPattern(int id, PatternBytes& pattern)
{
    if (ReadText(id, g_szText) < 0)
        return false;
    const int n = HexTextToBytes(g_szText);
    pattern = PatternBytes(g_szText, n);
    return true;
}

bool CReplaceDlg::AskFirst()
{
    return IsChecked(IDC_ASK);
}

bool CReplaceDlg::Show(RunBox box, const char* path, int64_t offset)
{
    switch (box) {
    case RunBox::OpenFailed:
        return ShowMessage(kOpenFailed, MB_OK | MB_ICONEXCLAMATION) == IDYES;
    case RunBox::NotFound:
        return ShowMessage(kNotFound, MB_OK | MB_ICONINFORMATION) == IDYES;
    case RunBox::Found:
        return ShowMessage(FoundMessage(path, offset, false), MB_OK | MB_ICONQUESTION) == IDYES;
    case RunBox::AskReplace:
        return ShowMessage(FoundMessage(path, offset, true), MB_YESNO | MB_ICONQUESTION) == IDYES;
    case RunBox::WriteFailed:
        return ShowMessage(kWriteFailed, MB_OK | MB_ICONEXCLAMATION) == IDYES;
    case RunBox::WriteFailedLeftChanged:
        return ShowMessage(kWriteFailedLeftChanged, MB_OK | MB_ICONEXCLAMATION) == IDYES;
    case RunBox::Continue:
        return ShowMessage(kContinue, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    return false;
}

bool CReplaceDlg::StopAsked()
{
    return m_stopRun;
}
