#include "app/query/QueryHistory.h"

#include <algorithm>
#include <cctype>

#include "platform/Registry.h"

namespace vandrel::app {
namespace {

const std::string kHistoryKey = "Software\\Quorvel\\Vandrel\\Historia zapytań\\";

// The server's key: a named instance's backslash would open a subkey.
std::string ServerKey(std::string Server) {
  std::replace(Server.begin(), Server.end(), '\\', '/');
  return kHistoryKey + Server;
}

std::string HistoryValueName(int Index) { return std::to_string(Index + 1); }

// A registry text holds no line break: "\n" is kept as the two characters \n, and a
// backslash doubled.
std::string EscapeLines(const std::string& Text) {
  std::string out;
  for (char c : Text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c != '\r') out += c;
  }
  return out;
}

std::string UnescapeLines(const std::string& Text) {
  std::string out;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '\\' && i + 1 < Text.size()) {
      ++i;
      out += Text[i] == 'n' ? '\n' : Text[i];
    } else {
      out += Text[i];
    }
  }
  return out;
}

std::string LowerText(std::string Text) {
  for (char& c : Text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return Text;
}

}  // namespace

bool MayHoldPassword(const std::string& Query) {
  // The procedures and clauses that take a password, and the keys of a connection string.
  static const char* const kWords[] = {"password", "sp_addlogin", "sp_password", "pwd", "pwdencrypt", "haslo", "hasło"};
  const std::string text = LowerText(Query);
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](const char* Word) { return text.find(Word) != std::string::npos; });
}

std::vector<std::string> ReadQueryHistory(const std::string& Server) {
  std::vector<std::string> queries;
  try {
    platform::TRegistry registry(platform::HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(ServerKey(Server))) return queries;
    for (int i = 0; i < kQueryHistory; ++i) {
      if (!registry.ValueExists(HistoryValueName(i))) break;
      queries.push_back(UnescapeLines(registry.ReadString(HistoryValueName(i))));
    }
  } catch (...) {
    // A damaged store offers no history; the window works without it.
  }
  return queries;
}

void RememberQuery(const std::string& Server, const std::string& Query) {
  if (Server.empty() || MayHoldPassword(Query) ||
      std::all_of(Query.begin(), Query.end(), [](unsigned char c) { return std::isspace(c); }))
    return;
  std::vector<std::string> queries = ReadQueryHistory(Server);
  std::erase(queries, Query);
  queries.insert(queries.begin(), Query);
  if (queries.size() > static_cast<size_t>(kQueryHistory)) queries.resize(kQueryHistory);
  try {
    platform::TRegistry registry(platform::HKEY_CURRENT_USER);
    if (!registry.OpenKey(ServerKey(Server), true)) return;
    for (size_t i = 0; i < queries.size(); ++i) registry.WriteString(HistoryValueName(static_cast<int>(i)), EscapeLines(queries[i]));
  } catch (...) {
  }
}

}  // namespace vandrel::app
