// The server-wide rules: free space on the drives of the data and backup files, the error
// log's read, log and scheduler errors and failed logins, and sessions blocked too long.
#include <algorithm>
#include <map>
#include <string>

#include "app/health/HealthLog.h"
#include "app/health/HealthRead.h"
#include "app/health/HealthRules.h"
#include "app/health/HealthText.h"

namespace vandrel::health {
namespace {

void FreeSpace(const TServerFacts& F, const THealthThresholds& L, std::vector<TFinding>& Out) {
  const TDatabaseFacts* largest = nullptr;
  for (const TDatabaseFacts& d : F.Databases)
    if (largest == nullptr || d.DataBytes() > largest->DataBytes()) largest = &d;
  if (largest == nullptr || largest->DataBytes() <= 0) return;
  const double size = static_cast<double>(largest->DataBytes());
  for (const TDriveFacts& drive : F.Drives) {
    const double free = static_cast<double>(drive.FreeBytes);
    if (free >= size * L.FreeSpaceWarningFactor) continue;
    Out.push_back({"", "low_disk_space", free < size * L.FreeSpaceErrorFactor ? TWeight::wError : TWeight::wWarning,
                   "Dysk " + drive.Letter + ": wolne " + SizeText(drive.FreeBytes) + ", największa baza (" +
                       largest->Name + ") " + SizeText(largest->DataBytes()),
                   TMend::mdNone});
  }
}

// What an error of the log is, as a finding names it.
struct TLogKind {
  const char* Check;
  std::string Meaning;
  TWeight Weight;
};

TLogKind KindOf(int Error, int Severity) {
  switch (Error) {
    case 823: return {"read_error", "błąd wejścia-wyjścia dysku", TWeight::wError};
    case 824: return {"read_error", "uszkodzona strona odczytana z dysku", TWeight::wError};
    case 825: return {"read_error", "odczyt z dysku udany dopiero po ponowieniu", TWeight::wWarning};
    case 9002: return {"log_full", "pełny dziennik transakcji", TWeight::wError};
    case 17883: return {"scheduler", "planista serwera nie odpowiada", TWeight::wError};
    default:
      return {"severe_error", "ważność " + std::to_string(Severity), Severity >= 20 ? TWeight::wError : TWeight::wWarning};
  }
}

// The most entries within any hour; Times sorted.
size_t MostInAnHour(const std::vector<std::string>& Times) {
  size_t most = 0;
  for (size_t first = 0, last = 0; last < Times.size(); ++last) {
    while (SecondsBetween(Times[first], Times[last]).value_or(0) >= 3600) ++first;
    most = std::max(most, last - first + 1);
  }
  return most;
}

void ErrorLog(const TServerFacts& F, const THealthThresholds& L, std::vector<TFinding>& Out) {
  struct TSeen {
    size_t Count = 0;
    std::string Last;
    int Severity = 0;
  };
  std::map<int, TSeen> errors;
  std::vector<std::string> failedLogins;
  for (const TLogEntry& e : F.LogEntries) {
    if (e.Error == kLoginFailedError) {
      failedLogins.push_back(e.Time);
      continue;
    }
    TSeen& seen = errors[e.Error];
    ++seen.Count;
    seen.Last = std::max(seen.Last, e.Time);
    seen.Severity = std::max(seen.Severity, e.Severity);
  }
  for (const auto& [error, seen] : errors) {
    const TLogKind kind = KindOf(error, seen.Severity);
    Out.push_back({"", kind.Check, kind.Weight,
                   "Dziennik serwera: błąd " + std::to_string(error) + " (" + kind.Meaning + "), " +
                       std::to_string(seen.Count) + (seen.Count == 1 ? " raz" : " razy") + ", ostatnio " + seen.Last,
                   TMend::mdNone});
  }
  std::sort(failedLogins.begin(), failedLogins.end());
  const size_t most = MostInAnHour(failedLogins);
  if (most > static_cast<size_t>(L.FailedLoginsPerHour))
    Out.push_back({"", "failed_logins", TWeight::wWarning,
                   "Dziennik serwera: " + std::to_string(most) + " nieudanych logowań w ciągu godziny (razem " +
                       std::to_string(failedLogins.size()) + "), ostatnio " + failedLogins.back(),
                   TMend::mdNone});
}

std::string SessionsText(size_t Count) {
  const size_t tens = Count % 100, ones = Count % 10;
  const char* word = Count == 1 ? "sesję" : (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14)) ? "sesje" : "sesji";
  return std::to_string(Count) + " " + word;
}

void Blocking(const TServerFacts& F, const THealthThresholds& L, std::vector<TFinding>& Out) {
  std::map<int, int> blockedBy;
  for (const TBlockedSession& b : F.Blocked) blockedBy[b.Spid] = b.BlockedBy;
  struct TChain {
    size_t Count = 0;
    int64_t Longest = 0;
  };
  std::map<int, TChain> chains;  // by the session at the head, which waits for nobody
  for (const TBlockedSession& b : F.Blocked) {
    int head = b.BlockedBy;
    for (size_t steps = 0; blockedBy.count(head) && steps < F.Blocked.size(); ++steps) head = blockedBy[head];
    TChain& chain = chains[head];
    ++chain.Count;
    chain.Longest = std::max(chain.Longest, b.WaitSeconds);
  }
  for (const auto& [head, chain] : chains) {
    if (chain.Longest <= L.BlockedWarningSeconds) continue;
    const TSessionFacts* session = nullptr;
    for (const TSessionFacts& s : F.Sessions)
      if (s.Spid == head) session = &s;
    std::string who;
    if (session != nullptr) {
      for (const std::string& part : {session->Login, session->Host})
        if (!part.empty()) who += (who.empty() ? "" : ", ") + part;
      if (!who.empty()) who = " (" + who + ")";
    }
    Out.push_back({session != nullptr ? session->Database : "", "blocking",
                   chain.Longest > L.BlockedErrorSeconds ? TWeight::wError : TWeight::wWarning,
                   "Sesja " + std::to_string(head) + who + " blokuje " + SessionsText(chain.Count) +
                       ", najdłużej od " + std::to_string(chain.Longest) + " s",
                   TMend::mdNone});
  }
}

}  // namespace

void JudgeSite(const TServerFacts& Facts, const THealthThresholds& Limits, std::vector<TFinding>& Out) {
  FreeSpace(Facts, Limits, Out);
  ErrorLog(Facts, Limits, Out);
  Blocking(Facts, Limits, Out);
}

}  // namespace vandrel::health
