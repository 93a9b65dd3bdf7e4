// The target path given as the first command-line argument.
#pragma once

#include <string>

// The first argument as 8-bit text of the ANSI code page. The C runtime's argument
// vector holds it as the system converted it, with best fit; where the system's UTF-16
// argument is the same argument, it is converted here without (framework/ansi_path.h).
// Only called when there is a first argument.
std::string FirstArgumentPath();
