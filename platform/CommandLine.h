#pragma once
// A whole command line split into the program and its arguments, as a POSIX shell splits
// words, without running a shell: blanks (space, tab, line break) separate words; inside
// '...' every character is literal; inside "..." a backslash escapes only ", \, $, ` and a
// line break; elsewhere a backslash makes the next character literal. Nothing is expanded
// (no variables, patterns, "~" or redirections), so text from the user cannot run commands.
#include <string>
#include <vector>

namespace vandrel::platform {

// False for an unclosed quote or a backslash at the very end; Words then holds nothing.
bool SplitCommandLine(const std::string& CommandLine, std::vector<std::string>& Words);

// The word quoted so that SplitCommandLine gives it back unchanged.
std::string QuoteCommandWord(const std::string& Word);

}  // namespace vandrel::platform
