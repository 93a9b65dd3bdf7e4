// CReplaceDlg: the main dialog. Its handlers live beside the subsystem they belong to:
// app/ (frame, keyboard, painting, Start), pattern/ (the four views of each pattern),
// target/ (path intake and browsing). The scan and patch run is the engine's
// (engine/scan_run.h): the dialog is its host.
#pragma once

#include "framework/dialog.h"
#include "engine/pattern_bytes.h"
#include "engine/run_host.h"
#include "engine/scan_run.h"
#include "res/resource.h"

#include <atomic>
#include <cstdint>
#include <string>

// The four views of one pattern, find or replace, by control identifier.
struct PatternGroup {
    int ascii, utf8, unicode, hex;
};
inline constexpr PatternGroup kFindGroup{IDC_FIND_ASCII, IDC_FIND_UTF8, IDC_FIND_UNICODE, IDC_FIND_HEX};
inline constexpr PatternGroup kReplaceGroup{IDC_REPLACE_ASCII, IDC_REPLACE_UTF8, IDC_REPLACE_UNICODE, IDC_REPLACE_HEX};

class CReplaceDlg : public CDialog, private RunHost {
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

    // --- Scan and patch run (app/start_run.cpp, engine/scan_run.h) ---
    void OnStart();
    void ScanDirectory(std::string dir);
    void ProcessFile(const char* path, bool quiet);
    // Whether Start is running.
    bool IsRunning() const { return m_bRunning; }
    // During a run, at most every kPumpIntervalMs: the dialog's thread pumps its messages,
    // so the system never takes the window for hung. What other programs send and
    // painting are handled; the user's input is dropped, not kept for after the run,
    // but for what stops the run (TakeInputDuringRun).
    void PumpMessages() override;
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

    // The run's host: the patterns from the HEX views, the boxes, Esc and the close box.
    bool ReadFind(PatternBytes& pattern) override;
    bool ReadReplacement(PatternBytes& pattern) override;
    bool ReadPattern(int id, PatternBytes& pattern);
    bool AskFirst() override;
    bool Show(RunBox box, const char* path, int64_t offset) override;
    bool StopAsked() override;

    static constexpr DWORD kPumpIntervalMs = 100;

    HICON m_hIcon;
    bool m_bUpdating = false;
    bool m_bRunning = false;  // Start is running
    std::atomic<bool> m_stopRun{false};
    AfterStop m_afterStop = AfterStop::Stay;
    DWORD m_lastPump = 0;
    ScanRun m_run{*this, m_stopRun};
};
