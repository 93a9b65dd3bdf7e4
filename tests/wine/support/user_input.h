// Input as a user gives it, through the system's input queue (SendInput).
#pragma once

#include <windows.h>

// A key pressed and let go.
void PressKey(WORD vk);
// A left click at a point of the screen; the pointer then goes back where it was: one
// left over a control keeps Wine's hover timer ticking, and a dialog never goes idle.
void ClickAt(POINT screen);
