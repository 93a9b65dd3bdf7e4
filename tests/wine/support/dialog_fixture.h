// The real main dialog, created in the test process and driven with messages.
#pragma once

#include "app/replace_app.h"
#include "app/replace_dlg.h"
#include "tests/wine/support/message_boxes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND hwnd() const { return m_dlg.GetSafeHwnd(); }
    HWND Item(int id) const { return ::GetDlgItem(hwnd(), id); }

    // Text as the user sees it (wide) and as 8-bit text in the ANSI code page.
    std::wstring TextW(int id) const;
    std::string Text(int id) const;
    void SetTextW(int id, const std::wstring& text) const;
    void SetText(int id, const std::string& text) const;
    bool Checked(int id) const;
    void SetChecked(int id, bool checked) const;

    // Presses a push button the way a click does; runs its handler to the end.
    void Click(int id) const;
    // Pumps the dialog's messages through its own routing until the queue stays empty
    // for a moment or until done() holds.
    void Pump(int milliseconds = 150, const std::function<bool()>& done = nullptr);
    // Gives a control the focus and types keys with SendInput.
    void Focus(int id);
    void TypeKeys(const std::vector<WORD>& virtualKeys);
    void TypeText(const std::wstring& text);  // characters as Unicode input

    CReplaceDlg m_dlg;
    MessageBoxAnswerer* answerer() { return m_answerer.get(); }
    std::unique_ptr<MessageBoxAnswerer> m_answerer;
};

// Replaces the process's argument vector while a dialog is created.
class ScopedArguments {
public:
    explicit ScopedArguments(std::vector<std::string> args);
    ~ScopedArguments();

private:
    std::vector<std::string> m_storage;
    std::vector<char*> m_argv;
    int m_savedArgc;
    char** m_savedArgv;
};
