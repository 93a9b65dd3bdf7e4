// Answers the message boxes this thread opens, for real, through a CBT hook, and
// records what each one showed.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct ShownBox {
    std::wstring caption;
    std::wstring text;
    UINT icon = 0;              // MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONINFORMATION or 0
    std::vector<int> buttons;   // IDOK, IDYES, IDNO ... shown in the box
    HWND owner = nullptr;
    int answer = 0;             // the button pressed
};

class MessageBoxAnswerer {
public:
    // Answers in order; when they run out, No where the box has it, otherwise OK.
    explicit MessageBoxAnswerer(std::vector<int> answers = {});
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    void Queue(std::vector<int> answers);
    const std::vector<ShownBox>& boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp);
    void OnActivate(HWND box);

    HHOOK m_hook = nullptr;
    std::deque<int> m_answers;
    std::vector<ShownBox> m_boxes;
    static MessageBoxAnswerer* s_active;
};

// Reads a message box of any process: caption, text, icon and buttons.
ShownBox ReadMessageBox(HWND box);
// True for a window that is a message box (dialog class with the box's text control).
bool IsMessageBox(HWND hwnd);
