#include "tools/health/HealthCommand.h"

#include <fstream>
#include <sstream>

namespace vandrel::healthtool {

const char* UsageText() {
  return "użycie: vandrel-health --server SERWER [--server SERWER...] [--servers PLIK] [--user UŻYTKOWNIK]\n"
         "                      [--password-file PLIK] [--format table|csv|json] [--prometheus PLIK]\n"
         "  PLIK serwerów: jeden serwer w wierszu; puste wiersze i wiersze od \"#\" są pomijane\n"
         "  hasło: zmienna środowiska VANDREL_HEALTH_PASSWORD albo plik czytelny tylko dla właściciela\n"
         "  (--password-file); nigdy w wierszu poleceń\n"
         "  --prometheus PLIK zapisuje wartości w formacie tekstowym Prometheusa (node_exporter, textfile)\n"
         "  kod wyjścia: 0 bez uwag, 1 ostrzeżenia, 2 błędy, 3 któryś serwer nie odpowiada, 4 błąd wywołania\n";
}

std::vector<std::string> ServersOfText(const std::string& Text) {
  std::vector<std::string> servers;
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    const size_t last = line.find_last_not_of(" \t\r");
    servers.push_back(line.substr(first, last - first + 1));
  }
  return servers;
}

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
  c.servers.insert(c.servers.end(), fromFiles.begin(), fromFiles.end());
  if (c.servers.empty()) throw UsageError("nie podano serwera (--server albo --servers)");
  return c;
}

}  // namespace vandrel::healthtool
