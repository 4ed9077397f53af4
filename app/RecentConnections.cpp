#include "app/RecentConnections.h"

#include <algorithm>

#include "platform/Registry.h"

namespace vandrel::app {
namespace {

const char* const kRecentKey = "Software\\Quorvel\\Vandrel\\Ostatnie serwery";

// One value per connection, "1" the newest: server, a tab, user.
std::string ValueName(int Index) { return std::to_string(Index + 1); }

}  // namespace

std::vector<TRecentConnection> ReadRecentConnections() {
  std::vector<TRecentConnection> recent;
  try {
    platform::TRegistry registry(platform::HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(kRecentKey)) return recent;
    for (int i = 0; i < kRecentConnections; ++i) {
      if (!registry.ValueExists(ValueName(i))) break;
      const std::string value = registry.ReadString(ValueName(i));
      const size_t tab = value.find('\t');
      if (tab == std::string::npos || tab == 0) continue;
      recent.push_back({value.substr(0, tab), value.substr(tab + 1)});
    }
  } catch (...) {
    // A damaged store offers nothing; the dialog still has its defaults.
  }
  return recent;
}

void RememberConnection(const TRecentConnection& Connection) {
  if (Connection.Server.empty() || Connection.Server.find('\t') != std::string::npos ||
      Connection.User.find('\t') != std::string::npos)
    return;
  std::vector<TRecentConnection> recent = ReadRecentConnections();
  std::erase(recent, Connection);
  recent.insert(recent.begin(), Connection);
  if (recent.size() > static_cast<size_t>(kRecentConnections)) recent.resize(kRecentConnections);
  try {
    platform::TRegistry registry(platform::HKEY_CURRENT_USER);
    if (!registry.OpenKey(kRecentKey, true)) return;
    for (size_t i = 0; i < recent.size(); ++i)
      registry.WriteString(ValueName(static_cast<int>(i)), recent[i].Server + "\t" + recent[i].User);
  } catch (...) {
    // A store that cannot be written only costs the list its newest entry; the connection stands.
  }
}

}  // namespace vandrel::app
