// Counts MessageBeep calls made by code linked into this test program: while a
// counter lives, the program's import of MessageBeep leads to it instead of the sound.
#pragma once

#include <windows.h>

class BeepCounter {
public:
    BeepCounter();
    ~BeepCounter();
    BeepCounter(const BeepCounter&) = delete;
    BeepCounter& operator=(const BeepCounter&) = delete;

    bool installed() const { return m_slot != nullptr; }
    int count() const { return s_count; }
    UINT lastType() const { return s_lastType; }
    void Reset() { s_count = 0; }

private:
    static BOOL WINAPI Counted(UINT type);

    FARPROC* m_slot = nullptr;
    FARPROC m_original = nullptr;
    static int s_count;
    static UINT s_lastType;
};
