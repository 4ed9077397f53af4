#include "app/admin/KillSessions.h"

#include <QString>
#include <vector>

#include "app/DialogSeam.h"
#include "app/ErrorText.h"
#include "app/ListView.h"
#include "app/StatementMessages.h"
#include "app/admin/ActivityView.h"

namespace vandrel::app::admin {
namespace {

const QString kKillCaption = QStringLiteral("Zabij proces");

QString Q(const std::string& Text) { return QString::fromStdString(Text); }

// One line of the question: who the session is and what its end undoes.
QString SessionLine(const TSession& S) {
  const auto text = [&](size_t Column) { return Column < S.Texts.size() ? Q(S.Texts[Column]) : QString(); };
  QString line = QStringLiteral("%1: program \"%2\", host %3, login %4, baza %5")
                     .arg(QString::number(S.Spid), text(4), text(3), text(2), text(1));
  const int open = std::atoi(S.OpenTransactions.c_str());
  if (open > 0) line += QStringLiteral(", otwarte transakcje: %1 (transakcja zostanie wycofana)").arg(open);
  return line;
}

QString Question(const std::vector<TSession>& Sessions) {
  QString question;
  if (Sessions.size() == 1) {
    const TSession& s = Sessions.front();
    question = s.Program.empty() ? QStringLiteral("Czy zakończyć proces %1?").arg(s.Spid)
                                 : QStringLiteral("Czy zakończyć proces %1 programu \"%2\"?").arg(QString::number(s.Spid), Q(s.Program));
  } else {
    question = QStringLiteral("Czy zakończyć %1?").arg(Q(PolishCount(static_cast<long long>(Sessions.size()), "proces", "procesy", "procesów")));
  }
  question += QStringLiteral("\r\n");
  for (const TSession& s : Sessions) question += QStringLiteral("\r\n") + SessionLine(s);
  question += Sessions.size() == 1 ? QStringLiteral("\r\n\r\nProgram utraci połączenie z serwerem.")
                                   : QStringLiteral("\r\n\r\nProgramy utracą połączenie z serwerem.");
  return question;
}

struct TKillAccount {
  QStringList Ended, EndedBefore, Refused, RollingBack, NotDone;
  std::string Reports;  // the server's own words on each refusal
};

QString Name(const TSession& S) {
  return S.Program.empty() ? QString::number(S.Spid) : QStringLiteral("%1 (%2)").arg(QString::number(S.Spid), Q(S.Program));
}

// A session killed but still listed rolls its transaction back: the server tells how far.
QString RollbackProgress(TCommandContext& Context, const TSession& S) {
  TStatementMessages messages;
  Context.RunStepKeepingMessages("KILL " + std::to_string(S.Spid) + " WITH STATUSONLY", messages);
  for (const TDriverRecord& r : messages.Records)
    if (r.Message.find("rollback") != std::string::npos) return Q(WithoutDriverPrefixes(r.Message));
  return {};
}

void Kill(TCommandContext& Context, const std::vector<TSession>& Sessions, TKillAccount& Account) {
  std::vector<TSession> killed;
  bool stopped = false;
  for (const TSession& s : Sessions) {
    if (stopped) {
      Account.NotDone << Name(s);
      continue;
    }
    const TSessionNow now = SessionNow(Context, s);
    if (now == TSessionNow::snGone) {
      Account.EndedBefore << Name(s);
      continue;
    }
    TStatementMessages messages;
    const TStepOutcome outcome = now == TSessionNow::snSame
                                     ? Context.RunStepKeepingMessages("KILL " + std::to_string(s.Spid), messages)
                                     : TStepOutcome::soStopped;
    if (outcome == TStepOutcome::soDone) {
      killed.push_back(s);
    } else if (outcome == TStepOutcome::soFailed) {
      std::string reason;
      for (const TDriverRecord& r : messages.Records)
        if (reason.empty()) reason = KillRefusalText(r.NativeError);
      if (reason.empty()) reason = ReportSummary(messages.Report);
      Account.Refused << QStringLiteral("%1: %2").arg(Name(s), Q(reason));
      Account.Reports += messages.Report + "\r\n\r\n";
    } else {
      // "Przerwij", or the session could not be checked: nothing more is sent.
      stopped = true;
      Account.NotDone << Name(s);
    }
  }
  // What the server shows now: a session still there is rolling its transaction back.
  for (const TSession& s : killed) {
    if (SessionNow(Context, s) != TSessionNow::snSame) {
      Account.Ended << Name(s);
      continue;
    }
    const QString progress = RollbackProgress(Context, s);
    Account.RollingBack << (progress.isEmpty() ? Name(s) : QStringLiteral("%1: %2").arg(Name(s), progress));
  }
}

QString AccountText(const TKillAccount& A) {
  QStringList parts;
  const auto part = [&](const char* Title, const QStringList& Lines) {
    if (!Lines.isEmpty()) parts << QString::fromUtf8(Title) + QStringLiteral("\r\n") + Lines.join(QStringLiteral("\r\n"));
  };
  part("Zakończone:", A.Ended);
  part("Zakończyły się same, zanim je zakończono (nic nie wysłano):", A.EndedBefore);
  part("Jeszcze wycofują transakcję:", A.RollingBack);
  part("Serwer odmówił:", A.Refused);
  part("Nie zakończono (przerwano):", A.NotDone);
  return parts.join(QStringLiteral("\r\n\r\n"));
}

}  // namespace

std::string KillRefusalText(int NativeError) {
  switch (NativeError) {
    case 6101: return "to nie jest prawidłowy numer procesu.";
    case 6102: return "ten login nie ma prawa zakończyć procesu (wymaga uprawnień sysadmin lub processadmin).";
    case 6104: return "to połączenie tego programu; nie można zakończyć własnego procesu.";
    case 6106: return "taki proces już nie istnieje.";
    case 6107: return "to proces systemowy serwera; zakończyć można tylko procesy użytkowników.";
    default: return {};
  }
}

void KillSelectedProcess(TCommandContext& Context) {
  TListView* list = Context.DetailList();
  if (!list) return;
  TActivityBar& bar = ActivityBarOf(Context, *list);
  // Only sessions of other programs: this program's own and the server's are never offered.
  std::vector<TSession> chosen;
  for (const TSession& s : bar.SelectedSessions())
    if (s.Killable()) chosen.push_back(s);
  if (chosen.empty()) {
    bar.Fill(true);
    return;
  }
  if (!Confirm(Context.DialogParent(), Question(chosen), kKillCaption)) return;
  TKillAccount account;
  Kill(Context, chosen, account);
  const bool clean = account.Refused.isEmpty() && account.NotDone.isEmpty() && account.RollingBack.isEmpty();
  if (account.Reports.empty())
    ShowMessage(Context.DialogParent(), AccountText(account), kKillCaption, clean ? MsgIcon::Information : MsgIcon::Warning);
  else
    ShowReport(Context.DialogParent(), AccountText(account), Q(account.Reports), kKillCaption, MsgIcon::Warning);
  bar.Fill(true);
}

}  // namespace vandrel::app::admin
