#include "app/admin/CheckRepair.h"

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/SqlQuoting.h"
#include "app/admin/Backup.h"
#include "app/admin/InUseGuard.h"
#include "app/admin/RunStatement.h"

namespace vandrel::app::admin {
namespace {

std::string CheckStatement(const std::string& Name) { return "DBCC CHECKDB ('" + EscapeLiteral(Name) + "'"; }

}  // namespace

bool CheckDatabase(TForm1& Form, const std::string& Name) {
  Form.EnsureConnected();
  try {
    RunStatement(Form, CheckStatement(Name) + ")");
    return true;
  } catch (...) {
    Form.KMQuery1->Close();
    return false;
  }
}

bool RepairDatabase(TForm1& Form, const std::string& Name, const char* Level) {
  const std::string name = QuoteIdentifier(Name);
  Form.EnsureConnected();
  try {
    RunStatement(Form, "use master");
    RunStatement(Form, "ALTER DATABASE " + name + " SET SINGLE_USER");
    RunStatement(Form, CheckStatement(Name) + "," + Level + ")");
    RunStatement(Form, "ALTER DATABASE " + name + " SET MULTI_USER");
    return true;
  } catch (...) {
  }
  // Never leave the database in single-user mode after a failed repair.
  try {
    RunStatement(Form, "ALTER DATABASE " + name + " SET MULTI_USER");
  } catch (...) {
  }
  Form.KMQuery1->Close();
  return false;
}

void CheckCommand(TForm1& Form) {
  Form.DisableDatabaseCommands();
  if (CheckDatabase(Form, Form.SelectedDatabaseNode()))
    ShowMessage(&Form, QStringLiteral("Baza danych nie zawiera błędów"), QStringLiteral("Sprawdzanie spójności bazy"),
                MsgIcon::Information);
}

void RepairCommand(TForm1& Form, const char* Level) {
  Form.DisableDatabaseCommands();
  if (DatabaseInUse(Form, Form.SelectedDatabase())) return;
  if (RepairDatabase(Form, Form.SelectedDatabaseNode(), Level))
    ShowMessage(&Form, QStringLiteral("Baza danych została naprawiona"), QStringLiteral("Naprawa bazy danych"),
                MsgIcon::Information);
}

}  // namespace vandrel::app::admin

namespace vandrel::app {

void TForm1::Sprawdspjnobazy1Click() { admin::CheckCommand(*this); }
void TForm1::NaprawaFast1Click() { admin::RepairCommand(*this, "REPAIR_FAST"); }
void TForm1::NaprawaRebuild1Click() { admin::RepairCommand(*this, "REPAIR_REBUILD"); }
void TForm1::NaprawaFull1Click() {
  if (admin::OfferBackupBeforeRepair(*this, SelectedDatabaseNode())) admin::RepairCommand(*this, "REPAIR_ALLOW_DATA_LOSS");
}

}  // namespace vandrel::app
