#include "tools/health/HealthWire.h"

#include <nlohmann/json.hpp>

namespace vandrel::healthtool {
namespace {

using nlohmann::json;

json Optional(const std::optional<int64_t>& Value) { return Value ? json(*Value) : json(); }
std::optional<int64_t> Optional(const json& Value) {
  return Value.is_number() ? std::optional<int64_t>(Value.get<int64_t>()) : std::nullopt;
}

json DatabaseToWire(const health::TDatabaseFacts& d) {
  return {{"name", d.Name}, {"status", d.Status}, {"recovery", d.Recovery},
          {"data_pages", d.DataPages}, {"log_pages", d.LogPages},
          {"full_backup_age", Optional(d.FullBackupAge)}, {"log_backup_age", Optional(d.LogBackupAge)}};
}

health::TDatabaseFacts DatabaseFromWire(const json& j) {
  health::TDatabaseFacts d;
  d.Name = j.at("name").get<std::string>();
  d.Status = j.at("status").get<std::string>();
  d.Recovery = j.at("recovery").get<std::string>();
  d.DataPages = j.at("data_pages").get<int64_t>();
  d.LogPages = j.at("log_pages").get<int64_t>();
  d.FullBackupAge = Optional(j.at("full_backup_age"));
  d.LogBackupAge = Optional(j.at("log_backup_age"));
  return d;
}

}  // namespace

std::string HealthToWire(const TServerHealth& h) {
  json databases = json::array(), findings = json::array();
  for (const health::TDatabaseFacts& d : h.Facts.Databases) databases.push_back(DatabaseToWire(d));
  for (const health::TFinding& f : h.Findings)
    findings.push_back({{"database", f.Database}, {"check", f.Check}, {"weight", static_cast<int>(f.Weight)},
                        {"text", f.Text}, {"mend", static_cast<int>(f.Mend)}});
  const json j = {{"reach", static_cast<int>(h.Reach)}, {"error", h.Error},
                  {"version", h.Facts.ProductVersion}, {"major", h.Facts.MajorVersion},
                  {"free_edition", h.Facts.FreeEdition}, {"databases", databases}, {"findings", findings}};
  // A text from the server that is not UTF-8 goes with its bad bytes replaced rather than
  // losing the whole check.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool HealthFromWire(const std::string& Text, TServerHealth& h) {
  try {
    const json j = json::parse(Text);
    h.Reach = static_cast<TReach>(j.at("reach").get<int>());
    h.Error = j.at("error").get<std::string>();
    h.Facts.ProductVersion = j.at("version").get<std::string>();
    h.Facts.MajorVersion = j.at("major").get<int>();
    h.Facts.FreeEdition = j.at("free_edition").get<bool>();
    for (const json& d : j.at("databases")) h.Facts.Databases.push_back(DatabaseFromWire(d));
    for (const json& f : j.at("findings"))
      h.Findings.push_back({f.at("database").get<std::string>(), f.at("check").get<std::string>(),
                            static_cast<health::TWeight>(f.at("weight").get<int>()), f.at("text").get<std::string>(),
                            static_cast<health::TMend>(f.at("mend").get<int>())});
    return true;
  } catch (const json::exception&) {
    return false;
  }
}

}  // namespace vandrel::healthtool
