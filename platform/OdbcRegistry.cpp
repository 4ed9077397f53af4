#include "platform/OdbcRegistry.h"

#include <fcntl.h>
#include <odbcinst.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "foundation/MacError.h"
#include "platform/FreeTdsConf.h"
#include "platform/RegKeyName.h"

namespace vandrel::platform {

namespace {

const char* const kOdbcIni = "ODBC.INI";
const char* const kOdbcInstIni = "ODBCINST.INI";
const char* const kSourceList = "ODBC Data Sources";

// unixODBC matches section and key names without regard to ASCII case; so does this mapping,
// so that it never sees a section that unixODBC would not find.
bool SameIniName(const std::string& A, const std::string& B) { return strcasecmp(A.c_str(), B.c_str()) == 0; }

bool ListHas(const std::vector<std::string>& List, const std::string& Name) {
  for (const auto& Item : List) {
    if (SameIniName(Item, Name)) return true;
  }
  return false;
}

// The configuration mode is process-wide in odbcinst: each call sets it, holds the lock,
// and puts it back to both kinds of data sources.
class TConfigMode {
 public:
  explicit TConfigMode(UWORD Mode) : FLock(Mutex()) { SQLSetConfigMode(Mode); }
  ~TConfigMode() { SQLSetConfigMode(ODBC_BOTH_DSN); }

