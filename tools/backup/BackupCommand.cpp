#include "tools/backup/BackupCommand.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vandrel::backup {

const char* UsageText() {
  return "użycie: vandrel-backup --server SERWER [--user UŻYTKOWNIK] BAZA... --to KATALOG "
         "[--keep N] [--password-file PLIK] [--log PLIK]\n"
         "  hasło: zmienna środowiska VANDREL_BACKUP_PASSWORD albo plik czytelny tylko dla "
         "właściciela (--password-file); nigdy w wierszu poleceń\n"
         "  KATALOG leży na dysku serwera; --keep N zostawia N najnowszych kopii każdej bazy "
         "(tylko gdy serwer działa na tym komputerze)\n"
         "  --log PLIK dopisuje do pliku każdy wiersz z godziną i na końcu \"kod wyjścia N\"\n"
         "  kod wyjścia: 0 wszystko zrobione, 1 część baz się nie udała, 2 błąd wywołania lub "
         "połączenia, 3 brak sterownika ODBC\n";
}

BackupCommand ParseCommand(const std::vector<std::string>& arguments) {
  BackupCommand c;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= arguments.size()) throw UsageError("brak wartości po " + a);
      return arguments[++i];
    };
    if (a == "--server") {
      c.server = value();
    } else if (a == "--user") {
      c.user = value();
    } else if (a == "--to") {
      c.directory = value();
    } else if (a == "--keep") {
      const std::string n = value();
      char* end = nullptr;
      const long keep = std::strtol(n.c_str(), &end, 10);
      if (n.empty() || *end != '\0' || keep < 1 || keep > 10000)
        throw UsageError("--keep wymaga liczby kopii od 1: " + n);
      c.keep = static_cast<int>(keep);
    } else if (a == "--password-file") {
      c.password_file = value();
    } else if (a == "--log") {
      c.log_file = value();
    } else if (a.rfind("-", 0) == 0) {
      RefusePasswordArgument(a, kPasswordVariable);
      throw UsageError("nieznana opcja " + a);
    } else {
      c.databases.push_back(a);
    }
  }
  if (c.server.empty()) throw UsageError("nie podano serwera (--server)");
  if (c.directory.empty()) throw UsageError("nie podano katalogu kopii (--to)");
  if (c.databases.empty()) throw UsageError("nie podano żadnej bazy");
  return c;
}

void RefusePasswordArgument(const std::string& Argument, const char* Variable) {
  if (Argument == "--password" || Argument == "-P" || Argument.rfind("--password=", 0) == 0)
    throw UsageError(std::string("hasła nie podaje się w wierszu poleceń (widzą je wszyscy w liście procesów): użyj ") +
                     Variable + " albo --password-file");
}

std::string ReadPassword(const BackupCommand& command) {
  return ReadPasswordFrom(command.password_file, kPasswordVariable);
}

std::string ReadPasswordFrom(const std::optional<std::string>& File, const char* Variable) {
  if (File) {
    const std::string& path = *File;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw UsageError("nie można odczytać pliku hasła " + path);
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
      throw UsageError("plik hasła " + path + " mogą czytać lub zmieniać inni (wymagane: "
                       "właściciel to ten użytkownik, uprawnienia 600 lub 400)");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError("nie można odczytać pliku hasła " + path);
    std::string password;
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
  }
  if (char* value = std::getenv(Variable)) {
    std::string password = value;
    // The process's environment block is what /proc/PID/environ shows its owner; the
    // password need not stay there while the backups run.
    std::memset(value, 0, std::strlen(value));
    unsetenv(Variable);
    return password;
  }
  return {};
}

}  // namespace vandrel::backup
