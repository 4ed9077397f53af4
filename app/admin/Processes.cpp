#include "app/admin/Processes.h"

#include <QTreeWidget>

#include "app/MainWindow.h"

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

void FillProcessList(TForm1& Form) { Form.QueryToListView(kProcessListQuery, Form.ListView1, "master"); }

}  // namespace

void ShowProcesses(TForm1& Form) {
  // Only this command gives the list its pop-up ("Zabij proces") back.
  Form.ListView1->setProperty("popup", true);
  FillProcessList(Form);
}

void KillSelectedProcess(TForm1& Form) {
  const std::string spid = Form.SelectedListCaptionUnder(QStringLiteral("SPID")).trimmed().toStdString();
  // The number comes from the list's text: only a number goes into the statement.
  if (IsProcessNumber(spid)) Form.ExecInDatabase("KILL " + spid, "master");
  FillProcessList(Form);
}

}  // namespace vandrel::app::admin
