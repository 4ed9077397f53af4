#include "app/ConnectionString.h"

#include <algorithm>
#include <cctype>

namespace vandrel::app {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Position and length of the value of KEY=... where KEY starts the string or follows ";",
// compared without regard to case, as the driver reads its keys.
bool FindKeyValue(const std::string& s, const std::string& Key, size_t& Begin, size_t& Length) {
  const std::string lowered = Lower(s), key = Lower(Key) + "=";
  for (size_t at = lowered.find(key); at != std::string::npos; at = lowered.find(key, at + 1)) {
    if (at != 0 && lowered[at - 1] != ';') continue;
    Begin = at + key.size();
    size_t end = s.find(';', Begin);
    Length = (end == std::string::npos ? s.size() : end) - Begin;
    return true;
  }
  return false;
}

}  // namespace

std::string BuildConnectionString(const ConnectionFields& f) {
  const std::string network = f.Library == "Named Pipes" ? "Network=DBNMPNTW;" : "Network=DBMSSOCN;";
  std::string s = "DRIVER=SQL Server;SERVER=" + f.Server + ";UID=" + f.User + ";PWD=" + f.Password +
                  ";APP=Vandrel;DATABASE=master;LANGUAGE=Polish;" + network;
  if (Lower(f.Server) != "(local)") s += "Address=" + f.Server + ";";
  return s;
}

std::string ConnectionStringValue(const std::string& ConnectionString, const std::string& Key) {
  size_t at = ConnectionString.find(Key);
  if (at == std::string::npos) return {};
  size_t begin = at + Key.size() + 1;
  if (begin > ConnectionString.size()) return {};
  size_t end = ConnectionString.find(';', begin);
  return ConnectionString.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

std::string DriverKeyValue(const std::string& ConnectionString, const std::string& Key) {
  size_t begin = 0, length = 0;
  if (!FindKeyValue(ConnectionString, Key, begin, length)) return {};
  return ConnectionString.substr(begin, length);
}

std::string AdaptConnectionStringForDriver(const std::string& ConnectionString,
                                           const std::string& FixedPort, bool DataSourceNamesCharset) {
  size_t begin = 0, length = 0;
  std::string result = ConnectionString;
  if (FindKeyValue(ConnectionString, "SERVER", begin, length)) {
    std::string server = ConnectionString.substr(begin, length);
    const size_t slash = server.find('\\');
    std::string host = server.substr(0, slash);
    const std::string instance = slash == std::string::npos ? "" : server.substr(slash);
    if (Lower(host) == "(local)" || host == ".") host = "127.0.0.1";
    std::string adapted = host + instance;
    if (instance.empty() && host.find(',') == std::string::npos && !FixedPort.empty() &&
        FixedPort != "0")
      adapted += "," + FixedPort;
    result = ConnectionString.substr(0, begin) + adapted + ConnectionString.substr(begin + length);
  } else if (!FindKeyValue(ConnectionString, "DSN", begin, length) || DataSourceNamesCharset) {
    return ConnectionString;
  }
  // FreeTDS takes the program's text for ISO-8859-1 unless told otherwise; the tool's is UTF-8.
  size_t b = 0, l = 0;
  if (!FindKeyValue(result, "ClientCharset", b, l)) {
    if (!result.empty() && result.back() != ';') result += ';';
    result += "ClientCharset=UTF-8;";
  }
  return result;
}

}  // namespace vandrel::app
