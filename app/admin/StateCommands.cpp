#include "app/admin/StateCommands.h"

#include <string>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/NodeKinds.h"
#include "app/SqlQuoting.h"
#include "app/admin/InUseGuard.h"

namespace vandrel::app::admin {
namespace {

// What is refreshed after the statement: the details always, the tree always, or the
// details only while a database in the normal state is selected.
enum class Refresh { Details, Tree, DetailsOfNormalDatabase };

struct StateCommand {
  const char* Suffix;
  const char* Before;  // the message is Before + name + After
  const char* After;
  const char* Caption;
  Refresh Then;
};

const StateCommand& CommandOf(DatabaseState State) {
  static const StateCommand kCommands[] = {
      {" SET SINGLE_USER", "Baza \"", "\" została ustawiona w tryb \"Single User\"",
       "Ustawianie trybu: \"Single User\"", Refresh::Details},
      {" SET MULTI_USER", "Tryb \"Single User\" został wyłączony dla bazy \"", "\"",
       "Ustawianie trybu: \"Single User\"", Refresh::Details},
      {" SET OFFLINE", "Baza \"", "\" została wyłączona", "Ustawianie trybu Offline", Refresh::Tree},
      {" SET ONLINE", "Baza \"", "\" została włączona", "Ustawianie trybu Offline", Refresh::Tree},
      {" SET READ_ONLY", "Baza \"", "\" została przestawiona w tryb tylko do odczytu",
       "Ustawianie trybu bazy tylko do odczytu", Refresh::DetailsOfNormalDatabase},
      {" SET READ_WRITE ", "Wyłączono tryb tylko do odczytu dla bazy:\"", "\"",
       "Ustawianie trybu bazy tylko do odczytu", Refresh::DetailsOfNormalDatabase},
  };
  return kCommands[static_cast<int>(State)];
}

void RefreshAfter(TForm1& Form, Refresh What) {
  switch (What) {
    case Refresh::Details: Form.ShowDatabaseDetails(); break;
    case Refresh::Tree: Form.RefreshTree(); break;
    case Refresh::DetailsOfNormalDatabase:
      if (Form.SelectedNodeKind() == nkDatabase) Form.ShowDatabaseDetails();
      break;
  }
}

}  // namespace

void ChangeDatabaseState(TForm1& Form, DatabaseState State) {
  const StateCommand& command = CommandOf(State);
  const bool userAccess = State == DatabaseState::SingleUser || State == DatabaseState::MultiUser;
  const std::string name = userAccess && !Form.EnsureConnected() ? std::string() : Form.SelectedDatabase();
  if (!name.empty()) {
    if (DatabaseInUse(Form, name)) return;
    if (Form.ExecInDatabase("ALTER DATABASE " + QuoteIdentifier(name) + command.Suffix, "master"))
      ShowMessage(&Form, QString::fromUtf8(command.Before) + QString::fromStdString(name) + QString::fromUtf8(command.After),
                  QString::fromUtf8(command.Caption), MsgIcon::Information);
  }
  RefreshAfter(Form, command.Then);
}

}  // namespace vandrel::app::admin

namespace vandrel::app {

using admin::ChangeDatabaseState;
using admin::DatabaseState;

void TForm1::UstawbazwtrybSingleUser1Click() { ChangeDatabaseState(*this, DatabaseState::SingleUser); }
void TForm1::WycztrybSingleUser1Click() { ChangeDatabaseState(*this, DatabaseState::MultiUser); }
void TForm1::Wyczbaz1Click() { ChangeDatabaseState(*this, DatabaseState::Offline); }
void TForm1::Wczbaz1Click() { ChangeDatabaseState(*this, DatabaseState::Online); }
void TForm1::Ustawbazwtrybietylkodoodczytu1Click() { ChangeDatabaseState(*this, DatabaseState::ReadOnly); }
void TForm1::Wycztrybtylkodoodczytu1Click() { ChangeDatabaseState(*this, DatabaseState::ReadWrite); }

}  // namespace vandrel::app
