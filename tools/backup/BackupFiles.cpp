#include "tools/backup/BackupFiles.h"

#include <algorithm>
#include <cctype>

namespace vandrel::backup {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

}  // namespace

std::optional<std::string> BackupDay(const std::string& FileName, const std::string& Database) {
  const size_t expected = Database.size() + 1 + 8 + 4;
  if (FileName.size() != expected) return std::nullopt;
  if (Lower(FileName.substr(0, Database.size())) != Lower(Database)) return std::nullopt;
  if (FileName[Database.size()] != '_' || Lower(FileName.substr(expected - 4)) != ".bak")
    return std::nullopt;
  const std::string day = FileName.substr(Database.size() + 1, 8);
  if (!std::all_of(day.begin(), day.end(), [](unsigned char c) { return std::isdigit(c); }))
    return std::nullopt;
  return day;
}

std::vector<std::string> BackupsBeyond(const std::vector<std::string>& FileNames,
                                       const std::string& Database, int Keep) {
  std::vector<std::pair<std::string, std::string>> own;  // day, name
  for (const std::string& name : FileNames)
    if (auto day = BackupDay(name, Database)) own.emplace_back(*day, name);
  std::sort(own.begin(), own.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> beyond;
  for (size_t i = static_cast<size_t>(std::max(Keep, 0)); i < own.size(); ++i)
    beyond.push_back(own[i].second);
  return beyond;
}

}  // namespace vandrel::backup
