#include "app/admin/TableOwner.h"

#include <vector>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/SqlQuoting.h"

namespace vandrel::app::admin {
namespace {

// sp_changeobjectowner takes owner.table as a literal; a part that is not a regular name
// goes in brackets, so a blank, a dot or a reserved word cannot change its meaning.
std::string ChangeStatement(const std::string& Owner, const std::string& Table, const std::string& NewOwner) {
  return "sp_changeobjectowner " + UnicodeLiteral(QuoteIdentifier(Owner) + "." + QuoteIdentifier(Table)) + ", " +
         UnicodeLiteral(NewOwner);
}

}  // namespace

bool ChangeTableOwner(TCommandContext& Context, const std::string& Database, const std::string& NewOwner, int* Changed,
                      int* Wanted) {
  int changed = 0, wanted = -1;  // -1: the list itself could not be read
  TextList tables;
  bool ok = Context.RunStep("use " + QuoteIdentifier(Database)) == TStepOutcome::soDone &&
            Context.QueryHereToList(tables, "sp_tables @table_type = \"'TABLE'\"");
  if (ok) {
    // Flat list: owner in column 2, table in column 3 of each row.
    std::vector<std::string> changes;
    const size_t columns = tables.empty() ? 0 : std::stoul(tables[0]);
    for (size_t row = 1; columns >= 3 && row + columns - 1 < tables.size(); row += columns)
      if (tables[row + 1] != NewOwner) changes.push_back(ChangeStatement(tables[row + 1], tables[row + 2], NewOwner));
    wanted = static_cast<int>(changes.size());
    // The first failure or stop ends the work (shown by the error report); what was changed
    // stays changed.
    for (const std::string& change : changes) {
      ok = Context.RunStep(change) == TStepOutcome::soDone;
      if (!ok) break;
      ++changed;
    }
  }
  if (Changed) *Changed = changed;
  if (Wanted) *Wanted = wanted;
  return ok;
}

void ChangeTableOwnerCommand(TCommandContext& Form) {
  const std::string database = Form.SelectedDatabase();
  if (database.empty()) return;
  const QString caption = QStringLiteral("Zmiana właściciela Tabel"), name = QString::fromStdString(database);
  if (!Confirm(Form.DialogParent(), QStringLiteral("Czy przekazać wszystkie tabele bazy \"%1\" właścicielowi \"dbo\"?").arg(name), caption))
    return;
  int changed = 0, wanted = 0;
  if (ChangeTableOwner(Form, database, "dbo", &changed, &wanted))
    ShowMessage(Form.DialogParent(), QStringLiteral("Operacja zakończona"), caption, MsgIcon::Information);
  else if (wanted < 0)
    ShowMessage(Form.DialogParent(), QStringLiteral("Nie udało się odczytać listy tabel bazy \"%1\"; nic nie zostało zmienione.").arg(name),
                caption, MsgIcon::Warning);
  else
    ShowMessage(Form.DialogParent(), QStringLiteral("Operacja przerwana: właściciel zmieniony dla %1 z %2 tabel bazy \"%3\"; "
                                      "pozostałe tabele nie zostały zmienione.")
                           .arg(changed).arg(wanted).arg(name),
                caption, MsgIcon::Warning);
  Form.RefreshTree();
}

}  // namespace vandrel::app::admin

namespace vandrel::app {

void TForm1::Zmiewacicielatabel1Click() { admin::ChangeTableOwnerCommand(*this); }

}  // namespace vandrel::app