 private:
  static std::mutex& Mutex() {
    static std::mutex M;
    return M;
  }
  std::lock_guard<std::mutex> FLock;
};

// A profile string, or a list of names separated by NULs; the buffer grows until the answer
// fills less than half of it, because a cut list gives no sign of being cut.
std::string Profile(const char* Section, const char* Key, const char* File) {
  for (int Size = 4096;; Size *= 4) {
    std::string Buffer(static_cast<size_t>(Size), '\0');
    const int N = SQLGetPrivateProfileString(Section, Key, "", Buffer.data(), Size, File);
    if (N < Size / 2 || Size >= (1 << 24)) {
      Buffer.resize(static_cast<size_t>(N < 0 ? 0 : N));
      return Buffer;
    }
  }
}

std::vector<std::string> SplitNulList(const std::string& Text) {
  std::vector<std::string> Names;
  for (size_t Start = 0; Start < Text.size();) {
    const size_t End = Text.find('\0', Start);
    const std::string Name = Text.substr(Start, End == std::string::npos ? End : End - Start);
    if (Name.empty()) break;
    Names.push_back(Name);
    if (End == std::string::npos) break;
    Start = End + 1;
  }
  return Names;
}

std::vector<std::string> InstalledDrivers() {
  TConfigMode Mode(ODBC_BOTH_DSN);
  std::string Buffer(65535, '\0');
  WORD Out = 0;
  if (!SQLGetInstalledDrivers(Buffer.data(), static_cast<WORD>(Buffer.size()), &Out)) return {};
  Buffer.resize(Out);
  return SplitNulList(Buffer);
}

std::string InstallerError() {
  std::string Text;
  for (WORD I = 1; I <= 8; ++I) {
    DWORD Code = 0;
    char Message[SQL_MAX_MESSAGE_LENGTH] = {0};
    WORD Length = 0;
    if (SQLInstallerError(I, &Code, Message, sizeof Message, &Length) != SQL_SUCCESS) break;
    if (!Text.empty()) Text += "; ";
    Text += Message;
  }
  return Text.empty() ? "odbcinst nie podał przyczyny" : Text;
}

std::string Env(const char* Name) {
  const char* Value = std::getenv(Name);
  return Value ? Value : "";
}

bool HasLineBreak(const std::string& Text) { return Text.find_first_of("\r\n") != std::string::npos; }

const char* const kServer = "Server";
const char* const kServername = "Servername";

// True for FreeTDS's driver library, named by its path or by its odbcinst.ini section.
bool IsFreeTdsDriver(const std::string& Driver) {
  std::string Library = Driver;
  if (Driver.find('/') == std::string::npos) {
    TConfigMode Mode(ODBC_BOTH_DSN);
    Library = Profile(Driver.c_str(), "Driver", kOdbcInstIni);
  }
  const size_t Slash = Library.rfind('/');
  return Library.find("tdsodbc", Slash == std::string::npos ? 0 : Slash) != std::string::npos;
}

}  // namespace

TOdbcRegistry::TOdbcRegistry(HKEY Root) : FRoot(Root) {}

bool TOdbcRegistry::Covers(const TRegPath& Path) {
  return RegPathStartsWith(Path, {"SOFTWARE", "ODBC", kOdbcIni}) ||
         RegPathStartsWith(Path, {"SOFTWARE", "ODBC", kOdbcInstIni});
}

std::string TOdbcRegistry::DataSourceFile() const {
  if (FRoot == HKEY_CURRENT_USER) {
    const std::string File = Env("ODBCINI");
    return File.empty() ? Env("HOME") + "/.odbc.ini" : File;
  }
  const std::string Dir = Env("ODBCSYSINI");
  return (Dir.empty() ? std::string("/etc") : Dir) + "/odbc.ini";
}

TOdbcRegistry::TTarget TOdbcRegistry::Locate(const TRegPath& Path) const {
  TTarget Target;
  if (Path.size() > 4) return Target;
  if (RegPathStartsWith(Path, {"SOFTWARE", "ODBC", kOdbcIni})) {
    Target.Place = Path.size() == 3 ? opDataSources : opDataSourceSection;
  } else if (RegPathStartsWith(Path, {"SOFTWARE", "ODBC", kOdbcInstIni}) && FRoot == HKEY_LOCAL_MACHINE) {
    Target.Place = Path.size() == 3 ? opDrivers
                   : SameRegName(Path[3], "ODBC Drivers") ? opDriverList
                                                          : opDriverSection;
  }
  if (Path.size() == 4) Target.Section = Path[3];
  return Target;
}

std::vector<std::string> TOdbcRegistry::Sections(const std::string& File) const {
  return SplitNulList(Profile(nullptr, nullptr, File.c_str()));
}

std::vector<std::string> TOdbcRegistry::Keys(const std::string& Section, const std::string& File) const {
  return SplitNulList(Profile(Section.c_str(), nullptr, File.c_str()));
}

std::string TOdbcRegistry::SourceValue(const std::string& Section, const char* Name) const {
  TConfigMode Mode(FRoot == HKEY_CURRENT_USER ? ODBC_USER_DSN : ODBC_SYSTEM_DSN);
  return Profile(Section.c_str(), Name, kOdbcIni);
}

bool TOdbcRegistry::SourceHas(const std::string& Section, const char* Name) const {
  TConfigMode Mode(FRoot == HKEY_CURRENT_USER ? ODBC_USER_DSN : ODBC_SYSTEM_DSN);
  return ListHas(Keys(Section, kOdbcIni), Name);
}

bool TOdbcRegistry::IsFreeTdsSource(const TTarget& T) const {
  if (T.Place != opDataSourceSection || SameIniName(T.Section, kSourceList)) return false;
  const std::string Driver = SourceValue(T.Section, "Driver");
  return !Driver.empty() && IsFreeTdsDriver(Driver);
}

void TOdbcRegistry::WriteFreeTdsServer(const std::string& Section, const std::string& Server) const {
  EnsureFreeTdsServer(FRoot, Server);
  Write(Section, kServername, Server.c_str());
  if (SourceHas(Section, kServer)) Write(Section, kServer, nullptr);
}

bool TOdbcRegistry::KeyExists(const TRegPath& Path) {
  const TTarget T = Locate(Path);
  switch (T.Place) {
    case opNone:
      return false;
    case opDataSourceSection: {
      if (SameIniName(T.Section, kSourceList)) return true;
      TConfigMode Mode(FRoot == HKEY_CURRENT_USER ? ODBC_USER_DSN : ODBC_SYSTEM_DSN);
      return ListHas(Sections(kOdbcIni), T.Section);
    }
    case opDriverSection:
      return ListHas(InstalledDrivers(), T.Section);
    default:
      return true;
  }
}

bool TOdbcRegistry::CreateKey(const TRegPath& Path) {
  const TTarget T = Locate(Path);
  if (T.Place != opDataSourceSection || KeyExists(Path)) return KeyExists(Path);
  // odbcinst makes a section only with a key in it: write one and take it away again.
  const std::string Probe = "Vandrel-Create";
  Writable(Path, Probe);
  Write(T.Section, Probe.c_str(), "");
  Write(T.Section, Probe.c_str(), nullptr);
  return true;
}

bool TOdbcRegistry::ValueExists(const TRegPath& Path, const std::string& Name) {
  return ListHas(ValueNames(Path), Name);
}

std::optional<std::string> TOdbcRegistry::ReadString(const TRegPath& Path, const std::string& Name) {
  if (!ValueExists(Path, Name)) return std::nullopt;
  const TTarget T = Locate(Path);
  if (T.Place == opDriverList) return std::string("Installed");
  if (T.Place == opDriverSection) {
    TConfigMode Mode(ODBC_BOTH_DSN);
    return Profile(T.Section.c_str(), Name.c_str(), kOdbcInstIni);
  }
  if (SameIniName(Name, kServer) && IsFreeTdsSource(T) && !SourceHas(T.Section, kServer)) {
    return SourceValue(T.Section, kServername);
  }
  return SourceValue(T.Section, Name.c_str());
}

std::vector<std::string> TOdbcRegistry::ValueNames(const TRegPath& Path) {
  const TTarget T = Locate(Path);
  switch (T.Place) {
    case opDataSourceSection: {
      std::vector<std::string> Names;
      {
        TConfigMode Mode(FRoot == HKEY_CURRENT_USER ? ODBC_USER_DSN : ODBC_SYSTEM_DSN);
        Names = Keys(T.Section, kOdbcIni);
      }
      // A FreeTDS data source keeps the registry's Server as Servername.
      if (ListHas(Names, kServername) && !ListHas(Names, kServer) && IsFreeTdsSource(T)) {
        for (auto& N : Names) {
          if (SameIniName(N, kServername)) N = kServer;
        }
      }
      return Names;
    }
    case opDriverList:
      return InstalledDrivers();
    case opDriverSection: {
      TConfigMode Mode(ODBC_BOTH_DSN);
      return Keys(T.Section, kOdbcInstIni);
    }
    default:
      return {};
  }
}

TOdbcRegistry::TTarget TOdbcRegistry::Writable(const TRegPath& Path, const std::string& Name) const {
  const TTarget T = Locate(Path);
  const std::string Key = JoinRegPath(Path);
  if (T.Place == opDrivers || T.Place == opDriverList || T.Place == opDriverSection) {
    throw EMRegistryError("Lista sterowników ODBC (" + Key +
                          ") jest tylko do odczytu; sterowniki instaluje się poleceniem odbcinst -i -d");
  }
  if (T.Place != opDataSourceSection) {
    throw EMRegistryError("Klucz " + Key + " nie może przechowywać wartości w plikach ODBC");
  }
  if (T.Section.find_first_of("[]") != std::string::npos) {
    throw EMRegistryError("Nazwa źródła danych ODBC \"" + T.Section + "\" nie może zawierać nawiasów kwadratowych");
  }
  if (Name.empty() || Name.find('=') != std::string::npos || HasLineBreak(Name) ||
      Name.find_first_of("[;#") == 0) {
    throw EMRegistryError("Nazwa wartości \"" + Name + "\" klucza " + Key + " nie nadaje się do pliku ODBC");
  }
  return T;
}

void TOdbcRegistry::Write(const std::string& Section, const char* Name, const char* Value) const {
  const std::string File = DataSourceFile();
  if (FRoot == HKEY_LOCAL_MACHINE && access(File.c_str(), F_OK) != 0) {
    // odbcinst will not write into a system file that does not exist yet.
    const int Fd = open(File.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (Fd >= 0) close(Fd);
  }
  TConfigMode Mode(FRoot == HKEY_CURRENT_USER ? ODBC_USER_DSN : ODBC_SYSTEM_DSN);
  if (!SQLWritePrivateProfileString(Section.c_str(), Name, Value, kOdbcIni)) {
    throw EMRegistryError("Nie można zapisać wartości \"" + std::string(Name ? Name : "") + "\" źródła danych [" + Section +
                          "] w pliku " + File + ": " + InstallerError());
  }
}

void TOdbcRegistry::WriteString(const TRegPath& Path, const std::string& Name, const std::string& Value) {
  const TTarget T = Writable(Path, Name);
  if (HasLineBreak(Value)) {
    throw EMRegistryError("Wartość \"" + Name + "\" klucza " + JoinRegPath(Path) + " zawiera znak końca wiersza");
  }
  if (SameIniName(Name, kServer) && IsFreeTdsSource(T)) {
    WriteFreeTdsServer(T.Section, Value);
    return;
  }
  Write(T.Section, Name.c_str(), Value.c_str());
  if (SameIniName(Name, "Driver") && SourceHas(T.Section, kServer) && IsFreeTdsSource(T)) {
    WriteFreeTdsServer(T.Section, SourceValue(T.Section, kServer));
  }
}

bool TOdbcRegistry::DeleteValue(const TRegPath& Path, const std::string& Name) {
  const TTarget T = Writable(Path, Name);
  if (!ValueExists(Path, Name)) return false;
  const bool Renamed = SameIniName(Name, kServer) && !SourceHas(T.Section, kServer);
  Write(T.Section, Renamed ? kServername : Name.c_str(), nullptr);
  return true;
}

bool TOdbcRegistry::DeleteKey(const TRegPath& Path) {
  const TTarget T = Locate(Path);
  if (T.Place != opDataSourceSection || SameIniName(T.Section, kSourceList)) {
    throw EMRegistryError("Klucza " + JoinRegPath(Path) + " nie można usunąć z plików ODBC");
  }
  if (!KeyExists(Path)) return false;
  Write(T.Section, nullptr, nullptr);
  return true;
}

}  // namespace vandrel::platform
