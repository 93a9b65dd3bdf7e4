// Shell shortcuts (.lnk) for tests.
#pragma once

#include <string>

// Saves a shortcut at linkPath to target through the shell's own link object. The
// target is stored even when it does not exist. True on success.
bool MakeShortcut(const std::string& linkPath, const std::string& target);

// Writes a shortcut file byte by byte whose stored target is target exactly as given,
// environment references included: as the local path of its link information and as its
// environment block, the way the shell stores a target such as "%TEMP%\x". (The link
// object's SetPath cannot store such a target under Wine: it makes it a full path.)
void WriteRawShortcut(const std::string& linkPath, const std::string& target);
