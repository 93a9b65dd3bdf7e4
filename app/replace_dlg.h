// CReplaceDlg: the main dialog. Its handlers live beside the subsystem they belong to:
// app/ (frame, keyboard, painting), engine/ (Start and the scan), pattern/ (the four
// views of each pattern), target/ (path intake and browsing).
#pragma once

#include "framework/dialog.h"
#include "framework/left_threads.h"
#include "engine/find_pattern.h"
#include "engine/pattern_bytes.h"
#include "engine/search_file.h"
#include "res/resource.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class AsideSearch;
class WalkAhead;

// The four views of one pattern, find or replace, by control identifier.
struct PatternGroup {
    int ascii, utf8, unicode, hex;
};
inline constexpr PatternGroup kFindGroup{IDC_FIND_ASCII, IDC_FIND_UTF8, IDC_FIND_UNICODE, IDC_FIND_HEX};
inline constexpr PatternGroup kReplaceGroup{IDC_REPLACE_ASCII, IDC_REPLACE_UTF8, IDC_REPLACE_UNICODE, IDC_REPLACE_HEX};

class CReplaceDlg : public CDialog {
public:
    explicit CReplaceDlg(CWnd* parent = nullptr);
    ~CReplaceDlg() override;

    // --- Dialog control operations (app/control_ops.cpp) ---
    // Reads at most 259 characters and a terminator into buf, of kFieldReadCapacity
    // (app/static_buffers.h); the count read, or -1 (buf empty) when the control holds
    // text that could not be read.
    int ReadText(int id, char* buf) const;
    int ReadTextW(int id, wchar_t* buf) const;
    // Reads a path the way ReadText does, but never as a look-alike of a name the code
    // page cannot spell (framework/ansi_path.h).
    int ReadPath(int id, char* buf) const;
    // Length of a control's text in 8-bit units (a double-byte character counts two), or
    // -1 when it cannot be read.
    int TextLength(int id) const;
    void SetText(int id, const char* text) const;
    void SetTextW(int id, const wchar_t* text) const;
    bool IsChecked(int id) const;
    void SetCheck(int id, int state) const;
    DWORD CaretEnd(int id) const;
    void SetCaret(int id, DWORD pos) const;
    void LimitText(int id, int chars) const;
    // Modal message box owned by the dialog, caption "Bytewren"; returns the button pressed.
    int ShowMessage(const wchar_t* text, UINT style) const;
    static void Beep();

    // --- Pattern entry (pattern/) ---
    size_t FormatHexText(char* text);
    int HexTextToBytes(char* buf);
    void ReformatHexField(int id);
    // Text view to HEX view, and HEX view to text view (pattern/pattern_views.cpp).
    void AnsiFieldToHex(int src, int hex);
    void Utf8FieldToHex(int src, int hex);
    void UnicodeFieldToHex(int src, int hex);
    void HexToAnsiField(int hex, int dst);
    void HexToUtf8Field(int hex, int dst);
    void HexToUnicodeField(int hex, int dst);

    // --- Scan and patch run (engine/scan_run.cpp) ---
    void OnStart();
    void ScanDirectory(std::string dir);
    void ProcessFile(const char* path, bool quiet);
    // The per-file dialogue from the result of a first search for searched on: report,
    // confirm, write, and search again while the user goes on.
    void RunFileDialogue(const char* path, bool quiet, int64_t found, PatternBytes searched);
    // Whether Start is running.
    bool IsRunning() const { return m_bRunning; }
    // During a run, at most every kPumpIntervalMs: the dialog's thread pumps its messages,
    // so the system never takes the window for hung. What other programs send and
    // painting are handled; the user's input is dropped, not kept for after the run,
    // but for what stops the run (TakeInputDuringRun).
    void PumpMessages();
    // A search on a thread of its own while the dialog's thread pumps its messages: a
    // slow disk keeps neither waiting. SEARCH_STOPPED once the run is stopped.
    int64_t SearchAside(const char* path, const PatternBytes& pattern);
    // Whether threads of a stopped run are still held up in a system call.
    bool ThreadsLeft();

    // --- Target selection (target/) ---
    void SetTargetPath(const char* path);
    void OnDropFiles(HDROP drop);
    void OnBrowse();

    // --- Frame (app/replace_dlg.cpp) ---
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    HBRUSH OnCtlColor(HDC dc, HWND wnd, UINT kind);
    void OnLButtonDown(UINT flags, POINT point);
    BOOL OnHelpInfo(HELPINFO* info);
    void OnExit();
    void OnCancel() override;
    BOOL OnSetCursor(HWND wnd, UINT hitTest, UINT message);

    // Change handlers of the pattern views.
    void OnChangeFindHex();
    void OnChangeFindAscii();
    void OnChangeFindUtf8();
    void OnChangeFindUnicode();
    void OnChangeReplaceHex();
    void OnChangeReplaceAscii();
    void OnChangeReplaceUtf8();
    void OnChangeReplaceUnicode();

protected:
    const MessageMapEntry* GetMessageMap() const override;

private:
    // Brings the other views of a group in step with its edited view, unless a
    // synchronisation is running.
    void Synchronise(const PatternGroup& group, int edited);
    // Applies the HEX keystroke filter; TRUE when the character is swallowed.
    BOOL FilterHexKeystroke(MSG* msg);
    // The two halves of OnBrowse: the folder browser in directory mode, else the file-open dialog.
    void BrowseForFolder();
    void BrowseForFile();
    // What ends a run early, and what follows: Esc leaves the dialog idle; the close box
    // and Alt+F4 close it; 退出 ends the program.
    enum class AfterStop { Stay, Close, Exit };
    void RequestStop(AfterStop after);
    void TakeInputDuringRun(const MSG& msg);

    // The files of a walk, each with its dialogue.
    void WalkFiles(WalkAhead& walk, PatternBytes pattern);
    // Reads the find pattern again and searches path for it from the start; false when
    // there is nothing to search for, or the run is stopped.
    bool NextSearch(const char* path, PatternBytes& searched, int64_t& found);
    // Every wait of the dialog's thread for the run's threads: in slices, pumping
    // messages between them. Once the run is stopped, the threads are told to stop and get
    // kStopGraceMs; false when they are still busy then (held up in a system call).
    bool WaitRunThreads(CThreadsOwner& owner);
    // Stops owner's threads and waits for them; those still busy are left to end on
    // their own (m_leftThreads).
    void EndRunThreads(std::unique_ptr<CThreadsOwner> owner) noexcept;
    // Waits for the threads an earlier run left; false when the run is stopped meanwhile.
    bool EndLeftThreads();

    static constexpr DWORD kPumpIntervalMs = 100;

    HICON m_hIcon;
    bool m_bUpdating = false;
    bool m_bRunning = false;  // Start is running
    std::atomic<bool> m_stopRun{false};
    AfterStop m_afterStop = AfterStop::Stay;
    DWORD m_lastPump = 0;
    // Searches of the dialog's own thread, with the shared shift table, where no thread
    // can be started; and those made on a thread of their own (SearchAside), kept from
    // search to search while its thread ends with the search.
    FileSearcher m_searcher{g_shiftTable};
    std::unique_ptr<AsideSearch> m_aside;
    CLeftThreads m_leftThreads;
};
