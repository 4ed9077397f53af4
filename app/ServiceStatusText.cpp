#include "app/ServiceStatusText.h"

#include <sstream>
#include <utility>
#include <vector>

namespace vandrel::app {
namespace {

using TPairs = std::vector<std::pair<std::string, std::string>>;

// The summary's headings, as systemd writes them before the first log line.
const TPairs kHeadings = {
    {"Loaded:", "Wczytanie:"},   {"Active:", "Stan:"},        {"Docs:", "Dokumentacja:"},
    {"Process:", "Proces:"},     {"Main PID:", "Główny PID:"}, {"Tasks:", "Zadania:"},
    {"Memory:", "Pamięć:"},      {"CPU:", "Czas procesora:"}, {"CGroup:", "Grupa procesów:"},
    {"TriggeredBy:", "Wyzwalana przez:"}, {"Status:", "Komunikat:"}};

// Words of the "Loaded:" and "Active:" values, longest first where one holds another.
const TPairs kStates = {
    {"active (running)", "aktywna (działa)"},   {"active (exited)", "aktywna (zakończona)"},
    {"inactive (dead)", "nieaktywna (zatrzymana)"}, {"activating (start)", "uruchamianie"},
    {"deactivating (stop)", "zatrzymywanie"}, {"failed (Result: exit-code)", "błąd (kod wyjścia)"},
    {"not-found (Reason: Unit", "nie znaleziono (powód: usługa"}, {"vendor preset:", "domyślnie:"},
    {"preset:", "domyślnie:"},                {"disabled", "wyłączona przy starcie"},
    {"enabled", "włączona przy starcie"},     {"loaded", "wczytana"},
    {"not-found", "nie znaleziono"},          {" since ", " od "},
    {" ago", " temu"},                        {"No such file or directory", "brak pliku lub katalogu"}};

void ReplaceAll(std::string& Text, const std::string& From, const std::string& To) {
  for (size_t at = Text.find(From); at != std::string::npos; at = Text.find(From, at + To.size()))
    Text.replace(at, From.size(), To);
}

// "Unit x.service could not be found." as the whole answer for a service that is not there.
bool UnitNotFound(const std::string& Line, std::string& Polish) {
  const std::string unit = "Unit ", tail = " could not be found.";
  if (Line.rfind(unit, 0) != 0 || Line.size() <= unit.size() + tail.size() ||
      Line.compare(Line.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  Polish = "Nie znaleziono usługi " + Line.substr(unit.size(), Line.size() - unit.size() - tail.size()) + ".";
  return true;
}

}  // namespace

std::string PolishServiceStatus(const std::string& Status) {
  std::istringstream lines(Status);
  std::string line, result;
  bool summary = true;  // the log lines follow the first empty line
  while (std::getline(lines, line)) {
    std::string polish;
    if (UnitNotFound(line, polish)) {
      line = polish;
    } else if (summary && line.empty()) {
      summary = false;
    } else if (summary) {
      const size_t text = line.find_first_not_of(' ');
      for (const auto& [english, own] : kHeadings) {
        if (text == std::string::npos || line.compare(text, english.size(), english) != 0) continue;
        line.replace(text, english.size(), own);
        if (english == "Loaded:" || english == "Active:")
          for (const auto& [word, translated] : kStates) ReplaceAll(line, word, translated);
        break;
      }
    }
    result += line + "\n";
  }
  return result;
}

}  // namespace vandrel::app
