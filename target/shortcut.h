// Reading the target of a shell shortcut (.lnk) through the shell's link object.
#pragma once

#include <windows.h>

// Writes the path the shortcut at linkPath points to into outPath (at least 260 bytes),
// as stored, without expanding environment references; empty when the shortcut cannot
// be loaded or resolved. hwnd owns any window the shell shows while resolving. Returns
// the result of the last step taken.
HRESULT ResolveShortcut(HWND hwnd, const char* linkPath, char* outPath);
