#pragma once
// Conversion between the program's text (UTF-8, the "ANSI code page" here) and the OEM
// (console) code page of Polish DOS and Windows consoles, CP852; and Windows-1250, the code
// page of file formats written by Polish Windows programs.
#include <string>
#include <string_view>

namespace vandrel::platform {

// UTF-8 to CP852. Characters CP852 lacks are transliterated where iconv knows a stand-in,
// else written as "?"; so are bytes that are not valid UTF-8. Never fails.
std::string AnsiToOem(std::string_view Text);
// CP852 to UTF-8; every byte has a character, so nothing is lost.
std::string OemToAnsi(std::string_view Text);

// UTF-8 to Windows-1250; characters it lacks (and bytes that are not UTF-8) as for AnsiToOem.
std::string AnsiToWin1250(std::string_view Text);
// The same, appended to Out.
void AppendAnsiToWin1250(std::string& Out, std::string_view Text);
// Windows-1250 to UTF-8; the five bytes the code page leaves undefined become "?".
std::string Win1250ToAnsi(std::string_view Text);
// The same, appended to Out.
void AppendWin1250ToAnsi(std::string& Out, std::string_view Text);

}  // namespace vandrel::platform
