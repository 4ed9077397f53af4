#include "app/health/HealthLog.h"

#include <cctype>
#include <cstdio>
#include <regex>

#include "platform/base/RegionalSettings.h"

namespace vandrel::health {
namespace {

std::string Joined(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", Year, Month, Day, Hour, Minute, Second);
  return text;
}

// The entry a line of the log makes, if a check weighs it.
bool EntryOf(const std::string& Text, TLogEntry& Entry) {
  static const std::regex error(R"(Error: (\d+), Severity: (\d+))");
  std::smatch m;
  if (Text.find("Login failed for user") != std::string::npos) {
    Entry.Error = kLoginFailedError;
    Entry.Severity = 14;
    return true;
  }
  if (Text.find("Error: ") == std::string::npos || !std::regex_search(Text, m, error)) return false;
  Entry.Error = std::stoi(m[1].str());
  Entry.Severity = std::stoi(m[2].str());
  // SQL Server 2005 writes the number of a failed login on a line of its own before the
  // "Login failed" line, which is the one counted.
  if (Entry.Error == kLoginFailedError) return false;
  return Entry.Severity >= 17 || WatchedLogError(Entry.Error);
}

}  // namespace

bool WatchedLogError(int Error) {
  return Error == 823 || Error == 824 || Error == 825 || Error == 9002 || Error == 17883;
}

std::string NormalTime(const std::string& Text) {
  int n[6] = {};
  size_t digits[6] = {};
  int found = 0;
  for (size_t i = 0; i < Text.size() && found < 6;) {
    if (!std::isdigit(static_cast<unsigned char>(Text[i]))) {
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < Text.size() && std::isdigit(static_cast<unsigned char>(Text[i])) && i - start < 6) ++i;
    n[found] = std::stoi(Text.substr(start, i - start));
    digits[found++] = i - start;
  }
  if (found < 6) return "";
  int year = n[0], month = n[1], day = n[2];
  if (digits[0] != 4) {
    // Day, month and year as the regional settings put them; the year comes last.
    const std::string& format = platform::RegionalSettings().ShortDateFormat;
    const bool monthFirst = format.find('M') < format.find('d');
    year = n[2];
    month = monthFirst ? n[0] : n[1];
    day = monthFirst ? n[1] : n[0];
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || n[3] > 23 || n[4] > 59 || n[5] > 60) return "";
  return Joined(year, month, day, n[3], n[4], n[5]);
}

std::vector<TLogEntry> LogEntriesOf(const THealthRows& Rows, const std::string& Since) {
  std::vector<TLogEntry> entries;
  for (const THealthRow& row : Rows) {
    if (row.empty()) continue;
    // Three columns: date, process, text; else the text leads with its date.
    const bool dated = row.size() >= 3;
    const std::string& text = dated ? row[2] : row[0];
    TLogEntry entry;
    if (!EntryOf(text, entry)) continue;
    entry.Time = NormalTime(dated ? row[0] : text.substr(0, 22));
    if (entry.Time.empty() || entry.Time < Since) continue;
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace vandrel::health
