#include "app/demo/DemoSite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/OdbcDriver.h"
#include "platform/base/Directories.h"

namespace vandrel::app::demo {
namespace {

namespace fs = std::filesystem;

// Everything the demo makes in its directory; a reset removes these and nothing else, so a
// directory named by VANDREL_DEMO_DIR that holds other things keeps them.
const char* const kEntries[] = {"files",        "registry", "wine",          "freetds",          "freetds.conf",
                                "odbcinst.ini", "odbc.ini", "user-odbc.ini", "statements.trace", "msde-sim.log"};

const char* const kFreeTdsGlobal = "[global]\n\ttds version = 7.1\n\tclient charset = UTF-8\n";

std::string Env(const char* Name) {
  const char* Value = std::getenv(Name);
  return Value ? Value : "";
}

std::string DefaultDirectory() {
  if (const std::string Named = Env("VANDREL_DEMO_DIR"); !Named.empty()) return Named;
  const std::string Leaf = "/vandrel-demo-" + std::to_string(getuid());
  if (const std::string Runtime = Env("XDG_RUNTIME_DIR"); !Runtime.empty()) return Runtime + Leaf;
  return platform::TempDirectory() + Leaf;
}

[[noreturn]] void Fail(const std::string& What, const std::string& Path, int Error) {
  throw std::runtime_error(What + " " + Path + ": " + std::strerror(Error));
}

// The directory exists afterwards as a real directory of this user: in a shared temporary
// directory someone else may have made the name first, or put a link there.
void MakeOwnDirectory(const std::string& Path) {
  if (::mkdir(Path.c_str(), 0700) != 0 && errno != EEXIST) Fail("Nie można utworzyć katalogu", Path, errno);
  struct stat Info {};
  if (::lstat(Path.c_str(), &Info) != 0) Fail("Nie można odczytać katalogu", Path, errno);
  if (!S_ISDIR(Info.st_mode) || Info.st_uid != getuid())
    throw std::runtime_error("Katalog demonstracyjny " + Path + " nie jest katalogiem tego użytkownika");
}

void WriteText(const std::string& Path, const std::string& Text) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out << Text;
  Out.close();
  if (!Out) Fail("Nie można zapisać pliku", Path, errno ? errno : EIO);
}

void MakeDirectories(const std::string& Path) {
  std::error_code Error;
  fs::create_directories(Path, Error);
  if (Error) Fail("Nie można utworzyć katalogu", Path, Error.value());
}

}  // namespace

TDemoSite::TDemoSite(std::string Directory)
    : FDirectory(Directory.empty() ? DefaultDirectory() : std::move(Directory)) {}

void TDemoSite::Reset(const TDemoSource& Source, const std::string& Driver) const {
  MakeOwnDirectory(FDirectory);
  for (const char* Entry : kEntries) {
    std::error_code Error;
    fs::remove_all(FDirectory + "/" + Entry, Error);
    if (Error) Fail("Nie można usunąć", FDirectory + "/" + Entry, Error.value());
  }
  std::error_code Error;
  fs::copy(Source.FilesDir, FilesDir(), fs::copy_options::recursive, Error);
  if (Error) Fail("Nie można skopiować plików demonstracyjnych do", FilesDir(), Error.value());
  MakeDirectories(FDirectory + "/registry");
  MakeDirectories(FDirectory + "/wine");
  MakeDirectories(FDirectory + "/freetds/etc");
  WriteText(FDirectory + "/odbcinst.ini",
            "[SQL Server]\nDescription = FreeTDS, registered under the name the tool looks for\nDriver = " +
                Driver + "\n");
  WriteText(FDirectory + "/odbc.ini", "");
  WriteText(FDirectory + "/user-odbc.ini", "");
  WriteText(FDirectory + "/freetds.conf", kFreeTdsGlobal);
  WriteText(FDirectory + "/freetds/etc/freetds.conf", kFreeTdsGlobal);
}

std::vector<std::pair<std::string, std::string>> TDemoSite::Environment() const {
  return {{"ODBCSYSINI", FDirectory},
          {"ODBCINI", FDirectory + "/user-odbc.ini"},
          {"FREETDSCONF", FDirectory + "/freetds.conf"},
          {"FREETDS", FDirectory + "/freetds"},
          {"VANDREL_REGISTRY_DIR", FDirectory + "/registry"},
          {"WINEPREFIX", FDirectory + "/wine"}};
}

void TDemoSite::Export() const {
  for (const auto& [Name, Value] : Environment()) setenv(Name.c_str(), Value.c_str(), 1);
}

void TDemoSite::ServerStarted(int Port) const {
  WriteText(FDirectory + "/odbc.ini",
            "[ODBC Data Sources]\nVandrel demo = SQL Server\n\n[Vandrel demo]\nDriver = SQL Server\n"
            "Server = 127.0.0.1\nPort = " +
                std::to_string(Port) + "\nTDS_Version = 7.1\nClientCharset = UTF-8\nDatabase = master\n");
  // A host named without a port ("(local)" reaches 127.0.0.1) takes the port of [global]; a
  // port named with the host ("127.0.0.1,1433") still wins, which TDSPORT would override.
  const std::string Global = std::string(kFreeTdsGlobal) + "\tport = " + std::to_string(Port) + "\n";
  WriteText(FDirectory + "/freetds.conf", Global);
  WriteText(FDirectory + "/freetds/etc/freetds.conf", Global);
}

std::string FindFreeTdsDriver() { return platform::FreeTdsDriverLibrary(); }

}  // namespace vandrel::app::demo
