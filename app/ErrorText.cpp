#include "app/ErrorText.h"

#include <map>
#include <regex>
#include <sstream>
#include <vector>

namespace vandrel::app {

std::string RewriteObjectIds(const std::string& Text,
                             const std::function<std::string(const std::string&)>& Lookup) {
  static const std::string kMarker = "Object ID";
  std::string text = Text;
  size_t from = 0;
  for (size_t at; (at = text.find(kMarker, from)) != std::string::npos;) {
    size_t pos = at + kMarker.size();
    std::string digits;
    for (; pos < text.size(); ++pos) {
      char c = text[pos];
      if (c >= '0' && c <= '9')
        digits += c;
      else if (c != ' ')
        break;
    }
    if (digits.empty()) {
      from = at + kMarker.size();
      continue;
    }
    const std::string name = Lookup ? Lookup(digits) : digits;
    const std::string inserted = "Obiekt: \"" + name + "\" ";
    text.replace(at, pos - at, inserted);
    from = at + inserted.size();
  }
  return text;
}

std::string TranslateKnownMessage(const std::string& Text) {
  if (Text.find("Cannot drop the database") != std::string::npos &&
      Text.find("because it does not exist") != std::string::npos)
    return "Nie można usunąć bazy. Podana baza nie istnieje";
  return Text;
}

std::string PolishCount(long long N, const std::string& One, const std::string& Few, const std::string& Many) {
  const long long tens = N % 100, units = N % 10;
  const std::string& word = N == 1 ? One : (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) ? Few : Many;
  return std::to_string(N) + " " + word;
}

std::string WithoutDriverPrefixes(const std::string& Message) {
  size_t at = 0;
  while (at < Message.size() && (Message[at] == '[' || Message[at] == ' ')) {
    if (Message[at] == ' ') {
      ++at;
      continue;
    }
    const size_t close = Message.find(']', at);
    if (close == std::string::npos) break;
    at = close + 1;
  }
  return Message.substr(at);
}

namespace {

struct ReportTopic {
  std::string Code, Title, Description;
};

// The topics of a report: "[CODE/number] title" lines, each with the line after it.
std::vector<ReportTopic> TopicsOf(const std::string& Report, std::string& LastLine) {
  static const std::regex topic(R"(^\[([A-Za-z]+/-?[0-9]+)\] (.*)$)");
  std::vector<std::string> lines;
  std::istringstream in(Report);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (!line.empty()) LastLine = line;
  }
  std::vector<ReportTopic> topics;
  std::smatch m;
  for (size_t i = 0; i < lines.size(); ++i)
    if (std::regex_match(lines[i], m, topic))
      topics.push_back({m[1], m[2], i + 1 < lines.size() ? lines[i + 1] : std::string()});
  return topics;
}

// What a refusal for lack of rights would have needed, by the server's error number; empty for
// an error that is no such refusal.
std::string RightsRefusal(const std::string& Code) {
  static const std::map<std::string, const char*> needed = {
      {"MODBCDRV/5011", "sysadmin, dbcreator lub db_owner bazy"},
      {"MODBCDRV/2571", "sysadmin lub db_owner bazy"},
      {"MODBCDRV/6102", "sysadmin lub processadmin"},
      {"MODBCDRV/7971", "sysadmin"},
      {"MODBCDRV/5812", "sysadmin"},
      {"MODBCDRV/297", "sysadmin"},
      {"MODBCDRV/15247", "sysadmin lub db_owner bazy"},
      {"MODBCDRV/3110", "sysadmin, dbcreator lub db_owner bazy"}};
  const auto found = needed.find(Code);
  return found == needed.end() ? std::string() : found->second;
}

}  // namespace

std::string ReportSummary(const std::string& Report) {
  std::string summary;
  if (Report.rfind("Błąd polecenia SQL:", 0) == 0)
    summary = "Polecenie SQL nie zostało wykonane.";
  else if (Report.rfind("Błąd zapytania SQL:", 0) == 0)
    summary = "Zapytanie SQL nie zostało wykonane.";
  else
    return Report.substr(0, Report.find_first_of("\r\n"));
  std::string lastLine;
  const std::vector<ReportTopic> topics = TopicsOf(Report, lastLine);
  const ReportTopic* reason = nullptr;
  int records = 0, errors = 0;
  for (const ReportTopic& t : topics) {
    if (t.Code.rfind("MODBCDRV/", 0) != 0) continue;
    ++records;
    if (t.Title != "Błąd") continue;
    ++errors;
    if (!reason) reason = &t;
  }
  if (reason)
    summary += "\nPrzyczyna: " + WithoutDriverPrefixes(reason->Description);
  else if (!topics.empty())
    summary += "\nPrzyczyna: " + topics.back().Title;
  else if (!lastLine.empty())
    summary += "\nPrzyczyna: " + lastLine;
  // A refusal for lack of rights says, once, what the login would need.
  for (const ReportTopic& t : topics) {
    const std::string needed = t.Title == "Błąd" ? RightsRefusal(t.Code) : std::string();
    if (needed.empty()) continue;
    summary += "\nTen login nie ma do tego uprawnień: wymaga uprawnień " + needed + ".";
    break;
  }
  if (records > 1)
    summary += "\nSerwer przysłał " + PolishCount(records, "komunikat", "komunikaty", "komunikatów") + ", w tym " +
               PolishCount(errors, "błąd", "błędy", "błędów") + "; pełny tekst poniżej.";
  return summary;
}

}  // namespace vandrel::app
