// Answers the message boxes this thread opens, for real, through a CBT hook, and
// records what each one showed.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct ShownBox {
    std::wstring caption;
    std::wstring text;
    UINT icon = 0;              // MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONINFORMATION or 0
    std::vector<int> buttons;   // IDOK, IDYES, IDNO ... shown in the box
    HWND owner = nullptr;
    int answer = 0;             // the button pressed; 0 for a box that could not be shown
    bool shown = true;
};

class MessageBoxAnswerer {
public:
    // Answers in order; when they run out, No where the box has it, otherwise OK.
    explicit MessageBoxAnswerer(std::vector<int> answers = {});
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    void Queue(std::vector<int> answers);
    // Answers every box by what it shows instead, while set.
    void SetPolicy(std::function<int(const ShownBox&)> policy) { m_policy = std::move(policy); }
    // Runs before a box is answered, while it is up.
    void SetOnShow(std::function<void(const ShownBox&)> onShow) { m_onShow = std::move(onShow); }
    const std::vector<ShownBox>& boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }

    // Called with true before and false after the answerer's own work inside a box,
    // where set: lets a test keep that work apart from the program's.
    static void (*s_aroundAnswer)(bool entering);
    // Records, in turn with the boxes shown, a box the program asked for and the system
    // could not show (the call returned 0).
    static void RecordUnshown(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp);
    void OnActivate(HWND box);

    HHOOK m_hook = nullptr;
    std::deque<int> m_answers;
    std::function<int(const ShownBox&)> m_policy;
    std::function<void(const ShownBox&)> m_onShow;
    std::vector<ShownBox> m_boxes;
    static MessageBoxAnswerer* s_active;
};

// Reads a message box of any process: caption, text, icon and buttons.
ShownBox ReadMessageBox(HWND box);
// True for a window that is a message box (dialog class with the box's text control).
bool IsMessageBox(HWND hwnd);
