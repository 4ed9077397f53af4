#include "app/admin/ScheduleQuoting.h"

#include <algorithm>

namespace vandrel::app::admin {

namespace {

std::string SystemdQuoted(const std::string& Word, bool Variables) {
  std::string quoted = "\"";
  for (const char c : Word) {
    if (c == '\\' || c == '"') quoted += '\\';
    if (c == '%' || (Variables && c == '$')) quoted += c;
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string SystemdWord(const std::string& Word) { return SystemdQuoted(Word, true); }

std::string SystemdEnvironmentWord(const std::string& Word) { return SystemdQuoted(Word, false); }

std::string ShellWord(const std::string& Word) {
  std::string quoted = "'";
  for (const char c : Word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string CronCommand(const std::string& ShellLine) {
  std::string escaped;
  for (const char c : ShellLine) {
    if (c == '%') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string JoinedWords(const std::vector<std::string>& Words, std::string (*Quote)(const std::string&)) {
  std::string line;
  for (const std::string& w : Words) line += (line.empty() ? "" : " ") + Quote(w);
  return line;
}

bool FitsOnOneLine(const std::string& Text) {
  return std::none_of(Text.begin(), Text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

}  // namespace vandrel::app::admin
