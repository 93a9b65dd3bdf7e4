// Names and paths the system hands over as UTF-16, turned into the 8-bit text of the
// ANSI code page that the program works in.
//
// The system's default conversion is "best fit": a character the code page lacks may
// become a look-alike ("Ā.bin" becomes "A.bin" on code page 1252), which names another
// file that may exist. These conversions never fit: a name that converts exactly is used
// as it is; otherwise its short (8.3) form where it has one that converts exactly;
// otherwise the code page's default character '?' stands in, which no file name can
// hold, so the result names no file at all.
#pragma once

#include <windows.h>

#include <string>

// Length of the folder part of an 8-bit path, up to and including its last separator
// ('\\', '/' or ':'); 0 when it has none. Read character by character in the ANSI code
// page: the trail byte of a double-byte character may be 0x5C, the byte of '\\'.
size_t FolderPartLength(const char* path);

// 8-bit text up to its terminator as UTF-16, converted with its byte count: the
// system's conversion of a terminated string may take the terminator for the trail byte
// of a lone lead byte at the end and read on past it.
std::wstring WideFromAnsi(const char* text);

// The exact 8-bit form of units code units of text; false when some character has
// none, out then holding the default character in its place.
bool ToAnsiExactly(const wchar_t* text, int units, std::string& out);

// A whole path: exact, else the system's short form of it, else with '?'.
std::string AnsiPath(const std::wstring& path);

// One entry of a directory listing: its name, else its short name, else with '?'.
std::string AnsiEntryName(const wchar_t* name, const wchar_t* shortName);
