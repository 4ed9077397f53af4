#include "app/admin/InUseGuard.h"

#include <memory>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/SqlQuoting.h"
#include "app/admin/InUseDlg.h"
#include "foundation/Trim.h"

namespace vandrel::app::admin {
namespace {

// Ends every listed process after one confirmation. False when the user declined or a
// process could not be ended (the error report has shown the server's reason).
bool EndHolders(TForm1& Form, const std::string& Name, const TextList& Holders) {
  std::vector<std::string> spids;
  const size_t columns = Holders.empty() ? 0 : std::stoul(Holders[0]);
  for (size_t row = 1; columns > 0 && row + columns - 1 < Holders.size(); row += columns)
    spids.emplace_back(Trim(Holders[row]));
  if (spids.empty()) return true;
  QString list;
  for (const std::string& spid : spids) list += (list.isEmpty() ? "" : ", ") + QString::fromStdString(spid);
  const QString question =
      QStringLiteral("Czy rozłączyć wszystkie procesy używające bazy \"%1\" (SPID: %2)? "
                     "Programy, które z nich korzystają, utracą połączenie z serwerem.")
          .arg(QString::fromStdString(Name), list);
  if (ShowMessage(&Form, question, QStringLiteral("Rozłącz użytkowników i ponów"), MsgIcon::Question,
                  mbYes | mbNo) != mbYes)
    return false;
  for (const std::string& spid : spids)
    if (!Form.ExecInDatabase("KILL " + spid, "master")) return false;
  return true;
}

}  // namespace

bool DatabaseInUse(TForm1& Form, const std::string& Name) {
  const std::string dbid =
      Form.QueryScalar("select dbid from sysprocesses where dbid=DB_ID('" + EscapeLiteral(Name) + "')", "master");
  if (dbid.empty()) return false;
  const std::string program(Trim(Form.QueryScalar("select program_name from sysprocesses where dbid=" + dbid, "master")));
  const QString message =
      program.empty() ? QStringLiteral("Nie można wykonać tej operacji, baza jest w użyciu")
                      : QStringLiteral("Nie można wykonać tej operacji, baza jest używana przez aplikacje: ") +
                            QString::fromStdString(program);
  TextList holders;
  Form.QueryToList(holders,
                   "select spid, hostname, program_name, loginame, last_batch from sysprocesses where dbid=" +
                       dbid + " order by spid",
                   "master");
  auto dialog = std::make_unique<TInUseDlg>(&Form, message, holders);
  if (DialogSeam::Current().ExecDialog(dialog.get()) != QDialog::Accepted) return true;
  dialog.reset();
  if (!EndHolders(Form, Name, holders)) return true;
  return DatabaseInUse(Form, Name);
}

std::string DatabaseIdentifier(TForm1& Form, const std::string& Name) {
  return Form.QueryScalar("SELECT dbid from sysdatabases where name='" + EscapeLiteral(Name) + "'", "master");
}

}  // namespace vandrel::app::admin
