#include "app/health/HealthRules.h"

#include <algorithm>
#include <cmath>

#include "app/health/HealthText.h"

namespace vandrel::health {

const THealthThresholds kHealthThresholds = {
    80,   // DataLimitWarningPercent
    95,   // DataLimitErrorPercent
    4.0,  // LogToDataErrorRatio
    7,    // LogBackupDays
    7,    // BackupWarningDays
    30,   // BackupErrorDays
    2.0,  // FreeSpaceWarningFactor
    1.0,  // FreeSpaceErrorFactor
    7,    // ErrorLogDays
    20,   // FailedLoginsPerHour
    10,   // BlockedWarningSeconds
    60,   // BlockedErrorSeconds
};

int64_t TServerFacts::DataLimitBytes() const {
  constexpr int64_t kGigabyte = int64_t{1} << 30;
  if (!FreeEdition) return 0;
  if (MajorVersion == 8) return 2 * kGigabyte;  // Desktop Engine
  if (MajorVersion == 9) return 4 * kGigabyte;  // SQL Server 2005 Express
  return 0;
}

namespace {

constexpr int64_t kDay = 24 * 60 * 60;

class TJudge {
 public:
  TJudge(const TServerFacts& Facts, const THealthThresholds& Limits) : F(Facts), L(Limits) {}

  std::vector<TFinding> Run() {
    if (F.SaWithoutPassword) Add("", "sa_no_password", TWeight::wError, "Login 'sa' bez hasła");
    for (const std::string& what : F.Unread) Add("", "not_read", TWeight::wWarning, "Nie odczytano: " + what);
    for (const TDatabaseFacts& d : F.Databases) Database(d);
    JudgeSite(F, L, Out);
    std::stable_sort(Out.begin(), Out.end(),
                     [](const TFinding& a, const TFinding& b) { return a.Weight < b.Weight; });
    return std::move(Out);
  }

 private:
  void Add(const std::string& Database, const char* Check, TWeight Weight, std::string Text,
           TMend Mend = TMend::mdNone) {
    Out.push_back({Database, Check, Weight, std::move(Text), Mend});
  }

  void Database(const TDatabaseFacts& d) {
    State(d);
    Size(d);
    Log(d);
    Backup(d);
    if (d.AutoClose) Add(d.Name, "auto_close", TWeight::wInfo, "Automatyczne zamykanie bazy włączone", TMend::mdOptions);
    if (d.AutoShrink) Add(d.Name, "auto_shrink", TWeight::wInfo, "Tryb autokompresji włączony", TMend::mdOptions);
    for (const TOrphanUser& u : d.Orphans)
      Add(d.Name, "orphaned_user", TWeight::wWarning,
          "Użytkownik '" + u.User + "' bez loginu" + (u.LoginOfSameName ? " (login '" + u.User + "' ma inny SID)" : ""),
          u.LoginOfSameName ? TMend::mdFixUsers : TMend::mdNone);
  }

  void State(const TDatabaseFacts& d) {
    // A restore needs a backup: without one, the check and the repair are what is left.
    if (d.Status == "SUSPECT" && F.BackupsRead && !d.FullBackupAge)
      Add(d.Name, "suspect", TWeight::wError,
          "Baza uszkodzona: serwer oznaczył ją jako podejrzaną (SUSPECT); brak kopii: odzyskanie wymaga naprawy lub "
          "kopii z innego miejsca",
          TMend::mdCheck);
    else if (d.Status == "SUSPECT")
      Add(d.Name, "suspect", TWeight::wError, "Baza uszkodzona: serwer oznaczył ją jako podejrzaną (SUSPECT)",
          TMend::mdRestore);
    else if (d.Status == "OFFLINE")
      Add(d.Name, "offline", TWeight::wWarning, "Baza wyłączona (offline)", TMend::mdOnline);
    else if (!d.Status.empty() && !d.Online())
      Add(d.Name, "not_online", TWeight::wWarning, "Baza niedostępna (" + d.Status + ")");
    if (d.UserAccess == "SINGLE_USER")
      Add(d.Name, "single_user", TWeight::wWarning, "Baza w trybie \"Single User\"", TMend::mdMultiUser);
  }

