#pragma once
// One word of a command line as the two schedulers read it back: systemd's unit files and
// the shell that cron hands its lines to follow different rules, so a database named
// "O'Brien ]50% $x" needs a different spelling in each to arrive as it stands.
#include <string>
#include <vector>

namespace vandrel::app::admin {

// A word of ExecStart=: in double quotes, with "\" and "\"" escaped, "%" doubled (systemd's
// specifiers) and "$" doubled (its variables).
std::string SystemdWord(const std::string& Word);
// A word of Environment=, where "$" stands for itself.
std::string SystemdEnvironmentWord(const std::string& Word);
// A word for /bin/sh: in single quotes, each "'" written as '\''.
std::string ShellWord(const std::string& Word);
// A crontab line's command: cron turns an unescaped "%" into a new line (and what follows
// into the command's input), so each "%" is written "\%".
std::string CronCommand(const std::string& ShellLine);
// Words joined by spaces, each spelt by Quote.
std::string JoinedWords(const std::vector<std::string>& Words, std::string (*Quote)(const std::string&));
// Whether Text can go into a line of either file: no line break or other control character.
bool FitsOnOneLine(const std::string& Text);

}  // namespace vandrel::app::admin
