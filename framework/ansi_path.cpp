#include "framework/ansi_path.h"

#include <cstring>
#include <cwchar>

size_t FolderPartLength(const char* path)
{
    size_t length = 0;
    for (size_t i = 0; path[i]; ++i) {
        if (::IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1]) {
            ++i;
            continue;
        }
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
            length = i + 1;
    }
    return length;
}

std::wstring WideFromAnsi(const char* text)
{
    const int bytes = static_cast<int>(std::strlen(text));
    std::wstring wide(bytes, L'\0');  // no byte gives more than one code unit
    wide.resize(bytes > 0 ? ::MultiByteToWideChar(CP_ACP, 0, text, bytes, &wide[0], bytes) : 0);
    return wide;
}

bool ToAnsiExactly(const wchar_t* text, int units, std::string& out)
{
    out.clear();
    if (units <= 0)
        return true;
    // A UTF-8 ANSI code page spells every name; it takes neither the flag nor the report.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const report = utf8 ? nullptr : &usedDefault;
    const int bytes = ::WideCharToMultiByte(CP_ACP, flags, text, units, nullptr, 0, nullptr, report);
    if (bytes <= 0)
        return false;
    out.resize(bytes);
    ::WideCharToMultiByte(CP_ACP, flags, text, units, &out[0], bytes, nullptr, report);
    return !usedDefault;
}

std::string AnsiPath(const std::wstring& path)
{
    std::string exact;
    if (ToAnsiExactly(path.c_str(), static_cast<int>(path.size()), exact))
        return exact;
    const DWORD units = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (units > 0) {
        std::wstring shortPath(units, L'\0');
        const DWORD got = ::GetShortPathNameW(path.c_str(), &shortPath[0], units);
        std::string shortForm;
        if (got > 0 && got < units && ToAnsiExactly(shortPath.c_str(), static_cast<int>(got), shortForm))
            return shortForm;
    }
    return exact;
}

std::string AnsiEntryName(const wchar_t* name, const wchar_t* shortName)
{
    std::string exact;
    if (ToAnsiExactly(name, static_cast<int>(wcslen(name)), exact))
        return exact;
    std::string shortForm;
    if (shortName[0] && ToAnsiExactly(shortName, static_cast<int>(wcslen(shortName)), shortForm))
        return shortForm;
    return exact;
}
