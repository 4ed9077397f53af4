#include "platform/FreeTdsConf.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/MacError.h"
#include "platform/Environment.h"
#include "platform/FileTransaction.h"
#include "platform/IniText.h"
#include "platform/FileSystem.h"
#include "platform/RegKeyName.h"
#include "platform/RegStore.h"

namespace vandrel::platform {

namespace {

std::string Trim(const std::string& Text) {
  const size_t First = Text.find_first_not_of(" \t\r");
  if (First == std::string::npos) return "";
  return Text.substr(First, Text.find_last_not_of(" \t\r") - First + 1);
}

// The last line of a section this mapping made: such a section may go with the last data
// source that names it; one an administrator wrote never does.
const char* const kMadeHere = "\t# vandrel: for ODBC data sources";

// FreeTDS reads "tds version" and "tds_version" alike, and without regard to case.
std::string KeyOf(const std::string& Name) {
  std::string Key;
  for (char C : Trim(Name)) Key += C == '_' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  return Key;
}

bool SameName(const std::string& A, const std::string& B) { return strcasecmp(A.c_str(), B.c_str()) == 0; }

std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> Lines;
  size_t Start = 0;
  while (Start < Text.size()) {
    const size_t End = Text.find('\n', Start);
    if (End == std::string::npos) {
      Lines.push_back(Text.substr(Start));
      break;
    }
    Lines.push_back(Text.substr(Start, End - Start));
    Start = End + 1;
  }
  return Lines;
}

// The key a line sets within a section (in FreeTDS's spelling), or nothing for comments and
// blank lines.
std::optional<std::string> KeyOfLine(const std::string& Line) {
  const auto Key = IniKeyOf(Line);
  if (!Key) return std::nullopt;
  return KeyOf(*Key);
}

// The lines [First, Last) that form the body of section Name; nothing when it is absent.
std::optional<std::pair<size_t, size_t>> FindSection(const std::vector<std::string>& Lines, const std::string& Name) {
  for (size_t I = 0; I < Lines.size(); ++I) {
    const auto Section = IniSectionOf(Lines[I]);
    if (!Section || !SameName(*Section, Name)) continue;
    size_t End = I + 1;
    while (End < Lines.size() && !IniSectionOf(Lines[End])) ++End;
    return std::make_pair(I + 1, End);
  }
  return std::nullopt;
}

// The text with section Name pointing at Server.
std::string WithServer(const std::string& Text, const std::string& Name, const TFreeTdsServer& Server,
                       bool ForDataSources) {
  std::vector<std::string> Lines = SplitLines(Text);
  const std::pair<const char*, const std::string*> Wanted[] = {
      {"host", &Server.Host}, {"port", &Server.Port}, {"instance", &Server.Instance}};

  if (const auto Body = FindSection(Lines, Name)) {
    std::vector<std::string> Kept;
    bool Set[3] = {false, false, false};
    for (size_t I = Body->first; I < Body->second; ++I) {
      const auto Key = KeyOfLine(Lines[I]);
      int Which = -1;
      for (int W = 0; W < 3; ++W) {
        if (Key && *Key == Wanted[W].first) Which = W;
      }
      if (Which < 0) {
        Kept.push_back(Lines[I]);
      } else if (!Set[Which] && !Wanted[Which].second->empty()) {
        Kept.push_back("\t" + std::string(Wanted[Which].first) + " = " + *Wanted[Which].second);
        Set[Which] = true;
      } else {
        Set[Which] = true;  // a repeated or emptied key goes
      }
    }
    std::vector<std::string> Added;
    for (int W = 0; W < 3; ++W) {
      if (!Set[W] && !Wanted[W].second->empty()) {
        Added.push_back("\t" + std::string(Wanted[W].first) + " = " + *Wanted[W].second);
      }
    }
    Kept.insert(Kept.begin(), Added.begin(), Added.end());
    Lines.erase(Lines.begin() + static_cast<long>(Body->first), Lines.begin() + static_cast<long>(Body->second));
    Lines.insert(Lines.begin() + static_cast<long>(Body->first), Kept.begin(), Kept.end());
  } else {
    if (!Lines.empty() && !Trim(Lines.back()).empty()) Lines.push_back("");
    Lines.push_back("[" + Name + "]");
    for (const auto& [Key, Part] : Wanted) {
      if (!Part->empty()) Lines.push_back("\t" + std::string(Key) + " = " + *Part);
    }
    Lines.push_back("\ttds version = 7.1");
    Lines.push_back("\tclient charset = UTF-8");
    if (ForDataSources) Lines.push_back(kMadeHere);
  }
  std::string Out;
  for (const auto& Line : Lines) Out += Line + "\n";
  return Out;
}

bool IsThisMachine(const std::string& Name) {
  return Name.empty() || SameName(Name, "(local)") || Name == "." || SameName(Name, "localhost");
}

std::optional<std::string> ClientAlias(const std::string& Name) {
  TRegPath Path;
  SplitRegPath(kClientAliasKey, Path);
  return TRegStore(HKEY_LOCAL_MACHINE).ReadString(Path, Name);
}

}  // namespace

