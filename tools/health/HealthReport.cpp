#include "tools/health/HealthReport.h"

#include <nlohmann/json.hpp>

#include "foundation/Utf8.h"

namespace vandrel::healthtool {
namespace {

using Row = std::vector<std::string>;

// The rows every text format shows: a server that could not be reached, or one without
// findings, still gets its row.
std::vector<Row> Rows(const std::vector<TServerHealth>& Servers) {
  std::vector<Row> rows;
  for (const TServerHealth& s : Servers) {
    if (!s.Reachable()) {
      const char* said = s.Reach == TReach::rsRefused ? "Logowanie odrzucone: " : "Brak połączenia: ";
      rows.push_back({s.Server, "", health::WeightText(health::TWeight::wError), ReachCheck(s.Reach), said + s.Error, ""});
      continue;
    }
    if (s.Findings.empty()) rows.push_back({s.Server, "", "", "", "Bez uwag", ""});
    for (const health::TFinding& f : s.Findings)
      rows.push_back({s.Server, f.Database, health::WeightText(f.Weight), f.Check, f.Text, health::MendCaption(f.Mend)});
  }
  return rows;
}

void WriteTable(const std::vector<Row>& Rows, std::ostream& Out) {
  // The check's identifier is for scripts; the table shows the rest.
  const Row header = {"Serwer", "Baza", "Waga", "", "Stan", "Naprawa"};
  std::vector<size_t> widths(header.size(), 0);
  auto measure = [&](const Row& r) {
    for (size_t c = 0; c < r.size(); ++c) widths[c] = std::max(widths[c], utf8::Length(r[c]));
  };
  measure(header);
  for (const Row& r : Rows) measure(r);
  auto write = [&](const Row& r) {
    std::string line;
    for (size_t c = 0; c < r.size(); ++c) {
      if (c == 3) continue;
      line += r[c];
      if (c + 1 < r.size()) line += std::string(widths[c] - utf8::Length(r[c]) + 2, ' ');
    }
    Out << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
  };
  write(header);
  for (const Row& r : Rows) write(r);
}

std::string CsvField(const std::string& Text) {
  if (Text.find_first_of(",\"\r\n") == std::string::npos) return Text;
  std::string quoted = "\"";
  for (char c : Text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

void WriteCsv(const std::vector<Row>& Rows, std::ostream& Out) {
  Out << "serwer,baza,waga,kontrola,stan,naprawa\r\n";
  for (const Row& r : Rows) {
    for (size_t c = 0; c < r.size(); ++c) Out << (c ? "," : "") << CsvField(r[c]);
    Out << "\r\n";
  }
}

// The servers checked, with their findings, and apart from them those that were not, each
// with its reason ("unreachable", "login_refused"), so that a script counts either alone.
void WriteJson(const std::vector<TServerHealth>& Servers, std::ostream& Out) {
  nlohmann::json servers = nlohmann::json::array(), unreached = nlohmann::json::array();
  for (const TServerHealth& s : Servers) {
    if (!s.Reachable()) {
      unreached.push_back(
          {{"server", s.Server}, {"reason", ReachCheck(s.Reach)}, {"status", StatusOf(s)}, {"error", s.Error}});
      continue;
    }
    nlohmann::json j = {{"server", s.Server}, {"status", StatusOf(s)}};
    j["version"] = s.Facts.ProductVersion;
    if (s.Facts.DataLimitBytes() > 0) j["data_limit_bytes"] = s.Facts.DataLimitBytes();
    nlohmann::json databases = nlohmann::json::array();
    for (const health::TDatabaseFacts& d : s.Facts.Databases) {
      nlohmann::json jd = {{"name", d.Name}, {"status", d.Status}, {"data_bytes", d.DataBytes()},
                           {"log_bytes", d.LogBytes()}, {"recovery", d.Recovery}};
      jd["full_backup_age_seconds"] = d.FullBackupAge ? nlohmann::json(*d.FullBackupAge) : nlohmann::json();
      databases.push_back(jd);
    }
    j["databases"] = databases;
    nlohmann::json findings = nlohmann::json::array();
    for (const health::TFinding& f : s.Findings)
      findings.push_back({{"database", f.Database}, {"check", f.Check}, {"weight", health::WeightText(f.Weight)},
                          {"text", f.Text}, {"mend", health::MendCaption(f.Mend)}});
    j["findings"] = findings;
    servers.push_back(j);
  }
  Out << nlohmann::json{{"status", ExitStatus(Servers)}, {"servers", servers}, {"unreachable", unreached}}.dump(2)
      << "\n";
}

}  // namespace

void WriteReport(const std::vector<TServerHealth>& Servers, TFormat Format, std::ostream& Out) {
  switch (Format) {
    case TFormat::fmTable: return WriteTable(Rows(Servers), Out);
    case TFormat::fmCsv: return WriteCsv(Rows(Servers), Out);
    case TFormat::fmJson: return WriteJson(Servers, Out);
  }
}

}  // namespace vandrel::healthtool