  void Size(const TDatabaseFacts& d) {
    const int64_t limit = F.DataLimitBytes();
    if (limit <= 0) return;
    const int percent = static_cast<int>(std::lround(100.0 * static_cast<double>(d.DataBytes()) / static_cast<double>(limit)));
    if (percent < L.DataLimitWarningPercent) return;
    Add(d.Name, "data_near_limit", percent >= L.DataLimitErrorPercent ? TWeight::wError : TWeight::wWarning,
        "Dane " + SizeText(d.DataBytes()) + " z " + SizeText(limit) + " (" + std::to_string(percent) + "%)");
  }

  void Log(const TDatabaseFacts& d) {
    if (!F.BackupsRead || d.Recovery != "FULL" || d.LogPages <= d.DataPages || d.DataPages <= 0) return;
    if (d.LogBackupAge && *d.LogBackupAge <= L.LogBackupDays * kDay) return;
    const double ratio = static_cast<double>(d.LogPages) / static_cast<double>(d.DataPages);
    const int times = static_cast<int>(std::floor(ratio));
    const std::string larger = times >= 2 ? std::to_string(times) + "x większy niż dane" : "większy niż dane";
    Add(d.Name, "log_larger_than_data", ratio >= L.LogToDataErrorRatio ? TWeight::wError : TWeight::wWarning,
        "Dziennik " + SizeText(d.LogBytes()) + ", " + larger + ", model pełny bez kopii dziennika", TMend::mdOptions);
  }

  void Backup(const TDatabaseFacts& d) {
    if (!F.BackupsRead) return;  // said once as not read
    const std::string missing = "plik kopii nie istnieje: " + d.MissingBackupFile;
    if (!d.FullBackupAge) {
      Add(d.Name, "no_backup", TWeight::wError, d.MissingBackupFile.empty() ? "Brak kopii" : "Brak kopii (" + missing + ")",
          TMend::mdBackup);
      return;
    }
    if (!d.MissingBackupFile.empty())
      Add(d.Name, "backup_file_missing", TWeight::wWarning, "Najnowsza kopia się nie liczy, " + missing, TMend::mdBackup);
    const int64_t days = *d.FullBackupAge / kDay;
    if (days <= L.BackupWarningDays) return;
    Add(d.Name, "old_backup", days > L.BackupErrorDays ? TWeight::wError : TWeight::wWarning,
        "Ostatnia kopia " + DaysText(days) + " temu", TMend::mdBackup);
  }

  const TServerFacts& F;
  const THealthThresholds& L;
  std::vector<TFinding> Out;
};

}  // namespace

std::vector<TFinding> JudgeServer(const TServerFacts& Facts, const THealthThresholds& Limits) {
  return TJudge(Facts, Limits).Run();
}

const char* WeightText(TWeight Weight) {
  switch (Weight) {
    case TWeight::wError: return "błąd";
    case TWeight::wWarning: return "ostrzeżenie";
    case TWeight::wInfo: return "informacja";
  }
  return "";
}

const char* MendCaption(TMend Mend) {
  switch (Mend) {
    case TMend::mdNone: return "";
    case TMend::mdBackup: return "Kopia zapasowa bazy...";
    case TMend::mdOptions: return "Parametry bazy";
    case TMend::mdRestore: return "Odtwórz bazę z kopii...";
    case TMend::mdOnline: return "Włącz bazę";
    case TMend::mdMultiUser: return "Wyłącz tryb \"Single User\"";
    case TMend::mdFixUsers: return "Napraw użytkowników";
    case TMend::mdCheck: return "Sprawdź spójność bazy";
  }
  return "";
}

TWorst WorstOf(const std::vector<TFinding>& Findings) {
  TWorst worst;
  for (const TFinding& f : Findings)
    if (!worst.Any || f.Weight < worst.Weight) worst = {true, f.Weight};
  return worst;
}

}  // namespace vandrel::health
