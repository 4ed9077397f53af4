#include "app/admin/SessionDetails.h"

#include <QStringList>
#include <optional>

#include "app/DialogSeam.h"
#include "app/ListView.h"
#include "app/QtText.h"
#include "app/admin/ActivityView.h"
#include "app/admin/SessionLocks.h"

namespace vandrel::app::admin {
namespace {

const QString kLastBatchCaption = QStringLiteral("Ostatnie polecenie");
const QString kLocksCaption = QStringLiteral("Blokady");

// "53 (program "Kasa", login kasa1)": the session as the list shows it.
QString SessionTitle(const TSession& S) {
  const std::string login = S.Texts.size() > 2 ? S.Texts[2] : std::string();
  QString title = QString::number(S.Spid);
  QStringList about;
  if (!S.Program.empty()) about << QStringLiteral("program \"%1\"").arg(Q(S.Program));
  if (!login.empty()) about << QStringLiteral("login %1").arg(Q(login));
  if (!about.isEmpty()) title += QStringLiteral(" (%1)").arg(about.join(QStringLiteral(", ")));
  return title;
}

// The one session selected in the process list, still the one the list showed; none after
// saying that it ended (the list then shows the sessions as they are now).
std::optional<TSession> ChosenSession(TCommandContext& Context, const QString& Caption) {
  TListView* list = Context.DetailList();
  if (!list) return std::nullopt;
  TActivityBar& bar = ActivityBarOf(Context, *list);
  const std::vector<TSession> sessions = bar.SelectedSessions();
  if (sessions.empty()) return std::nullopt;
  const TSession& session = sessions.front();
  switch (SessionNow(Context, session)) {
    case TSessionNow::snSame: return session;
    case TSessionNow::snGone:
      ShowMessage(Context.DialogParent(),
                  QStringLiteral("Proces %1 już się zakończył: serwer go nie wymienia.").arg(SessionTitle(session)),
                  Caption, MsgIcon::Information);
      bar.Fill(true);
      return std::nullopt;
    case TSessionNow::snUnknown: break;  // the error report has said why
  }
  return std::nullopt;
}

}  // namespace

void ShowSessionLastBatch(TCommandContext& Context) {
  const std::optional<TSession> session = ChosenSession(Context, kLastBatchCaption);
  if (!session) return;
  TextList rows;
  if (Context.QueryToList(rows, "DBCC INPUTBUFFER(" + std::to_string(session->Spid) + ")", "master") !=
      TStepOutcome::soDone)
    return;
  // EventType, Parameters, EventInfo.
  const bool answered = !rows.empty() && rows[0] == "3" && rows.size() >= 4;
  const std::string type = answered ? TrimmedRight(rows[1]) : std::string();
  const std::string text = answered ? TrimmedRight(rows[3]) : std::string();
  const QString title = SessionTitle(*session);
  if (type.empty() || type == "No Event" || text.empty()) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Proces %1 nie wysłał jeszcze żadnego polecenia.").arg(title),
                kLastBatchCaption, MsgIcon::Information);
    return;
  }
  const QString summary = type == "RPC Event"
                              ? QStringLiteral("Proces %1 ostatnio wywołał procedurę:").arg(title)
                              : QStringLiteral("Ostatnie polecenie procesu %1:").arg(title);
  ShowReport(Context.DialogParent(), summary, Q(text), kLastBatchCaption, MsgIcon::Information);
}

void ShowSessionLocks(TCommandContext& Context) {
  TListView* list = Context.DetailList();
  const std::optional<TSession> session = ChosenSession(Context, kLocksCaption);
  if (!session || !list) return;
  std::vector<TLockRow> locks;
  if (!ReadSessionLocks(Context, session->Spid, ActivityBarOf(Context, *list).Is2005(), locks)) return;
  const QString title = SessionTitle(*session);
  if (locks.empty()) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Proces %1 nie ma żadnych blokad.").arg(title), kLocksCaption,
                MsgIcon::Information);
    return;
  }
  ShowReport(Context.DialogParent(), LocksSummary(title, locks), LocksText(locks), kLocksCaption, MsgIcon::Information);
}

}  // namespace vandrel::app::admin
