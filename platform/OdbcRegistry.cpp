#include "platform/OdbcRegistry.h"

#include <odbcinst.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "foundation/MacError.h"
#include "platform/Environment.h"
#include "platform/FileTransaction.h"
#include "platform/FreeTdsConf.h"
#include "platform/OdbcSourceName.h"
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

bool HasLineBreak(const std::string& Text) { return Text.find_first_of("\r\n") != std::string::npos; }

const char* const kServer = "Server";
const char* const kServername = "Servername";

// A FreeTDS data source whose name is not ASCII is read by FreeTDS under another name
// (OdbcSourceName.h): that section repeats the data source's keys, without its driver. A
// section of that name with a driver of its own is a data source of its own and stays.
bool SyncFreeTdsReading(TIniDocument& Doc, const std::string& Section) {
  const std::string Reading = FreeTdsSourceName(Section);
  if (Reading == Section || SameIniName(Section, kSourceList) || Doc.Value(Reading, "Driver")) return false;
  const auto Driver = Doc.Value(Section, "Driver");
  if (!Driver || !IsFreeTdsDriver(*Driver)) return Doc.DeleteSection(Reading);
  bool Changed = Doc.AddSection(Reading);
  for (const auto& Key : Doc.Keys(Reading)) {
    if (!Doc.Value(Section, Key)) Changed |= Doc.DeleteKey(Reading, Key);
  }
  for (const auto& Key : Doc.Keys(Section)) {
    if (!SameIniName(Key, "Driver")) Changed |= Doc.Set(Reading, Key, *Doc.Value(Section, Key));
  }
  return Changed;
}

// odbcinst keeps what it read from the data source files for a while and forgets it only when
// it writes a profile itself, so the driver manager of this process would go on connecting
// with the old entries. A write that changes nothing (a value deleted from /dev/null, which
// has none) makes it forget.
void ForgetProfileCache() {
  TConfigMode Mode(ODBC_BOTH_DSN);
  SQLWritePrivateProfileString("Vandrel", "Vandrel", nullptr, "/dev/null");
}

}  // namespace

TOdbcRegistry::TOdbcRegistry(HKEY Root) : FRoot(Root) {}

bool TOdbcRegistry::Covers(const TRegPath& Path) {
  return RegPathStartsWith(Path, {"SOFTWARE", "ODBC", kOdbcIni}) ||
         RegPathStartsWith(Path, {"SOFTWARE", "ODBC", kOdbcInstIni});
}

std::string TOdbcRegistry::DataSourceFile() const {
  if (FRoot == HKEY_CURRENT_USER) {
    const std::string File = EnvironmentValue("ODBCINI");
    return File.empty() ? EnvironmentValue("HOME") + "/.odbc.ini" : File;
  }
  const std::string Dir = EnvironmentValue("ODBCSYSINI");
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

TIniDocument TOdbcRegistry::Sources() const { return TIniDocument::Parse(ReadFileText(DataSourceFile())); }

std::string TOdbcRegistry::SourceValue(const std::string& Section, const char* Name) const {
  return Sources().Value(Section, Name).value_or("");
}

bool TOdbcRegistry::SourceHas(const std::string& Section, const char* Name) const {
  return Sources().Value(Section, Name).has_value();
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
    case opDataSourceSection:
      return SameIniName(T.Section, kSourceList) || Sources().HasSection(T.Section);
    case opDriverSection:
      return ListHas(InstalledDrivers(), T.Section);
    default:
      return true;
  }
}

bool TOdbcRegistry::CreateKey(const TRegPath& Path) {
  const TTarget T = Locate(Path);
  if (T.Place != opDataSourceSection || KeyExists(Path)) return KeyExists(Path);
  Writable(Path, "Driver");
  NameUsable(T.Section);
  Change([&](TIniDocument& Doc) { return Doc.AddSection(T.Section); });
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
      std::vector<std::string> Names = Sources().Keys(T.Section);
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
      return SplitNulList(Profile(T.Section.c_str(), nullptr, kOdbcInstIni));
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

void TOdbcRegistry::Change(const std::function<bool(TIniDocument&)>& Edit) const {
  bool Changed = false;
  ChangeFileText(DataSourceFile(), "pliku źródeł danych ODBC", [&](std::string& Text) {
    TIniDocument Doc = TIniDocument::Parse(Text);
    if (!Edit(Doc)) return false;
    Text = Doc.Serialise();
    return Changed = true;
  });
  if (!Changed) return;
  if (TFileTransaction* Transaction = TFileTransaction::Current()) {
    Transaction->AfterCommit(ForgetProfileCache);
  } else {
    ForgetProfileCache();
  }
}

void TOdbcRegistry::Write(const std::string& Section, const char* Name, const char* Value) const {
  Change([&](TIniDocument& Doc) {
    const bool Changed = !Name ? Doc.DeleteSection(Section) : !Value ? Doc.DeleteKey(Section, Name)
                                                                     : Doc.Set(Section, Name, Value);
    return SyncFreeTdsReading(Doc, Section) || Changed;
  });
}

void TOdbcRegistry::NameUsable(const std::string& DataSource) {
  if (const std::string Problem = OdbcSourceNameProblem(DataSource); !Problem.empty()) {
    throw EMRegistryError(Problem);
  }
}

void TOdbcRegistry::WriteString(const TRegPath& Path, const std::string& Name, const std::string& Value) {
  // A data source is named by its list entry and by its section: both must be usable names.
  if (const TTarget Place = Locate(Path); Place.Place == opDataSourceSection) {
    NameUsable(SameIniName(Place.Section, kSourceList) ? Name : Place.Section);
  }
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
  const std::string Server = IsFreeTdsSource(T) ? SourceValue(T.Section, kServername) : "";
  Write(T.Section, nullptr, nullptr);
  // The freetds.conf section made for the data source goes with the last one that names it.
  if (!Server.empty() && !AnySourceNames(Server)) TFreeTdsConf(FreeTdsConfFile(FRoot)).RemoveMadeSection(Server);
  return true;
}

bool TOdbcRegistry::AnySourceNames(const std::string& Server) {
  try {
    for (HKEY Root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      const TIniDocument Doc = TOdbcRegistry(Root).Sources();
      for (const auto& Section : Doc.Sections()) {
        if (SameIniName(Doc.Value(Section, kServername).value_or(""), Server)) return true;
      }
    }
  } catch (const EMRegistryError&) {
    return true;  // a file that cannot be read may name it: the section stays
  }
  return false;
}

bool IsFreeTdsDriver(const std::string& Driver) {
  std::string Library = Driver;
  if (Driver.find('/') == std::string::npos) {
    TConfigMode Mode(ODBC_BOTH_DSN);
    Library = Profile(Driver.c_str(), "Driver", kOdbcInstIni);
  }
  const size_t Slash = Library.rfind('/');
  return Library.find("tdsodbc", Slash == std::string::npos ? 0 : Slash) != std::string::npos;
}

}  // namespace vandrel::platform
