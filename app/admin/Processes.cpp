#include "app/admin/Processes.h"

#include "app/DialogSeam.h"
#include "app/ListView.h"

namespace vandrel::app::admin {

const char* const kProcessListQuery =
    "select spid AS SPID, DB_NAME(dbid) AS Nazwa_bazy,loginame AS Nazwa_logina,hostname AS "
    "Nazwa_hosta,program_name AS Nazwa_programu, login_time AS Czas_logowania, last_batch "
    "Czas_ostatniego_polecenia, Status, cmd AS Polecenie from sysprocesses";

bool IsProcessNumber(const std::string& Text) {
  if (Text.empty() || Text.size() > 9) return false;
  for (char c : Text)
    if (c < '0' || c > '9') return false;
  return true;
}

namespace {

void FillProcessList(TCommandContext& Context) { Context.ShowQueryInList(kProcessListQuery, "master"); }

}  // namespace

void ShowProcesses(TCommandContext& Context) {
  // Only this command gives the list its pop-up ("Zabij proces") back.
  if (TListView* list = Context.DetailList()) list->setProperty("popup", true);
  FillProcessList(Context);
}

void KillSelectedProcess(TCommandContext& Form) {
  const std::string spid = Form.SelectedListCaptionUnder(QStringLiteral("SPID")).trimmed().toStdString();
  // The number comes from the list's text: only a number goes into the statement.
  if (!IsProcessNumber(spid)) return FillProcessList(Form);
  const QString program = Form.SelectedListText(4).trimmed(), loggedIn = Form.SelectedListText(5).trimmed();
  const QString question = program.isEmpty() ? QStringLiteral("Czy zakończyć proces %1?").arg(QString::fromStdString(spid))
                                             : QStringLiteral("Czy zakończyć proces %1 programu \"%2\"?")
                                                   .arg(QString::fromStdString(spid), program);
  if (!Confirm(Form.DialogParent(), question + QStringLiteral(" Program utraci połączenie z serwerem."), QStringLiteral("Zabij proces")))
    return;
  // The number may have gone to another session since the list was read: only the process
  // shown, logged in when the list says, is ended.
  const QString now = QString::fromStdString(Form.QueryScalar("select login_time from sysprocesses where spid=" + spid, "master").Value).trimmed();
  if (now == loggedIn)
    Form.ExecInDatabase("KILL " + spid, "master");
  else
    ShowMessage(Form.DialogParent(), QStringLiteral("Proces %1 już się zakończył; nic nie zostało zakończone.").arg(QString::fromStdString(spid)),
                QStringLiteral("Zabij proces"), MsgIcon::Information);
  FillProcessList(Form);
}

}  // namespace vandrel::app::admin