std::string FreeTdsConfFile(HKEY Root) {
  if (Root == HKEY_CURRENT_USER) {
    const std::string File = EnvironmentValue("FREETDSCONF");
    return File.empty() ? HomeDirectory() + "/.freetds.conf" : File;
  }
  const std::string Dir = EnvironmentValue("FREETDS");
  return Dir.empty() ? std::string("/etc/freetds/freetds.conf") : Dir + "/etc/freetds.conf";
}

std::string FreeTdsGlobalPort() {
  for (HKEY Root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    try {
      if (std::string Port = TFreeTdsConf(FreeTdsConfFile(Root)).Value("global", "port"); !Port.empty()) return Port;
    } catch (const std::exception&) {
      // A file that cannot be read sets nothing; FreeTDS skips it the same way.
    }
  }
  return "";
}

TFreeTdsServer FreeTdsServerFromName(const std::string& Name) {
  TFreeTdsServer Server;
  std::string Host = Trim(Name);
  const size_t Comma = Host.find(',');
  if (Comma != std::string::npos) {
    Server.Port = Trim(Host.substr(Comma + 1));
    Host = Trim(Host.substr(0, Comma));
  }
  const size_t Slash = Host.find('\\');
  if (Slash != std::string::npos) {
    Server.Instance = Host.substr(Slash + 1);
    Host = Host.substr(0, Slash);
  }
  Server.Host = IsThisMachine(Host) ? "127.0.0.1" : Host;
  return Server;
}

std::optional<TFreeTdsServer> FreeTdsServerFromAlias(const std::string& Alias) {
  const size_t Comma = Alias.find(',');
  if (Comma == std::string::npos) return std::nullopt;
  const std::string Library = Trim(Alias.substr(0, Comma));
  const std::string Rest = Trim(Alias.substr(Comma + 1));
  if (SameName(Library, "DBMSSOCN")) {
    if (Rest.empty()) return std::nullopt;
    return FreeTdsServerFromName(Rest);
  }
  if (SameName(Library, "DBNMPNTW")) {
    // \\host\pipe\sql\query, or \\host\pipe\MSSQL$instance\sql\query for a named instance
    if (Rest.rfind("\\\\", 0) != 0) return std::nullopt;
    const size_t End = Rest.find('\\', 2);
    TFreeTdsServer Server = FreeTdsServerFromName(Rest.substr(2, End == std::string::npos ? End : End - 2));
    const size_t Instance = Rest.find("\\MSSQL$");
    if (Instance != std::string::npos) {
      const size_t After = Instance + 7;
      Server.Instance = Rest.substr(After, Rest.find('\\', After) - After);
    }
    return Server;
  }
  return std::nullopt;
}

TFreeTdsConf::TFreeTdsConf(std::string FileName) : FFileName(std::move(FileName)) {}

std::string TFreeTdsConf::Load() const { return ReadFileText(FFileName); }

