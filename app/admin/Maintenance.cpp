#include "app/admin/Maintenance.h"

#include <optional>

#include "app/DialogSeam.h"
#include "app/StatementWaiter.h"
#include "app/WaitCursor.h"
#include "app/admin/CommandReport.h"
#include "app/admin/InUseGuard.h"

namespace vandrel::app::admin {

TMaintenanceResult RunMaintenance(TCommandContext& Context, const TMaintenance& Work) {
  TMaintenanceResult result;
  if (!Work.Question.isEmpty() && !Confirm(Context.DialogParent(), Work.Question, Work.Caption)) return result;
  if (!Work.GuardedDatabase.empty() && DatabaseInUse(Context, Work.GuardedDatabase)) return result;
  result.Run = true;
  // "Przerwij" in the guard, or in the probe and the reconnect, ends the work before it began.
  auto stopped = [&] {
    result.Outcome = Context.CommandStopped() ? TStepOutcome::soStopped : TStepOutcome::soFailed;
    return result;
  };
  if (Context.CommandStopped()) return stopped();
  if (Work.BeforeStatements) Work.BeforeStatements();
  // Work that takes a database away from its users is worth a probe's round trip first.
  const bool connected = !Work.ProbesFirst || (Work.GuardedDatabase.empty() ? Context.EnsureConnected()
                                                                            : Context.EnsureConnectedProbing());
  if (!connected || Context.CommandStopped()) return stopped();
  WaitCursor busy;
  std::optional<WaitTask> task;
  if (!Work.WaitCaption.empty()) task.emplace(Context.StatementWaiter(), Work.WaitCaption);
  result.Outcome = Work.Database.empty() ? TStepOutcome::soDone : Context.UseDatabase(Work.Database);
  std::optional<TStopReadBack> readBack;
  if (Work.ReadsBackAfterStop) readBack.emplace(Context);
  std::optional<TWaitLimit> unlimited;
  if (Work.RunsLong) unlimited.emplace(Context.StatementWaiter(), 0);
  for (const std::string& statement : Work.Statements) {
    if (result.Outcome != TStepOutcome::soDone) break;
    if (Context.CommandStopped()) {
      result.Outcome = TStepOutcome::soStopped;
      break;
    }
    TStatementMessages messages;
    ++result.Started;
    result.Outcome = Context.RunStepKeepingMessages(statement, messages);
    auto& records = result.Messages.Records;
    records.insert(records.end(), messages.Records.begin(), messages.Records.end());
    if (!messages.Report.empty()) result.Messages.Report = messages.Report;
    if (result.Outcome == TStepOutcome::soDone) ++result.Done;
  }
  if (!Work.KeepsReport && !result.Messages.Report.empty()) {
    Context.ShowErrorReport(result.Messages.Report);
    result.Messages.Report.clear();
  }
  return result;
}

}  // namespace vandrel::app::admin
