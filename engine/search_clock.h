// The clock the searches time the ways of bringing bytes in by: the system's
// performance counter, which a test program can advance through its seam.
#pragma once

#include <windows.h>

inline double SearchClockSeconds()
{
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}
