#include "tools/health/HealthCommand.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vandrel::healthtool {

const char* UsageText() {
  return "użycie: vandrel-health --server SERWER [--server SERWER...] [--servers PLIK] [--user UŻYTKOWNIK]\n"
         "                      [--password-file PLIK] [--format table|csv|json] [--prometheus PLIK]\n"
         "                      [--jobs N] [--timeout S]\n"
         "  PLIK serwerów: jeden serwer w wierszu; puste wiersze są pomijane, \"#\" zaczyna komentarz\n"
         "  --jobs N: najwyżej N serwerów naraz (domyślnie 16); --timeout S: limit logowania i każdego\n"
         "  zapytania w sekundach (domyślnie 15 i 60)\n"
         "  hasło: zmienna środowiska VANDREL_HEALTH_PASSWORD albo plik czytelny tylko dla właściciela\n"
         "  (--password-file); nigdy w wierszu poleceń\n"
         "  --prometheus PLIK zapisuje wartości w formacie tekstowym Prometheusa (node_exporter, textfile)\n"
         "  kod wyjścia: 0 bez uwag, 1 ostrzeżenia, 2 błędy, 5 któryś serwer odrzucił logowanie,\n"
         "  3 któryś serwer nie odpowiada (najgorszy w tej kolejności), 4 błąd wywołania,\n"
         "  6 brak sterownika ODBC\n";
}

std::vector<std::string> ServersOfText(const std::string& Text) {
  std::vector<std::string> servers;
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, line.find('#'));
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    const size_t last = line.find_last_not_of(" \t\r");
    servers.push_back(line.substr(first, last - first + 1));
  }
  return servers;
}

bool WorseStatus(int A, int B) {
  auto rank = [](int Status) { return std::find(std::begin(kStatusOrder), std::end(kStatusOrder), Status) - std::begin(kStatusOrder); };
  return rank(A) > rank(B);
}

namespace {

// A whole number from Low to High, for an option's value.
int NumberOption(const std::string& Option, const std::string& Text, int Low, int High) {
  char* end = nullptr;
  const long n = std::strtol(Text.c_str(), &end, 10);
  if (Text.empty() || *end != '\0' || n < Low || n > High)
    throw UsageError(Option + " wymaga liczby od " + std::to_string(Low) + " do " + std::to_string(High) + ": " + Text);
  return static_cast<int>(n);
}

}  // namespace

HealthCommand ParseCommand(const std::vector<std::string>& arguments) {
  HealthCommand c;
  std::vector<std::string> fromFiles;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= arguments.size()) throw UsageError("brak wartości po " + a);
      return arguments[++i];
    };
    if (a == "--server") {
      c.servers.push_back(value());
    } else if (a == "--servers") {
      const std::string path = value();
      std::ifstream in(path);
      if (!in) throw UsageError("nie można odczytać pliku serwerów " + path);
      std::ostringstream text;
      text << in.rdbuf();
      for (std::string& s : ServersOfText(text.str())) fromFiles.push_back(std::move(s));
    } else if (a == "--user") {
      c.user = value();
    } else if (a == "--password-file") {
      c.password_file = value();
    } else if (a == "--prometheus") {
      c.prometheus_file = value();
    } else if (a == "--jobs") {
      c.jobs = NumberOption(a, value(), 1, 256);
    } else if (a == "--timeout") {
      c.timeout = NumberOption(a, value(), 1, 3600);
    } else if (a == "--format") {
      const std::string f = value();
      if (f == "table") c.format = TFormat::fmTable;
      else if (f == "csv") c.format = TFormat::fmCsv;
      else if (f == "json") c.format = TFormat::fmJson;
      else throw UsageError("nieznany format " + f + " (table, csv albo json)");
    } else {
      backup::RefusePasswordArgument(a, kPasswordVariable);
      throw UsageError("nieznana opcja " + a);
    }
  }
  // A server named twice is asked once, so that its label stays one series.
  std::vector<std::string> named;
  named.swap(c.servers);
  named.insert(named.end(), fromFiles.begin(), fromFiles.end());
  for (std::string& s : named)
    if (std::find(c.servers.begin(), c.servers.end(), s) == c.servers.end()) c.servers.push_back(std::move(s));
  if (c.servers.empty()) throw UsageError("nie podano serwera (--server albo --servers)");
  return c;
}

}  // namespace vandrel::healthtool
