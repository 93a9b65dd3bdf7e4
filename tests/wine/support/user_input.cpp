#include "tests/wine/support/user_input.h"

namespace {

void MoveTo(MOUSEINPUT& mi, POINT p)
{
    mi.dx = p.x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    mi.dy = p.y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
}

}  // namespace

void PressKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
}

void ClickAt(POINT screen)
{
    POINT was;
    ::GetCursorPos(&was);
    INPUT in[4] = {};
    for (INPUT& i : in)
        i.type = INPUT_MOUSE;
    MoveTo(in[0].mi, screen);
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    MoveTo(in[3].mi, was);
    ::SendInput(4, in, sizeof(INPUT));
}
