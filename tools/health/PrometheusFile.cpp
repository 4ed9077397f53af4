#include "tools/health/PrometheusFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vandrel::healthtool {
namespace {

// A label value: backslash, double quote and line feed escaped.
std::string Label(const std::string& Value) {
  std::string out;
  for (char c : Value) {
    if (c == '\\') out += "\\\\";
    else if (c == '"') out += "\\\"";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

const char* WeightLabel(health::TWeight Weight) {
  switch (Weight) {
    case health::TWeight::wError: return "error";
    case health::TWeight::wWarning: return "warning";
    case health::TWeight::wInfo: return "info";
  }
  return "";
}

class TMetrics {
 public:
  explicit TMetrics(const std::vector<TServerHealth>& Servers) : FServers(Servers) {}

  // One family: its help, its type and every sample, together as the format asks.
  template <class EachServer>
  void Family(const char* Name, const char* Help, EachServer Samples) {
    FOut << "# HELP " << Name << " " << Help << "\n# TYPE " << Name << " gauge\n";
    for (const TServerHealth& s : FServers) Samples(s, [&](const std::string& Labels, auto Value) {
        FOut << Name << "{server=\"" << Label(s.Server) << "\"" << Labels << "} " << Value << "\n";
      });
  }
  static std::string DatabaseLabel(const std::string& Name) { return ",database=\"" + Label(Name) + "\""; }
  std::string Text() const { return FOut.str(); }

 private:
  const std::vector<TServerHealth>& FServers;
  std::ostringstream FOut;
};

}  // namespace

std::string PrometheusText(const std::vector<TServerHealth>& Servers) {
  using health::TDatabaseFacts;
  TMetrics m(Servers);
  m.Family("vandrel_health_up", "Whether the server answered (1) or not (0).",
           [](const TServerHealth& s, auto Put) { Put("", s.Reachable() ? 1 : 0); });
  m.Family("vandrel_health_status", "The server's state as vandrel-health's exit status: 0 well, 1 warnings, 2 errors, 5 login refused, 3 unreachable.",
           [](const TServerHealth& s, auto Put) { Put("", StatusOf(s)); });
  m.Family("vandrel_health_findings", "Findings of the last check by weight.", [](const TServerHealth& s, auto Put) {
    if (!s.Reachable()) return;
    for (health::TWeight w : {health::TWeight::wError, health::TWeight::wWarning, health::TWeight::wInfo}) {
      int count = 0;
      for (const health::TFinding& f : s.Findings) count += f.Weight == w ? 1 : 0;
      Put(std::string(",weight=\"") + WeightLabel(w) + "\"", count);
    }
  });
  m.Family("vandrel_health_finding", "One finding of the last check (1 while it stands).",
           [](const TServerHealth& s, auto Put) {
             for (const health::TFinding& f : s.Findings)
               Put(TMetrics::DatabaseLabel(f.Database) + ",check=\"" + f.Check + "\",weight=\"" + WeightLabel(f.Weight) + "\"", 1);
           });
  m.Family("vandrel_health_data_limit_bytes", "The data size a database may reach on the server's edition.",
           [](const TServerHealth& s, auto Put) {
             if (s.Reachable() && s.Facts.DataLimitBytes() > 0) Put("", s.Facts.DataLimitBytes());
           });
  m.Family("vandrel_health_data_bytes", "Size of a database's data files.", [](const TServerHealth& s, auto Put) {
    for (const TDatabaseFacts& d : s.Facts.Databases) Put(TMetrics::DatabaseLabel(d.Name), d.DataBytes());
  });
  m.Family("vandrel_health_log_bytes", "Size of a database's log files.", [](const TServerHealth& s, auto Put) {
    for (const TDatabaseFacts& d : s.Facts.Databases) Put(TMetrics::DatabaseLabel(d.Name), d.LogBytes());
  });
  m.Family("vandrel_health_backed_up", "Whether msdb lists a full backup of the database (1) or none (0).",
           [](const TServerHealth& s, auto Put) {
             for (const TDatabaseFacts& d : s.Facts.Databases) Put(TMetrics::DatabaseLabel(d.Name), d.FullBackupAge ? 1 : 0);
           });
  m.Family("vandrel_health_last_backup_age_seconds", "Seconds since the newest full backup finished, by the server's clock.",
           [](const TServerHealth& s, auto Put) {
             for (const TDatabaseFacts& d : s.Facts.Databases)
               if (d.FullBackupAge) Put(TMetrics::DatabaseLabel(d.Name), *d.FullBackupAge);
           });
  return m.Text();
}

bool WritePrometheusFile(const std::string& Path, const std::vector<TServerHealth>& Servers, std::string& Error) {
  const std::string temporary = Path + ".tmp." + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << PrometheusText(Servers);
    out.flush();
    if (!out) {
      Error = std::strerror(errno);
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), Path.c_str()) != 0) {
    Error = std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace vandrel::healthtool
