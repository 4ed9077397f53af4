#include "app/admin/Processes.h"

#include "app/ListView.h"
#include "app/admin/ActivityView.h"

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

void ShowProcesses(TCommandContext& Context) {
  TListView* list = Context.DetailList();
  if (!list) return;
  // Only this command gives the list its pop-up ("Zabij proces") back.
  list->setProperty("popup", true);
  // Shown again over itself (F5), the list keeps the user's place in it.
  const bool again = list->ColumnCount() > 0 && list->Caption(0) == QStringLiteral("SPID");
  ActivityBarOf(Context, *list).Fill(again);
}

}  // namespace vandrel::app::admin
