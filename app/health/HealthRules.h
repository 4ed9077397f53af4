#pragma once
// The health rules: each finding's weight, text and mend, judged from a server's facts
// against one table of thresholds. Pure functions, no server and no Qt, so that the
// window and vandrel-health show the same findings.
#include <string>
#include <vector>

#include "app/health/HealthFacts.h"

namespace vandrel::health {

enum class TWeight { wError, wWarning, wInfo };  // worst first

// The command of the tool that mends a finding (its caption); none where the tool has none.
enum class TMend { mdNone, mdBackup, mdOptions, mdRestore, mdOnline, mdMultiUser, mdFixUsers, mdCheck };

struct TFinding {
  std::string Database;  // empty: the server itself
  std::string Check;     // stable identifier for scripts and metrics ("no_backup", ...)
  TWeight Weight = TWeight::wInfo;
  std::string Text;      // Polish, with the figure
  TMend Mend = TMend::mdNone;
};

// Every threshold of the checks, in one place.
struct THealthThresholds {
  int DataLimitWarningPercent;  // data at this share of the edition's limit or more
  int DataLimitErrorPercent;
  double LogToDataErrorRatio;   // a log this many times the data (full recovery, no log backup)
  int LogBackupDays;            // a log backup older than this does not count
  int BackupWarningDays;        // newest full backup older than this
  int BackupErrorDays;
  double FreeSpaceWarningFactor;  // a drive with less free space than this many times the largest database
  double FreeSpaceErrorFactor;
  int ErrorLogDays;               // the error log's days the checks look at
  int FailedLoginsPerHour;        // more failed logins than this within an hour
  int BlockedWarningSeconds;      // a session waiting for another's lock longer than this
  int BlockedErrorSeconds;
};
extern const THealthThresholds kHealthThresholds;

// The findings of a server, worst first, then by database in the order given.
std::vector<TFinding> JudgeServer(const TServerFacts& Facts, const THealthThresholds& Limits = kHealthThresholds);

// The findings of the server as a whole beyond its databases: free space, the error log and
// blocked sessions, appended to Out (HealthRulesSite.cpp).
void JudgeSite(const TServerFacts& Facts, const THealthThresholds& Limits, std::vector<TFinding>& Out);

const char* WeightText(TWeight Weight);  // "błąd", "ostrzeżenie", "informacja"
const char* MendCaption(TMend Mend);     // the command's caption; "" for none

// The worst weight among Findings; empty findings give wInfo with Any false.
struct TWorst {
  bool Any = false;
  TWeight Weight = TWeight::wInfo;
};
TWorst WorstOf(const std::vector<TFinding>& Findings);

}  // namespace vandrel::health