bool TFreeTdsConf::HasSection(const std::string& Name) const {
  return FindSection(SplitLines(Load()), Name).has_value();
}

std::string TFreeTdsConf::Value(const std::string& Section, const std::string& Key) const {
  const auto Lines = SplitLines(Load());
  const auto Body = FindSection(Lines, Section);
  if (!Body) return "";
  for (size_t I = Body->first; I < Body->second; ++I) {
    const auto LineKey = KeyOfLine(Lines[I]);
    if (LineKey && *LineKey == KeyOf(Key)) return Trim(Lines[I].substr(Lines[I].find('=') + 1));
  }
  return "";
}

void TFreeTdsConf::SetServer(const std::string& Name, const TFreeTdsServer& Server, bool ForDataSources) {
  if (Name.empty() || Name.find_first_of("[]\r\n") != std::string::npos) {
    throw EMRegistryError("Nazwa serwera \"" + Name + "\" nie może być sekcją pliku " + FFileName);
  }
  for (const std::string* Part : {&Server.Host, &Server.Port, &Server.Instance}) {
    if (Part->find_first_of("\r\n") != std::string::npos) {
      throw EMRegistryError("Adres serwera \"" + Name + "\" zawiera znak końca wiersza");
    }
  }
  ChangeFileText(FFileName, "pliku konfiguracji FreeTDS", [&](std::string& Text) {
    const std::string Out = WithServer(Text, Name, Server, ForDataSources);
    if (Out == Text) return false;
    Text = Out;
    return true;
  });
}

std::vector<std::string> TFreeTdsConf::Sections() const {
  std::vector<std::string> Names;
  for (const auto& Line : SplitLines(Load())) {
    if (const auto Section = IniSectionOf(Line); Section && !SameName(*Section, "global")) Names.push_back(*Section);
  }
  return Names;
}

bool TFreeTdsConf::RemoveSection(const std::string& Name) { return Remove(Name, false); }

bool TFreeTdsConf::RemoveMadeSection(const std::string& Name) { return Remove(Name, true); }

bool TFreeTdsConf::Remove(const std::string& Name, bool OnlyMade) {
  bool Removed = false;
  ChangeFileText(FFileName, "pliku konfiguracji FreeTDS", [&](std::string& Text) {
    std::vector<std::string> Lines = SplitLines(Text);
    const auto Body = FindSection(Lines, Name);
    if (!Body) return false;
    bool Made = false;
    for (size_t I = Body->first; I < Body->second; ++I) Made |= Trim(Lines[I]) == Trim(kMadeHere);
    if (OnlyMade && !Made) return false;
    size_t End = Body->second;
    while (End > Body->first && Trim(Lines[End - 1]).empty()) --End;  // blank lines before the next stay
    Lines.erase(Lines.begin() + static_cast<long>(Body->first - 1), Lines.begin() + static_cast<long>(End));
    // and so does the blank line the section was added after, at the end of the file
    while (Body->first - 1 == Lines.size() && !Lines.empty() && Trim(Lines.back()).empty()) Lines.pop_back();
    Text.clear();
    for (const auto& Line : Lines) Text += Line + "\n";
    return Removed = true;
  });
  return Removed;
}

void EnsureFreeTdsServer(HKEY Root, const std::string& Name) {
  TFreeTdsConf Conf(FreeTdsConfFile(Root));
  if (const auto Alias = ClientAlias(Name)) {
    if (const auto Server = FreeTdsServerFromAlias(*Alias)) {
      Conf.SetServer(Name, *Server);
      return;
    }
  }
  if (!Conf.HasSection(Name)) Conf.SetServer(Name, FreeTdsServerFromName(Name));
}

void FollowClientAlias(const std::string& Name, const std::string& Alias) {
  const auto Server = FreeTdsServerFromAlias(Alias);
  if (!Server) return;
  for (HKEY Root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    TFreeTdsConf Conf(FreeTdsConfFile(Root));
    if (Conf.HasSection(Name)) Conf.SetServer(Name, *Server);
  }
}

}  // namespace vandrel::platform
