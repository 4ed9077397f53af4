#include "app/ConnectionString.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "foundation/AsciiCase.h"

namespace vandrel::app {
namespace {

// One KEY=value of a connection string: the key's span, and the value's span with its braces
// when it is braced. FreeTDS, the tool's driver, ends a braced value at the first "}" that the
// string's end or a ";" follows and takes everything between the braces as it stands (a "}}"
// stays two characters), so the tool reads and writes braces the same way.
struct TPart {
  size_t KeyBegin, KeyLength, ValueBegin, ValueLength;
  bool Braced;
  bool Open = false;  // braced, and the string ends before its closing brace
};

std::vector<TPart> Parts(const std::string& s) {
  std::vector<TPart> parts;
  size_t at = 0;
  while (at < s.size()) {
    const size_t eq = s.find('=', at), semi = s.find(';', at);
    if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
      if (semi == std::string::npos) break;
      at = semi + 1;  // a part without "=" names nothing
      continue;
    }
    TPart part{at, eq - at, eq + 1, 0, false};
    size_t end = eq + 1;
    if (end < s.size() && s[end] == '{') {
      part.Braced = true;
      part.Open = true;
      for (++end; end < s.size(); ++end)
        if (s[end] == '}' && (end + 1 == s.size() || s[end + 1] == ';')) {
          ++end;
          part.Open = false;
          break;
        }
    }
    end = std::min(s.find(';', end), s.size());
    part.ValueLength = end - part.ValueBegin;
    parts.push_back(part);
    at = end + 1;
  }
  return parts;
}

// The value a part stands for: its braces taken off.
std::string ValueOf(const std::string& s, const TPart& part) {
  const std::string raw = s.substr(part.ValueBegin, part.ValueLength);
  if (!part.Braced) return raw;
  return raw.substr(1, raw.size() - (part.Open ? 1 : 2));
}

// The part whose key, compared without regard to case, is Key, as the driver reads its keys.
const TPart* FindKey(const std::string& s, const std::vector<TPart>& parts, const std::string& Key) {
  for (const TPart& part : parts)
    if (AsciiLower(s.substr(part.KeyBegin, part.KeyLength)) == AsciiLower(Key)) return &part;
  return nullptr;
}

bool Contains(const std::string& Text, const char* Characters) { return Text.find_first_of(Characters) != std::string::npos; }

}  // namespace

std::string BraceConnectionValue(const std::string& Value) { return "{" + Value + "}"; }

std::string ConnectionValueProblem(const std::string& Caption, const std::string& Value) {
  // The driver would end the braced value at "};" and read the rest as keys of its own.
  if (Value.find("};") != std::string::npos)
    return "Sterownik ODBC nie przyjmuje znaków \"};\" obok siebie w polu \"" + Caption + "\".";
  if (Value.find('\0') != std::string::npos) return "Pole \"" + Caption + "\" zawiera znak zerowy.";
  return {};
}

std::string ServerNameProblem(const std::string& Server) {
  // Host, instance and port: never a character that would end or open a part of a connection
  // string, a data source file or a freetds.conf line.
  for (unsigned char c : Server)
    if (c < 0x20 || c == 0x7f || Contains(std::string(1, char(c)), " ;={}[]\"'"))
      return "Nazwa serwera \"" + Server + "\" zawiera niedozwolony znak; podaj nazwę komputera, "
             "\"(local)\", nazwa\\instancja albo nazwa,port.";
  return {};
}

std::string ConnectionFieldsProblem(const ConnectionFields& f) {
  std::string problem = ServerNameProblem(f.Server);
  // The server would only answer that no login has an empty name.
  if (problem.empty() && f.User.empty()) problem = "Nie podano nazwy użytkownika: wpisz login serwera w polu \"Użytkownik\".";
  if (problem.empty()) problem = ConnectionValueProblem("Użytkownik", f.User);
  if (problem.empty()) problem = ConnectionValueProblem("Hasło", f.Password);
  return problem;
}

std::string BuildConnectionString(const ConnectionFields& f) {
  const std::string network = f.Library == "Named Pipes" ? "Network=DBNMPNTW;" : "Network=DBMSSOCN;";
  std::string s = "DRIVER=SQL Server;SERVER=" + BraceConnectionValue(f.Server) + ";UID=" + BraceConnectionValue(f.User) +
                  ";PWD=" + BraceConnectionValue(f.Password) + ";APP=" + BraceConnectionValue("Vandrel") +
                  ";DATABASE=" + BraceConnectionValue("master") + ";LANGUAGE=Polish;" + network;
  if (AsciiLower(f.Server) != "(local)") s += "Address=" + BraceConnectionValue(f.Server) + ";";
  return s;
}

std::string ConnectionStringValue(const std::string& ConnectionString, const std::string& Key) {
  // The first key that ends with Key, as typed (so "XSERVER" answers for "SERVER"); a key
  // inside a braced value is part of that value, never a key.
  for (const TPart& part : Parts(ConnectionString)) {
    const std::string key = ConnectionString.substr(part.KeyBegin, part.KeyLength);
    if (key.size() >= Key.size() && !Key.empty() && key.compare(key.size() - Key.size(), Key.size(), Key) == 0)
      return ValueOf(ConnectionString, part);
  }
  return {};
}

std::string DriverKeyValue(const std::string& ConnectionString, const std::string& Key) {
  const auto parts = Parts(ConnectionString);
  const TPart* part = FindKey(ConnectionString, parts, Key);
  return part ? ValueOf(ConnectionString, *part) : std::string();
}

std::string AdaptConnectionStringForDriver(const std::string& ConnectionString,
                                           const std::string& FixedPort, bool DataSourceNamesCharset,
                                           const std::string& LocalPort) {
  std::string result = ConnectionString;
  const auto parts = Parts(ConnectionString);
  if (const TPart* part = FindKey(ConnectionString, parts, "SERVER")) {
    const std::string server = ValueOf(ConnectionString, *part);
    const size_t slash = server.find('\\');
    const std::string address = server.substr(0, slash);
    const size_t comma = address.find(',');
    std::string host = address.substr(0, comma);
    const std::string hostPort = comma == std::string::npos ? "" : address.substr(comma);
    const std::string instance = slash == std::string::npos ? "" : server.substr(slash);
    const bool local = AsciiLower(host) == "(local)" || host == ".";
    if (local) host = "127.0.0.1";
    std::string adapted = host + hostPort + instance;
    const std::string port = !FixedPort.empty() ? FixedPort : local ? LocalPort : "";
    if (instance.empty() && hostPort.empty() && !port.empty() && port != "0") adapted += "," + port;
    if (part->Braced) adapted = BraceConnectionValue(adapted);
    result = ConnectionString.substr(0, part->ValueBegin) + adapted +
             ConnectionString.substr(part->ValueBegin + part->ValueLength);
  } else if (!FindKey(ConnectionString, parts, "DSN") || DataSourceNamesCharset) {
    return ConnectionString;
  }
  // FreeTDS takes the program's text for ISO-8859-1 unless told otherwise; the tool's is UTF-8.
  // Nothing is added after a braced value left open: it would become part of that value.
  const auto adapted = Parts(result);
  if (!adapted.empty() && adapted.back().Open) return result;
  if (!FindKey(result, adapted, "ClientCharset")) {
    if (!result.empty() && result.back() != ';') result += ';';
    result += "ClientCharset=UTF-8;";
  }
  return result;
}

}  // namespace vandrel::app
